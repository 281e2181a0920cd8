// The PTX reader: raster places, poses, empty cells, what real files
// contain, and damage named by file, scan and line.
#include "formats/ptx_reader.h"

#include <gtest/gtest.h>

#include <cmath>

#include "read_bytes.h"

namespace {

using formats_test::collect;

// Two scans: 2 columns x 3 rows turned 90 degrees about z and moved, with
// CR LF line ends, trailing blanks, 4- and 7-number lines and one point
// without a return; a blank line; then 1 x 2 at the identity.
const char* const kTwoScans =
    "2\r\n3 \r\n"
    "10 20 30\r\n0 1 0\r\n-1 0 0\r\n0 0 1\r\n"
    "0 1 0 0\r\n-1 0 0 0\r\n0 0 1 0\r\n10 20 30 1\r\n"
    "1 0 5 0.5\r\n"
    "1 1 5 0.25 10 20 30 \r\n"
    "0 0 0 0.5\r\n"
    "2 0 5 0.75\r\n"
    "2 1 5 0.1\t\r\n"
    "+2 2 5 1e-1\r\n"
    "\r\n"
    "1\n2\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n"
    "7 8 9 1\n-7 -8 -9 0\n";

TEST(PtxReader, ReadsScansWithTheirPlacesPosesAndEmptyCells) {
    formats::ReadStatus status;
    const auto scans = collect(formats::readPtx, kTwoScans, &status);
    ASSERT_TRUE(status.ok) << status.message;
    ASSERT_EQ(scans.size(), 2u);

    const formats::StructuredScan& a = scans[0];
    EXPECT_EQ(a.header.name, "scan 1");
    EXPECT_EQ(a.header.columns, 2);
    EXPECT_EQ(a.header.rows, 3);
    EXPECT_EQ(a.emptyRecords, 1u);
    // Line k lies in column k / 3, row 2 - k % 3 (columns go bottom up):
    // raster row 0 holds lines 2 (empty) and 5, row 1 lines 1 and 4, row 2
    // lines 0 and 3.
    const std::vector<int32_t> raster = {-1, 0, 1, 2, 3, 4};
    EXPECT_EQ(a.raster, raster);
    const std::vector<std::array<double, 3>> points = {
        {2, 2, 5}, {1, 1, 5}, {2, 1, 5}, {1, 0, 5}, {2, 0, 5}};
    EXPECT_EQ(a.points, points);
    EXPECT_FLOAT_EQ(a.intensities[1], 0.25f);
    // The file's matrix acts on row vectors: p' = (x y z 1) M. A point on
    // the scanner's x axis goes to the common y axis.
    const formats::ScanPose& pose = a.header.pose;
    EXPECT_TRUE(pose.fromMatrix);
    EXPECT_EQ(pose.matrix[1][0], 1.0);
    EXPECT_EQ(pose.matrix[0][1], -1.0);
    EXPECT_EQ(pose.matrix[0][3], 10.0);
    EXPECT_EQ(pose.matrix[2][3], 30.0);
    EXPECT_NEAR(pose.rotation[0], std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(pose.rotation[3], std::sqrt(0.5), 1e-15);
    EXPECT_EQ(pose.translation[1], 20.0);

    const formats::StructuredScan& b = scans[1];
    EXPECT_EQ(b.header.index, 1u);
    EXPECT_EQ(b.raster, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(b.points[0], (std::array<double, 3>{-7, -8, -9}));
    EXPECT_EQ(b.header.pose.rotation[0], 1.0);
}

TEST(PtxReader, DamageIsNamedWithFileScanAndLine) {
    const std::string header1 =
        "1\n2\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n";
    const std::string scan1 = header1 + "1 2 3 1\n4 5 6 1\n";
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"", "test: no scan: the file is empty"},
        {scan1.substr(0, scan1.size() - 8),
         "test: scan 1, line 11: the file ends after 1 of the scan's 2 points"},
        {scan1 + header1 + "1 2 3 1\n",
         "test: scan 2, line 23: the file ends after 1 of the scan's 2 points"},
        {header1 + "1 2 x 1\n4 5 6 1\n", "test: scan 1, line 11: 'x' is not a finite number"},
        {header1 + "1 2 nan 1\n4 5 6 1\n", "test: scan 1, line 11: 'nan' is not a finite number"},
        {header1 + "1 2 3 1 5\n4 5 6 1\n",
         "test: scan 1, line 11: expected a point (4 or 7 numbers), found 5 words"},
        {header1 + "1 2 3\n4 5 6 1\n",
         "test: scan 1, line 11: expected a point (4 or 7 numbers), found 3 words"},
        {"-1\n2\n", "test: scan 1, line 1: expected the number of columns"},
        {"1\n2\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n1 0 0 0\n0 1 0\n",
         "test: scan 1, line 8: expected 4 numbers (a row of the transform), found 3 words"},
        {"1\n2\n0 0 0\n", "test: scan 1, line 3: the file ends before the scanner's x axis"},
        {header1 + std::string(5000, '1') + "\n",
         "test: scan 1, line 11: the line is longer than 4096 characters"},
    };
    for (const auto& c : cases) {
        formats::ReadStatus status;
        collect(formats::readPtx, c.text, &status);
        EXPECT_FALSE(status.ok) << c.message;
        EXPECT_EQ(status.message.substr(0, c.message.size()), c.message);
    }
}

}  // namespace
