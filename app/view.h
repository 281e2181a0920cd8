// Window and projection state, the orbiting camera, the two lights, and the
// display and reshape callbacks.
#pragma once

#include "app/pick.h"
#include "math/geometry.h"
#include "scan/bounding_box.h"

// The window size and the orthographic view volume derived from it.
struct ViewState {
    int width = 500;     // client width in pixels (kept by onReshape)
    int height = 500;    // client height in pixels
    float left = -2.0f;  // view-volume extents (orthographic projection)
    float right = 2.0f;
    float bottom = -2.0f;
    float top = 2.0f;
    float zNear = 0.001f;  // clipping distances, both projections
    float zFar = 15.0f;
    bool orthographic = false;  // false: 75-degree perspective
};

// A camera circling the world origin at `distance`, placed by two angles.
class Camera {
public:
    Camera();

    // Recomputes the eye from the angles, flips the up vector when the
    // elevation leaves [-pi/2, pi/2] (and back), and calls gluLookAt.
    void applyCamera();
    // Each adds its step and wraps the angle into [-pi, pi].
    void rotateVertical(float step);
    void rotateHorizontal(float step);
    // distance += step, unbounded (a negative distance looks from the other side).
    void zoom(float step) { distance += step; }

    Point3 eye;       // recomputed on every draw
    Point3 centre;    // point looked at
    Vec3 up;          // handed to gluLookAt
    float elevation;  // radians above the x-z plane
    float azimuth;    // radians in the x-z plane
    float distance;   // eye distance from the origin
    bool flipped;     // the up vector is currently reversed
};

// A positional OpenGL light, GL_LIGHT0 + number.
struct Light {
    explicit Light(int number_) : number(number_) {}

    // glLightfv with the three colours, then the position (w = 1) for type 1.
    void applyLight();

    Point3 position;  // (0, 0, 0) until set
    Vec3 direction;   // unused
    Vec4 ambient;     // RGBA, (0, 0, 0, 1) until set
    Vec4 diffuse;
    Vec4 specular;
    int number;    // OpenGL light index offset from GL_LIGHT0
    int type = 1;  // 1 = positional
};

extern ViewState viewState;
extern Camera camera;
extern Light rightLight;         // light 1
extern Light leftLight;          // light 2
extern BoundingBox sceneBounds;  // grown over every object of a configuration

// How the scene is framed ('f'): drawn scaled by `scale` about the origin
// after being shifted by -shift, so that the visible objects fill the window
// around the point the camera circles. Inactive: drawn as it is.
struct SceneFrame {
    bool active = false;
    Vec3 shift;          // the centre of the framed objects
    float scale = 1.0f;  // scene units to view units
};
extern SceneFrame sceneFrame;

// The frame and camera distance that fit a sphere (centre, radius > 0) into
// a window of the given aspect ratio in both projections: the scaled sphere
// has a radius of 1.8 view units times the aspect ratio when the window is
// narrower than high, which fits the orthographic volume, and the camera
// stands far enough for the 75-degree perspective to hold it too.
struct FrameFit {
    SceneFrame frame;
    float distance;  // camera distance from the origin
};
FrameFit fitSphere(const Point3& centre, float radius, float aspect);

// Frames the visible objects (not the lattice) and moves the camera back to
// hold them; prints a line saying what was framed. Nothing visible: says so.
void frameVisibleObjects();

// The view the current frame is drawn with (camera as last applied, window,
// projection, frame), for picking.
PickView currentPickView();

// left/right = -/+ s * width / height, bottom/top = -/+ s, near 0.001, far 15.
void updateViewVolume(float halfHeight);
// GLUT reshape callback. A zero-sized window (minimised) keeps the last projection.
void onReshape(int width, int height);
// GLUT display callback: drawFrame, then the buffers are swapped.
void onDisplay();
// Everything onDisplay draws, into the back buffer, without the swap: the
// scene, the mark of the picked point and, while colouring by distance, the
// legend.
void drawFrame();
// The scene-bound corner markers, then every visible object.
void drawScene();
