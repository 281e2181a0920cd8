// Left-button drags (move every object or orbit the camera), the
// right-button menu that chooses between them, and picking a point with a
// middle-button click.
#pragma once

#include "app/pick.h"
#include "math/point3.h"

enum InteractionMode { ModeTranslate = 2, ModeCameraRotate = 6 };

extern int interactionMode;   // InteractionMode value; what a left drag does
extern bool dragStarted;      // the current drag has had its first motion event
extern Point3 lastDragPoint;  // view-plane point of the previous motion event

// Maps pixel (px, py), py counted upwards from the bottom row, onto the plane
// z = 0 in view-volume units (the orthographic extents, whatever the projection).
Point3 planeProject(int px, int py);

// The point picked last (its object's scene index), marked until the next pick.
extern PickHit pickedPoint;
// Where the middle button went down (window pixels, GLUT's y downwards), or -1.
extern int pickPressX, pickPressY;

// Picks the point under window pixel (x, y) (GLUT's coordinates, y
// downwards): redraws the frame into the back buffer to read the depth under
// the pointer, picks among the visible objects (not the lattice), prints the
// point's line (pickLine) or that no point is near, and marks it.
void pickAt(int x, int y);

// GLUT mouse callback. The left button drags as it always has; a
// middle-button click (pressed and released within 3 pixels) picks a point.
void onMouse(int button, int state, int x, int y);
void onMotion(int x, int y);  // GLUT motion callback
void onMenu(int value);       // 1 Translate, 2 Rotate
// Creates the menu, adds "Translate" and "Rotate", attaches it to the right button.
void buildMenu();
