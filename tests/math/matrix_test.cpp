#include <gtest/gtest.h>

#include "math/geometry.h"

namespace {

Matrix4 translation(float x, float y, float z) {
    Matrix4 m;
    m(0, 3) = x;
    m(1, 3) = y;
    m(2, 3) = z;
    return m;
}

Matrix4 scaling(float s) {
    Matrix4 m;
    m(0, 0) = m(1, 1) = m(2, 2) = s;
    return m;
}

}  // namespace

TEST(Matrix4, StorageIsColumnMajorWithRowColumnAccess) {
    Matrix4 m;
    m(1, 3) = 7.0f;  // row 1, column 3
    EXPECT_EQ(m.data()[4 * 3 + 1], 7.0f);
    EXPECT_EQ(m.data()[0], 1.0f);
    EXPECT_EQ(m.data()[1], 0.0f);
}

TEST(Matrix4, CopiesOwnTheirStorage) {
    Matrix4 a;
    Matrix4 b = a;
    b(0, 0) = 5.0f;
    EXPECT_EQ(a(0, 0), 1.0f);
    Matrix4 c;
    c = b;
    b(0, 0) = 6.0f;
    EXPECT_EQ(c(0, 0), 5.0f);
    EXPECT_NE(c.data(), b.data());
}

TEST(Matrix4, ProductAppliesTheRightOperandFirst) {
    // (translate x scale) applied to p is translate(scale(p)).
    Matrix4 m = translation(1, 0, 0);
    m *= scaling(2.0f);
    Point3 p(1, 1, 1);
    p.transform(m);
    EXPECT_EQ(p.x, 3.0f);
    EXPECT_EQ(p.y, 2.0f);

    Matrix4 n = scaling(2.0f);
    n *= translation(1, 0, 0);
    Point3 q(1, 1, 1);
    q.transform(n);
    EXPECT_EQ(q.x, 4.0f);  // scale(translate(p))
}

TEST(Matrix4, SelfProductSquaresTheMatrix) {
    Matrix4 m = translation(1, 2, 3);
    m *= m;
    EXPECT_EQ(m(0, 3), 2.0f);
    EXPECT_EQ(m(1, 3), 4.0f);
    EXPECT_EQ(m(2, 3), 6.0f);
    EXPECT_EQ(m(3, 3), 1.0f);
}

TEST(Matrix4, TransformIgnoresTheBottomRowAndNeverDividesByW) {
    Matrix4 m = translation(1, 2, 3);
    m(3, 0) = 5.0f;  // a projective bottom row would change w, not x, y, z
    m(3, 3) = 4.0f;
    Point3 p(1, 2, 3);
    p.transform(m);
    EXPECT_EQ(p.x, 2.0f);
    EXPECT_EQ(p.y, 4.0f);
    EXPECT_EQ(p.z, 6.0f);
}

TEST(Matrix4, PrintsRowByRowInsideABox) {
    Matrix4 m = translation(1, 2, 3);
    m(1, 0) = -0.5f;
    testing::internal::CaptureStdout();
    m.print();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " __                     __\n"
              "|  1.00  0.00  0.00  1.00 |\n"
              "| -0.50  1.00  0.00  2.00 |\n"
              "|  0.00  0.00  1.00  3.00 |\n"
              "|  0.00  0.00  0.00  1.00 |\n"
              "|__                     __|\n");
}
