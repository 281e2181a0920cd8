// The survey: stations on a path along the scene, the range image each one
// takes, and the choice of its stray points.
//
// Stations stand one step (six tenths of a footprint) apart along the scene's
// x axis, with a little jitter of place, heading and tilt, so that each scan
// overlaps its two neighbours on the path by about four tenths of its width
// and no other scan. A scanner casts a raster of parallel rays down its -z
// axis and records the first hit of each ray, with a little noise along the
// ray, in its own frame; a few rays return nothing (dropouts, glass).
//
// Stray points are points lifted towards the scanner, as dust or a stray
// reflection would be. They are chosen so that the overlap analysis must toss
// them: in a part of the scan that a neighbour sees too, on smooth ground,
// where the lifted point stays inside the lattice cell of the surface point
// (the neighbour's polygons there are measured) and lies farther from the
// neighbour's surface than a point spacing. Because the cell depends on the
// lattice's origin, the corner of all scans' box, the strays are chosen once
// every scan is taken (see chooseStrays).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/campaign/scene.h"

namespace campaign {

struct Plan {
    SceneKind kind = SceneKind::terrain;
    int stations = 10;
    int cols = 1000, rows = 1000;  // raster size of every scan
    double spacing = 0.0005;       // metres between neighbouring rays
    int strays = 8;                // stray points per scan (where enough places qualify)
    uint64_t seed = 1;
};

// Edge of the analysis lattice's cells, and how far a stray is lifted.
constexpr double kCellSize = 0.0025;
constexpr double kStrayLift = 0.0012;

struct Station {
    sim::Pose inScene;  // the scanner's frame in the scene frame
    sim::Pose pose;     // the scanner's frame in the common frame (what the configuration records)
};

// The scene and the stations of a campaign.
struct Survey {
    explicit Survey(const Plan& plan);
    Plan plan;
    double footprint;  // width of a scan along the path (cols x spacing)
    Scene scene;
    std::vector<Station> stations;
};

// A point of a scan that may become a stray.
struct Candidate {
    int32_t index;  // vertex index in its scan
    float liftedZ;  // the vertex's z (scanner frame) once lifted
    V3 at;          // the vertex in the common frame
    V3 lifted;      // the lifted vertex in the common frame
    V3 normal;      // the surface's unit normal there, in the common frame
    int row, col;   // its raster cell
};

// One scan in memory.
struct Scan {
    std::vector<float> xyz;       // vertices in the scanner frame, x y z each, in raster order
    std::vector<int32_t> grid;    // per raster cell (row-major, row 0 at the top): vertex or -1
    V3 lo{0, 0, 0}, hi{0, 0, 0};  // the box of the vertices in the common frame
    std::vector<Candidate> candidates;  // places for strays, in the order they are tried
};

// Station i's scan; the same for the same survey whatever the thread.
Scan takeScan(const Survey& survey, int i);

// Chooses up to `strays` strays of a scan among its candidates, given the box
// of all scans (the lattice's origin is its low corner): the surface within
// half a millimetre of the point lies in the point's cell, the lifted point
// lies in the same cell and inside the box, and no two strays are within six
// raster cells. Returns the chosen candidates in vertex order.
std::vector<Candidate> chooseStrays(const Scan& scan, V3 boxLo, V3 boxHi, int strays);

}  // namespace campaign
