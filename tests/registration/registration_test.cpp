// Registration on generated scan sets whose true poses are known: the
// simulated scanner's views of one solid, perturbed and registered back.
#include "registration/registration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "register/config_records.h"
#include "register/scan_source.h"
#include "test_support.h"

namespace {

using registration::Pose;
using registration::RegistrationOptions;
using registration::RegistrationResult;
using registration::ScanStatus;

// The generated scans, loaded once for all tests.
class RegistrationTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string dir = testing_support::makeTempDir("registration");
        const std::string command =
            std::string(RANGELOOM_SAMPLE_TOOL) + " --out " + dir + " --cols 96 --rows 96";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const std::string config = dir + "/sample.conf";
        const std::vector<ConfigRecord> records =
            readConfigRecords(testing_support::readFile(config));
        source_ = new ScanSource;
        std::vector<std::string> problems;
        ASSERT_TRUE(loadScanSource(config, records, 0, source_, &problems));
        ASSERT_EQ(source_->views.size(), 6u);
    }
    static void TearDownTestSuite() {
        delete source_;
        source_ = nullptr;
    }

    static std::vector<registration::ScanPoints> views() { return source_->views; }
    static std::vector<Pose> truth() {
        std::vector<Pose> poses;
        for (const auto& v : source_->views) poses.push_back(v.pose);
        return poses;
    }

    // The scan's points placed by a and by b: the RMS distance between them.
    static double rmsApart(std::size_t scan, const Pose& a, const Pose& b) {
        const registration::ScanPoints& v = source_->views[scan];
        double squares = 0;
        for (std::size_t i = 0; i < v.pointCount; ++i) {
            const Eigen::Vector3d p(v.points[3 * i], v.points[3 * i + 1], v.points[3 * i + 2]);
            squares += (a.apply(p) - b.apply(p)).squaredNorm();
        }
        return std::sqrt(squares / static_cast<double>(v.pointCount));
    }

    // Every scan but the first turned by `degrees` about an axis through its
    // centroid and moved by `distance`, directions varying from scan to scan.
    static std::vector<registration::ScanPoints> perturbed(double degrees, double distance) {
        std::vector<registration::ScanPoints> out = views();
        for (std::size_t s = 1; s < out.size(); ++s) {
            const Eigen::Vector3d axis =
                Eigen::Vector3d(std::sin(3.0 * s), std::cos(5.0 * s), 0.5).normalized();
            const Eigen::Vector3d shift =
                distance * Eigen::Vector3d(std::cos(2.0 * s), 0.3, std::sin(2.0 * s)).normalized();
            Eigen::Vector3d centre = Eigen::Vector3d::Zero();
            for (std::size_t i = 0; i < out[s].pointCount; ++i)
                centre += Eigen::Vector3d(out[s].points[3 * i], out[s].points[3 * i + 1],
                                          out[s].points[3 * i + 2]);
            centre = out[s].pose.apply(centre / static_cast<double>(out[s].pointCount));
            out[s].pose =
                registration::movedAbout(out[s].pose, centre, degrees * M_PI / 180 * axis, shift);
        }
        return out;
    }

    static ScanSource* source_;
};
ScanSource* RegistrationTest::source_ = nullptr;

TEST_F(RegistrationTest, PerturbedPosesAreRecoveredTheSameOnAnyNumberOfThreads) {
    RegistrationOptions one;
    one.threads = 1;
    RegistrationOptions two = one;
    two.threads = 2;
    const RegistrationResult fromTruth = registration::registerScans(views(), two);
    const RegistrationResult a = registration::registerScans(perturbed(5, 0.005), one);
    const RegistrationResult b = registration::registerScans(perturbed(5, 0.005), two);
    ASSERT_TRUE(a.converged);
    EXPECT_EQ(a.scans[0].status, ScanStatus::Fixed);
    for (std::size_t s = 0; s < a.poses.size(); ++s) {
        // Bit for bit on one and on two threads.
        EXPECT_EQ(a.poses[s].rotation.coeffs(), b.poses[s].rotation.coeffs()) << "scan " << s;
        EXPECT_EQ(a.poses[s].translation, b.poses[s].translation) << "scan " << s;
        // Within 30 micrometres of the truth (6% of the point spacing: the
        // points have 20 of noise along the rays, and the solid is nearly
        // symmetric about one axis), and within 1 of the result from the
        // truth.
        EXPECT_LT(rmsApart(s, a.poses[s], truth()[s]), 3e-5) << "scan " << s;
        EXPECT_LT(rmsApart(s, a.poses[s], fromTruth.poses[s]), 1e-6) << "scan " << s;
        if (s > 0) {
            EXPECT_EQ(a.scans[s].status, ScanStatus::Refined);
            EXPECT_NEAR(a.scans[s].rotationDegrees, 5, 0.05) << "scan " << s;
            EXPECT_NEAR(a.scans[s].translation, 0.005, 0.0005) << "scan " << s;
            EXPECT_LT(a.scans[s].rmsAfter, a.scans[s].rmsBefore / 5) << "scan " << s;
        }
    }
    EXPECT_EQ(a.poses[0].translation, truth()[0].translation);
}

