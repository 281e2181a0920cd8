// The lattice of cubic cells laid over the common box of all scans, and the
// sorting of each scan's points and faces into its cells.
#pragma once

#include <cstdint>
#include <vector>

#include "math/point3.h"
#include "scan/bounding_box.h"
#include "scene/index_range.h"
#include "scene/mesh.h"

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
    bool cellOf(const Point3& p, int* x, int* y, int* z) const {
        return axisCell(p.x, minX, nx, x) && axisCell(p.y, minY, ny, y) &&
               axisCell(p.z, minZ, nz, z);
    }

    double cellCount() const { return double(nx) * double(ny) * double(nz); }

private:
    static bool axisCell(float v, float min, int n, int* out) {
        const float f = (v - min) / cellSize;
        // trunc(f) lies in [0, n) exactly when -1 < f < n; this also rejects NaN.
        if (!(f > -1.0f && f < static_cast<float>(n))) return false;
        *out = static_cast<int>(f);
        return true;
    }
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

    // Sorts keyed entries (cell, index) into runs, in the order the analysis
    // visits cells, keeping the order of indices within a cell.
    void build(std::vector<std::pair<CellKey, int32_t>>& entries);
};

// A face the analysis can place and measure: it has corners, and all of them
// index the scan's world positions. Inline: the analysis asks it of every
// face of every scan.
inline bool isMeasurableFace(const Face& face, const std::vector<Point3>& positions) {
    return !face.vertexIndices.empty() && allInIndexRange(face.vertexIndices, positions.size());
}

// Collects items at positions and sorts them into the occupied cells of a
// lattice. Lattices whose cell numbers x + nx (y + ny z) fit 32 bits (all
// but the most extreme) are sorted by a radix sort in linear time, others by
// a stable comparison sort.
class CellSorter {
public:
    CellSorter(const Lattice& lattice, std::size_t expected);
    // Adds the item `index` at the cell of p; false (nothing added) when p
    // lies in no cell.
    bool add(const Point3& p, uint32_t index) {
        int x, y, z;
        if (!lattice_.cellOf(p, &x, &y, &z)) return false;
        if (numbered_) {
            const uint32_t nx = static_cast<uint32_t>(lattice_.nx);
            const uint32_t ny = static_cast<uint32_t>(lattice_.ny);
            const uint32_t cell = static_cast<uint32_t>(x) +
                                  nx * (static_cast<uint32_t>(y) + ny * static_cast<uint32_t>(z));
            if (cell > largest_) largest_ = cell;
            byNumber_.push_back({cell, index});
        } else {
            byKey_.push_back({CellKey{z, y, x}, static_cast<int32_t>(index)});
        }
        return true;
    }
    // The runs of the items added, in the order the analysis visits cells.
    void sortInto(SparseCells* out);

private:
    const Lattice& lattice_;
    bool numbered_;
    uint32_t largest_ = 0;
    std::vector<std::pair<uint32_t, uint32_t>> byNumber_;
    std::vector<std::pair<CellKey, int32_t>> byKey_;
};

// The point cells of one scan (indices into worldVertices).
void sortPointsIntoCells(const Lattice& lattice, const Mesh& scan, SparseCells* points);
