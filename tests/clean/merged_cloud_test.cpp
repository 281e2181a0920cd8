// The merged cloud read back through the PLY library: the kept points of
// every scan in order with their normals, scan index and value (or all of
// them, flagged), the header naming scans and threshold, the index widened
// past 256 scans, and a failed write leaving nothing.
#include "clean/merged_cloud.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "libply/plyfile.h"
#include "test_support.h"

namespace {

// Every property of a merged point, as floats.
struct ReadPoint {
    float x, y, z, nx, ny, nz, scan, value, tossed;
};

struct ReadCloud {
    std::vector<ReadPoint> points;
    std::vector<std::string> properties;  // "type name"
    std::vector<std::string> comments;
};

ReadCloud readCloud(const std::string& path) {
    ReadCloud cloud;
    int elements = 0, fileType = 0;
    char** names = nullptr;
    float version = 0;
    ply_handle* ply = ply_open_read(path.c_str(), &elements, &names, &fileType, &version);
    EXPECT_NE(ply, nullptr) << path;
    if (ply == nullptr) return cloud;
    EXPECT_EQ(fileType, PLY_BINARY_LE);
    int count = 0, propertyCount = 0;
    ply_property_def** props = ply_element_properties(ply, "vertex", &count, &propertyCount);
    std::vector<ply_property_def> wanted;
    for (int i = 0; i < propertyCount; ++i) {
        cloud.properties.push_back(std::string(type_names[props[i]->disk_type]) + " " +
                                   props[i]->name);
        wanted.push_back({props[i]->name, props[i]->disk_type, PLY_FLOAT,
                          static_cast<int>(i * sizeof(float)), 0, 0, 0, 0});
    }
    ply_select_properties(ply, "vertex", propertyCount, wanted.data());
    cloud.points.resize(count);
    for (ReadPoint& p : cloud.points) ply_get_element(ply, &p);
    ply_free_properties(propertyCount, props);
    int comments = 0;
    char** text = ply_comments(ply, &comments);
    for (int i = 0; i < comments; ++i) cloud.comments.push_back(text[i]);
    ply_close_file(ply);
    ply_free_element_list(elements, names);
    return cloud;
}

// An analysed scan of n points on a line, point i at (offset + i, 0, 0) with
// normal (0, 0, 1) and the given values.
std::unique_ptr<Mesh> scanOf(float offset, const std::vector<float>& values) {
    auto m = std::make_unique<Mesh>(1);
    for (std::size_t i = 0; i < values.size(); ++i) {
        m->worldVertices.push_back(Point3(offset + float(i), 0.0f, 0.0f));
        m->vertexNormals.push_back(Vec3(0.0f, 0.0f, 1.0f));
    }
    m->vertexValues = values;
    return m;
}

}  // namespace

TEST(MergedCloud, KeptPointsOfEveryScanWithNormalsIndexAndValue) {
    const std::string dir = testing_support::makeTempDir("merged");
    const auto a = scanOf(0.0f, {0.001f, 0.5f, -FLT_MAX});  // point 1 tossed, 2 unmeasured
    const auto b = scanOf(10.0f, {0.002f});                 // exactly the threshold: kept
    const std::vector<MergeSource> scans = {{a.get(), "a.ply"}, {b.get(), "site.e57#2"}};
    std::size_t written = 0;
    std::string error;
    ASSERT_TRUE(writeMergedCloud(scans, 0.002f, false, dir + "/m.ply", &written, &error)) << error;
    EXPECT_EQ(written, 3u);
    ReadCloud cloud = readCloud(dir + "/m.ply");
    EXPECT_EQ(cloud.properties,
              (std::vector<std::string>{"float x", "float y", "float z", "float nx", "float ny",
                                        "float nz", "uchar scan", "float value"}));
    ASSERT_EQ(cloud.points.size(), 3u);
    EXPECT_EQ(cloud.points[0].x, 0.0f);
    EXPECT_EQ(cloud.points[0].value, 0.001f);
    EXPECT_EQ(cloud.points[1].x, 2.0f);
    EXPECT_TRUE(std::isnan(cloud.points[1].value));
    EXPECT_EQ(cloud.points[2].x, 10.0f);
    EXPECT_EQ(cloud.points[2].scan, 1.0f);
    EXPECT_EQ(cloud.points[2].nz, 1.0f);
    const std::vector<std::string>& c = cloud.comments;
    ASSERT_GE(c.size(), 4u);
    EXPECT_EQ(c[1], "scan 0: a.ply");
    EXPECT_EQ(c[2], "scan 1: site.e57#2");
    EXPECT_EQ(c[3], "removal threshold 0.00200000009: points of greater value are tossed");

    // Flagged instead of left out.
    ASSERT_TRUE(writeMergedCloud(scans, 0.002f, true, dir + "/m.ply", &written, &error)) << error;
    cloud = readCloud(dir + "/m.ply");
    ASSERT_EQ(cloud.points.size(), 4u);
    EXPECT_EQ(cloud.properties.back(), "uchar tossed");
    EXPECT_EQ(cloud.points[1].tossed, 1.0f);
    EXPECT_EQ(cloud.points[1].value, 0.5f);
    EXPECT_EQ(cloud.points[3].tossed, 0.0f);
}

TEST(MergedCloud, MoreThan256ScansWidenTheIndexAndAFailedWriteLeavesNothing) {
    const std::string dir = testing_support::makeTempDir("merged-wide");
    std::vector<std::unique_ptr<Mesh>> meshes;
    std::vector<MergeSource> scans;
    for (int s = 0; s < 257; ++s) {
        meshes.push_back(scanOf(float(s), {0.0f}));
        scans.push_back({meshes.back().get(), "s" + std::to_string(s)});
    }
    std::size_t written = 0;
    std::string error;
    ASSERT_TRUE(writeMergedCloud(scans, 1.0f, false, dir + "/wide.ply", &written, &error));
    const ReadCloud cloud = readCloud(dir + "/wide.ply");
    EXPECT_EQ(cloud.properties[6], "ushort scan");
    ASSERT_EQ(cloud.points.size(), 257u);
    EXPECT_EQ(cloud.points[256].scan, 256.0f);

    testing_support::writeFile(dir + "/kept.ply", "earlier");
    EXPECT_FALSE(writeMergedCloud(scans, 1.0f, false, dir + "/none/x.ply", &written, &error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_EQ(testing_support::readFile(dir + "/kept.ply"), "earlier");
}
