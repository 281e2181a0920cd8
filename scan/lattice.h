// The lattice of cubic cells laid over the common box of all scans, and the
// sorting of each scan's points and faces into its cells.
#pragma once

#include <cstdint>
#include <vector>

#include "math/point3.h"
#include "scan/bounding_box.h"

class Mesh;
struct Face;

// Edge of a lattice cell, in the scans' length unit.
constexpr float cellSize = 0.0025f;

// Lattice size and origin. Sizes are trunc(extent / cellSize + 1) per axis,
// computed in float like every cell coordinate.
struct Lattice {
    float minX = 0.0f, minY = 0.0f, minZ = 0.0f;  // lattice origin (box minimum)
    int nx = 0, ny = 0, nz = 0;                   // cells per axis

    // Sizes from a non-empty box. Returns false when a size does not fit a
    // 32-bit cell coordinate (such a scene cannot be analysed).
    bool fromBox(const BoundingBox& box);

    // The cell of p, trunc((p - min) / cellSize) per axis. Returns false for
    // positions outside the lattice (non-finite, or pushed past its last
    // cell by rounding): such positions belong to no cell.
    bool cellOf(const Point3& p, int* x, int* y, int* z) const;

    double cellCount() const { return double(nx) * double(ny) * double(nz); }
};

// Cell coordinates ordered as the analysis visits cells: z, then y, then x.
struct CellKey {
    int32_t z, y, x;
    bool operator<(const CellKey& o) const {
        if (z != o.z) return z < o.z;
        if (y != o.y) return y < o.y;
        return x < o.x;
    }
    bool operator==(const CellKey& o) const { return z == o.z && y == o.y && x == o.x; }
};

// The occupied cells of one scan, in visiting order, each with the indices
// that fall into it (in increasing order). Memory is proportional to the
// number of items, not to the lattice.
struct SparseCells {
    struct Run {
        CellKey key;
        uint32_t begin, end;  // range in `items`
    };
    std::vector<Run> runs;
    std::vector<int32_t> items;

    // Sorts the entries (cell, index) of a lattice into runs, in the order
    // the analysis visits cells, keeping the order of indices within a cell.
    void build(std::vector<std::pair<CellKey, int32_t>>& entries, const Lattice& lattice);
};

// A face the analysis can place and measure: it has corners, and all of them
// index the scan's world positions.
bool isMeasurableFace(const Face& face, const std::vector<Point3>& positions);

// Point cells (indices into worldVertices) and face cells (indices into faces,
// placed by the face's centroid) of one scan.
void sortIntoCells(const Lattice& lattice, const Mesh& scan, SparseCells* points,
                   SparseCells* faces);
