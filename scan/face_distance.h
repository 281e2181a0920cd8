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
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "math/geometry.h"
#include "scene/face.h"

namespace overlap {

// The corner test on the product of a point's distances to two consecutive
// corners (compared, as a float, with the double 1e-7).
inline bool isNearCorner(float product) {
    return product <= 1e-7;
}

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

// The corner test of a triangle, as faceDistance makes it, from the squared
// distances s0, s1, s2 of the point to its corners (float sums of squared
// differences). Each length is the correctly rounded square root of its
// squared length, so the test is decided on the squares wherever the
// rounding of the roots and of their product cannot change it, and computed
// from the roots only near the limit.
inline bool nearCornerFromSquares(float s0, float s1, float s2) {
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

// A triangle's corners laid out for measuring its three sides at once: the
// coordinates axis by axis, so that one load gives an axis of all three
// corners (lane 3 holds the next axis's first corner or the spare word and is
// never used).
struct SideLanes {
    float x[3], y[3], z[3];
    float spare;  // keeps the load of z inside the record
};

inline SideLanes sideLanesOf(const Point3& a, const Point3& b, const Point3& c) {
    return SideLanes{{a.x, b.x, c.x}, {a.y, b.y, c.y}, {a.z, b.z, c.z}, 0.0f};
}

#if defined(__SSE2__)
// Lane-wise a ? b : c for masks of all ones or all zeros.
inline __m128 select(__m128 mask, __m128 b, __m128 c) {
    return _mm_or_ps(_mm_and_ps(mask, b), _mm_andnot_ps(mask, c));
}
#endif

// The corner test of faceDistance for a triangle, from the lane layout.
inline bool lanesNearCorner(const Point3& p, const SideLanes& t) {
#if defined(__SSE2__)
    const __m128 vx = _mm_sub_ps(_mm_loadu_ps(t.x), _mm_set1_ps(p.x));
    const __m128 vy = _mm_sub_ps(_mm_loadu_ps(t.y), _mm_set1_ps(p.y));
    const __m128 vz = _mm_sub_ps(_mm_loadu_ps(t.z), _mm_set1_ps(p.z));
    const __m128 sq =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(vx, vx), _mm_mul_ps(vy, vy)), _mm_mul_ps(vz, vz));
    // The three products s0 s1, s1 s2, s2 s0 in float, decided against limits
    // with three times the margin of nearCornerFromSquares: a float product
    // lies within a relative 6e-8 of the exact product of the two floats
    // (NaN lanes are neither near nor far, and so go to the roots).
    constexpr float kSurelyNear = static_cast<float>(1e-14 * (1.0 - 3e-6));
    constexpr float kSurelyFar = static_cast<float>(1e-14 * (1.0 + 3e-6));
    const __m128 q = _mm_mul_ps(sq, _mm_shuffle_ps(sq, sq, _MM_SHUFFLE(3, 0, 2, 1)));
    if (_mm_movemask_ps(_mm_cmple_ps(q, _mm_set1_ps(kSurelyNear))) & 7) return true;
    if ((_mm_movemask_ps(_mm_cmpgt_ps(q, _mm_set1_ps(kSurelyFar))) & 7) == 7) return false;
    alignas(16) float s[4];
    _mm_store_ps(s, sq);
    const float l0 = fsqrt(s[0]), l1 = fsqrt(s[1]), l2 = fsqrt(s[2]);
    return isNearCorner(l0 * l1) || isNearCorner(l1 * l2) || isNearCorner(l2 * l0);
#else
    float s[3];
    for (int j = 0; j < 3; ++j) {
        const float vx = t.x[j] - p.x, vy = t.y[j] - p.y, vz = t.z[j] - p.z;
        s[j] = vx * vx + vy * vy + vz * vz;
    }
    return nearCornerFromSquares(s[0], s[1], s[2]);
#endif
}

