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

// The corner test on the product of a point's distances to two consecutive
// corners (compared, as a float, with the double 1e-7).
inline bool isNearCorner(float product) { return product <= 1e-7; }

// Distance from p to the plane of a face through its first corner, from the
// face's unit normal and the normal's dot product with that corner.
inline float planeDistance(const Point3& p, const Vec3& normal, float normalDotCorner0) {
    return std::fabs(normal.dot(toVec3(p)) - normalDotCorner0);
}

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
        if (isNearCorner(q)) {
            return planeDistance(p, face.normal, face.normal.dot(toVec3(positions[idx[0]])));
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

namespace overlap {

// A triangle prepared for many measurements: its corners, normal and the
// normal's dot product with corner 0, as faceDistance would compute them.
struct Triangle {
    Point3 c[3];
    Vec3 normal;
    float normalDotCorner0;
};

// The corner test of a triangle, as faceDistance makes it. Each length is
// the correctly rounded square root of its squared length, so the test is
// decided on the squares wherever the rounding of the roots and of their
// product cannot change it, and computed from the roots only near the limit.
inline bool triangleNearCorner(const Point3& p, const Triangle& t) {
    const Vec3 v0 = t.c[0] - p, v1 = t.c[1] - p, v2 = t.c[2] - p;
    const float s0 = v0.x * v0.x + v0.y * v0.y + v0.z * v0.z;
    const float s1 = v1.x * v1.x + v1.y * v1.y + v1.z * v1.z;
    const float s2 = v2.x * v2.x + v2.y * v2.y + v2.z * v2.z;
    // The float product of two rounded roots lies within a relative 2e-7 of
    // the exact product of the roots, so its square within 4e-7 of s_a * s_b.
    constexpr double kSurelyNear = 1e-14 * (1.0 - 1e-6);
    constexpr double kSurelyFar = 1e-14 * (1.0 + 1e-6);
    const double q01 = double(s0) * s1, q12 = double(s1) * s2, q20 = double(s2) * s0;
    if (q01 <= kSurelyNear || q12 <= kSurelyNear || q20 <= kSurelyNear) return true;
    if (q01 > kSurelyFar && q12 > kSurelyFar && q20 > kSurelyFar) return false;
    const float l0 = fsqrt(s0), l1 = fsqrt(s1), l2 = fsqrt(s2);
    return isNearCorner(l0 * l1) || isNearCorner(l1 * l2) || isNearCorner(l2 * l0);
}

// The outline distance of a triangle: its nearest side.
inline float triangleOutline(const Point3& p, const Triangle& t) {
    float best = FLT_MAX;
    const float d0 = sideDistance(p, t.c[0], t.c[1]);
    if (d0 < best) best = d0;
    const float d1 = sideDistance(p, t.c[1], t.c[2]);
    if (d1 < best) best = d1;
    const float d2 = sideDistance(p, t.c[2], t.c[0]);
    if (d2 < best) best = d2;
    return best;
}

// faceDistance for a triangle.
inline float triangleDistance(const Point3& p, const Triangle& t) {
    if (triangleNearCorner(p, t)) return planeDistance(p, t.normal, t.normalDotCorner0);
    return triangleOutline(p, t);
}

}  // namespace overlap
