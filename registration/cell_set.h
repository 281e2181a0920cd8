// CellSet: a set of lattice cells (integer triples) in an open-addressing
// hash table, for "is anything near here" tests in one lookup. Memory grows
// with the cells held, not with the space they span.
#pragma once

#include <Eigen/Core>
#include <cmath>
#include <cstdint>
#include <vector>

namespace registration {

class CellSet {
public:
    // Cells of edge `size` (> 0) in the frame of the points.
    explicit CellSet(float size = 1) : inverse_(1 / size) {}

    // Adds the cell of p. Points that follow one another in space (a scan's
    // points in raster order) often share a cell: it is looked up once.
    void add(const Eigen::Vector3f& p) {
        const uint64_t k = key(cellOf(p));
        if (k != last_) insert(k);
        last_ = k;
    }
    // Adds a cell and its 26 neighbours.
    void addWithNeighbours(const Eigen::Vector3i& c) {
        for (int dz = -1; dz <= 1; ++dz)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) insert(key(c + Eigen::Vector3i(dx, dy, dz)));
    }
    // Calls f with every cell held (in no particular order).
    template <typename F>
    void forEachCell(const F& f) const {
        for (uint64_t k : slots_)
            if (k != kEmpty) f(cellOfKey(k));
    }

    // True when p's cell was added (or lies too far out to be told apart).
    bool contains(const Eigen::Vector3f& p) const {
        if (slots_.empty()) return false;
        const uint64_t k = key(cellOf(p));
        for (std::size_t at = hash(k) & mask_;; at = (at + 1) & mask_) {
            if (slots_[at] == k) return true;
            if (slots_[at] == kEmpty) return false;
        }
    }

    std::size_t bytes() const { return slots_.capacity() * sizeof(uint64_t); }  // memory held

private:
    static constexpr uint64_t kEmpty = ~uint64_t(0);

    Eigen::Vector3i cellOf(const Eigen::Vector3f& p) const {
        // Far-out or non-finite positions fold onto the lattice's edge: at
        // worst a cell is reported that was not added (a search follows).
        Eigen::Vector3i c;
        for (int k = 0; k < 3; ++k) {
            const float v = std::floor(p[k] * inverse_);
            c[k] = v >= -1e6f && v <= 1e6f ? static_cast<int>(v) : (v > 0 ? 1000000 : -1000000);
        }
        return c;
    }
    static uint64_t key(const Eigen::Vector3i& c) {
        const uint64_t bias = 1u << 20;
        return ((uint64_t(c.x()) + bias) & 0x1FFFFF) |
               (((uint64_t(c.y()) + bias) & 0x1FFFFF) << 21) |
               (((uint64_t(c.z()) + bias) & 0x1FFFFF) << 42);
    }
    static Eigen::Vector3i cellOfKey(uint64_t k) {
        const int bias = 1 << 20;
        return Eigen::Vector3i(static_cast<int>(k & 0x1FFFFF) - bias,
                               static_cast<int>((k >> 21) & 0x1FFFFF) - bias,
                               static_cast<int>((k >> 42) & 0x1FFFFF) - bias);
    }
    static std::size_t hash(uint64_t k) {
        k ^= k >> 33;
        k *= 0xff51afd7ed558ccdull;
        k ^= k >> 33;
        return static_cast<std::size_t>(k);
    }
    void insert(uint64_t k) {
        if (2 * (count_ + 1) > slots_.size()) grow();
        for (std::size_t at = hash(k) & mask_;; at = (at + 1) & mask_) {
            if (slots_[at] == k) return;
            if (slots_[at] == kEmpty) {
                slots_[at] = k;
                ++count_;
                return;
            }
        }
    }
    void grow() {
        std::vector<uint64_t> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 1024 : 2 * old.size(), kEmpty);
        mask_ = slots_.size() - 1;
        count_ = 0;
        for (uint64_t k : old)
            if (k != kEmpty) insert(k);
    }

    float inverse_;
    uint64_t last_ = kEmpty;  // the cell added last
    std::vector<uint64_t> slots_;
    std::size_t mask_ = 0;
    std::size_t count_ = 0;
};

}  // namespace registration
