#include "tools/campaign/survey.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace campaign {

using sim::Random;

namespace {

constexpr double kStep = 0.6;       // station step, in footprints
constexpr double kNoise = 0.00002;  // standard deviation of the range noise (metres)
constexpr double kDropout = 0.003;  // share of rays that return nothing
constexpr double kDegree = M_PI / 180.0;
constexpr double kFacing = 0.8;  // strays only where the surface faces the scanner this much
constexpr int kEdgeCells = 4;    // strays no nearer a neighbour's raster edge
constexpr int kSmoothCells = 2;  // base surface all around a stray's cell
constexpr int kStrayApart = 6;   // raster cells between two strays

// Independent random streams per station and purpose (splitmix64).
uint64_t streamSeed(uint64_t seed, int station, uint64_t purpose) {
    uint64_t z = seed + 0x9E3779B97F4A7C15ull * (uint64_t(station) * 4 + purpose + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double between(Random& r, double lo, double hi) {
    return lo + (hi - lo) * r.uniform();
}

// The scanner-frame position of raster cell (row, col) on the raster plane.
V3 rasterPoint(const Plan& s, int row, int col) {
    return V3{(col - (s.cols - 1) / 2.0) * s.spacing, ((s.rows - 1) / 2.0 - row) * s.spacing, 0};
}

sim::Pose composed(const sim::Pose& outer, const sim::Pose& inner) {
    sim::Pose p;
    auto direction = [&](V3 v) { return outer.toCommon(v) - outer.origin; };
    p.axisX = direction(inner.axisX);
    p.axisY = direction(inner.axisY);
    p.axisZ = direction(inner.axisZ);
    p.origin = outer.toCommon(inner.origin);
    return p;
}

V3 vertexAt(const float* xyz) {
    return V3{xyz[0], xyz[1], xyz[2]};
}

// Whether the neighbouring station sees the scene point p, on the same
// surface, well inside its raster.
bool neighbourSees(const Survey& survey, int j, V3 p) {
    const Plan& s = survey.plan;
    const sim::Pose& pose = survey.stations[static_cast<std::size_t>(j)].inScene;
    const V3 local = pose.toScanner(p);
    const double col = local.x / s.spacing + (s.cols - 1) / 2.0;
    const double row = (s.rows - 1) / 2.0 - local.y / s.spacing;
    if (col < kEdgeCells || col > s.cols - 1 - kEdgeCells || row < kEdgeCells ||
        row > s.rows - 1 - kEdgeCells)
        return false;
    const Hit hit =
        survey.scene.cast(pose.toCommon(V3{local.x, local.y, 0}), -1.0 * pose.axisZ, -1);
    if (hit.surface == Surface::none) return false;
    const V3 q = pose.toCommon(V3{local.x, local.y, -hit.t});
    return std::fabs(q.x - p.x) + std::fabs(q.y - p.y) + std::fabs(q.z - p.z) < 1e-6;
}

// Smooth surface all around raster cell (row, col): every cell nearby holds
// a point, none beyond a depth step of more than a spacing per cell (45
// degrees) from the centre.
bool smoothAround(const Scan& scan, const Plan& s, int row, int col) {
    if (row < kSmoothCells || col < kSmoothCells || row >= s.rows - kSmoothCells ||
        col >= s.cols - kSmoothCells)
        return false;
    const float z = scan.xyz[3 * static_cast<std::size_t>(
                                     scan.grid[static_cast<std::size_t>(row) * s.cols + col]) +
                             2];
    for (int r = row - kSmoothCells; r <= row + kSmoothCells; ++r) {
        for (int c = col - kSmoothCells; c <= col + kSmoothCells; ++c) {
            const int32_t v = scan.grid[static_cast<std::size_t>(r) * s.cols + c];
            if (v < 0) return false;
            const int apart = std::max(std::abs(r - row), std::abs(c - col));
            if (std::fabs(scan.xyz[3 * static_cast<std::size_t>(v) + 2] - z) >
                apart * s.spacing + 1e-4)
                return false;
        }
    }
    return true;
}

// Places that may take a stray: random cells on a smooth surface that faces
// the scanner and that a neighbour sees.
void findCandidates(const Survey& survey, int i, Scan* scan) {
    const Plan& s = survey.plan;
    const Station& station = survey.stations[static_cast<std::size_t>(i)];
    Random r(streamSeed(s.seed, i, 2));
    const int tries = 200 * s.strays + 200;
    for (int k = 0; k < tries; ++k) {
        const int row = static_cast<int>(r.uniform() * s.rows);
        const int col = static_cast<int>(r.uniform() * s.cols);
        const int32_t v = scan->grid[static_cast<std::size_t>(row) * s.cols + col];
        if (v < 0 || !smoothAround(*scan, s, row, col)) continue;
        const V3 on = rasterPoint(s, row, col);
        const Hit hit =
            survey.scene.cast(station.inScene.toCommon(on), -1.0 * station.inScene.axisZ, -1);
        if (hit.surface == Surface::none ||
            std::fabs(sim::dot(hit.normal, station.inScene.axisZ)) < kFacing)
            continue;
        const V3 p = station.inScene.toCommon(V3{on.x, on.y, -hit.t});
        const bool seen = (i > 0 && neighbourSees(survey, i - 1, p)) ||
                          (i + 1 < s.stations && neighbourSees(survey, i + 1, p));
        if (!seen) continue;
        const float* xyz = &scan->xyz[3 * static_cast<std::size_t>(v)];
        const float liftedZ = static_cast<float>(double(xyz[2]) + kStrayLift);
        const sim::Pose frame = survey.scene.frame();
        scan->candidates.push_back({v, liftedZ, station.pose.toCommon(vertexAt(xyz)),
                                    station.pose.toCommon(V3{xyz[0], xyz[1], liftedZ}),
                                    frame.toCommon(hit.normal), row, col});
    }
}

// Where a coordinate lies in its lattice cell, from 0 (the low face) to 1.
double placeInCell(double v, double origin) {
    const double f = (v - origin) / kCellSize;
    return f - std::floor(f);
}

}  // namespace

namespace {

// Where station i stands in the scene's x-y plane and how it is turned.
struct Placement {
    double x, y;          // position
    double heading;       // turn about the scene's z axis (radians)
    double tiltX, tiltY;  // lean of the view axis towards x and y (radians)
};

Placement placement(const Plan& s, double footprint, int i) {
    Random r(streamSeed(s.seed, i, 0));
    Placement p;
    p.x = (i - 0.5 * (s.stations - 1)) * kStep * footprint + between(r, -0.02, 0.02) * footprint;
    p.y = between(r, -0.02, 0.02) * s.rows * s.spacing;
    p.heading = between(r, -2, 2) * kDegree;
    p.tiltX = between(r, -2, 2) * kDegree;
    p.tiltY = between(r, -2, 2) * kDegree;
    return p;
}

// The scene, kept clear of objects where the first scan's first rays land:
// the viewer's default removal threshold is the distance of the first two
// neighbouring points of the first scan, which must not straddle a step.
Scene sceneFor(const Plan& s, double footprint) {
    const Placement first = placement(s, footprint, 0);
    const double halfRows = 0.5 * s.rows * s.spacing;
    return Scene(s.kind, s.seed, -0.5 * (s.stations - 1) * kStep * footprint - footprint,
                 0.5 * (s.stations - 1) * kStep * footprint + footprint, halfRows + 0.1 * footprint,
                 footprint, first.x - 0.5 * footprint, first.y + halfRows,
                 0.03 * footprint + 20 * s.spacing);
}

}  // namespace

Survey::Survey(const Plan& s)
    : plan(s), footprint(s.cols * s.spacing), scene(sceneFor(s, footprint)) {
    const double height = scene.top() + 0.02 * footprint;
    for (int i = 0; i < s.stations; ++i) {
        const Placement p = placement(s, footprint, i);
        Station st;
        st.inScene = sim::poseLookingFrom(V3{std::tan(p.tiltX), std::tan(p.tiltY), 1},
                                          V3{-std::sin(p.heading), std::cos(p.heading), 0},
                                          V3{p.x, p.y, height});
        st.pose = composed(scene.frame(), st.inScene);
        stations.push_back(st);
    }
}

Scan takeScan(const Survey& survey, int i) {
    const Plan& s = survey.plan;
    const Station& station = survey.stations[static_cast<std::size_t>(i)];
    Random r(streamSeed(s.seed, i, 1));
    Scan scan;
    const std::size_t cells = static_cast<std::size_t>(s.cols) * s.rows;
    scan.grid.assign(cells, -1);
    scan.xyz.reserve(3 * cells);
    const V3 down = -1.0 * station.inScene.axisZ;
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (int row = 0; row < s.rows; ++row) {
        // The base's depth along a row, from the two rays before, starts the
        // search of the next one.
        double previous = -1, beforePrevious = -1;
        for (int col = 0; col < s.cols; ++col) {
            // Both draws are made for every ray, so that a ray's noise does
            // not depend on what the rays before it met.
            const bool dropout = r.uniform() < kDropout;
            const double noise = kNoise * r.normal();
            const V3 on = rasterPoint(s, row, col);
            const double guess = beforePrevious >= 0 ? 2 * previous - beforePrevious : previous;
            const Hit hit = survey.scene.cast(station.inScene.toCommon(on), down, guess);
            beforePrevious = hit.surface == Surface::base ? previous : -1;
            previous = hit.surface == Surface::base ? hit.t : -1;
            const std::size_t cell = static_cast<std::size_t>(row) * s.cols + col;
            if (hit.surface == Surface::none || dropout) continue;
            scan.grid[cell] = static_cast<int32_t>(scan.xyz.size() / 3);
            const float xyz[3] = {static_cast<float>(on.x), static_cast<float>(on.y),
                                  static_cast<float>(-(hit.t + noise))};
            scan.xyz.insert(scan.xyz.end(), xyz, xyz + 3);
            const V3 c = station.pose.toCommon(vertexAt(xyz));
            const double cs[3] = {c.x, c.y, c.z};
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], cs[a]);
                hi[a] = std::max(hi[a], cs[a]);
            }
        }
    }
    scan.lo = V3{lo[0], lo[1], lo[2]};
    scan.hi = V3{hi[0], hi[1], hi[2]};
    if (s.strays > 0) findCandidates(survey, i, &scan);
    return scan;
}

