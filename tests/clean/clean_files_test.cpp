// The files the batch cleaner writes: cleaned scans in another folder (the
// same bytes the viewer writes beside the scan) and the export of points and
// values, read back through the PLY library and through assimp.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "clean/value_export.h"
#include "libply/plyfile.h"
#include "scan/ply_mesh.h"
#include "scene/scene_state.h"
#include "scene/unmeasured.h"
#include "test_support.h"

namespace {

using testing_support::filesIn;
using testing_support::readFile;
using testing_support::writeFile;

// A 2 x 2 range image, every cell holding a point.
const char kRangeImage[] =
    "ply\n"
    "format ascii 1.0\n"
    "obj_info num_cols 2\n"
    "obj_info num_rows 2\n"
    "element vertex 4\n"
    "property float x\n"
    "property float y\n"
    "property float z\n"
    "element range_grid 4\n"
    "property list uchar int vertex_indices\n"
    "end_header\n"
    "0 0 0\n0.001 0 0\n0 0.001 0\n0.001 0.001 0.0005\n"
    "1 0\n1 1\n1 2\n1 3\n";

class CleanFiles : public testing::Test {
protected:
    void SetUp() override { resetSceneState(); }
    void TearDown() override { resetSceneState(); }
};

// A loaded scan with its pose baked in, as the configuration reader leaves it.
std::unique_ptr<PlyMesh> loadScan(const std::string& path) {
    testing::internal::CaptureStdout();
    std::unique_ptr<PlyMesh> scan = PlyMesh::load(1, path).mesh;
    testing::internal::GetCapturedStdout();
    EXPECT_NE(scan, nullptr);
    if (scan == nullptr) scan = std::make_unique<PlyMesh>(1);
    scan->translate(1.0f, 2.0f, 3.0f);
    scan->bakeWorldPositions();
    return scan;
}

struct ExportedPoint {
    float x, y, z, value;
};

// Reads an export back through the library: every instance of x, y, z, value.
std::vector<ExportedPoint> readExport(const std::string& path, std::vector<std::string>* comments) {
    int elementCount = 0, fileType = 0;
    char** names = nullptr;
    float version = 0;
    ply_handle* ply = ply_open_read(path.c_str(), &elementCount, &names, &fileType, &version);
    EXPECT_NE(ply, nullptr);
    if (ply == nullptr) return {};
    EXPECT_EQ(fileType, PLY_BINARY_LE);
    EXPECT_EQ(elementCount, 1);
    int count = 0, propertyCount = 0;
    ply_property_def** props = ply_element_properties(ply, "vertex", &count, &propertyCount);
    EXPECT_EQ(propertyCount, 4);
    const char* expected[] = {"x", "y", "z", "value"};
    for (int i = 0; i < propertyCount && i < 4; ++i) {
        EXPECT_STREQ(props[i]->name, expected[i]);
        EXPECT_EQ(props[i]->disk_type, PLY_FLOAT);
    }
    ply_free_properties(propertyCount, props);
    ply_property_def wanted[4];
    for (int i = 0; i < 4; ++i) {
        wanted[i] = ply_property_def{
            expected[i], PLY_FLOAT, PLY_FLOAT, static_cast<int>(i * sizeof(float)), 0, 0, 0, 0};
    }
    ply_select_properties(ply, "vertex", 4, wanted);
    std::vector<ExportedPoint> points(count);
    for (ExportedPoint& p : points) ply_get_element(ply, &p);
    int commentCount = 0;
    char** text = ply_comments(ply, &commentCount);
    for (int i = 0; i < commentCount; ++i) comments->push_back(text[i]);
    ply_close_file(ply);
    ply_free_element_list(elementCount, names);
    return points;
}

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[512];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

// The text after "<label>" on the report line that starts with it.
std::string reportValue(const std::string& report, const std::string& label) {
    const std::size_t at = report.find("\n" + label);
    if (at == std::string::npos) return "";
    const std::size_t start = report.find_first_not_of(' ', at + 1 + label.size());
    return report.substr(start, report.find('\n', start) - start);
}

}  // namespace

TEST(CleanFileNames, FolderReplacesTheSourceFolderOnly) {
    EXPECT_EQ(PlyMesh::cleanedName("a/b/scan.ply", ""), "a/b/scan.cln.ply");
    EXPECT_EQ(PlyMesh::cleanedName("a/b/scan.ply", "out"), "out/scan.cln.ply");
    EXPECT_EQ(PlyMesh::cleanedName("a/b/scan.ply", "out/"), "out/scan.cln.ply");
    EXPECT_EQ(PlyMesh::cleanedName("scan.ply", "/abs/x"), "/abs/x/scan.cln.ply");
    EXPECT_EQ(PlyMesh::cleanedName("d.ply/scan.PLY", "o"), "o/scan.PLY.cln.ply");
    EXPECT_EQ(valueExportName("a/b/scan.ply", ""), "a/b/scan.values.ply");
    EXPECT_EQ(valueExportName("d.ply/a.ply.ply", "out"), "out/a.values.ply");
    EXPECT_EQ(valueExportName("scan.PLY", ""), "scan.PLY.values.ply");
}

