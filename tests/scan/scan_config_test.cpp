#include "scan/scan_config.h"

#include <cmath>

#include "scan/ply_mesh.h"
#include "scan_test_support.h"
#include "scene/unmeasured.h"

namespace {

// A 2 x 2 raster whose first valid horizontal pair is cells 1 and 2 (row end
// to row start counts as adjacent): points p1 = (1, 0, 0) and p2 = (1, 0.3, 0.4).
std::string firstScan() {
    return rangeImage(2, 2, {{0, 0, 0}, {1, 0, 0}, {1, 0.3f, 0.4f}}, {-1, 1, 2, 0});
}

std::string unitPoint() {
    return rangeImage(1, 1, {{1, 0, 0}}, {0});
}

}  // namespace

using ScanConfigTest = ScanTest;

TEST_F(ScanConfigTest, ThresholdIsTheSpacingOfTheFirstScansFirstAdjacentCells) {
    write("a.ply", firstScan());
    write("b.ply", unitPoint());
    const std::string conf = write("set.conf", "bmesh " + path("a.ply") + " 0 0 0 0 0 0 1\n" +
                                                   "bmesh " + path("b.ply") + " 0 0 0 0 0 0 1\n");
    const std::string out = stdoutOf([&] { readIntoScene(conf); });
    EXPECT_FLOAT_EQ(tossThreshold, 0.5f);
    EXPECT_NE(out.find("Threshold for point removal:  0.500000\n"), std::string::npos) << out;
    ASSERT_EQ(sceneList.size(), 2u);
    EXPECT_TRUE(visibilityFlags.isVisible(0));
    EXPECT_TRUE(visibilityFlags.isVisible(1));
    EXPECT_EQ(sceneList[0]->getDisplayMode(), Smooth);
    // Every scan carries one unmeasured value per point.
    EXPECT_EQ(sceneList[0]->vertexValues, std::vector<float>(3, kUnmeasured));
}

TEST_F(ScanConfigTest, OneReadableScanKeepsTheDefaultThreshold) {
    write("b.ply", unitPoint());
    const std::string conf = write(
        "set.conf", "bmesh " + path("b.ply") + " 0 0 0 0 0 0 1\nbmesh nowhere.ply 0 0 0 0 0 0 1\n");
    const std::string out = stdoutOf([&] { readIntoScene(conf); });
    EXPECT_EQ(tossThreshold, 0.002f);
    EXPECT_EQ(out.substr(out.size() - 39), "Threshold for point removal:  0.002000\n");
}

TEST_F(ScanConfigTest, KeywordsIgnoreCaseAndOtherRecordsAreSkipped) {
    write("b.ply", unitPoint());
    const std::string b = path("b.ply");
    const std::string conf =
        write("set.conf", "camera " + b + " 0 0 0 0 0 0 1\n" + "BMESH " + b + " 0 0 0 0 0 0 1\n" +
                              "bMesh " + b + " 0 0 0 0 0 0 1\n" + "mesh " + b + " 0 0 0 0 0 0 1\n");
    stdoutOf([&] { readIntoScene(conf); });
    ASSERT_EQ(sceneList.size(), 2u);
    EXPECT_EQ(sceneList[0]->getId(), 1);
    EXPECT_EQ(sceneList[1]->getId(), 2);
}

TEST_F(ScanConfigTest, FailedScansUseUpTheirIds) {
    write("b.ply", unitPoint());
    const std::string b = path("b.ply");
    const std::string conf =
        write("set.conf", "bmesh " + b + " 0 0 0 0 0 0 1\nbmesh " + path("gone.ply") +
                              " 0 0 0 0 0 0 1\nbmesh " + b + " 0 0 0 0 0 0 1\n");
    ScanConfigLoad load;
    const std::string out = stdoutOf([&] { load = readIntoScene(conf); });
    ASSERT_EQ(sceneList.size(), 2u);
    EXPECT_EQ(sceneList[0]->getId(), 1);
    EXPECT_EQ(sceneList[1]->getId(), 3);
    EXPECT_EQ(load.bmeshRecords, 3);
    ASSERT_EQ(load.failures.size(), 1u);
    EXPECT_EQ(load.failures[0].path, path("gone.ply"));
    EXPECT_EQ(load.failures[0].status.failure, LoadFailure::CannotOpen);
    EXPECT_NE(out.find("Could not open file " + path("gone.ply") + "\nAdding PLY mesh from " +
                       path("gone.ply") + "\n"),
              std::string::npos)
        << out;
}

