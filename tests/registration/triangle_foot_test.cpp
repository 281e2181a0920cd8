// The nearest point of a triangle, against a dense sampling of the triangle.
#include "registration/triangle_foot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using registration::Feature;
using registration::nearestOnTriangle;
using V = Eigen::Vector3f;

// The smallest distance from p to points of the triangle on a fine grid.
float sampledDistance(const V& p, const V& a, const V& b, const V& c) {
    float best = INFINITY;
    const int n = 200;
    for (int i = 0; i <= n; ++i)
        for (int j = 0; i + j <= n; ++j) {
            const V q = a + (b - a) * (float(i) / n) + (c - a) * (float(j) / n);
            best = std::min(best, (p - q).norm());
        }
    return best;
}

TEST(NearestOnTriangle, NoPointOfTheTriangleIsNearerAndTheFootLiesOnIt) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> u(-1, 1);
    for (int k = 0; k < 300; ++k) {
        const V a(u(random), u(random), u(random)), b(u(random), u(random), u(random));
        // Every tenth triangle degenerate: a corner on the opposite side or
        // two corners in one place.
        V c(u(random), u(random), u(random));
        if (k % 10 == 0) c = a + 0.3f * (b - a);
        if (k % 10 == 5) c = b;
        const V p(2 * u(random), 2 * u(random), 2 * u(random));
        const auto f = nearestOnTriangle(p, a, b, c);
        ASSERT_TRUE(f.point.allFinite()) << k;
        EXPECT_NEAR(f.u + f.v + f.w, 1, 1e-5) << k;
        EXPECT_GE(std::min({f.u, f.v, f.w}), -1e-5) << k;
        EXPECT_LT((f.u * a + f.v * b + f.w * c - f.point).norm(), 1e-5) << k;
        const float sampled = sampledDistance(p, a, b, c);
        EXPECT_LE((p - f.point).norm(), sampled + 1e-5) << k;
        EXPECT_GE((p - f.point).norm(), sampled - 0.02f) << k;
    }
}

TEST(NearestOnTriangle, TellsInsideSidesAndCorners) {
    const V a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    EXPECT_EQ(nearestOnTriangle(V(0.2f, 0.2f, 1), a, b, c).feature, Feature::Inside);
    EXPECT_EQ(nearestOnTriangle(V(0.5f, -1, 0), a, b, c).feature, Feature::Side0);
    EXPECT_EQ(nearestOnTriangle(V(1, 1, 0.5f), a, b, c).feature, Feature::Side1);
    EXPECT_EQ(nearestOnTriangle(V(-1, 0.5f, 0), a, b, c).feature, Feature::Side2);
    EXPECT_EQ(nearestOnTriangle(V(-1, -1, 0), a, b, c).feature, Feature::Corner0);
    EXPECT_EQ(nearestOnTriangle(V(2, -0.5f, 0), a, b, c).feature, Feature::Corner1);
    EXPECT_EQ(nearestOnTriangle(V(-0.5f, 2, 0), a, b, c).feature, Feature::Corner2);
}

}  // namespace