TEST_F(CleanFiles, CleanedFileInAnotherFolderHasTheBytesWrittenBesideTheScan) {
    const std::string dir = testing_support::makeTempDir("clean-folder");
    writeFile(dir + "/scan.ply", kRangeImage);
    auto scan = loadScan(dir + "/scan.ply");
    scan->vertexValues = {0.0f, 0.5f, kUnmeasured, 0.001f};  // point 1 is tossed

    const std::string out = dir + "/out";
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(scan->writeCleaned());
    EXPECT_TRUE(scan->writeCleaned(out));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const std::string beside = readFile(dir + "/scan.cln.ply");
    EXPECT_EQ(beside,
              "ply\nformat ascii 1.0\nobj_info num_cols 2\nobj_info num_rows 2\n"
              "element vertex 3\n"
              "property float x\nproperty float y\nproperty float z\n"
              "element range_grid 4\nproperty list uchar int vertex_indices\nend_header\n"
              "0.0000000000 0.0000000000 0.0000000000\n"
              "0.0000000000 0.0010000000 0.0000000000\n"
              "0.0010000000 0.0010000000 0.0005000000\n"
              "1 0\n0\n1 1\n1 2\n");
    EXPECT_EQ(readFile(out + "/scan.cln.ply"), beside);
    EXPECT_EQ(filesIn(out), std::vector<std::string>{"scan.cln.ply"});

    // A folder that does not exist: a message naming the file, nothing left.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(scan->writeCleaned(dir + "/missing"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Could not write " + dir + "/missing/scan.cln.ply: No such file or directory\n");
}

TEST_F(CleanFiles, ExportReadsBackWithWorldPositionsValuesAndUnmeasuredAsNan) {
    const std::string dir = testing_support::makeTempDir("clean-export");
    writeFile(dir + "/scan.ply", kRangeImage);
    auto scan = loadScan(dir + "/scan.ply");
    scan->vertexValues = {0.0f, 0.5f, kUnmeasured, 0.00125f};
    const std::string target = valueExportName(scan->fileName, dir + "/out");
    ASSERT_EQ(mkdir((dir + "/out").c_str(), 0755), 0);
    std::string error;
    ASSERT_TRUE(writeValueExport(*scan, 0.002f, target, &error)) << error;
    EXPECT_EQ(filesIn(dir + "/out"), std::vector<std::string>{"scan.values.ply"});
    EXPECT_EQ(readFile(target).rfind("ply\nformat binary_little_endian 1.0\n", 0), 0u);

    std::vector<std::string> comments;
    const std::vector<ExportedPoint> points = readExport(target, &comments);
    ASSERT_EQ(points.size(), 4u);
    // World positions: the model positions moved by the pose (1, 2, 3).
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(points[i].x, scan->worldVertices[i].x) << i;
        EXPECT_EQ(points[i].y, scan->worldVertices[i].y) << i;
        EXPECT_EQ(points[i].z, scan->worldVertices[i].z) << i;
    }
    EXPECT_EQ(points[3].x, 1.001f);
    EXPECT_EQ(points[3].z, 3.0005f);
    EXPECT_EQ(points[0].value, 0.0f);
    EXPECT_EQ(points[1].value, 0.5f);
    EXPECT_TRUE(std::isnan(points[2].value));
    EXPECT_EQ(points[3].value, 0.00125f);
    ASSERT_EQ(comments.size(), 4u);
    EXPECT_EQ(comments[0], "points of scan.ply in the common frame of its scan configuration");
    EXPECT_EQ(comments[3], "removal threshold 0.00200000009: points of greater value are tossed");
}

TEST_F(CleanFiles, ExportIsReadByAssimpWithItsCountAndBounds) {
    if (std::system("command -v assimp >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "assimp command not installed";
    const std::string dir = testing_support::makeTempDir("clean-assimp");
    writeFile(dir + "/scan.ply", kRangeImage);
    auto scan = loadScan(dir + "/scan.ply");
    scan->vertexValues = {0.0f, kUnmeasured, kUnmeasured, 0.25f};
    std::string error;
    const std::string target = dir + "/scan.values.ply";
    ASSERT_TRUE(writeValueExport(*scan, 0.002f, target, &error)) << error;
    // A point cloud has no faces, which assimp accepts only in a raw import.
    const std::string report = commandOutput("assimp info '" + target + "' -r 2>/dev/null");
    EXPECT_EQ(reportValue(report, "Vertices:"), "4") << report;
    EXPECT_EQ(reportValue(report, "Primitive Types:"), "points") << report;
    EXPECT_EQ(reportValue(report, "Minimum point"), "(1.000000 2.000000 3.000000)") << report;
    EXPECT_EQ(reportValue(report, "Maximum point"), "(1.001000 2.001000 3.000500)") << report;
}

TEST_F(CleanFiles, FailedExportNamesTheReasonAndLeavesNoPartialFile) {
    const std::string dir = testing_support::makeTempDir("clean-export-fail");
    Mesh scan(1);
    scan.fileName = dir + "/scan.ply";
    scan.worldVertices = {Point3(0, 0, 0)};
    scan.vertexValues = {kUnmeasured};
    std::string error;
    EXPECT_FALSE(writeValueExport(scan, 0.002f, dir + "/missing/scan.values.ply", &error));
    EXPECT_EQ(error, "No such file or directory");
    // The complete file cannot replace a folder of that name: the temporary
    // file beside it is removed again.
    ASSERT_EQ(mkdir((dir + "/scan.values.ply").c_str(), 0755), 0);
    EXPECT_FALSE(writeValueExport(scan, 0.002f, dir + "/scan.values.ply", &error));
    EXPECT_EQ(error, "Is a directory");
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"scan.values.ply"});
}
