// Stable least-significant-digit radix sort of records by a 64-bit key.
//
// Used to group the half-edges of a mesh by their packed vertex pair: one
// linear pass per key byte instead of a balanced-tree lookup per half-edge.
// Bytes in which every key agrees are skipped, so meshes with fewer than
// 2^24 vertices take six passes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// A record to sort: the key and a 64-bit payload carried along unchanged.
struct KeyedRecord {
    uint64_t key;      // sort key
    uint64_t payload;  // caller's data (never compared)
};

// Sorts records by key; records with equal keys keep their relative order.
// scratch is resized to records.size() and its contents are discarded; the
// caller owns both vectors.
inline void radixSortStable(std::vector<KeyedRecord>& records, std::vector<KeyedRecord>& scratch) {
    const std::size_t n = records.size();
    if (n < 2) return;
    constexpr int kBytes = 8;
    std::vector<std::array<std::size_t, 256>> counts(kBytes);
    for (auto& c : counts) c.fill(0);
    for (const KeyedRecord& r : records) {
        for (int b = 0; b < kBytes; ++b) ++counts[b][(r.key >> (8 * b)) & 0xFF];
    }
    scratch.resize(n);
    std::vector<KeyedRecord>* from = &records;
    std::vector<KeyedRecord>* to = &scratch;
    for (int b = 0; b < kBytes; ++b) {
        std::array<std::size_t, 256>& count = counts[b];
        const uint64_t firstDigit = ((*from)[0].key >> (8 * b)) & 0xFF;
        if (count[firstDigit] == n) continue;  // every key has this byte: order unchanged
        std::size_t offset = 0;
        for (std::size_t& c : count) {
            const std::size_t here = c;
            c = offset;
            offset += here;
        }
        const KeyedRecord* src = from->data();
        KeyedRecord* dst = to->data();
        for (std::size_t i = 0; i < n; ++i) {
            dst[count[(src[i].key >> (8 * b)) & 0xFF]++] = src[i];
        }
        std::swap(from, to);
    }
    if (from != &records) records.swap(scratch);
}
