// Left-button drags (move every object or orbit the camera) and the
// right-button menu that chooses between them.
#pragma once

#include "math/point3.h"

enum InteractionMode { ModeTranslate = 2, ModeCameraRotate = 6 };

extern int interactionMode;     // InteractionMode value; what a left drag does
extern bool dragStarted;        // the current drag has had its first motion event
extern Point3 lastDragPoint;    // view-plane point of the previous motion event

// Maps pixel (px, py), py counted upwards from the bottom row, onto the plane
// z = 0 in view-volume units (the orthographic extents, whatever the projection).
Point3 planeProject(int px, int py);

void onMouse(int button, int state, int x, int y);  // GLUT mouse callback
void onMotion(int x, int y);                        // GLUT motion callback
void onMenu(int value);                             // 1 Translate, 2 Rotate
// Creates the menu, adds "Translate" and "Rotate", attaches it to the right button.
void buildMenu();
