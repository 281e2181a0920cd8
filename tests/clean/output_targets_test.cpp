// Which files rangeloom-clean may write: never one file twice, never over a
// scan, whatever the spelling of the paths; and the output folder.
#include "clean/output_targets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

TEST(OutputTargets, NamesBesideTheScanOrInTheFolder) {
    const OutputTargets beside = outputTargets({"a/scan.ply", "b.PLY"}, "", true);
    EXPECT_EQ(beside.cleaned, (std::vector<std::string>{"a/scan.cln.ply", "b.PLY.cln.ply"}));
    EXPECT_EQ(beside.exported, (std::vector<std::string>{"a/scan.values.ply", "b.PLY.values.ply"}));
    const OutputTargets into = outputTargets({"a/scan.ply"}, "out", false);
    EXPECT_EQ(into.cleaned, (std::vector<std::string>{"out/scan.cln.ply"}));
    EXPECT_TRUE(into.exported.empty());
}

TEST(OutputTargets, AFileWrittenTwiceOrOverAScanIsAClash) {
    const std::string dir = testing_support::makeTempDir("targets");
    std::filesystem::create_directories(dir + "/a");
    std::filesystem::create_directories(dir + "/b");
    const std::string a = dir + "/a/scan.ply", b = dir + "/b/scan.ply";
    // Distinct scans beside themselves: no clash.
    EXPECT_TRUE(targetCollisions({a, b}, outputTargets({a, b}, "", true)).empty());
    // Both into one folder: each of their two files clashes once.
    EXPECT_EQ(targetCollisions({a, b}, outputTargets({a, b}, dir, true)).size(), 2u);
    // The cleaned file of one scan is another scan, spelt another way.
    const std::string other = dir + "/a/../a/scan.cln.ply";
    const std::vector<std::string> overScan =
        targetCollisions({a, other}, outputTargets({a, other}, "", false));
    ASSERT_EQ(overScan.size(), 1u);
    EXPECT_NE(overScan[0].find("it is also scan " + other), std::string::npos) << overScan[0];
}

// An output folder through a folder that does not exist yet ("missing/..")
// is the folder it will be once made: here the scans' own, where a.ply's
// cleaned file is the scan a.cln.ply.
TEST(OutputTargets, AFolderThatIsNotThereYetIsJudgedAsItWillBe) {
    const std::string dir = testing_support::makeTempDir("targets-missing");
    const std::string a = dir + "/a.ply", b = dir + "/a.cln.ply";
    testing_support::writeFile(a, "");
    testing_support::writeFile(b, "");
    for (const std::string& folder : {dir + "/missing/..", dir + "/missing/deeper/../.."}) {
        const std::vector<std::string> clashes =
            targetCollisions({a, b}, outputTargets({a, b}, folder, false));
        ASSERT_EQ(clashes.size(), 1u) << folder;
        EXPECT_NE(clashes[0].find("it is also scan " + b), std::string::npos) << clashes[0];
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/missing"));
}

TEST(OutputTargets, FoldersAreMadeWithTheirParentsOrRefused) {
    const std::string dir = testing_support::makeTempDir("folders");
    std::string error;
    EXPECT_TRUE(makeOutputFolder(dir + "/x/y/z", &error)) << error;
    EXPECT_TRUE(makeOutputFolder(dir + "/x/y/z", &error)) << error;  // already there
    testing_support::writeFile(dir + "/plain", "");
    EXPECT_FALSE(makeOutputFolder(dir + "/plain", &error));
    EXPECT_FALSE(makeOutputFolder(dir + "/plain/sub", &error));
    EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
}

}  // namespace
