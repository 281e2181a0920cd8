#include "scene/range_grid.h"

#include <gtest/gtest.h>

#include <vector>

#include "scene/mesh.h"

namespace {

// A range-image mesh: positions, then the raster row by row.
struct Raster {
    Mesh mesh{1};

    Raster(int rows, int cols, const std::vector<Point3>& points,
           const std::vector<int32_t>& grid) {
        for (const Point3& p : points) mesh.addVertex(p);
        mesh.gridIndex = grid;
        mesh.gridRows = rows;
        mesh.gridCols = cols;
        mesh.isRangeGrid = true;
    }

    std::vector<std::vector<int32_t>> triangulate(int step = 1) {
        triangulateRangeGrid(mesh, step);
        std::vector<std::vector<int32_t>> out;
        for (const Face& f : mesh.faces) {
            EXPECT_EQ(f.owner, &mesh);
            out.emplace_back(f.vertexIndices.begin(), f.vertexIndices.end());
        }
        return out;
    }
};

using Triangles = std::vector<std::vector<int32_t>>;

// Corners TL, TR, BR, BL of a square 0.0005 wide and 0.0006 high.
const std::vector<Point3> kSquare = {
    {0, 0, 0}, {0.0005f, 0, 0}, {0.0005f, 0.0006f, 0}, {0, 0.0006f, 0}};
// Raster order is TL, TR, BL, BR.
const std::vector<int32_t> kSquareGrid = {0, 1, 3, 2};

}  // namespace

TEST(TriangulateRangeGrid, SplitsAlongTheShorterDiagonalTiesAlongTopRight) {
    EXPECT_EQ(Raster(2, 2, kSquare, kSquareGrid).triangulate(), (Triangles{{1, 2, 3}, {1, 3, 0}}));
    std::vector<Point3> skewed = kSquare;
    skewed[3].x = -0.0001f;  // TR-BL now longer than TL-BR
    EXPECT_EQ(Raster(2, 2, skewed, kSquareGrid).triangulate(), (Triangles{{0, 1, 2}, {0, 2, 3}}));
}

TEST(TriangulateRangeGrid, ThreeCornersMakeOneTriangleInFixedOrder) {
    // Missing TL, TR, BR, BL in turn (raster positions 0, 1, 3, 2).
    const Triangles expected[] = {{{1, 2, 3}}, {{0, 2, 3}}, {{0, 1, 3}}, {{0, 1, 2}}};
    const int rasterPosition[] = {0, 1, 3, 2};
    for (int missing = 0; missing < 4; ++missing) {
        std::vector<int32_t> grid = kSquareGrid;
        grid[rasterPosition[missing]] = -1;
        EXPECT_EQ(Raster(2, 2, kSquare, grid).triangulate(), expected[missing]) << missing;
    }
    std::vector<int32_t> two = {0, -1, -1, 2};
    EXPECT_TRUE(Raster(2, 2, kSquare, two).triangulate().empty());
}

TEST(TriangulateRangeGrid, OnlyEdgesFromTheFirstCornerAreMeasured) {
    // TL-BR is the shorter diagonal; TL-TR is 0.0011 long, so (TL, TR, BR)
    // goes, while (TL, BR, BL) stays although BR-BL is 0.0011 long.
    const std::vector<Point3> points = {
        {0, 0, 0}, {0.0011f, 0, 0}, {0.0006f, 0.0006f, 0}, {-0.0005f, 0.0006f, 0}};
    EXPECT_EQ(Raster(2, 2, points, kSquareGrid).triangulate(), (Triangles{{0, 2, 3}}));

    // Lengths equal to the limit pass: unit legs and a unit cross product.
    Raster unit(2, 2, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 1, 3, -1});
    unit.mesh.maxEdgeLength = 1.0f;
    EXPECT_EQ(unit.triangulate(), (Triangles{{0, 1, 3}}));
}

TEST(TriangulateRangeGrid, WalksColumnsOuterAndHonoursTheStep) {
    // A 3 x 3 raster of a flat patch, vertex k at raster position k.
    std::vector<Point3> points;
    std::vector<int32_t> grid;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            points.push_back({col * 0.0003f, row * 0.0002f, 0});
            grid.push_back(row * 3 + col);
        }
    }
    // Each square splits along TR-BL (equal diagonals): (TR, BR, BL), (TR, BL, TL).
    EXPECT_EQ(Raster(3, 3, points, grid).triangulate(), (Triangles{{1, 4, 3},
                                                                   {1, 3, 0},
                                                                   {4, 7, 6},
                                                                   {4, 6, 3},
                                                                   {2, 5, 4},
                                                                   {2, 4, 1},
                                                                   {5, 8, 7},
                                                                   {5, 7, 4}}));
    EXPECT_EQ(Raster(3, 3, points, grid).triangulate(2), (Triangles{{2, 8, 6}, {2, 6, 0}}));
}

