// The cleaned writer on odd sources and on output that cannot be written:
// the file it leaves is always one the loader reads back, and a failure
// never destroys an earlier file.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "scan/ply_mesh.h"
#include "scene/scene_state.h"
#include "test_support.h"

namespace {

const std::string kRangeImage =
    "ply\nformat ascii 1.0\ncomment scanner 7\nobj_info num_cols 2\nobj_info num_rows 2\n"
    "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
    "element range_grid 4\nproperty list uchar int vertex_indices\nend_header\n"
    "0 0 0\n1 0 0\n0 1 0\n1 0\n1 1\n0\n1 2\n";

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// A scan of the source text whose point 1 is tossed.
struct Scan {
    std::string dir, source, cleaned;
    PlyMesh* mesh = nullptr;

    explicit Scan(const std::string& text, const std::string& name = "scan") {
        dir = testing_support::makeTempDir("cleaned");
        source = dir + "/" + name + ".ply";
        cleaned = dir + "/" + name + ".cln.ply";
        testing_support::writeFile(source, text);
        testing::internal::CaptureStdout();
        mesh = PlyMesh::load(1, source).mesh.release();
        testing::internal::GetCapturedStdout();
        EXPECT_NE(mesh, nullptr) << text;
        if (mesh == nullptr) mesh = new PlyMesh(1);
        mesh->bakeWorldPositions();
        mesh->vertexValues = {0.0f, 1.0f, 0.0f};
        tossThreshold = 0.5f;
    }
    ~Scan() {
        delete mesh;
        resetSceneState();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    bool write(std::string* out = nullptr) {
        testing::internal::CaptureStdout();
        const bool ok = mesh->writeCleaned();
        const std::string printed = testing::internal::GetCapturedStdout();
        if (out != nullptr) *out = printed;
        return ok;
    }
};

TEST(CleanedWriter, AnOrdinarySourceKeepsItsOwnHeaderAroundTheNewCount) {
    Scan scan(kRangeImage);
    ASSERT_TRUE(scan.write());
    EXPECT_EQ(testing_support::readFile(scan.cleaned),
              replaceAll(kRangeImage.substr(0, kRangeImage.find("end_header\n") + 11), "vertex 3",
                         "vertex 2") +
                  "0.0000000000 0.0000000000 0.0000000000\n0.0000000000 1.0000000000 0.0000000000\n"
                  "1 0\n0\n0\n1 1\n");
}

// Sources whose header text the capture cannot carry over line for line get
// a header written from what was read, so the cleaned file still loads with
// the kept points and the renumbered raster.
TEST(CleanedWriter, OddSourceHeadersStillGiveFilesThatLoad) {
    const std::string longComment = "comment " + std::string(300, 'c') + "\n";
    std::string sources[] = {
        // "end_header" in a comment of the text after the element line.
        replaceAll(kRangeImage, "end_header\n", "comment end_header is not here\nend_header\n"),
        // Lone carriage returns: the capture's lines are not the header's.
        replaceAll(replaceAll(kRangeImage, "comment scanner 7\n", longComment), "end_header\n",
                   longComment + "end_header\n"),
        // A NUL inside a line: the capture loses the rest of that line.
        replaceAll(kRangeImage, "ply\n", std::string("ply\ncomment x\0y\n", 16)),
        // ... and joins the next one to it: here the split line, which the
        // reader ignores, so that the count written would be ignored too.
        replaceAll(kRangeImage, "element vertex 3\n",
                   std::string("abc\0def\nxelement vertex 9\nelement vertex 3\n", 43)),
        // "element vertex" before the element line.
        replaceAll(kRangeImage, "comment scanner 7\n", "comment element vertex 99\n"),
        // ... or inside a line longer than the capture's lines.
        replaceAll(kRangeImage, "comment scanner 7\n",
                   "comment " + std::string(300, 'c') + "element vertex\n"),
    };
    sources[1] = replaceAll(sources[1], "\n", "\r");
    for (const std::string& text : sources) {
        Scan scan(text);
        ASSERT_TRUE(scan.write());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const Loaded<PlyMesh> back = PlyMesh::load(2, scan.cleaned);
        testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_NE(back.mesh, nullptr) << text;
        EXPECT_EQ(back.mesh->vertexCount(), 2) << text;
        EXPECT_EQ(back.mesh->gridIndex, (std::vector<int32_t>{0, -1, -1, 1})) << text;
        EXPECT_EQ(err, "") << text;
    }
}

// Output that cannot be written (here: the cleaned name is taken by a
// folder, which stops root too) is reported with the file's name, and what
// was there before stays.
TEST(CleanedWriter, UnwritableOutputIsReportedAndKeepsWhatWasThere) {
    Scan scan(kRangeImage);
    ASSERT_EQ(::mkdir(scan.cleaned.c_str(), 0755), 0);
    const std::string marker = scan.cleaned + "/kept";
    testing_support::writeFile(marker, "earlier");
    std::string printed;
    EXPECT_FALSE(scan.write(&printed));
    EXPECT_EQ(printed.rfind("Could not write " + scan.cleaned + ": ", 0), 0u) << printed;
    EXPECT_EQ(testing_support::readFile(marker), "earlier");
    // No temporary file is left beside it.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(scan.dir))
        entries += e.is_regular_file();
    EXPECT_EQ(entries, 1);  // the source alone
}

// A link planted where a temporary file might be made (here at the name the
// writer once used, target.tmp<pid>) is never written through: the other
// scan it points to stays, and the target becomes a file of its own.
TEST(CleanedWriter, ALinkPlantedAtATemporaryNameIsNeverFollowed) {
    Scan scan(kRangeImage);
    const std::string other = scan.dir + "/other.ply";
    testing_support::writeFile(other, "another scan\n");
    const std::string planted = scan.cleaned + ".tmp" + std::to_string(getpid());
    ASSERT_EQ(::symlink(other.c_str(), planted.c_str()), 0);
    EXPECT_TRUE(scan.write());
    EXPECT_EQ(testing_support::readFile(other), "another scan\n");
    struct stat st;
    ASSERT_EQ(::lstat(scan.cleaned.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_NE(testing_support::readFile(scan.cleaned).find("element vertex 2\n"),
              std::string::npos);
}

// A target name as long as the folder allows (248 of 255 bytes) is written:
// the temporary name is cut to fit, and none is left behind.
TEST(CleanedWriter, ATargetNameOfNearlyTheLongestLengthIsWritten) {
    Scan scan(kRangeImage, std::string(240, 'n'));
    std::string printed;
    EXPECT_TRUE(scan.write(&printed)) << printed;
    EXPECT_NE(testing_support::readFile(scan.cleaned).find("element vertex 2\n"),
              std::string::npos);
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(scan.dir))
        entries += e.is_regular_file();
    EXPECT_EQ(entries, 2);  // the source and its cleaned file
}

}  // namespace
