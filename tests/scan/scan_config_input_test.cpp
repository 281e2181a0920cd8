// The scan configuration reader on damaged configurations and scans: what
// is loaded, what is said, what is returned, and that a scan ending the PLY
// library's read leaves nothing open behind.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>

#include "scan/ply_mesh.h"
#include "scan/scan_config.h"
#include "scene/plain_paths.h"
#include "scene/scene_state.h"
#include "test_support.h"

namespace {

const std::string kScan =
    "ply\nformat ascii 1.0\nobj_info num_cols 2\nobj_info num_rows 2\n"
    "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
    "element range_grid 4\nproperty list uchar int vertex_indices\nend_header\n"
    "0 0 0\n0.0005 0 0\n0 0.0005 0\n1 0\n1 1\n1 2\n0\n";

class ScanConfigInput : public testing::Test {
protected:
    void SetUp() override {
        dir_ = testing_support::makeTempDir("config-input");
        testing_support::writeFile(dir_ + "/a.ply", kScan);
        testing_support::writeFile(dir_ + "/cut.ply", kScan.substr(0, kScan.size() - 6));
    }
    void TearDown() override {
        resetSceneState();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    // Reads the configuration text (scan names relative to its folder);
    // returns standard output.
    std::string read(const std::string& text, const std::string& name = "scans.conf") {
        const std::string path = dir_ + "/" + name;
        if (name == "scans.conf") testing_support::writeFile(path, text);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        load_ = readScanConfig(path);
        addScansToScene(load_);
        err_ = testing::internal::GetCapturedStderr();
        return testing::internal::GetCapturedStdout();
    }
    std::string dir_;
    std::string err_;
    ScanConfigLoad load_;
};

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(ScanConfigInput, MissingEmptyOrGarbageConfigurationsLoadNothing) {
    EXPECT_EQ(read("", "none.conf"), "Could not open file " + dir_ + "/none.conf\n");
    EXPECT_EQ(read(""), "Threshold for point removal:  0.002000\n");
    // Garbage makes records of no known keyword: their words are named,
    // control characters and bytes outside UTF-8 escaped.
    EXPECT_EQ(read(std::string("\0\xff\x01 bmesh\0 \x80 1 2 3\n", 17)),
              dir_ +
                  "/scans.conf, line 1: words not used by any record: \\x00\\xff\\x01 bmesh\\x00 "
                  "\\x80 1 2\nThreshold for point removal:  0.002000\n");
    EXPECT_TRUE(sceneList.empty());
}

// A record cut short keeps the fields of the one before; a scan that
// cannot be opened is named and skipped (its id is used up), and so is a
// name far longer than any buffer.
TEST_F(ScanConfigInput, MissingFieldsAndMissingScans) {
    const std::string longName(600, 'n');
    const std::string out = read("bmesh missing.ply 0 0 0 0 0 0 1\nbmesh " + longName +
                                 " 0 0 0 0 0 0 1\nbmesh a.ply 1 2 3 0 0 0 1\nbmesh a.ply 5\n");
    EXPECT_TRUE(has(out, "Could not open file missing.ply\nAdding PLY mesh from missing.ply\n"))
        << out;
    EXPECT_TRUE(has(out, "Could not open file " + longName + "\n"));
    ASSERT_EQ(sceneList.size(), 2u);
    EXPECT_EQ(sceneList[0]->getId(), 3);
    EXPECT_EQ(sceneList[1]->getId(), 4);
    // The last record has only its translation's x: y, z and the rotation
    // are those of the record before.
    EXPECT_EQ(sceneList[1]->worldVertices[1].x, 0.0005f + 5.0f);
    EXPECT_EQ(sceneList[1]->worldVertices[1].y, 2.0f);
    EXPECT_TRUE(has(out, "Threshold for point removal:  0.000500\n")) << out;
}

// The record grammar stays, but no word goes unnoticed: an extra number or a
// "# comment" after a record shifts the records after it, and every word
// that no record used is named with its line (but those of the line that
// rangeloom-register writes first, while they hide nothing). A word longer than any file
// name ends the reading instead of growing without bound.
TEST_F(ScanConfigInput, WordsThatNoRecordUsesAreNamedWithTheirLines) {
    const std::string out = read(
        "bmesh a.ply 0 0 0 0 0 0 1 1.0\nbmesh a.ply 0 0 0 0 0 0 1\n"
        "bmesh a.ply 0 0 0 0 0 0 1 # last\n");
    const std::string conf = dir_ + "/scans.conf";
    EXPECT_EQ(
        out.find(conf + ", line 1: words not used by any record: 1.0\n" + conf +
                 ", line 2: words not used by any record: bmesh a.ply 0 0 0 0 0 0 1\n" + conf +
                 ", line 3: words not used by any record: # last\nReading coordinates"),
        0u)
        << out;
    EXPECT_EQ(sceneList.size(), 2u);

    // The first line of a refined configuration hides no record: not named.
    // Another comment, or the same line elsewhere or swallowing the next
    // record's keyword, is.
    const std::string header = "# rangeloom-register: poses refined with a.ply held fixed\n";
    const std::string record = "bmesh a.ply 0 0 0 0 0 0 1\n";
    EXPECT_EQ(read(header + record).find("words not used"), std::string::npos);
    EXPECT_TRUE(has(read(record + header + record), ", line 2: words not used by any record: # "));
    EXPECT_TRUE(has(read("# rangeloom-register: poses refined with a.ply held\n" + record),
                    ", line 1: words not used by any record: held\n"));

    EXPECT_EQ(read("\n bmesh " + std::string(5000, 'n') + " 0 0 0 0 0 0 1\n"),
              "Could not read file " + conf +
                  ": line 2 holds a word of more than 4096 characters: not a scan configuration\n");
}

// A zero or non-finite quaternion or translation cannot place a scan: the
// record is named and its scan left out (its id used up); a quaternion of
// another length only scales the scan.
TEST_F(ScanConfigInput, PosesThatCannotPlaceAScanLeaveItOut) {
    const std::string out = read(
        "bmesh a.ply 0 0 0 0 0 0 0\nbmesh a.ply nan 0 0 0 0 0 1\n"
        "bmesh a.ply 0 0 0 0 0 inf 1\nbmesh a.ply 0 0 0 0 0 0 2\n");
    const std::string conf = dir_ + "/scans.conf";
    EXPECT_TRUE(has(out, conf + ", line 1: bmesh a.ply: its rotation quaternion is zero (0 0 0 0); "
                                "the scan is left out\n"))
        << out;
    EXPECT_TRUE(has(out, conf + ", line 2: bmesh a.ply: its translation is not finite (nan 0 0)"));
    EXPECT_TRUE(has(
        out, conf + ", line 3: bmesh a.ply: its rotation quaternion is not finite (0 0 inf 1)"));
    EXPECT_EQ(load_.failures.size(), 3u);
    ASSERT_EQ(sceneList.size(), 1u);
    EXPECT_EQ(sceneList[0]->getId(), 4);
    EXPECT_EQ(sceneList[0]->worldVertices[1].x, 4 * 0.0005f);
}

// A first pair of raster neighbours at the same place (a point measured
// twice) or at a distance that is not finite is passed over: the threshold
// is the first real spacing; one far from the median spacing is said.
TEST_F(ScanConfigInput, TheDefaultThresholdPassesOverPairsThatAreNoSpacing) {
    auto raster = [](const std::string& first) {
        return "ply\nformat ascii 1.0\nobj_info num_cols 4\nobj_info num_rows 1\nelement vertex 4\n"
               "property float x\nproperty float y\nproperty float z\nelement range_grid 4\n"
               "property list uchar int vertex_indices\nend_header\n" +
               first + "0 0 0\n0.0005 0 0\n0.001 0 0\n1 0\n1 1\n1 2\n1 3\n";
    };
    for (const std::string& first : {std::string("0 0 0\n"), std::string("nan 0 0\n")}) {
        testing_support::writeFile(dir_ + "/first.ply", raster(first));
        const std::string out = read("bmesh first.ply 0 0 0 0 0 0 1\nbmesh a.ply 0 0 0 0 0 0 1\n");
        EXPECT_EQ(load_.threshold, 0.0005f) << first;
        EXPECT_TRUE(has(out, "\nThreshold for point removal:  0.000500\n")) << out;
        resetSceneState();
    }
    testing_support::writeFile(dir_ + "/first.ply", raster("-0.0000005 0 0\n"));
    const std::string out = read("bmesh first.ply 0 0 0 0 0 0 1\nbmesh a.ply 0 0 0 0 0 0 1\n");
    EXPECT_EQ(load_.threshold, 0.0000005f);
    EXPECT_TRUE(
        has(out, "\nThe first neighbouring points of " + dir_ +
                     "/first.ply are 5e-07 "
                     "apart, its median spacing is 0.0005: the default removal threshold may "
                     "not suit the scans\nThreshold for point removal:  0.000000\n"))
        << out;
}

// Number of file descriptors the process holds.
int openFiles() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<int>(std::distance(begin(fds), end(fds)));
}

// Every way a scan can be unreadable, in one configuration: a file that is
// missing, one whose header is not accepted, and one cut short. Each is a
// failure of its kind, in record order. The scan cut short ends the reading
// as if the scans were read one after the other, whatever the number of
// loading threads: the reports of the scans before it and its own report up
// to the end are printed, the scans after it are neither read nor reported,
// the library's status comes with the failure, nothing stays open, and the
// process goes on.
TEST_F(ScanConfigInput, UnreadableScansAreFailuresOfTheirKindAndACutOneEndsTheReading) {
    testing_support::writeFile(dir_ + "/junk.ply", "not a scan\n");
    testing_support::writeFile(dir_ + "/scans.conf",
                               "bmesh missing.ply 0 0 0 0 0 0 1\nbmesh junk.ply 0 0 0 0 0 0 1\n"
                               "bmesh a.ply 0 0 0 0 0 0 1\nbmesh cut.ply 0 0 0 0 0 0 1\n"
                               "bmesh a.ply 1 0 0 0 0 0 1\nbmesh a.ply 2 0 0 0 0 0 1\n");
    for (int threads : {1, 4}) {
        setWorkerThreads(threads);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int filesBefore = openFiles();
        const ScanConfigLoad load = readScanConfig(dir_ + "/scans.conf");
        const int filesAfter = openFiles();
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(load.bmeshRecords, 6);
        EXPECT_EQ(load.scans.size(), 1u);
        EXPECT_EQ(load.unread, 2);
        ASSERT_EQ(load.failures.size(), 3u);
        EXPECT_EQ(load.failures[0].status.failure, LoadFailure::CannotOpen);
        EXPECT_EQ(load.failures[0].name, "missing.ply");
        EXPECT_EQ(load.failures[1].status.failure, LoadFailure::HeaderNotAccepted);
        EXPECT_EQ(load.failures[1].path, dir_ + "/junk.ply");
        ASSERT_EQ(load.damaged(), &load.failures[2]);
        EXPECT_EQ(load.damaged()->path, dir_ + "/cut.ply");
        EXPECT_EQ(load.damaged()->status.fatalStatus, -1);
        EXPECT_EQ(err, "ply_get_element: unexpected end of file\n");
        EXPECT_EQ(filesAfter, filesBefore);
        // The first scan's whole report, then the cut one's up to its end.
        const std::string added = "Adding PLY mesh from " + dir_ + "/a.ply\n";
        const std::size_t at = out.find(added);
        ASSERT_NE(at, std::string::npos) << out;
        EXPECT_EQ(
            out.substr(at + added.size()),
            "Reading coordinates from " + dir_ +
                "/cut.ply\nversion 1.000000\ntype 1\n"
                "element vertex 3\nproperty x\nproperty y\nproperty z\nelement range_grid 4\n");
    }
    setWorkerThreads(0);
}

}  // namespace
