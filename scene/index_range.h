// Whether vertex indices, which come from files and may be anything, name an
// entry of a list: the one check every reader and user of corner lists makes.
#pragma once

#include <cstddef>
#include <cstdint>

// True when `index` names one of `count` entries (0 .. count - 1).
constexpr bool inIndexRange(int32_t index, std::size_t count) {
    return index >= 0 && static_cast<std::size_t>(index) < count;
}

// True when every index of `indices` (a corner list) names one of `count`
// entries; true for an empty list.
template <class Indices>
bool allInIndexRange(const Indices& indices, std::size_t count) {
    for (int32_t index : indices)
        if (!inIndexRange(index, count)) return false;
    return true;
}
