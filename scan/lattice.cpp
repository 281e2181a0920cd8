#include "scan/lattice.h"

#include <algorithm>
#include <cmath>

#include "scene/mesh.h"
#include "scene/radix_sort.h"

namespace {

// trunc(extent / cellSize + 1) in float, or -1 when it does not fit an int.
int cellsAlong(float extent) {
    const float cells = extent / cellSize + 1.0f;
    if (!(cells >= 1.0f && cells < 2147483520.0f)) return -1;
    return static_cast<int>(cells);
}

}  // namespace

bool Lattice::fromBox(const BoundingBox& box) {
    minX = box.minX();
    minY = box.minY();
    minZ = box.minZ();
    nx = cellsAlong(box.extentX());
    ny = cellsAlong(box.extentY());
    nz = cellsAlong(box.extentZ());
    return nx > 0 && ny > 0 && nz > 0;
}

namespace {

// Runs from (cell number, index) pairs sorted by cell number; the number of
// a cell is x + nx (y + ny z).
void runsFromNumbers(const std::vector<std::pair<uint32_t, uint32_t>>& sorted, const Lattice& l,
                     SparseCells* out) {
    const uint32_t nx = static_cast<uint32_t>(l.nx), ny = static_cast<uint32_t>(l.ny);
    out->runs.clear();
    out->items.resize(sorted.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const uint32_t cell = sorted[i].first;
        if (i == 0 || cell != sorted[i - 1].first) {
            const uint32_t at = static_cast<uint32_t>(i);
            const CellKey key{static_cast<int32_t>(cell / nx / ny),
                              static_cast<int32_t>(cell / nx % ny),
                              static_cast<int32_t>(cell % nx)};
            out->runs.push_back({key, at, at});
        }
        out->items[i] = static_cast<int32_t>(sorted[i].second);
        out->runs.back().end = static_cast<uint32_t>(i + 1);
    }
}

}  // namespace

void SparseCells::build(std::vector<std::pair<CellKey, int32_t>>& entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    runs.clear();
    items.clear();
    items.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (runs.empty() || !(runs.back().key == entries[i].first)) {
            const uint32_t at = static_cast<uint32_t>(items.size());
            runs.push_back({entries[i].first, at, at});
        }
        items.push_back(entries[i].second);
        runs.back().end = static_cast<uint32_t>(items.size());
    }
}

CellSorter::CellSorter(const Lattice& lattice, std::size_t expected)
    : lattice_(lattice), numbered_(lattice.cellCount() < 4294967296.0) {
    if (numbered_)
        byNumber_.reserve(expected);
    else
        byKey_.reserve(expected);
}

void CellSorter::sortInto(SparseCells* out) {
    // Cells are visited in CellKey order, which is the order of their numbers
    // x + nx (y + ny z). When the numbers fit 32 bits a radix sort orders the
    // entries in linear time; other lattices fall back to a stable comparison
    // sort. Either way the indices of a cell keep their order.
    if (numbered_) {
        std::vector<std::pair<uint32_t, uint32_t>> scratch;
        radixSortStable(byNumber_, scratch, largest_,
                        [](const std::pair<uint32_t, uint32_t>& e) { return e.first; });
        runsFromNumbers(byNumber_, lattice_, out);
    } else {
        out->build(byKey_);
    }
}

void sortPointsIntoCells(const Lattice& lattice, const Mesh& scan, SparseCells* points) {
    CellSorter sorter(lattice, scan.worldVertices.size());
    for (std::size_t k = 0; k < scan.worldVertices.size(); ++k)
        sorter.add(scan.worldVertices[k], static_cast<uint32_t>(k));
    sorter.sortInto(points);
}
