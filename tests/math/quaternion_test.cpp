#include <gtest/gtest.h>

#include <cmath>

#include "math/geometry.h"

TEST(Quaternion, IdentityGivesTheIdentityMatrix) {
    const Matrix4 m = Quaternion(0, 0, 0, 1).toMatrix();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(m(r, c), r == c ? 1.0f : 0.0f) << r << "," << c;
}

TEST(Quaternion, ToMatrixPlacesTheOffDiagonalTermsAsConfigurationsExpect) {
    const float s = std::sin(static_cast<float>(M_PI) / 4),
                c = std::cos(static_cast<float>(M_PI) / 4);
    const Matrix4 m = Quaternion(0, 0, s, c).toMatrix();
    EXPECT_NEAR(m(0, 1), 1.0f, 1e-6f);
    EXPECT_NEAR(m(1, 0), -1.0f, 1e-6f);
    EXPECT_NEAR(m(0, 0), 0.0f, 1e-6f);
    EXPECT_EQ(m(2, 2), c * c + s * s);
    // Half a turn about z maps (1, 0, 0) to (-1, 0, 0).
    Point3 p(1, 0, 0);
    p.transform(Quaternion(0, 0, 1, 0).toMatrix());
    EXPECT_EQ(p.x, -1.0f);
    EXPECT_EQ(p.y, 0.0f);
    // A general quaternion: every element where the table puts it.
    const Quaternion q(0.1f, 0.2f, 0.3f, 0.9f);
    const Matrix4 g = q.toMatrix();
    EXPECT_FLOAT_EQ(g(1, 2), 2 * (0.9f * 0.1f + 0.2f * 0.3f));
    EXPECT_FLOAT_EQ(g(2, 1), 2 * (0.2f * 0.3f - 0.9f * 0.1f));
    EXPECT_FLOAT_EQ(g(0, 2), 2 * (0.1f * 0.3f - 0.9f * 0.2f));
    EXPECT_FLOAT_EQ(g(2, 0), 2 * (0.1f * 0.3f + 0.9f * 0.2f));
    EXPECT_EQ(g(3, 3), 1.0f);
    EXPECT_EQ(g(0, 3), 0.0f);
}

TEST(Quaternion, NonUnitQuaternionScalesBySquaredLength) {
    Point3 p(1, 0, 0);
    p.transform(Quaternion(0, 0, 0, 2).toMatrix());
    EXPECT_EQ(p.x, 4.0f);
}

TEST(Quaternion, HamiltonProductIsNotCommutative) {
    const Quaternion i(1, 0, 0, 0), j(0, 1, 0, 0);
    const Quaternion k = i * j;
    EXPECT_EQ(k.z, 1.0f);
    EXPECT_EQ(k.w, 0.0f);
    const Quaternion minusK = j * i;
    EXPECT_EQ(minusK.z, -1.0f);
    Quaternion q = i;
    q *= i;  // i^2 = -1
    EXPECT_EQ(q.w, -1.0f);
    EXPECT_EQ(q.x, 0.0f);
    const Quaternion sum = i + j;
    EXPECT_EQ(sum.x, 1.0f);
    EXPECT_EQ(sum.y, 1.0f);
    EXPECT_EQ(sum.w, 0.0f);
}

TEST(Quaternion, NormaliseDividesAllFourComponents) {
    Quaternion q(0, 3, 0, 4);
    q.normalise();
    EXPECT_FLOAT_EQ(q.y, 0.6f);
    EXPECT_FLOAT_EQ(q.w, 0.8f);
}