TEST(TriangulateRangeGrid, RastersWithoutSquaresOrSizeGiveNothing) {
    Raster notGrid(2, 2, kSquare, kSquareGrid);
    notGrid.mesh.isRangeGrid = false;
    EXPECT_TRUE(notGrid.triangulate().empty());
    EXPECT_TRUE(Raster(2, 2, kSquare, {}).triangulate().empty());
    EXPECT_TRUE(Raster(1, 4, kSquare, {0, 1, 2, 3}).triangulate().empty());
    EXPECT_TRUE(Raster(4, 1, kSquare, {0, 1, 2, 3}).triangulate().empty());
    EXPECT_TRUE(Raster(-1, -1, kSquare, kSquareGrid).triangulate().empty());
    EXPECT_TRUE(Raster(2, 2, kSquare, kSquareGrid).triangulate(0).empty());
}

TEST(TriangulateRangeGrid, InvalidEntriesCountAsEmptyCells) {
    // Entries past the vertex list, below -1, and a raster shorter than its
    // size: each square loses those corners.
    EXPECT_EQ(Raster(2, 2, kSquare, {0, 1, 3, 4}).triangulate(), (Triangles{{0, 1, 3}}));
    EXPECT_EQ(Raster(2, 2, kSquare, {-5, 1, 3, 2}).triangulate(), (Triangles{{1, 2, 3}}));
    EXPECT_EQ(Raster(2, 2, kSquare, {0, 1, 3}).triangulate(), (Triangles{{0, 1, 3}}));
    EXPECT_TRUE(Raster(3, 3, kSquare, {0, 1, 3}).triangulate().empty());
}

TEST(TriangulateRangeGrid, HugeRasterSizesCostOnlyTheEntriesThere) {
    // A damaged header may claim billions of rows and columns; the walk must
    // not visit squares that lie past the four entries.
    const int huge = 2000000000;
    EXPECT_EQ(Raster(huge, 2, kSquare, kSquareGrid).triangulate(),
              Raster(2, 2, kSquare, kSquareGrid).triangulate());
    EXPECT_TRUE(Raster(huge, huge, kSquare, kSquareGrid).triangulate().empty());
    EXPECT_TRUE(Raster(2, huge, kSquare, kSquareGrid).triangulate().empty());
    EXPECT_EQ(Raster(huge, 2, kSquare, kSquareGrid).triangulate(huge - 1),
              Raster(2, 2, kSquare, kSquareGrid).triangulate(huge - 1));
}

TEST(AddTriangle, GrazingTrianglesAreKeptOnlyWhenAsked) {
    // A triangle standing upright: its normal is perpendicular to the view.
    Mesh mesh(1);
    for (const Point3& p : {Point3(0, 0, 0), Point3(0.0005f, 0, 0), Point3(0, 0, 0.0005f)}) {
        mesh.addVertex(p);
    }
    const Vec3 view(0, 0, -1);
    addGridTriangle(mesh, 0, 1, 2, view, false);
    EXPECT_TRUE(mesh.faces.empty());
    addGridTriangle(mesh, 0, 1, 2, view, true);
    EXPECT_EQ(mesh.faces.size(), 1u);
    addGridTriangle(mesh, 0, 1, 7, view, true);  // no vertex 7
    EXPECT_EQ(mesh.faces.size(), 1u);
}

TEST(TriangulateRangeGrid, ASquareAndShapeNameTheirTriangleAgain) {
    // A 5 x 4 raster with holes and a depth jump: every triangle the walk
    // gives is found again from its square and shape alone, which is how a
    // range image's triangles are kept without a face list.
    std::vector<Point3> points;
    std::vector<int32_t> grid;
    for (int row = 0; row < 5; ++row) {
        for (int col = 0; col < 4; ++col) {
            if ((row * 4 + col) % 7 == 3) {
                grid.push_back(-1);
                continue;
            }
            grid.push_back(static_cast<int32_t>(points.size()));
            points.push_back({col * 0.0003f, row * (0.0002f + col * 0.00001f),
                              row == 3 && col == 1 ? 0.01f : 0.0f});
        }
    }
    for (int step : {1, 2}) {
        Raster r(5, 4, points, grid);
        const RasterGrid g = rasterOf(r.mesh, step);
        Triangles walked, found;
        forEachGridTriangle(g, points.data(), r.mesh.maxEdgeLength,
                            [&](uint64_t square, int shape, int32_t a, int32_t b, int32_t c) {
                                walked.push_back({a, b, c});
                                int32_t corners[3];
                                ASSERT_TRUE(g.corners(square, shape, corners));
                                found.push_back({corners[0], corners[1], corners[2]});
                            });
        EXPECT_EQ(found, walked);
        EXPECT_EQ(walked, r.triangulate(step));
        EXPECT_FALSE(walked.empty());
    }
}
