// The E57 reader against files of the tests' own writer: every layout the
// standard allows gives the same scans, damaged pages are named, and files
// that contradict themselves end with a message.
#include "formats/e57_reader.h"

#include <gtest/gtest.h>

#include <cmath>

#include "e57_test_writer.h"
#include "read_bytes.h"

namespace {

using e57test::Field;
using formats_test::collect;

Field field(const std::string& name, Field::Type type, int64_t minimum = 0, int64_t maximum = 0,
            double scale = 1.0, double offset = 0.0) {
    Field f;
    f.name = name;
    f.type = type;
    f.minimum = minimum;
    f.maximum = maximum;
    f.scale = scale;
    f.offset = offset;
    return f;
}

// A structured 40 x 30 raster in single-precision cartesian coordinates with
// an invalid-state field and intensity; an unstructured spherical scan in
// scaled integers; a structured scan without indexBounds or pose, with its
// fields in another order, nested extensions, widths that are not whole
// bytes, a full 64-bit range and a 0-bit field.
std::vector<e57test::Scan> threeScans() {
    std::vector<e57test::Scan> scans(3);
    e57test::Scan& a = scans[0];
    a.name = "first <scan> & co";
    a.rotation[0] = 0.5;
    a.rotation[1] = -0.5;
    a.rotation[2] = 0.5;
    a.rotation[3] = 0.5;
    a.translation[0] = 1.25;
    a.rowMaximum = 29;
    a.columnMaximum = 39;
    a.fields = {field("cartesianX", Field::FloatSingle),
                field("cartesianY", Field::FloatSingle),
                field("cartesianZ", Field::FloatSingle),
                field("cartesianInvalidState", Field::Integer, 0, 2),
                field("rowIndex", Field::Integer, 0, 29),
                field("columnIndex", Field::Integer, 0, 39),
                field("intensity", Field::ScaledInteger, 0, 2047, 1.0 / 2047)};
    for (int c = 0; c < 40; ++c)
        for (int r = 0; r < 30; ++r) {
            const bool hole = (r * 7 + c) % 11 == 0;
            const double v[7] = {hole ? 0.0 : c * 0.01 + 0.001 * r,
                                 hole ? 0.0 : -r * 0.02,
                                 hole ? 0.0 : 1.5 + 0.003 * c,
                                 hole ? 2.0 : 0.0,
                                 double(r),
                                 double(c),
                                 (r + c) / 68.0};
            for (int k = 0; k < 7; ++k) a.fields[k].values.push_back(v[k]);
        }

    e57test::Scan& b = scans[1];
    b.fields = {field("sphericalRange", Field::ScaledInteger, 0, 100000, 0.0001),
                field("sphericalAzimuth", Field::FloatDouble),
                field("sphericalElevation", Field::ScaledInteger, -3141, 3141, 0.0005, 0.0001)};
    for (int i = 0; i < 700; ++i) {
        b.fields[0].values.push_back(2.0 + i * 0.001);
        b.fields[1].values.push_back(i * 0.01 - 3.0);
        b.fields[2].values.push_back(0.0001 + 0.0005 * ((i % 200) - 100));
    }

    e57test::Scan& c = scans[2];
    c.name = "third";
    c.pose = false;
    c.fields = {field("intensity", Field::FloatDouble),
                field("alpha", Field::Integer, INT64_MIN, INT64_MAX),
                field("beta", Field::Integer, -5, 5),
                field("columnIndex", Field::Integer, 0, 8191),
                field("cartesianZ", Field::ScaledInteger, 7, 7, 0.5, 1.0),
                field("rowIndex", Field::Integer, 3, 11),
                field("cartesianY", Field::Integer, -4000, 4000),
                field("cartesianX", Field::FloatDouble),
                field("note", Field::Integer, 0, 1)};
    c.fields[1].group = c.fields[2].group = "extras";
    for (int i = 0; i < 600; ++i) {
        const double v[9] = {
            i * 0.5, double(INT64_MIN + i),  double(i % 11 - 5),           double(i % 60),
            4.5,     double(3 + i / 60 % 9), double(i * 13 % 8001 - 4000), i * 1e-3,
            1};
        for (int k = 0; k < 9; ++k) c.fields[k].values.push_back(v[k]);
    }
    return scans;
}

void expectScans(const std::vector<formats::StructuredScan>& got) {
    const std::vector<e57test::Scan> want = threeScans();
    ASSERT_EQ(got.size(), 3u);

    const formats::StructuredScan& a = got[0];
    EXPECT_EQ(a.header.name, "first <scan> & co");
    EXPECT_TRUE(a.header.structured);
    EXPECT_TRUE(a.header.hasIntensity);
    EXPECT_EQ(a.header.rows, 30);
    EXPECT_EQ(a.header.columns, 40);
    EXPECT_EQ(a.header.recordCount, 1200u);
    EXPECT_EQ(a.header.pose.rotation[1], -0.5);
    EXPECT_EQ(a.header.pose.translation[0], 1.25);
    EXPECT_DOUBLE_EQ(a.header.pose.matrix[0][1], -1.0);  // (w, x, y, z) = (1, -1, 1, 1) / 2
    std::size_t holes = 0;
    for (std::size_t i = 0; i < 1200; ++i) {
        const auto& f = want[0].fields;
        const int r = static_cast<int>(f[4].values[i]), c = static_cast<int>(f[5].values[i]);
        const int32_t k = a.raster[static_cast<std::size_t>(r * 40 + c)];
        if (f[3].values[i] != 0.0) {
            EXPECT_EQ(k, -1);
            ++holes;
            continue;
        }
        ASSERT_GE(k, 0);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_EQ(a.points[k][axis], double(float(f[axis].values[i])));
        EXPECT_NEAR(a.intensities[k], f[6].values[i], 0.5 / 2047 + 1e-7);
    }
    EXPECT_EQ(a.emptyRecords, holes);
    EXPECT_EQ(a.points.size(), 1200 - holes);

    const formats::StructuredScan& b = got[1];
    EXPECT_EQ(b.header.name, "scan 2");
    EXPECT_FALSE(b.header.structured);
    EXPECT_FALSE(b.header.hasIntensity);
    ASSERT_EQ(b.points.size(), 700u);
    EXPECT_TRUE(b.raster.empty());
    for (std::size_t i = 0; i < 700; ++i) {
        const auto& f = want[1].fields;
        const double range = std::llround(f[0].values[i] / 0.0001) * 0.0001;
        const double azimuth = f[1].values[i];
        const double elevation = std::llround((f[2].values[i] - 0.0001) / 0.0005) * 0.0005 + 0.0001;
        EXPECT_NEAR(b.points[i][0], range * std::cos(elevation) * std::cos(azimuth), 1e-12);
        EXPECT_NEAR(b.points[i][1], range * std::cos(elevation) * std::sin(azimuth), 1e-12);
        EXPECT_NEAR(b.points[i][2], range * std::sin(elevation), 1e-12);
    }

    // No indexBounds: rows and columns from the largest indices (rows 3 to
    // 11, columns 0 to 59); the last 60 records fall on cells already taken
    // and follow the raster's points.
    const formats::StructuredScan& c = got[2];
    EXPECT_EQ(c.header.pose.rotation[0], 1.0);
    EXPECT_EQ(c.header.rows, 12);
    EXPECT_EQ(c.header.columns, 60);
    EXPECT_EQ(c.unplaced, 60u);
    ASSERT_EQ(c.points.size(), 600u);
    for (int i = 0; i < 540; ++i) {
        const int32_t k = c.raster[static_cast<std::size_t>((3 + i / 60) * 60 + i % 60)];
        ASSERT_GE(k, 0);
        EXPECT_EQ(c.points[k],
                  (std::array<double, 3>{i * 1e-3, double(i * 13 % 8001 - 4000), 4.5}));
        EXPECT_EQ(c.intensities[k], float(i * 0.5));
    }
    EXPECT_EQ(c.points[540][0], 540 * 1e-3);
}

TEST(E57Reader, EveryLayoutOfTheSameScansReadsTheSame) {
    const e57test::Layout layouts[] = {
        {1, 700, false, true, false},   // buffers of up to 700 bytes, an index packet
        {2, 1, true, false, false},     // a byte or none per field and packet, empty packets
        {3, 13, false, false, true},    // the namespace under a prefix
        {4, 60000, true, true, false},  // whole fields in one packet
    };
    for (const e57test::Layout& layout : layouts) {
        SCOPED_TRACE("layout seed " + std::to_string(layout.seed));
        formats::ReadStatus status;
        const auto scans =
            collect(formats::readE57, e57test::writeE57(threeScans(), layout), &status);
        ASSERT_TRUE(status.ok) << status.message;
        expectScans(scans);
    }
}

TEST(E57Reader, EveryDamagedPageIsNamed) {
    const std::string file = e57test::writeE57(threeScans(), e57test::Layout());
    const std::size_t pages = file.size() / 1024;
    ASSERT_GT(pages, 20u);
    for (std::size_t page = 0; page < pages; ++page) {
        for (std::size_t within : {std::size_t(100), std::size_t(1021)}) {  // data, checksum
            std::string damaged = file;
            damaged[page * 1024 + within] ^= 0x10;
            formats::ReadStatus status;
            collect(formats::readE57, damaged, &status);
            ASSERT_FALSE(status.ok) << "page " << page;
            const std::string name = "page " + std::to_string(page) + " (bytes " +
                                     std::to_string(page * 1024) + " to " +
                                     std::to_string(page * 1024 + 1023) + ") is damaged";
            EXPECT_NE(status.message.find(name), std::string::npos) << status.message;
        }
    }
}

TEST(E57Reader, FilesThatContradictThemselvesEndWithAMessage) {
    const std::string file = e57test::writeE57(threeScans(), e57test::Layout());
    using e57test::replaceInXml;
    const struct {
        std::string bytes;
        std::string message;
    } cases[] = {
        {file.substr(0, file.size() - 1024), "test: the file is truncated"},
        {"ASTM-E58" + file.substr(8), "test: not an E57 file"},
        {replaceInXml(file, "recordCount=\"1200\"", "recordCount=\"1201\""),
         "test: scan 1 (first <scan> & co): its points end after 1200 of 1201 records"},
        {replaceInXml(file, "<codecs type=\"Vector\" allowHeterogeneousChildren=\"1\"/>",
                      "<codecs type=\"Vector\"><vectorChild type=\"Structure\"><zipCodec "
                      "type=\"Structure\"/>"
                      "</vectorChild></codecs>"),
         "test: scan 1 (first <scan> & co): its points use the codec zipCodec"},
        {replaceInXml(file, "<w type=\"Float\">0.5</w>", "<w type=\"Float\">0.7</w>"),
         "test: scan 1 (first <scan> & co): the pose's rotation is not a unit quaternion"},
        {replaceInXml(file, "sphericalRange", "range"),
         "test: scan 2 (scan 2): its points have neither cartesianX/Y/Z nor sphericalRange"},
        {replaceInXml(file, "<rowMaximum type=\"Integer\">29<", "<rowMaximum type=\"Integer\">28<"),
         "test: scan 1 (first <scan> & co): a point's raster place (row 29, column 0) lies outside "
         "its raster of 29 x 40 cells"},
        {replaceInXml(file, "fileOffset=\"48\"", "fileOffset=\"1021\""),
         "test: scan 1 (first <scan> & co): the offset of the points' binary section"},
        {replaceInXml(file, "</e57Root>", ""), "test: the XML section cannot be parsed"},
    };
    for (const auto& c : cases) {
        formats::ReadStatus status;
        collect(formats::readE57, c.bytes, &status);
        EXPECT_FALSE(status.ok) << c.message;
        EXPECT_EQ(status.message.substr(0, c.message.size()), c.message);
    }
}

}  // namespace