TEST_F(ScanConfigTest, PosesRotateThenTranslateIntoWorldPositions) {
    write("b.ply", unitPoint());
    const std::string b = path("b.ply");
    // Half a turn about z, then a shift; a quaternion of length 2 scales by 4.
    const std::string conf =
        write("set.conf", "bmesh " + b + " 1 2 3 0 0 1 0\nbmesh " + b + " 0 0 0 0 0 0 2\n");
    stdoutOf([&] { readIntoScene(conf); });
    ASSERT_EQ(sceneList.size(), 2u);
    const Point3 w = sceneList[0]->worldVertices[0];
    EXPECT_EQ(w.x, -1.0f + 1.0f);
    EXPECT_EQ(w.y, 2.0f);
    EXPECT_EQ(w.z, 3.0f);
    EXPECT_EQ(sceneList[1]->worldVertices[0].x, 4.0f);
    // The model positions stay, and the transform is reset after baking.
    EXPECT_EQ(sceneList[0]->vertices[0].x, 1.0f);
    EXPECT_EQ(sceneList[0]->position.x, 0.0f);
    EXPECT_EQ(sceneList[0]->rotation(0, 0), 1.0f);
    EXPECT_TRUE(sceneList[0]->hasMaterial);
}

TEST_F(ScanConfigTest, RecordsAreAStreamOfWordsWithoutLineStructure) {
    write("b.ply", unitPoint());
    const std::string b = path("b.ply");
    // A camera line with its seven numbers but no file name swallows the first
    // number as its name and stops at "bmesh", which starts the next record;
    // the last record lacks fields, which keep the values of the one before.
    const std::string conf = write(
        "set.conf", "camera 1 2 3 4 5 6 7\nbmesh\n" + b + "\n 5 0 0\n 0 0 0 1 bmesh " + b + " 7 0");
    stdoutOf([&] { readIntoScene(conf); });
    ASSERT_EQ(sceneList.size(), 2u);
    EXPECT_EQ(sceneList[0]->worldVertices[0].x, 6.0f);
    EXPECT_EQ(sceneList[1]->worldVertices[0].x, 8.0f);
}

TEST_F(ScanConfigTest, ScansAreFoundBesideTheConfiguration) {
    write("near.ply", unitPoint());
    const std::string conf = write("set.conf", "bmesh near.ply 0 0 0 0 0 0 1\n");
    stdoutOf([&] { readIntoScene(conf); });
    ASSERT_EQ(sceneList.size(), 1u);
    EXPECT_EQ(sceneList[0]->fileName, path("near.ply"));
    EXPECT_EQ(resolveScanPath("/abs/x.ply", conf), "/abs/x.ply");
    EXPECT_EQ(resolveScanPath("missing.ply", conf), "missing.ply");
}

TEST_F(ScanConfigTest, UnreadableConfigurationIsNamed) {
    const std::string conf = path("none.conf");
    EXPECT_EQ(stdoutOf([&] { readIntoScene(conf); }), "Could not open file " + conf + "\n");
    EXPECT_TRUE(sceneList.empty());
    EXPECT_EQ(tossThreshold, 0.002f);
}

TEST_F(ScanConfigTest, ThresholdWithoutAdjacentCellsStaysAsItWas) {
    write("sparse.ply", rangeImage(3, 1, {{0, 0, 0}, {1, 1, 1}}, {0, -1, 1}));
    write("b.ply", unitPoint());
    const std::string conf =
        write("set.conf", "bmesh " + path("sparse.ply") + " 0 0 0 0 0 0 1\nbmesh " + path("b.ply") +
                              " 0 0 0 0 0 0 1\n");
    stdoutOf([&] { readIntoScene(conf); });
    EXPECT_EQ(tossThreshold, 0.002f);
}
