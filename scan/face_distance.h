// The distance the overlap analysis measures from a point to one polygon of
// another scan, in single precision exactly as the analysis defines it:
//   - a point whose distances to two consecutive corners multiply to at most
//     1e-7 (it lies on or very near a corner) counts as inside the polygon and
//     gets its distance to the polygon's plane;
//   - any other point gets its distance to the polygon's outline (the nearest
//     of its sides), never to its interior.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <vector>

#include "math/geometry.h"
#include "scene/dmesh.h"

namespace overlap {

// Distance from p to the segment a-b, as the outline measure computes it:
// the dot products are float results compared as doubles, and the parameter
// of the foot point is their double quotient rounded to float.
inline float sideDistance(const Point3& p, const Point3& a, const Point3& b) {
    const Vec3 e = b - a;
    const Vec3 s = p - a;
    const double c1 = s.dot(e);
    const double c2 = e.dot(e);
    if (c1 <= 0) return s.length();
    if (c2 <= c1) return (p - b).length();
    const float r = static_cast<float>(c1 / c2);
    Point3 foot = a;
    foot += e.scaled(r);
    return (p - foot).length();
}

// Distance from p to the face whose corners are positions[face.vertexIndices[j]].
// A face without corners gives FLT_MAX (it can never lower a value).
inline float faceDistance(const Point3& p, const Face& face, const std::vector<Point3>& positions) {
    const std::size_t m = face.vertexIndices.size();
    const int32_t* idx = face.vertexIndices.data();
    for (std::size_t j = 0; j < m; ++j) {
        const Point3& a = positions[idx[j]];
        const Point3& b = positions[idx[j + 1 < m ? j + 1 : 0]];
        const float q = (a - p).length() * (b - p).length();
        if (q <= 1e-7) {
            const Vec3 pv = toVec3(p);
            const Vec3 c0 = toVec3(positions[idx[0]]);
            return std::fabs(face.normal.dot(pv) - face.normal.dot(c0));
        }
    }
    float best = FLT_MAX;
    for (std::size_t j = 0; j < m; ++j) {
        const float side =
            sideDistance(p, positions[idx[j]], positions[idx[j + 1 < m ? j + 1 : 0]]);
        if (side < best) best = side;
    }
    return best;
}

}  // namespace overlap