TEST_F(RegistrationTest, ScansOverlappingNothingOrOnlyEachOtherAreHeld) {
    // Scan 3 a metre away on its own; scans 1 and 2 (neighbouring views)
    // half a metre away together: they overlap each other but no other.
    std::vector<registration::ScanPoints> v = perturbed(2, 0.002);
    v[3].pose.translation += Eigen::Vector3d(1, 0, 0);
    v[1].pose.translation += Eigen::Vector3d(0, 0.5, 0);
    v[2].pose.translation += Eigen::Vector3d(0, 0.5, 0);
    const RegistrationResult r = registration::registerScans(v);
    EXPECT_EQ(r.scans[3].status, ScanStatus::TooLittleOverlap);
    EXPECT_EQ(r.scans[1].status, ScanStatus::HeldForItsGroup);
    EXPECT_EQ(r.scans[2].status, ScanStatus::Refined);
    for (std::size_t s : {1, 3}) {
        EXPECT_TRUE(r.poses[s].translation.isApprox(v[s].pose.translation, 1e-15)) << s;
        EXPECT_TRUE(r.poses[s].rotation.isApprox(v[s].pose.rotation, 1e-15)) << s;
    }
    // Scan 2 is registered to scan 1 where they were moved together; the
    // others to scan 0.
    Pose expected2 = truth()[2];
    expected2.translation = v[1].pose.apply(truth()[1].inverseApply(truth()[2].translation));
    expected2.rotation = v[1].pose.rotation * truth()[1].rotation.conjugate() * truth()[2].rotation;
    EXPECT_LT(rmsApart(2, r.poses[2], expected2), 3e-5);
    for (std::size_t s : {4, 5}) EXPECT_LT(rmsApart(s, r.poses[s], truth()[s]), 3e-5) << s;
}

TEST_F(RegistrationTest, OneScanAndScansWithoutTrianglesComeBackWhereTheyWere) {
    // (And points that are not numbers are left out, not followed.)
    std::vector<registration::ScanPoints> v = views();
    v.resize(1);
    v[0].pose.rotation = Eigen::Quaterniond(2, 0, 0, 0);  // normalised, nothing else
    RegistrationResult r = registration::registerScans(v);
    ASSERT_EQ(r.poses.size(), 1u);
    EXPECT_TRUE(r.converged);
    EXPECT_EQ(r.poses[0].rotation.coeffs(), Eigen::Quaterniond::Identity().coeffs());
    EXPECT_EQ(r.poses[0].translation, v[0].pose.translation);

    v = views();
    v[4].triangleCount = 0;
    v[5].pointCount = 0;
    std::vector<float> damaged(v[1].points, v[1].points + 3 * v[1].pointCount);
    for (std::size_t i = 0; i < damaged.size(); i += 301) damaged[i] = i % 2 ? NAN : INFINITY;
    v[1].points = damaged.data();
    v[2].pose.rotation = Eigen::Quaterniond(0, 0, 0, 0);
    v[3].pose.translation.x() = NAN;
    r = registration::registerScans(v);
    for (std::size_t s : {2, 3, 4, 5})
        EXPECT_EQ(r.scans[s].status, ScanStatus::TooLittleOverlap) << s;
    EXPECT_EQ(r.poses[5].translation, v[5].pose.translation);
    EXPECT_EQ(r.scans[1].status, ScanStatus::Refined);
    EXPECT_LT(rmsApart(1, r.poses[1], truth()[1]), 3e-5);
    EXPECT_EQ(r.scans[0].status, ScanStatus::Fixed);
}

}  // namespace
