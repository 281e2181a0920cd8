#include "clean/clean_report.h"

#include <gtest/gtest.h>

#include <cfloat>

#include "scene/unmeasured.h"

namespace {

Mesh scanWithValues(const std::vector<float>& values) {
    Mesh m(1);
    m.fileName = "dir/scan.ply";
    for (std::size_t i = 0; i < values.size(); ++i) m.vertices.push_back(Point3(float(i), 0, 0));
    m.vertexValues = values;
    return m;
}

}  // namespace

TEST(CleanReport, CountsMeasuredAndTossedPointsAsTheWriterDecides) {
    const Mesh m = scanWithValues({kUnmeasured, 0.0f, 0.001f, 0.002f, 0.0021f, 5.0f});
    ScanReport r = reportScan(m, 0.002f);
    EXPECT_EQ(r.file, "dir/scan.ply");
    EXPECT_EQ(r.points, 6u);
    EXPECT_EQ(r.measured, 5u);
    EXPECT_EQ(r.tossed, 2u);  // strictly greater than the threshold
    // Below zero every measured point goes, an unmeasured one never does.
    r = reportScan(m, -1.0f);
    EXPECT_EQ(r.tossed, 5u);
    // Nearest rank among the five measured values 0, 0.001, 0.002, 0.0021, 5:
    // the median is the 3rd, the 95th percentile the 5th.
    EXPECT_TRUE(r.distances.known);
    EXPECT_EQ(r.distances.median, 0.002f);
    EXPECT_EQ(r.distances.p95, 5.0f);
    // A scan without values (not analysed) has nothing measured or tossed.
    Mesh bare = scanWithValues({});
    bare.vertices.resize(3);
    r = reportScan(bare, 0.002f);
    EXPECT_EQ(r.points, 3u);
    EXPECT_EQ(r.measured, 0u);
    EXPECT_EQ(r.tossed, 0u);
    EXPECT_FALSE(r.distances.known);
}

TEST(CleanReport, TableAlignsColumnsAndTotalsSeveralScans) {
    std::vector<ScanReport> rows(2);
    rows[0] = {"a/scan00.ply", 5668, 5121, 87, "out/scan00.cln.ply", "", {true, 0.0001f, 0.0023f}};
    rows[1] = {"scan01.ply", 12, 0, 0, "FAILED", "", {}};
    // Three significant digits of the largest 95th percentile; "-" without values.
    EXPECT_EQ(formatReportTable(rows, false, {true, 0.0001f, 0.0023f}),
              "file          points  measured  tossed   median      p95  written\n"
              "a/scan00.ply    5668      5121      87  0.00010  0.00230  out/scan00.cln.ply\n"
              "scan01.ply        12         0       0        -        -  FAILED\n"
              "total           5680      5121      87  0.00010  0.00230\n");
}

// A name holding escape sequences (one sets the terminal's title, one clears
// the screen) reaches the terminal as text; other names are unchanged.
TEST(CleanReport, NamesWithControlCharactersAreEscaped) {
    std::vector<ScanReport> rows = {
        {"\x1b]0;owned\x07.ply", 1, 0, 0, "\x1b[2J.cln.ply", "\xc2\x9b.values.ply", {}},
        {"d\xc3\xa9j\xc3\xa0.ply", 1, 0, 0, "-", "-", {}}};
    const std::string table = formatReportTable(rows, true);
    EXPECT_EQ(table.find('\x1b'), std::string::npos) << table;
    EXPECT_NE(table.find("\\x1b]0;owned\\x07.ply"), std::string::npos) << table;
    EXPECT_NE(table.find("\\x1b[2J.cln.ply"), std::string::npos) << table;
    EXPECT_NE(table.find("\\xc2\\x9b.values.ply"), std::string::npos) << table;
    EXPECT_NE(table.find("d\xc3\xa9j\xc3\xa0.ply"), std::string::npos) << table;
}

TEST(CleanReport, TableOfOneScanWithExportHasNoTotal) {
    std::vector<ScanReport> rows = {
        {"s.ply", 3, 2, 1, "s.cln.ply", "s.values.ply", {true, 1.5f, 25.0f}}};
    EXPECT_EQ(formatReportTable(rows, true),
              "file   points  measured  tossed  median   p95  written    export\n"
              "s.ply       3         2       1     1.5  25.0  s.cln.ply  s.values.ply\n");
}

TEST(CleanReport, ThresholdLineSaysWhereTheThresholdCameFrom) {
    CleanOptions o;
    EXPECT_EQ(thresholdLine(o, 0.002f, 0.002f), "removal threshold 0.002 (default)\n");
    o.hasSteps = true;
    o.steps = -3;
    EXPECT_EQ(thresholdLine(o, 0.0014f, 0.002f),
              "removal threshold 0.0014 (the default 0.002 moved 3 steps down)\n");
    o = CleanOptions();
    o.hasThreshold = true;
    EXPECT_EQ(thresholdLine(o, 0.5f, 0.002f), "removal threshold 0.5 (given)\n");
}