std::vector<Candidate> chooseStrays(const Scan& scan, V3 boxLo, V3 boxHi, int strays) {
    // Margins in cells: the surface within kSurfaceReach of the point stays in
    // the cell (it moves along an axis by at most the reach times the sine of
    // the normal's angle to that axis), with room for the range noise and the
    // float rounding of the loader's positions; the lifted point only needs
    // that room.
    constexpr double kSurfaceReach = 0.0005, kRoom = 0.0001;
    std::vector<Candidate> chosen;
    for (const Candidate& c : scan.candidates) {
        if (static_cast<int>(chosen.size()) >= strays) break;
        const double at[3] = {c.at.x, c.at.y, c.at.z}, up[3] = {c.lifted.x, c.lifted.y, c.lifted.z};
        const double lo[3] = {boxLo.x, boxLo.y, boxLo.z}, hi[3] = {boxHi.x, boxHi.y, boxHi.z};
        const double n[3] = {c.normal.x, c.normal.y, c.normal.z};
        bool ok = true;
        for (int a = 0; a < 3 && ok; ++a) {
            const double margin =
                (kSurfaceReach * std::sqrt(std::max(0.0, 1 - n[a] * n[a])) + kRoom) / kCellSize;
            const double place = placeInCell(at[a], lo[a]);
            const double lifted = place + (up[a] - at[a]) / kCellSize;
            ok = place >= margin && place <= 1 - margin && lifted >= kRoom / kCellSize &&
                 lifted <= 1 - kRoom / kCellSize && up[a] > lo[a] + kRoom && up[a] < hi[a] - kRoom;
        }
        for (const Candidate& o : chosen)
            ok = ok && std::max(std::abs(o.row - c.row), std::abs(o.col - c.col)) > kStrayApart;
        if (ok) chosen.push_back(c);
    }
    std::sort(chosen.begin(), chosen.end(),
              [](const Candidate& a, const Candidate& b) { return a.index < b.index; });
    return chosen;
}

}  // namespace campaign
