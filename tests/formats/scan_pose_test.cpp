// Poses as bmesh records: the conjugate of an E57 quaternion, and a PTX
// matrix reproduced bit for bit by the quaternion found for it.
#include "formats/scan_pose.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "math/quaternion.h"

namespace {

TEST(ConfigPose, E57QuaternionBecomesTheRecordWhoseMatrixIsTheRotation) {
    formats::ScanPose pose;
    const double q[4] = {0.8, 0.2, -0.4, std::sqrt(1 - 0.64 - 0.04 - 0.16)};
    for (int k = 0; k < 4; ++k) pose.rotation[k] = q[k];
    pose.translation[2] = -3.5;
    formats::setMatrixFromQuaternion(&pose);
    const formats::ConfigPose c = formats::configPose(pose);
    EXPECT_TRUE(c.exact);
    EXPECT_EQ(c.quaternion[0], float(-0.2));
    EXPECT_EQ(c.quaternion[3], float(0.8));
    EXPECT_EQ(c.translation[2], -3.5f);
    const Matrix4 m =
        Quaternion(c.quaternion[0], c.quaternion[1], c.quaternion[2], c.quaternion[3]).toMatrix();
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col) EXPECT_NEAR(m(r, col), pose.matrix[r][col], 1e-6);
    EXPECT_LT(c.deviation, 1e-6);
}

// Matrices written from single-precision configuration quaternions (as the
// sample set's PTX form is) are reproduced exactly, nearly always; every
// pose is within float rounding of the matrix.
TEST(ConfigPose, PtxMatrixOfAConfigurationQuaternionIsReproducedBitForBit) {
    std::mt19937_64 random(7);
    std::normal_distribution<double> normal;
    int exact = 0;
    const int tries = 400;
    for (int i = 0; i < tries; ++i) {
        double v[4] = {normal(random), normal(random), normal(random), normal(random)};
        const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2] + v[3] * v[3]);
        const Quaternion q(float(v[0] / n), float(v[1] / n), float(v[2] / n), float(v[3] / n));
        const Matrix4 m = q.toMatrix();
        formats::ScanPose pose;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) pose.matrix[r][c] = m(r, c);
        pose.matrix[1][3] = 0.25;
        formats::setQuaternionFromMatrix(&pose);
        EXPECT_LT(formats::rigidDefect(pose), 1e-6);
        const formats::ConfigPose c = formats::configPose(pose);
        const Matrix4 back =
            Quaternion(c.quaternion[0], c.quaternion[1], c.quaternion[2], c.quaternion[3])
                .toMatrix();
        bool same = true;
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col) same = same && back(r, col) == m(r, col);
        EXPECT_EQ(same, c.exact);
        EXPECT_LT(c.deviation, 1e-6);
        EXPECT_EQ(c.translation[1], 0.25f);
        exact += c.exact;
    }
    EXPECT_GE(exact, tries * 97 / 100);
}

TEST(ConfigPose, MirrorsAndScalingsAreNotRigid) {
    formats::ScanPose pose;
    pose.matrix[2][2] = -1.0;
    EXPECT_TRUE(std::isinf(formats::rigidDefect(pose)));
    pose.matrix[2][2] = 1.01;
    EXPECT_NEAR(formats::rigidDefect(pose), 0.0201, 1e-9);
}

}  // namespace
