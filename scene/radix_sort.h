// Stable least-significant-digit radix sort of records by an unsigned key.
//
// Used to group the half-edges of a mesh by their packed vertex pair and to
// order the points and polygons of a scan by their lattice cell: a few linear
// passes instead of a comparison sort. The key's digits are at most 16 bits
// wide, split evenly over as few passes as the largest key needs (so that the
// counts stay small), and a pass in which every key has the same digit is
// skipped.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// Sorts records by key(record), an unsigned integer of at most 64 bits no
// larger than `largest`; records with equal keys keep their relative order.
// scratch is resized to records.size() and its contents are discarded; the
// caller owns both vectors.
template <class Record, class KeyOf>
void radixSortStable(std::vector<Record>& records, std::vector<Record>& scratch, uint64_t largest,
                     KeyOf key) {
    const std::size_t n = records.size();
    if (n < 2) return;
    if (n > UINT32_MAX) {  // beyond what the 32-bit counts hold
        std::stable_sort(records.begin(), records.end(),
                         [&](const Record& a, const Record& b) { return key(a) < key(b); });
        return;
    }
    int bits = 1;
    while (bits < 64 && (largest >> bits) != 0) ++bits;
    const int passes = (bits + 15) / 16;
    const int digit = (bits + passes - 1) / passes;
    const uint64_t mask = (uint64_t(1) << digit) - 1u;
    scratch.resize(n);
    std::vector<uint32_t> count(std::size_t(1) << digit);
    std::vector<Record>* from = &records;
    std::vector<Record>* to = &scratch;
    auto digitOf = [&](const Record& r, int shift) {
        return static_cast<std::size_t>((static_cast<uint64_t>(key(r)) >> shift) & mask);
    };
    for (int pass = 0, shift = 0; pass < passes; ++pass, shift += digit) {
        std::fill(count.begin(), count.end(), 0u);
        for (const Record& r : *from) ++count[digitOf(r, shift)];
        if (count[digitOf((*from)[0], shift)] == n) continue;  // one digit: order unchanged
        uint32_t sum = 0;
        for (uint32_t& c : count) {
            const uint32_t here = c;
            c = sum;
            sum += here;
        }
        const Record* src = from->data();
        Record* dst = to->data();
        for (std::size_t i = 0; i < n; ++i) dst[count[digitOf(src[i], shift)]++] = src[i];
        std::swap(from, to);
    }
    if (from != &records) records.swap(scratch);
}
