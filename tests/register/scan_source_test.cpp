// The adapter between the viewer's loaders and the registration: the scans
// and poses it hands over are the ones the configuration reader loads.
#include "register/scan_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "register/config_records.h"
#include "scan/scan_config.h"
#include "scene/mesh.h"
#include "scene/scene_state.h"
#include "test_support.h"

namespace {

const std::string kScan =
    "ply\nformat ascii 1.0\nobj_info num_cols 2\nobj_info num_rows 2\n"
    "element vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
    "element range_grid 4\nproperty list uchar int vertex_indices\nend_header\n"
    "0 0 0\n0.0005 0 0.0001\n0 0.0005 0\n0.0005 0.0005 0.0002\n1 0\n1 1\n1 2\n1 3\n";

TEST(ScanSource, ScansAndPosesAreTheOnesTheViewerPlaces) {
    const std::string dir = testing_support::makeTempDir("scan-source");
    testing_support::writeFile(dir + "/a.ply", kScan);
    // Records the reader takes in its own way: a camera of seven numbers, a
    // comment of three words, a record cut short, mixed case.
    const std::string config = dir + "/set.conf";
    testing_support::writeFile(
        config,
        "camera 0 0 1 0 0 0 1\n# three old words\nbmesh a.ply 0.1 0.2 0.3 0.1 -0.5 0.3 0.8\n"
        "BMESH a.ply 1 2 3 bmesh a.ply -1 0 2 0 0 0.6 0.8\n");
    const std::vector<ConfigRecord> records = readConfigRecords(testing_support::readFile(config));
    ScanSource source;
    std::vector<std::string> problems;
    ASSERT_TRUE(loadScanSource(config, records, 2, &source, &problems));
    ASSERT_EQ(source.views.size(), 3u);
    EXPECT_EQ(source.paths[0], dir + "/a.ply");
    ScanConfigLoad viewer = readScanConfig(config);
    ASSERT_EQ(viewer.scans.size(), 3u);
    for (std::size_t s = 0; s < 3; ++s) {
        const registration::ScanPoints& v = source.views[s];
        ASSERT_EQ(v.pointCount, 4u);
        EXPECT_EQ(v.triangleCount, 2u);
        // The viewer baked the first two records' poses with a quaternion of
        // length 0.995, which also scales by its square.
        const Mesh& scan = *viewer.scans[s].mesh;
        const double square = s < 2 ? 0.99 : 1.0;
        for (std::size_t i = 0; i < 4; ++i) {
            const Eigen::Vector3d p(v.points[3 * i], v.points[3 * i + 1], v.points[3 * i + 2]);
            const Point3& w = scan.worldVertices[i];
            const Eigen::Vector3d viewer(w.x, w.y, w.z);
            const Eigen::Vector3d t = v.pose.translation;
            EXPECT_LT((v.pose.rotation * p * square + t - viewer).norm(), 1e-6)
                << "scan " << s << " point " << i;
        }
    }
    // The record cut short kept the quaternion of the one before.
    EXPECT_TRUE(source.views[1].pose.rotation.isApprox(source.views[0].pose.rotation));

    // A pose turned back into record numbers: the same numbers, the sign of
    // the quaternion kept.
    const float given[7] = {-1, 0, 2, 0, 0, -0.6f, -0.8f};
    const ConfigPose back = recordOfPose(poseOfRecord(given), given);
    for (int k = 0; k < 7; ++k) EXPECT_NEAR(back.values[k], given[k], 1e-7) << k;
}

TEST(ScanSource, UnreadableScansAreNamed) {
    const std::string dir = testing_support::makeTempDir("scan-source-bad");
    testing_support::writeFile(dir + "/a.ply", kScan);
    testing_support::writeFile(dir + "/bad.ply", "not a ply file\n");
    const std::string config = dir + "/set.conf";
    testing_support::writeFile(config,
                               "bmesh a.ply 0 0 0 0 0 0 1\nbmesh gone.ply 0 0 0 0 0 0 1\n"
                               "bmesh bad.ply 0 0 0 0 0 0 1\n");
    ScanSource source;
    std::vector<std::string> problems;
    EXPECT_FALSE(loadScanSource(config, readConfigRecords(testing_support::readFile(config)), 1,
                                &source, &problems));
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0], "gone.ply: No such file or directory");
    EXPECT_EQ(problems[1], dir + "/bad.ply: not a PLY file the library accepts");
    EXPECT_EQ(problems[2], "2 of 3 scans of " + config + " cannot be read");
    problems.clear();
    testing_support::writeFile(config, "camera 0 0 0 0 0 0 1\n");
    EXPECT_FALSE(loadScanSource(config, readConfigRecords(testing_support::readFile(config)), 1,
                                &source, &problems));
    EXPECT_EQ(problems.at(0), config + " names no scans (no bmesh records)");
}

TEST(ScanSource, LoadedScansOfAPtxFileCannotBeMovedByTheirRecord) {
    const std::string dir = testing_support::makeTempDir("scan-source-ptx");
    testing_support::writeFile(dir + "/a.ply", kScan);
    testing_support::writeFile(dir + "/b.ptx",
                               "2\n2\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n1 0 0 0\n0 1 0 0\n0 0 1 0\n"
                               "0 0 0 1\n0 0 0 0.5\n0 0.0005 0 0.5\n0.0005 0 0 0.5\n"
                               "0.0005 0.0005 0 0.5\n");
    const std::string config = dir + "/set.conf";
    testing_support::writeFile(config, "bmesh a.ply 0 0 0 0 0 0 1\nbmesh b.ptx 0 0 0 0 0 0 1\n");
    ScanConfigLoad load;
    testing_support::stdoutOf([&] { load = readScanConfig(config); });
    ASSERT_EQ(load.scans.size(), 2u);
    std::vector<const PlyMesh*> scans;
    for (const ConfigScan& scan : load.scans) scans.push_back(scan.mesh.get());
    ScanSource source;
    std::string problem;
    EXPECT_FALSE(scanSourceOf(scans, readConfigRecords(testing_support::readFile(config)), &source,
                              &problem));
    EXPECT_NE(problem.find("b.ptx is a PTX or E57 file"), std::string::npos) << problem;
    std::vector<std::string> problems;
    EXPECT_FALSE(loadScanSource(config, readConfigRecords(testing_support::readFile(config)), 1,
                                &source, &problems));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("b.ptx is a PTX or E57 file"), std::string::npos);
}

}  // namespace
