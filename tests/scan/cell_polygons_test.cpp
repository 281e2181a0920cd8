// Measuring points against the gathered polygons of one cell: hand-worked
// distances, a cell without polygons, and, over polygons of two scans with
// degenerate and non-triangular ones among them, exactly the smallest
// faceDistance, whatever the measurement skips.
#include "scan/cell_polygons.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace {

// The polygons of one scan, given by their world corners, and their records.
struct ScanPolygons {
    std::vector<Point3> positions;
    std::vector<Face> faces;
    std::vector<FaceRecord> records;
    PolygonSource source{&faces, &positions};

    // Adds a polygon with the mesh's face normal (first three corners).
    void add(const std::vector<Point3>& corners) {
        Face f;
        for (const Point3& c : corners) {
            f.vertexIndices.push_back(static_cast<int32_t>(positions.size()));
            positions.push_back(c);
        }
        f.normal = (corners[1] - corners[2]).cross(corners[0] - corners[1]);
        f.normal.normalise();
        faces.push_back(f);
        FaceRecord r;
        const int32_t* idx = f.vertexIndices.data();
        if (corners.size() == 3)
            r.setTriangle(corners[0], corners[1], corners[2], f.normal);
        else
            r.setPolygon(idx, corners.size(), positions.data(),
                         static_cast<int32_t>(faces.size() - 1));
        records.push_back(r);
    }
    CellRun run() const {
        return {records.data(), records.size(), 0, static_cast<uint32_t>(records.size()), &source};
    }
};

// Bounds the rounding of coordinate differences: a millionth of the largest
// coordinate (0.0025 here), rounded up.
constexpr double kAbsolute = 1e-8;

float measureIn(const std::vector<const ScanPolygons*>& scans, const Point3& p, float d) {
    std::vector<CellRun> runs;
    for (const ScanPolygons* s : scans) runs.push_back(s->run());
    CellPolygons cell;
    cell.gather(runs);
    return PointMeasure(kAbsolute).measure(p, d, cell);
}

}  // namespace

TEST(CellPolygons, TriangleRecordGivesTheHandWorkedDistances) {
    ScanPolygons s;
    s.add({Point3(0, 0, 0), Point3(0.002f, 0, 0), Point3(0, 0.002f, 0)});
    // Beside the side on the x axis: 0.0003 off in y, 0.0004 in z.
    EXPECT_FLOAT_EQ(measureIn({&s}, Point3(0.001f, -0.0003f, 0.0004f), FLT_MAX), 0.0005f);
    // Near corner 0 (its distances to corners 0 and 1 multiply to below
    // 1e-7): the distance to the plane.
    EXPECT_FLOAT_EQ(measureIn({&s}, Point3(0.00002f, 0.00002f, 0.00003f), FLT_MAX), 0.00003f);
    // A smaller value so far is kept.
    EXPECT_EQ(measureIn({&s}, Point3(0.001f, -0.0003f, 0.0004f), 0.0001f), 0.0001f);
}

TEST(CellPolygons, ACellWithoutPolygonsLeavesTheValue) {
    ScanPolygons s;
    for (int i = 0; i < 9; ++i)
        s.add({Point3(0, 0, 0), Point3(0.001f, 0, 0), Point3(0, 0.001f * float(i + 1), 0)});
    CellPolygons cell;
    PointMeasure measure(kAbsolute);
    cell.gather({s.run()});
    EXPECT_EQ(measure.measure(Point3(0, 0, 0), FLT_MAX, cell), 0.0f);
    // Gathered again for an empty cell: nothing of the last cell stays.
    cell.gather({});
    EXPECT_EQ(cell.count, 0u);
    EXPECT_EQ(measure.measure(Point3(0, 0, 0), FLT_MAX, cell), FLT_MAX);
    EXPECT_EQ(measure.measure(Point3(0, 0, 0), 0.25f, cell), 0.25f);
}

TEST(CellPolygons, GivesExactlyTheSmallestFaceDistanceOfAllPolygons) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> u(0.0f, 0.0025f);
    auto point = [&] { return Point3(u(random), u(random), u(random) * 0.2f); };
    ScanPolygons a, b;
    for (int i = 0; i < 6; ++i) a.add({point(), point(), point()});
    const Point3 c = point();
    a.add({c, c, point()});  // repeated corner
    a.add({Point3(0, 0, 0), Point3(0.001f, 0.001f, 0), Point3(0.002f, 0.002f, 0)});  // collinear
    b.add({Point3(0, 0, 0.0001f), Point3(0.0025f, 0, 0.0001f), Point3(0.0025f, 0.0025f, 0.0002f),
           Point3(0, 0.0025f, 0.0002f)});  // a quad, index 0 as a's first triangle
    for (int i = 0; i < 4; ++i) b.add({point(), point(), point()});
    const float nan = std::numeric_limits<float>::quiet_NaN();
    b.add({point(), Point3(nan, 0.001f, 0), point()});     // a corner without a number
    b.add({point(), point(), point(), point(), point()});  // a pentagon (not flat)

    std::vector<Point3> targets;
    for (int i = 0; i < 300; ++i) targets.push_back(point());
    for (const ScanPolygons* s : {&a, &b})
        for (const Point3& corner : s->positions) targets.push_back(corner);
    for (const Point3& p : targets) {
        for (float start : {FLT_MAX, 0.0002f}) {
            float expected = start;
            for (const ScanPolygons* s : {&a, &b})
                for (const Face& f : s->faces)
                    expected = std::min(expected, overlap::faceDistance(p, f, s->positions));
            ASSERT_EQ(measureIn({&a, &b}, p, start), expected)
                << p.x << " " << p.y << " " << p.z << " from " << start;
        }
    }
}