// The outline distance of a triangle (its nearest side, as faceDistance takes
// it) from the lane layout, the three sides measured at once with
// the same float operations as sideDistance: its double comparisons of float
// dot products are float comparisons, its double quotient rounded to float is
// the correctly rounded float quotient (a double carries more than twice a
// float's precision, so rounding twice changes nothing), and so is the float
// of the double square root of a float. The nearest side is chosen in the
// same order, so NaN sides are passed over the same way.
inline float lanesOutline(const Point3& p, const SideLanes& t) {
#if defined(__SSE2__)
    const __m128 px = _mm_set1_ps(p.x), py = _mm_set1_ps(p.y), pz = _mm_set1_ps(p.z);
    // Side j runs from corner j to corner j + 1 (mod 3); lane 3 repeats side 0.
    const __m128 cx = _mm_loadu_ps(t.x), cy = _mm_loadu_ps(t.y), cz = _mm_loadu_ps(t.z);
    const __m128 ax = _mm_shuffle_ps(cx, cx, _MM_SHUFFLE(0, 2, 1, 0));
    const __m128 ay = _mm_shuffle_ps(cy, cy, _MM_SHUFFLE(0, 2, 1, 0));
    const __m128 az = _mm_shuffle_ps(cz, cz, _MM_SHUFFLE(0, 2, 1, 0));
    const __m128 bx = _mm_shuffle_ps(cx, cx, _MM_SHUFFLE(1, 0, 2, 1));
    const __m128 by = _mm_shuffle_ps(cy, cy, _MM_SHUFFLE(1, 0, 2, 1));
    const __m128 bz = _mm_shuffle_ps(cz, cz, _MM_SHUFFLE(1, 0, 2, 1));
    const __m128 ex = _mm_sub_ps(bx, ax), ey = _mm_sub_ps(by, ay), ez = _mm_sub_ps(bz, az);
    const __m128 sx = _mm_sub_ps(px, ax), sy = _mm_sub_ps(py, ay), sz = _mm_sub_ps(pz, az);
    const __m128 c1 =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(sx, ex), _mm_mul_ps(sy, ey)), _mm_mul_ps(sz, ez));
    const __m128 c2 =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(ex, ex), _mm_mul_ps(ey, ey)), _mm_mul_ps(ez, ez));
    const __m128 r = _mm_div_ps(c1, c2);
    // p - (a + r e), p - b and p - a, chosen per side as sideDistance does.
    const __m128 gx = _mm_sub_ps(px, _mm_add_ps(ax, _mm_mul_ps(r, ex)));
    const __m128 gy = _mm_sub_ps(py, _mm_add_ps(ay, _mm_mul_ps(r, ey)));
    const __m128 gz = _mm_sub_ps(pz, _mm_add_ps(az, _mm_mul_ps(r, ez)));
    const __m128 beforeA = _mm_cmple_ps(c1, _mm_setzero_ps());
    const __m128 pastB = _mm_cmple_ps(c2, c1);
    const __m128 vx = select(beforeA, sx, select(pastB, _mm_sub_ps(px, bx), gx));
    const __m128 vy = select(beforeA, sy, select(pastB, _mm_sub_ps(py, by), gy));
    const __m128 vz = select(beforeA, sz, select(pastB, _mm_sub_ps(pz, bz), gz));
    const __m128 len = _mm_sqrt_ps(
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(vx, vx), _mm_mul_ps(vy, vy)), _mm_mul_ps(vz, vz)));
    alignas(16) float d[4];
    _mm_store_ps(d, len);
#else
    float d[3];
    for (int j = 0; j < 3; ++j)
        d[j] = sideDistance(p, Point3(t.x[j], t.y[j], t.z[j]),
                            Point3(t.x[(j + 1) % 3], t.y[(j + 1) % 3], t.z[(j + 1) % 3]));
#endif
    float best = FLT_MAX;
    if (d[0] < best) best = d[0];
    if (d[1] < best) best = d[1];
    if (d[2] < best) best = d[2];
    return best;
}

}  // namespace overlap
