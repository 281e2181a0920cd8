#include <gtest/gtest.h>

#include "math/geometry.h"

TEST(Vec3, NormaliseLeavesZeroAloneAndScalesOthersToUnitLength) {
    Vec3 zero;
    zero.normalise();
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);

    Vec3 v(3.0f, 0.0f, 4.0f);
    v.normalise();
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_FLOAT_EQ(v.z, 0.8f);
    EXPECT_FLOAT_EQ(v.length(), 1.0f);
}

TEST(Vec3, CrossIsRightHandedAndAnticommutative) {
    const Vec3 x(1, 0, 0), y(0, 1, 0);
    const Vec3 z = x.cross(y);
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 1.0f);
    const Vec3 minusZ = y.cross(x);
    EXPECT_EQ(minusZ.z, -1.0f);
    // Perpendicular to both operands.
    const Vec3 a(1.5f, -2.0f, 0.25f), b(-0.5f, 3.0f, 2.0f);
    const Vec3 c = a.cross(b);
    EXPECT_NEAR(c.dot(a), 0.0f, 1e-5f);
    EXPECT_NEAR(c.dot(b), 0.0f, 1e-5f);
}

TEST(Vec3, ScaledDividedAndInPlaceArithmetic) {
    Vec3 v(1, 2, 3);
    const Vec3 s = v.scaled(2.0f);
    EXPECT_EQ(s.y, 4.0f);
    const Vec3 d = v.divided(2.0f);
    EXPECT_EQ(d.z, 1.5f);
    v *= -1.0f;
    v += Vec3(1, 1, 1);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, -1.0f);
    EXPECT_EQ(v.z, -2.0f);
    EXPECT_EQ(v.dot(Vec3(1, 1, 1)), -3.0f);
}

TEST(Point3, DifferenceAndSumAreVectorsAndAddingAVectorMovesThePoint) {
    const Point3 a(1, 2, 3), b(0.5f, 4, -1);
    const Vec3 diff = a - b;
    EXPECT_EQ(diff.x, 0.5f);
    EXPECT_EQ(diff.y, -2.0f);
    EXPECT_EQ(diff.z, 4.0f);
    const Vec3 sum = a + b;
    EXPECT_EQ(sum.z, 2.0f);
    Point3 p = a;
    p += Vec3(1, 1, 1);
    EXPECT_EQ(p.x, 2.0f);
    EXPECT_EQ(toVec3(p).y, 3.0f);
    EXPECT_EQ(toPoint3(Vec3(7, 8, 9)).z, 9.0f);
}

TEST(Vec4, ArrayMirrorsComponentsOnlyWhenAskedAgain) {
    Vec4 c(1.0f, 0.5f, 0.0f, 1.0f);
    const float* a = c.array();
    EXPECT_EQ(a[0], 1.0f);
    EXPECT_EQ(a[1], 0.5f);
    EXPECT_EQ(a[2], 0.0f);
    EXPECT_EQ(a[3], 1.0f);
    c.x = 0.25f;
    EXPECT_EQ(a[0], 1.0f);  // stale until the next array() call
    EXPECT_EQ(c.array()[0], 0.25f);
    const Vec4 def;
    EXPECT_EQ(def.w, 1.0f);
    EXPECT_EQ(def.x, 0.0f);
}

TEST(ScalarHelpers, RoundTheDoubleResultToFloat) {
    EXPECT_EQ(fsqrt(2.0f), static_cast<float>(std::sqrt(2.0)));
    EXPECT_EQ(fcos(0.1f), static_cast<float>(std::cos(static_cast<double>(0.1f))));
    EXPECT_EQ(fatan(1.0f / 0.0f), static_cast<float>(M_PI / 2));
    EXPECT_EQ(facos(-1.0f), static_cast<float>(M_PI));
}

TEST(Printing, PointAndVectorFormats) {
    testing::internal::CaptureStdout();
    Point3(1, 2, 3).print();
    Vec3(-1.5f, 0, 12.345f).print();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "(  1.00,  2.00,  3.00 )\n"
              "[ -1.50,  0.00, 12.35 ]\n");
}
