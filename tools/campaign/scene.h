// The scene a campaign scans: a long strip of surface in a scene frame whose
// x axis runs along the stations' path, y across it and z towards the
// scanners, which all look down its -z axis. A scene is a base surface (a
// smooth height field z = h(x, y), or the plane z = 0) with objects on it
// (spheres and boxes) and regions of the base that return nothing (glass);
// a fixed rotation places the scene frame in the common frame of the scans
// (the facade stands upright, facing -y).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/simulation.h"

namespace campaign {

using sim::V3;

enum class SceneKind {
    terrain,  // rolling ground with boulders half buried in it
    room,     // a flat floor with furniture (boxes) and balls
    facade,   // a wall with windows (no return), pilasters, sills and a cornice
};

// Parses "terrain", "room" or "facade"; false for anything else.
bool parseSceneKind(const std::string& name, SceneKind* kind);
const char* sceneKindName(SceneKind kind);

// What a ray met first.
enum class Surface : uint8_t {
    none = 0,    // nothing (or glass): no point
    base = 1,    // the base surface
    object = 2,  // a sphere or a box
};

struct Hit {
    Surface surface = Surface::none;
    double t = 0.0;      // ray parameter of the hit (the ray's direction has unit length)
    V3 normal{0, 0, 1};  // unit normal of the surface at the hit
};

class Scene {
public:
    // A scene of the kind over x in [xMin, xMax] and y in [-halfWidth,
    // halfWidth], everything drawn from the seed. `scale` is the size of the
    // scene's features (a scan's footprint width). Within clearRadius of
    // (clearX, clearY) there is nothing but the base surface.
    Scene(SceneKind kind, uint64_t seed, double xMin, double xMax, double halfWidth, double scale,
          double clearX, double clearY, double clearRadius);

    // The first surface along origin + t dir (dir of unit length, pointing
    // down: dir.z < 0), starting the search of the base near tGuess (the
    // previous ray's hit, or a negative value for none).
    Hit cast(V3 origin, V3 dir, double tGuess) const;

    // Above every surface of the scene.
    double top() const { return top_; }
    // A point of the scene frame in the common frame of the scans.
    V3 toCommon(V3 p) const;
    // The scene frame's axes in the common frame.
    sim::Pose frame() const;

private:
    struct Wave {
        double kx, ky;  // wave vector (radians per metre)
        double phase;
        double amplitude;  // metres
    };
    struct Sphere {
        V3 centre;
        double radius;
    };
    struct Box {
        V3 lo, hi;
    };
    struct Rect {
        double x0, x1, y0, y1;
    };

    void addWaves(sim::Random& r, const std::vector<double>& wavelengths,
                  const std::vector<double>& slopes, double scale);
    void makeTerrain(sim::Random& r, double xMin, double xMax, double halfWidth, double scale);
    void makeRoom(sim::Random& r, double xMin, double xMax, double halfWidth, double scale);
    void makeFacade(sim::Random& r, double xMin, double xMax, double halfWidth, double scale);
    void clearAround(double x, double y, double radius);
    void indexObjects(double xMin, double xMax, double halfWidth, double scale);

    double height(double x, double y, double* gx, double* gy) const;
    Hit castBase(V3 origin, V3 dir, double tGuess) const;
    bool inGlass(double x, double y) const;

    SceneKind kind_;
    std::vector<Wave> waves_;   // the height field (none: the plane z = 0)
    double heightBound_ = 0.0;  // |h| never exceeds it
    std::vector<Sphere> spheres_;
    std::vector<Box> boxes_;
    std::vector<Rect> glass_;  // regions of the base that return nothing
    double top_ = 0.0;

    // Items (objects, or glass regions) bucketed by the squares of the x-y
    // plane that their bounds touch: bucket k = i * countY + j lists
    // items[start[k] .. start[k + 1]).
    struct Buckets {
        std::vector<uint32_t> start;
        std::vector<int32_t> items;
    };
    struct Span {
        int32_t item;
        double x0, x1, y0, y1;
    };
    Buckets bucket(const std::vector<Span>& spans) const;
    int bucketX(double x) const;
    int bucketY(double y) const;

    double bucketSize_ = 1.0, bucketX0_ = 0.0, bucketY0_ = 0.0;
    int bucketsX_ = 0, bucketsY_ = 0;
    Buckets objects_;   // an entry >= 0 is a sphere, ~entry a box
    Buckets glass_in_;  // indices into glass_
};

}  // namespace campaign
