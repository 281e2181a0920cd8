// rangeloom-clean's exit status comes from the loader's outcome: every way a
// scan can be unreadable gives status 2, checked without reading a word of
// what the loader or the tool prints.
#include "clean/scan_loading.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "../scan/scan_test_support.h"
#include "e57_test_writer.h"

namespace {

class ScanLoading : public ScanTest {
protected:
    // Loads a configuration of a good scan and the scan given by its text.
    CleanInput loadWith(const std::string& secondScan) {
        write("good.ply", goodScan());
        write("second.ply", secondScan);
        const std::string conf = write("set.conf",
                                       "bmesh good.ply 0 0 0 0 0 0 1\n"
                                       "bmesh second.ply 0 0 0 0 0 0 1\n");
        testing::internal::CaptureStderr();  // the PLY library's own messages
        CleanInput loaded;
        stdoutOf([&] { loaded = loadForCleaning(conf); });
        testing::internal::GetCapturedStderr();
        return loaded;
    }
    static std::string goodScan() { return rangeImage(2, 1, {{0, 0, 0}, {0.0005f, 0, 0}}, {0, 1}); }
};

TEST_F(ScanLoading, ReadableScansLoadWithTheViewersThreshold) {
    const CleanInput input = loadWith(goodScan());
    EXPECT_EQ(input.status, kSuccess);
    EXPECT_EQ(input.scans.size(), 2u);
    EXPECT_FLOAT_EQ(input.defaultThreshold, 0.0005f);
    EXPECT_TRUE(input.details.empty());
}

TEST_F(ScanLoading, EveryKindOfUnreadableScanIsStatusTwo) {
    const std::string good = goodScan();
    const std::string kinds[] = {
        "",                    // header not accepted (an empty file)
        "not a range scan\n",  // header not accepted
        good.substr(0, good.find("end_header\n") + 11) + "0 0 0\n",  // data that ends early
        good.substr(0, 3),  // a header that never ends: not an empty scan
    };
    for (const std::string& text : kinds) {
        const CleanInput input = loadWith(text);
        EXPECT_EQ(input.status, kUnreadable) << text;
        EXPECT_EQ(input.details.size(), 1u) << text;
    }
    // A scan that does not exist at all.
    std::remove(path("second.ply").c_str());
    testing::internal::CaptureStdout();
    const CleanInput missing = loadForCleaning(path("set.conf"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(missing.status, kUnreadable);
    EXPECT_EQ(missing.scans.size(), 1u);
}

// Configurations that would lose or misplace a scan are refused before a
// scan is loaded: words that no record uses hide a scan (an extra word on a
// record shifts the next), or a pose cannot place one (a zero quaternion
// would heap every point on one place).
TEST_F(ScanLoading, ConfigurationsThatHideOrCollapseAScanAreStatusTwo) {
    write("good.ply", goodScan());
    const std::string texts[] = {
        "bmesh good.ply 0 0 0 0 0 0 1 1.0\nbmesh good.ply 0 0 0 0 0 0 1\n",
        "bmesh good.ply 0 0 0 0 0 0 1 #first\nbmesh good.ply 0 0 0 0 0 0 1\n",
        "bmesh good.ply 0 0 0 0 0 0 1\nbmesh good.ply 0 0 0 0 0 0 0\n",
        "bmesh good.ply 0 0 0 0 0 0 1\nbmesh good.ply 0 nan 0 0 0 0 1\n",
    };
    for (const std::string& text : texts) {
        const std::string conf = write("set.conf", text);
        CleanInput input;
        const std::string out = stdoutOf([&] { input = loadForCleaning(conf); });
        EXPECT_EQ(input.status, kUnreadable) << text;
        EXPECT_EQ(out.find("Reading coordinates"), std::string::npos) << text;
        EXPECT_FALSE(input.details.empty()) << text;
    }
    // Unused words that hide no scan only warn.
    const std::string conf = write("set.conf",
                                   "bmesh good.ply 0 0 0 0 0 0 1\n"
                                   "bmesh good.ply 0 0 0 0 0 0 1 # last\n");
    CleanInput input;
    stdoutOf([&] { input = loadForCleaning(conf); });
    EXPECT_EQ(input.status, kSuccess);
    EXPECT_EQ(input.warnings.size(), 1u);
}

TEST_F(ScanLoading, AConfigurationWithoutScansIsStatusTwo) {
    const std::string conf = write("empty.conf", "camera 0 0 0 0 0 0 1\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(loadForCleaning(conf).status, kUnreadable);
    testing::internal::GetCapturedStdout();
    std::string error;
    EXPECT_TRUE(checkConfiguration(conf, &error));
    EXPECT_FALSE(checkConfiguration(dir_, &error));  // a folder
    EXPECT_FALSE(checkConfiguration(path("none.conf"), &error));
    EXPECT_FALSE(checkConfiguration("/dev/zero", &error));  // would never end
    EXPECT_EQ(error, "/dev/zero is a character device, not a scan configuration");
}

// A PTX file is a configuration by itself: damaged, or holding nothing to
// clean, it is status 2 like a PLY scan, the damaged scan named.
TEST_F(ScanLoading, DamagedOrEmptyScanFilesAreStatusTwo) {
    const std::string scan =
        "1\n2\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n1 0 0 0\n0 1 0 0\n0 0 1 0\n"
        "0 0 0 1\n0.001 0 0 1\n0.001 0.0005 0 1\n";
    const std::string cut = write("cut.ptx", scan + scan.substr(0, scan.size() - 16));
    CleanInput input;
    stdoutOf([&] { input = loadForCleaning(cut); });
    EXPECT_EQ(input.status, kUnreadable);
    EXPECT_EQ(input.scans.size(), 1u);
    EXPECT_EQ(input.error, cut + " cannot be read; nothing written:");
    ASSERT_EQ(input.details.size(), 1u);
    EXPECT_EQ(input.details[0].rfind(cut + ": scan 2, line ", 0), 0u) << input.details[0];

    // An E57 file without scans.
    testing_support::writeFile(path("none.e57"), e57test::writeE57({}, {}));
    stdoutOf([&] { input = loadForCleaning(path("none.e57")); });
    EXPECT_EQ(input.status, kUnreadable);
    EXPECT_EQ(input.error, path("none.e57") + " holds no scans; nothing written");
}

}  // namespace
