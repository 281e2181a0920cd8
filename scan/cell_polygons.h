// The polygons of other scans that the points of one lattice cell are measured
// against, and the measurement of one point against them.
//
// Polygons are kept as records built from world positions alone (a triangle's
// three corners and normal, or a larger polygon's box and where to find it),
// so that they can come from any representation of a scan. The measurement
// gives every point exactly the value of overlap::faceDistance minimised over
// the cell's polygons, as the pass-by-pass definition
// (scan/overlap_reference.cpp) does, but skips the polygons that cannot lower
// it.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "math/geometry.h"
#include "scan/face_distance.h"
#include "scene/mesh.h"

// A polygon prepared for many measurements, in one cache line. For a
// triangle: its corners and the normal terms that the measurement uses. For
// other polygons (measured through the face itself): the box of the corners,
// kept in the corner lanes as (lo, hi, hi) on each axis.
struct alignas(64) FaceRecord {
    overlap::SideLanes corners;  // the corners axis by axis, or the box
    Vec3 normal;                 // the face's unit normal (triangles only)
    float normalDotCorner0;      // normal . corner 0 (triangles only)
    int32_t polygon;  // -1 for a triangle, else the index of the face, measured through it
    bool triangle() const { return polygon < 0; }

    // A triangle with corners a, b, c (in face order) and its unit normal.
    void setTriangle(const Point3& a, const Point3& b, const Point3& c, const Vec3& n) {
        corners = overlap::sideLanesOf(a, b, c);
        normal = n;
        normalDotCorner0 = n.dot(toVec3(a));
        polygon = -1;
    }

    // Any other polygon: face `index` of its scan, whose corners are
    // positions[cornerIndices[0 .. count)] (all valid). Only its box is kept;
    // NaN coordinates are left out of it.
    void setPolygon(const int32_t* cornerIndices, std::size_t count, const Point3* positions,
                    int32_t index) {
        Point3 lo(FLT_MAX, FLT_MAX, FLT_MAX), hi(-FLT_MAX, -FLT_MAX, -FLT_MAX);
        for (std::size_t k = 0; k < count; ++k) {
            const Point3& p = positions[cornerIndices[k]];
            lo = Point3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
            hi = Point3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
        }
        corners = overlap::sideLanesOf(lo, hi, hi);
        polygon = index;
    }

    // The box of the corners, folded into (FLT_MAX, -FLT_MAX) with std::min
    // and std::max so that NaN corners are left out of it. (A polygon without
    // a single number among its corners gets the whole space, which only
    // costs measurements.)
    void box(float lo[3], float hi[3]) const {
        const float* axes[3] = {corners.x, corners.y, corners.z};
        for (int a = 0; a < 3; ++a) {
            const float* v = axes[a];
            lo[a] = std::min(std::min(std::min(FLT_MAX, v[0]), v[1]), v[2]);
            hi[a] = std::max(std::max(std::max(-FLT_MAX, v[0]), v[1]), v[2]);
        }
    }
};

// Where the polygon records of one scan find their polygons: face
// record.polygon of `faces`, its corners indexing `positions`. Scans made of
// triangles only need neither.
struct PolygonSource {
    const std::vector<Face>* faces = nullptr;        // not owned
    const std::vector<Point3>* positions = nullptr;  // not owned

    float distance(const Point3& p, int32_t polygon) const {
        return overlap::faceDistance(p, (*faces)[static_cast<std::size_t>(polygon)], *positions);
    }
};

// The records of one base scan that lie in the cell being measured.
struct CellRun {
    const FaceRecord* records;      // all records of the scan, in cell order (not owned)
    std::size_t recordCount;        // the size of that array (the next cells' records follow)
    uint32_t begin, end;            // this cell's records: records[begin .. end)
    const PolygonSource* polygons;  // where its polygon records are measured (not owned)
};

// The polygons of all base scans in one target cell, gathered so that their
// boxes are measured in one run, four at a time. The box arrays are padded
// to a multiple of four with boxes no point comes near (their squared
// distance overflows to infinity), which are never measured. The records
// gathered must outlive the measurements.
struct CellPolygons {
    // Gathers the records of the given runs, replacing what was gathered.
    void gather(const std::vector<CellRun>& runs);

    std::size_t count = 0;                      // polygons
    std::size_t padded = 0;                     // count rounded up to a multiple of four
    std::vector<float> lo[3], hi[3];            // box bounds (the first `padded` entries)
    std::vector<const FaceRecord*> records;     // the polygons (the first `count` entries)
    std::vector<const PolygonSource*> sources;  // where each polygon record is measured
};

// The smallest measured distance from a point to the polygons of a cell,
// starting from the point's value so far. The result is the minimum over
// all those polygons, like the pass-by-pass definition gives it; polygons
// that cannot lower it are skipped. Keeps scratch space between calls: one
// per thread.
class PointMeasure {
public:
    // `absolute` bounds the rounding of a coordinate difference: a millionth
    // of the largest finite coordinate of all scans (plus a tiny constant).
    explicit PointMeasure(double absolute) : absolute_(absolute) {}

    // d: the point's value so far, FLT_MAX for none. Returns d when no
    // polygon of the cell lowers it.
    float measure(const Point3& p, float d, const CellPolygons& cell);

private:
    double absolute_;
    std::vector<uint32_t> near_;
    std::vector<float> boxSq_;
};
