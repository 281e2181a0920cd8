// Triangulation of a range image's raster (Mesh::gridIndex): one or two
// triangles per square of neighbouring raster cells, without triangles that
// bridge depth jumps. The rule is a pure function of the raster and the
// scanner-frame positions (forEachGridTriangle), shared by the viewer's
// meshes (triangulateRangeGrid) and by the batch cleaner, which keeps a
// range image's triangles implicit in its raster.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "math/point3.h"
#include "math/vec3.h"

class Mesh;

// The triangles a raster square can give, by their corners in order (tl, tr,
// br, bl: the square's top-left, top-right, bottom-right and bottom-left
// cells). A square of four points gives TlTrBr and TlBrBl when its TL-BR
// diagonal is the shorter one, else TrBrBl and TrBlTl; a square of three
// gives the one triangle of its three points.
enum GridShape : uint8_t { TlTrBr = 0, TlBrBl = 1, TrBrBl = 2, TrBlTl = 3, TlTrBl = 4 };
constexpr int kGridShapes = 5;

// A range image's raster as the triangulation reads it: row-major cells, each
// a vertex index or empty. Cells outside the entries and entries that are not
// vertex indices read as empty.
struct RasterGrid {
    const int32_t* cells = nullptr;
    std::size_t cellCount = 0;
    int64_t cols = 0, rows = 0;
    int64_t step = 1;             // squares of step x step cells
    std::size_t vertexCount = 0;  // entries at or above it name no vertex

    // Vertex index at (row, column), or -1.
    int32_t at(int64_t row, int64_t column) const {
        const int64_t position = row * cols + column;
        if (position < 0 || static_cast<uint64_t>(position) >= cellCount) return -1;
        const int32_t v = cells[static_cast<std::size_t>(position)];
        if (v < 0 || static_cast<std::size_t>(v) >= vertexCount) return -1;
        return v;
    }

    // The corners of the triangle of `shape` in the square whose top-left
    // cell is at position `square` (row * cols + column); false when a corner
    // is empty (not a triangle the walk gives).
    bool corners(uint64_t square, int shape, int32_t out[3]) const;
};

// Whether the walk keeps the triangle p1, p2, p3 (scanner-frame positions of
// its corners in order): the two edges from the first corner and the normal
// (twice the area) are no longer than maxEdgeLength. Grazing triangles are
// kept.
inline bool keepsGridTriangle(const Point3& p1, const Point3& p2, const Point3& p3,
                              float maxEdgeLength) {
    const Vec3 e1 = p1 - p2;
    const Vec3 e2 = p1 - p3;
    const Vec3 normal = e2.cross(e1);
    return !(e1.length() > maxEdgeLength || e2.length() > maxEdgeLength ||
             normal.length() > maxEdgeLength);
}

// Calls emit(square, shape, a, b, c) for every triangle the raster gives, in
// the order of the walk: column-major over the squares (all squares of column
// i before those of column i + step), within a square as GridShape says.
// `vertices` are the scanner-frame positions the raster indexes
// (grid.vertexCount of them). A raster without a size, or a step that would
// not advance, has no squares.
template <class Emit>
void forEachGridTriangle(const RasterGrid& grid, const Point3* vertices, float maxEdgeLength,
                         Emit&& emit) {
    const int64_t s = grid.step, cols = grid.cols;
    if (grid.cellCount == 0 || grid.rows <= 0 || cols <= 0 || s <= 0) return;
    const int64_t cells = static_cast<int64_t>(grid.cellCount);
    auto keep = [&](uint64_t square, int shape, int32_t a, int32_t b, int32_t c) {
        if (keepsGridTriangle(vertices[a], vertices[b], vertices[c], maxEdgeLength))
            emit(square, shape, a, b, c);
    };
    // A square whose top-left cell lies past the raster's entries has every
    // corner past them, so the walk stops there: a raster size read from a
    // damaged header (billions of rows or columns) costs no more than the
    // entries the file holds.
    const int64_t lastColumn = std::min<int64_t>(cols - s, cells);
    for (int64_t i = 0; i < lastColumn; i += s) {
        const int64_t lastRow = std::min<int64_t>(grid.rows - s, (cells - i + cols - 1) / cols);
        for (int64_t j = 0; j < lastRow; j += s) {
            const int32_t tl = grid.at(j, i);
            const int32_t tr = grid.at(j, i + s);
            const int32_t br = grid.at(j + s, i + s);
            const int32_t bl = grid.at(j + s, i);
            const int present = (tl >= 0) + (tr >= 0) + (br >= 0) + (bl >= 0);
            if (present < 3) continue;
            const uint64_t square = static_cast<uint64_t>(j * cols + i);
            if (present == 4) {
                // Split along the shorter diagonal; a tie goes along TR-BL.
                const float tlbr = (vertices[tl] - vertices[br]).length();
                const float trbl = (vertices[tr] - vertices[bl]).length();
                if (tlbr < trbl) {
                    keep(square, TlTrBr, tl, tr, br);
                    keep(square, TlBrBl, tl, br, bl);
                } else {
                    keep(square, TrBrBl, tr, br, bl);
                    keep(square, TrBlTl, tr, bl, tl);
                }
            } else if (tl < 0) {
                keep(square, TrBrBl, tr, br, bl);
            } else if (tr < 0) {
                keep(square, TlBrBl, tl, br, bl);
            } else if (br < 0) {
                keep(square, TlTrBl, tl, tr, bl);
            } else {
                keep(square, TlTrBr, tl, tr, br);
            }
        }
    }
}

// The raster of a mesh (gridIndex, gridCols, gridRows, its vertices) with
// squares of step cells.
RasterGrid rasterOf(const Mesh& mesh, int step);

// A raster triangle named in 32 bits: its square's position times 8 plus its
// shape, for rasters of fewer than kCodedRasterCells cells.
constexpr std::size_t kCodedRasterCells = std::size_t(1) << 29;
inline uint32_t gridTriangleCode(uint64_t square, int shape) {
    return static_cast<uint32_t>(square * 8 + static_cast<uint64_t>(shape));
}
inline uint64_t gridTriangleSquare(uint32_t code) {
    return code / 8;
}
inline int gridTriangleShape(uint32_t code) {
    return static_cast<int>(code % 8);
}

// Whether a mesh's triangles are implicit in its raster: a range image with
// raster entries (fewer than kCodedRasterCells) and no faces. Its triangles
// are the ones triangulateRangeGrid would append (none, for a raster whose
// triangulation gave none): the batch cleaner loads range images so, and the
// overlap analysis walks their rasters instead of faces.
bool trianglesInRaster(const Mesh& mesh);

// Fills the vertex normals of a mesh whose triangles are implicit in its
// raster (trianglesInRaster) exactly as computeNormals fills them for the
// same mesh with its triangles made: each triangle's unit normal from its
// world positions, added to its corners in the order of the walk, then
// normalised.
void rasterVertexNormals(Mesh& mesh);

// Appends the triangles of the mesh's raster (forEachGridTriangle over its
// vertices with mesh.maxEdgeLength). Does nothing unless the mesh is a range
// grid with a raster size and entries.
void triangulateRangeGrid(Mesh& mesh, int step);

// Appends the triangle (first, second, third) unless a corner is not a vertex
// of the mesh, one of the two edges from the first corner or the normal is
// longer than mesh.maxEdgeLength, or the triangle is grazing
// (|normal . viewDirection| below mesh.grazingThreshold) and not keepGrazing.
void addGridTriangle(Mesh& mesh, int first, int second, int third, Vec3 viewDirection,
                     bool keepGrazing);
