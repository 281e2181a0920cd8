#include "scan/cleaned_writer.h"

#include <unistd.h>

#include <filesystem>

#include "scan/ply_mesh.h"
#include "scan/scan_config.h"
#include "scan_test_support.h"
#include "scene/unmeasured.h"

namespace {

// Four points on a 2 x 2 raster, one per cell, in order.
const std::vector<std::vector<float>> kPoints = {
    {0, 0, 0}, {0.5f, 0, 0}, {0, 0.5f, 0.25f}, {0.5f, 0.5f, 0.125f}};

std::string body(const std::string& file) {
    const std::string text = testing_support::readFile(file);
    return text.substr(text.find("end_header\n") + 11);
}

}  // namespace

class CleanedWriterTest : public ScanTest {
protected:
    // Loads the scan as a configuration would (baked, one value per point)
    // and sets its values.
    PlyMesh* scanWithValues(const std::string& name, const std::vector<float>& values,
                            const std::string& text = rangeImage(2, 2, kPoints, {0, 1, 2, 3})) {
        const std::string file = write(name, text);
        PlyMesh* scan = nullptr;
        stdoutOf([&] { scan = loadPly(nextScanId++, file); });
        sceneList.push_back(scan);
        scan->bakeWorldPositions();
        scan->vertexValues = values;
        return scan;
    }
};

TEST_F(CleanedWriterTest, TossedPointIsLeftOutAndTheRasterRenumbered) {
    PlyMesh* scan = scanWithValues("scan.ply", {0.001f, 0.003f, 0.002f, kUnmeasured});
    EXPECT_EQ(stdoutOf([] { EXPECT_EQ(writeAllCleaned(), 0); }), "");
    const std::string out = testing_support::readFile(path("scan.cln.ply"));
    EXPECT_EQ(out,
              "ply\nformat ascii 1.0\ncomment test raster\nobj_info num_cols 2\n"
              "obj_info num_rows 2\nelement vertex 3\nproperty float x\nproperty float y\n"
              "property float z\nelement range_grid 4\nproperty list uchar int vertex_indices\n"
              "end_header\n"
              "0.0000000000 0.0000000000 0.0000000000\n"
              "0.0000000000 0.5000000000 0.2500000000\n"
              "0.5000000000 0.5000000000 0.1250000000\n"
              "1 0\n0\n1 1\n1 2\n");
    EXPECT_EQ(scan->vertices.size(), 4u);  // the scan itself is unchanged
}

TEST_F(CleanedWriterTest, TossingPointZeroEmptiesItsCellsAndShiftsTheRest) {
    scanWithValues("scan.ply", {1.0f, 0.0f, 0.0f, 0.0f},
                   rangeImage(2, 3, kPoints, {0, 1, 0, 2, -1, 3}));
    stdoutOf([] { writeAllCleaned(); });
    EXPECT_EQ(body(path("scan.cln.ply")),
              "0.5000000000 0.0000000000 0.0000000000\n"
              "0.0000000000 0.5000000000 0.2500000000\n"
              "0.5000000000 0.5000000000 0.1250000000\n"
              "0\n1 0\n0\n1 1\n0\n1 2\n");
}

TEST_F(CleanedWriterTest, RaisingTheThresholdAndWritingAgainKeepsMorePoints) {
    scanWithValues("scan.ply", {0.001f, 0.003f, 0.0025f, 0.0f});
    stdoutOf([] { writeAllCleaned(); });
    EXPECT_NE(testing_support::readFile(path("scan.cln.ply")).find("element vertex 2\n"),
              std::string::npos);
    tossThreshold = 0.003f;  // values equal to the threshold stay
    stdoutOf([] { writeAllCleaned(); });
    EXPECT_NE(testing_support::readFile(path("scan.cln.ply")).find("element vertex 4\n"),
              std::string::npos);
}

TEST_F(CleanedWriterTest, CleanedNamesComeFromTheFileNameOnly) {
    EXPECT_EQ(PlyMesh::cleanedName("scan.ply"), "scan.cln.ply");
    EXPECT_EQ(PlyMesh::cleanedName("a.ply.ply"), "a.cln.ply");
    EXPECT_EQ(PlyMesh::cleanedName("scans.ply/bun.ply"), "scans.ply/bun.cln.ply");
    EXPECT_EQ(PlyMesh::cleanedName("/data/v1.plyx/scan.ply"), "/data/v1.plyx/scan.cln.ply");
    EXPECT_EQ(PlyMesh::cleanedName("SCAN.PLY"), "SCAN.PLY.cln.ply");
    EXPECT_EQ(PlyMesh::cleanedName("dir.ply/noext"), "dir.ply/noext.cln.ply");
}

