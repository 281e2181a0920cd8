// The lane-wise triangle measurements (three sides at once) must give the
// one-side-at-a-time results bit for bit: on random triangles and points,
// on the corners and sides themselves, on degenerate triangles (repeated
// corners, collinear corners), at large and tiny scales, and with NaN and
// infinite coordinates.
#include "scan/face_distance.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The same float, or both NaN.
::testing::AssertionResult sameFloat(float a, float b) {
    if (bitsOf(a) == bitsOf(b) || (std::isnan(a) && std::isnan(b)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a << " != " << b;
}

// A triangle's corners, and the side-by-side measurements the lane-wise ones
// must match: the corner test from the squared corner distances (the
// fallback without SSE), and the outline as the nearest of sideDistance.
struct Triangle {
    Point3 c[3];
};

bool triangleNearCorner(const Point3& p, const Triangle& t) {
    const Vec3 v0 = t.c[0] - p, v1 = t.c[1] - p, v2 = t.c[2] - p;
    return overlap::nearCornerFromSquares(v0.x * v0.x + v0.y * v0.y + v0.z * v0.z,
                                          v1.x * v1.x + v1.y * v1.y + v1.z * v1.z,
                                          v2.x * v2.x + v2.y * v2.y + v2.z * v2.z);
}

float triangleOutline(const Point3& p, const Triangle& t) {
    float best = FLT_MAX;
    for (int j = 0; j < 3; ++j) {
        const float side = overlap::sideDistance(p, t.c[j], t.c[(j + 1) % 3]);
        if (side < best) best = side;
    }
    return best;
}

Triangle triangle(const Point3& a, const Point3& b, const Point3& c) {
    Triangle t;
    t.c[0] = a;
    t.c[1] = b;
    t.c[2] = c;
    return t;
}

// The corner test straight from its definition: the product of the lengths
// to two consecutive corners.
bool nearCornerByLengths(const Point3& p, const Triangle& t) {
    for (int j = 0; j < 3; ++j)
        if (overlap::isNearCorner((t.c[j] - p).length() * (t.c[(j + 1) % 3] - p).length()))
            return true;
    return false;
}

void expectSameMeasures(const Point3& p, const Triangle& t) {
    const overlap::SideLanes lanes = overlap::sideLanesOf(t.c[0], t.c[1], t.c[2]);
    EXPECT_EQ(overlap::lanesNearCorner(p, lanes), nearCornerByLengths(p, t))
        << "point " << p.x << " " << p.y << " " << p.z;
    EXPECT_TRUE(sameFloat(overlap::lanesOutline(p, lanes), triangleOutline(p, t)))
        << "point " << p.x << " " << p.y << " " << p.z;
    EXPECT_EQ(overlap::lanesNearCorner(p, lanes), triangleNearCorner(p, t))
        << "point " << p.x << " " << p.y << " " << p.z;
}

}  // namespace

TEST(FaceDistanceLanes, RandomTrianglesAndPointsAtEveryScale) {
    std::mt19937 rng(7);
    for (float scale : {1e-6f, 1e-3f, 0.05f, 1.0f, 1e4f}) {
        std::uniform_real_distribution<float> u(-scale, scale);
        for (int i = 0; i < 4000; ++i) {
            const Triangle t =
                triangle(Point3(u(rng), u(rng), u(rng)), Point3(u(rng), u(rng), u(rng)),
                         Point3(u(rng), u(rng), u(rng)));
            expectSameMeasures(Point3(u(rng), u(rng), u(rng)), t);
            // Close to the triangle: where the corner test is decided on the roots.
            const float w = u(rng) / scale * 0.5f + 0.5f;
            const Point3 on(t.c[0].x + w * (t.c[1].x - t.c[0].x),
                            t.c[0].y + w * (t.c[1].y - t.c[0].y),
                            t.c[0].z + w * (t.c[1].z - t.c[0].z));
            expectSameMeasures(on, t);
        }
    }
}

TEST(FaceDistanceLanes, CornersSidesAndNearCornerLimits) {
    const Triangle t = triangle(Point3(0, 0, 0), Point3(0.001f, 0, 0), Point3(0, 0.0005f, 0.0001f));
    for (int j = 0; j < 3; ++j) {
        const Point3& a = t.c[j];
        const Point3& b = t.c[(j + 1) % 3];
        expectSameMeasures(a, t);
        expectSameMeasures(Point3((a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2), t);
        // Around the corner test's limit: distances whose product is near 1e-7.
        for (float off = 1e-5f; off < 1e-3f; off *= 1.07f) {
            expectSameMeasures(Point3(a.x + off, a.y, a.z), t);
            expectSameMeasures(Point3(a.x, a.y - off, a.z + off * 0.5f), t);
        }
        // Exactly where the test flips along the side from a: the float steps
        // on either side of it, where only the roots can decide.
        float in = 0.0f, out = 0.5f;
        auto along = [&](float w) {
            return Point3(a.x + w * (b.x - a.x), a.y + w * (b.y - a.y), a.z + w * (b.z - a.z));
        };
        for (int step = 0; step < 60; ++step) {
            const float mid = (in + out) / 2;
            (nearCornerByLengths(along(mid), t) ? in : out) = mid;
        }
        float w = in;
        for (int k = 0; k < 8; ++k) w = std::nextafter(w, 0.0f);
        for (int k = 0; k < 16; ++k, w = std::nextafter(w, 1.0f)) expectSameMeasures(along(w), t);
    }
}

TEST(FaceDistanceLanes, DegenerateTrianglesAndNonFiniteCoordinates) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Point3 o(0, 0, 0), x(0.001f, 0, 0), x2(0.002f, 0, 0);
    const std::vector<Triangle> triangles = {
        triangle(o, o, o),                                           // one point
        triangle(o, x, x),                                           // a repeated corner
        triangle(o, x, x2),                                          // collinear
        triangle(o, x, Point3(nan, 0, 0)),                           // a NaN corner
        triangle(o, x, Point3(inf, 0, 0)),                           // an infinite corner
        triangle(Point3(FLT_MAX, 0, 0), Point3(-FLT_MAX, 0, 0), x),  // overflowing sides
        triangle(Point3(1e-30f, 0, 0), Point3(0, 1e-30f, 0), o),     // subnormal quotients
    };
    const std::vector<Point3> points = {o,
                                        x,
                                        Point3(0.0005f, 0.0001f, 0),
                                        Point3(-1, 2, 3),
                                        Point3(nan, 0, 0),
                                        Point3(inf, 0, 0),
                                        Point3(1e-31f, 0, 0),
                                        Point3(0, 5e-31f, 0)};
    for (const Triangle& t : triangles)
        for (const Point3& p : points) expectSameMeasures(p, t);
}
