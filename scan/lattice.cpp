#include "scan/lattice.h"

#include <algorithm>
#include <cmath>

#include "scene/dmesh.h"

namespace {

// trunc(extent / cellSize + 1) in float, or -1 when it does not fit an int.
int cellsAlong(float extent) {
    const float cells = extent / cellSize + 1.0f;
    if (!(cells >= 1.0f && cells < 2147483520.0f)) return -1;
    return static_cast<int>(cells);
}

bool axisCell(float v, float min, int n, int* out) {
    const float f = (v - min) / cellSize;
    // trunc(f) lies in [0, n) exactly when -1 < f < n; this also rejects NaN.
    if (!(f > -1.0f && f < static_cast<float>(n))) return false;
    *out = static_cast<int>(f);
    return true;
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

bool Lattice::cellOf(const Point3& p, int* x, int* y, int* z) const {
    return axisCell(p.x, minX, nx, x) && axisCell(p.y, minY, ny, y) && axisCell(p.z, minZ, nz, z);
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

// Stable least-significant-digit radix sort of (cell number, index) pairs by
// cell number, in as few passes as the largest number needs (digits of at
// most 16 bits, split evenly so that the counts stay small).
void radixSortByCell(std::vector<std::pair<uint32_t, uint32_t>>& a, uint32_t largest) {
    int bits = 1;
    while (bits < 32 && (largest >> bits) != 0) ++bits;
    const int passes = (bits + 15) / 16;
    const int digit = (bits + passes - 1) / passes;
    const uint32_t mask = (1u << digit) - 1u;
    std::vector<std::pair<uint32_t, uint32_t>> b(a.size());
    std::vector<uint32_t> count(std::size_t(1) << digit);
    for (int pass = 0, shift = 0; pass < passes; ++pass, shift += digit) {
        std::fill(count.begin(), count.end(), 0u);
        for (const auto& e : a) ++count[(e.first >> shift) & mask];
        uint32_t sum = 0;
        for (uint32_t& c : count) {
            const uint32_t here = c;
            c = sum;
            sum += here;
        }
        for (const auto& e : a) b[count[(e.first >> shift) & mask]++] = e;
        a.swap(b);
    }
}

}  // namespace

void SparseCells::build(std::vector<std::pair<CellKey, int32_t>>& entries, const Lattice& l) {
    // Cells are visited in CellKey order, which is the order of their numbers
    // x + nx (y + ny z). When the numbers fit 32 bits a radix sort orders the
    // entries in linear time; other lattices fall back to a stable comparison
    // sort. Either way the indices of a cell keep their order.
    if (l.cellCount() < 4294967296.0 && entries.size() <= 0xFFFFFFFFu) {
        const uint64_t nx = static_cast<uint64_t>(l.nx), ny = static_cast<uint64_t>(l.ny);
        std::vector<std::pair<uint32_t, uint32_t>> numbered(entries.size());
        uint32_t largest = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const CellKey& k = entries[i].first;
            const uint32_t cell =
                static_cast<uint32_t>(uint64_t(k.x) + nx * (uint64_t(k.y) + ny * uint64_t(k.z)));
            largest = std::max(largest, cell);
            numbered[i] = {cell, static_cast<uint32_t>(entries[i].second)};
        }
        radixSortByCell(numbered, largest);
        runsFromNumbers(numbered, l, this);
        return;
    }
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

bool isMeasurableFace(const Face& face, const std::vector<Point3>& positions) {
    if (face.vertexIndices.empty()) return false;
    for (int32_t vi : face.vertexIndices)
        if (vi < 0 || static_cast<std::size_t>(vi) >= positions.size()) return false;
    return true;
}

namespace {

// The centroid of a measurable face, as Face::computeCentroid gives it from
// the same positions (every corner is in range, so every corner counts).
Point3 centroidOf(const Face& face, const std::vector<Point3>& positions) {
    float sx = 0.0f, sy = 0.0f, sz = 0.0f;
    for (int32_t vi : face.vertexIndices) {
        sx += positions[vi].x;
        sy += positions[vi].y;
        sz += positions[vi].z;
    }
    const float n = static_cast<float>(face.vertexIndices.size());
    return Point3(sx / n, sy / n, sz / n);
}

// sortIntoCells for lattices whose cell numbers fit 32 bits: the (number,
// index) pairs are made directly and radix sorted.
void sortByNumber(const Lattice& lattice, const Mesh& scan, SparseCells* points,
                  SparseCells* faces) {
    const uint32_t nx = static_cast<uint32_t>(lattice.nx), ny = static_cast<uint32_t>(lattice.ny);
    std::vector<std::pair<uint32_t, uint32_t>> numbered;
    uint32_t largest = 0;
    int x, y, z;
    auto add = [&](const Point3& p, std::size_t index) {
        if (!lattice.cellOf(p, &x, &y, &z)) return;
        const uint32_t cell =
            static_cast<uint32_t>(x) + nx * (static_cast<uint32_t>(y) + ny * static_cast<uint32_t>(z));
        largest = std::max(largest, cell);
        numbered.push_back({cell, static_cast<uint32_t>(index)});
    };

    numbered.reserve(scan.worldVertices.size());
    for (std::size_t k = 0; k < scan.worldVertices.size(); ++k) add(scan.worldVertices[k], k);
    radixSortByCell(numbered, largest);
    runsFromNumbers(numbered, lattice, points);

    numbered.clear();
    numbered.reserve(scan.faces.size());
    largest = 0;
    for (std::size_t f = 0; f < scan.faces.size(); ++f) {
        const Face& face = scan.faces[f];
        if (!isMeasurableFace(face, scan.worldVertices)) continue;
        add(face.owner == &scan ? centroidOf(face, scan.worldVertices) : face.computeCentroid(), f);
    }
    radixSortByCell(numbered, largest);
    runsFromNumbers(numbered, lattice, faces);
}

}  // namespace

void sortIntoCells(const Lattice& lattice, const Mesh& scan, SparseCells* points,
                   SparseCells* faces) {
    if (lattice.cellCount() < 4294967296.0 && scan.worldVertices.size() <= 0xFFFFFFFFu &&
        scan.faces.size() <= 0xFFFFFFFFu) {
        sortByNumber(lattice, scan, points, faces);
        return;
    }
    std::vector<std::pair<CellKey, int32_t>> entries;
    entries.reserve(scan.worldVertices.size());
    int x, y, z;
    for (std::size_t k = 0; k < scan.worldVertices.size(); ++k) {
        if (lattice.cellOf(scan.worldVertices[k], &x, &y, &z))
            entries.push_back({CellKey{z, y, x}, static_cast<int32_t>(k)});
    }
    points->build(entries, lattice);

    entries.clear();
    entries.reserve(scan.faces.size());
    for (std::size_t f = 0; f < scan.faces.size(); ++f) {
        if (!isMeasurableFace(scan.faces[f], scan.worldVertices)) continue;
        if (lattice.cellOf(scan.faces[f].computeCentroid(), &x, &y, &z))
            entries.push_back({CellKey{z, y, x}, static_cast<int32_t>(f)});
    }
    faces->build(entries, lattice);
}
