// Picking a point with the mouse: from a window pixel to the nearest drawn
// point of the visible objects, as a pure function of the view, and the one
// line that describes the point picked.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "math/geometry.h"
#include "scene/mesh.h"

// p moved by d.
inline Point3 offsetBy(Point3 p, const Vec3& d) {
    p += d;
    return p;
}

// The view a frame is drawn with: the model-view transform of the world
// (camera, then the frame's scale and shift) and the projection.
struct PickView {
    double modelview[16];  // column-major, world to eye
    bool orthographic = false;
    double fovy = 75.0;                                 // degrees (perspective)
    double left = -2, right = 2, bottom = -2, top = 2;  // orthographic extents
    double zNear = 0.001, zFar = 15.0;
    int width = 500, height = 500;  // window in pixels
};

// The model-view of gluLookAt(eye, centre, up), then scaled by `scale` and
// shifted by -shift: what onDisplay sets before the objects are drawn.
void lookAtTransform(const Point3& eye, const Point3& centre, const Vec3& up, float scale,
                     const Vec3& shift, double out[16]);

// A point projected into the window.
struct WindowPoint {
    bool inside = false;     // in front of the camera, between the clipping planes
    double x = 0, y = 0;     // pixels, y upwards, pixel centres at .5
    double eyeDistance = 0;  // distance in front of the eye, along the view axis
};
WindowPoint projectToWindow(const PickView& view, const Point3& p);

// What a pick found.
struct PickHit {
    bool found = false;
    std::size_t object = 0;  // index into the objects passed
    std::size_t vertex = 0;  // vertex index in that object
};

// The point nearest to window position (x, y) (pixels, y upwards) among the
// drawn positions of `objects` (each moved by its mesh's position), within
// `radius` pixels. surfaceDepth is the depth buffer's value under the
// pointer (0..1; 1 where nothing was drawn): points farther from the eye
// than that surface by more than a few pixels' worth are hidden behind it
// and not picked, unless no other point is near. Among the rest the nearest
// on screen wins, then the nearer to the eye. Null objects are skipped.
PickHit pickPoint(const PickView& view, const std::vector<Mesh*>& objects, double x, double y,
                  double surfaceDepth, double radius);

// The raster row and column of a vertex of a range image, or false when it
// has no raster place.
bool rasterPlace(const Mesh& mesh, std::size_t vertex, int* row, int* column);

// The line printed for a picked point, e.g.
//   scan bun045.ply point 17342 (row 211, column 88): 0.000412 (tossed at 0.000715)
//   scan bun045.ply point 5 (row 0, column 5): unmeasured
//   mesh torus.m point 12: no distance (not a scan of a configuration)
std::string pickLine(const Mesh& mesh, std::size_t vertex, float threshold);