TEST_F(CleanedWriterTest, OnlyAnalysedScansAreWritten) {
    const std::string file = write("lone.ply", rangeImage(2, 2, kPoints, {0, 1, 2, 3}));
    stdoutOf([&] { sceneList.push_back(loadPly(1, file, true)); });
    sceneList.push_back(new Mesh(10));
    gridMesh = sceneList.back();
    EXPECT_EQ(stdoutOf([] { writeAllCleaned(); }),
              "Nothing to write: no scans of a configuration are loaded\n");
    EXPECT_FALSE(std::filesystem::exists(path("lone.cln.ply")));
}

TEST_F(CleanedWriterTest, AFailedWriteIsReportedAndKeepsTheEarlierFile) {
    scanWithValues("scan.ply", {0.0f, 0.0f, 0.0f, 0.0f});
    scanWithValues("other.ply", {0.0f, 0.0f, 0.0f, 0.0f});
    // A folder of the target's name cannot be replaced by a file (this binds
    // root too, unlike permissions).
    std::filesystem::create_directory(path("scan.cln.ply"));
    testing_support::writeFile(path("scan.cln.ply/earlier"), "an earlier good file\n");
    int failed = 0;
    const std::string out = stdoutOf([&] { failed = writeAllCleaned(); });
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(out, "Could not write " + path("scan.cln.ply") + ": Is a directory\n");
    EXPECT_EQ(testing_support::readFile(path("scan.cln.ply/earlier")), "an earlier good file\n");
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    // The other scan is still written.
    EXPECT_NE(testing_support::readFile(path("other.cln.ply")).find("element vertex 4\n"),
              std::string::npos);
}

TEST_F(CleanedWriterTest, OtherSourcesGetAHeaderThatDescribesWhatIsWritten) {
    // A binary source with an extra vertex property: the body is always text.
    std::string text =
        "ply\nformat binary_little_endian 1.0\ncomment from a scanner\nobj_info num_cols 2\n"
        "obj_info num_rows 1\nelement vertex 2\nproperty float x\nproperty float y\n"
        "property float z\nproperty float confidence\nelement range_grid 2\n"
        "property list uchar int vertex_indices\nend_header\n";
    const float v[8] = {1, 2, 3, 0.5f, 4, 5, 6, 0.5f};
    text.append(reinterpret_cast<const char*>(v), sizeof v);
    for (int32_t k : {0, 1}) {
        text += char(1);
        text.append(reinterpret_cast<const char*>(&k), 4);
    }
    scanWithValues("bin.ply", {0.5f, 0.0f}, text);
    stdoutOf([] { writeAllCleaned(); });
    const std::string cleaned = path("bin.cln.ply");
    EXPECT_EQ(testing_support::readFile(cleaned),
              "ply\nformat ascii 1.0\ncomment from a scanner\nobj_info num_cols 2\n"
              "obj_info num_rows 1\nelement vertex 1\nproperty float x\nproperty float y\n"
              "property float z\nelement range_grid 2\nproperty list uchar int vertex_indices\n"
              "end_header\n4.0000000000 5.0000000000 6.0000000000\n0\n1 0\n");
    // And it loads back as a range image.
    PlyMesh* back = nullptr;
    stdoutOf([&] { back = loadPly(2, cleaned); });
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->gridIndex, (std::vector<int32_t>{-1, 0}));
    delete back;
}

TEST_F(CleanedWriterTest, ScanWithoutPointsWritesAnEmptyRangeImage) {
    scanWithValues("empty.ply", {}, rangeImage(1, 1, {}, {-1}));
    stdoutOf([] { writeAllCleaned(); });
    EXPECT_NE(testing_support::readFile(path("empty.cln.ply")).find("element vertex 0\n"),
              std::string::npos);
    EXPECT_EQ(body(path("empty.cln.ply")), "0\n");
}
