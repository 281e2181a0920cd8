// Grouping the half-edges of a polygon list by their unordered vertex pair.
//
// Half-edge h of face f runs from corner j to corner (j + 1) mod n; the
// half-edges are numbered in face order. Two half-edges belong to the same
// pair when their packed keys (high << 32 | low, both as unsigned 32-bit
// numbers, low the smaller of the two indices in signed order) are equal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/face.h"

// Marks a half-edge that is the first of its pair.
constexpr uint32_t kFirstOfPair = 0xFFFFFFFFu;

// Packs a face number (below 2^31) with the direction of its half-edge:
// bit 31 is set when the face runs from the lower to the higher index.
inline uint32_t faceTag(std::size_t face, bool forward) {
    return static_cast<uint32_t>(face) | (forward ? 0x80000000u : 0u);
}
inline int32_t tagFace(uint32_t tag) {
    return static_cast<int32_t>(tag & 0x7FFFFFFFu);
}
inline bool tagForward(uint32_t tag) {
    return (tag & 0x80000000u) != 0;
}

// One half-edge: its vertex pair and the face it belongs to.
struct HalfEdge {
    uint32_t low;   // the lower index (in signed order), as an unsigned number
    uint32_t high;  // the higher index, as an unsigned number
    uint32_t tag;   // faceTag of its face and direction
};

// The result of grouping: for every half-edge, the tag of the earliest
// half-edge of its pair, or kFirstOfPair when it is that earliest one.
struct HalfEdgePairs {
    std::vector<HalfEdge> halfEdges;  // all half-edges, in face order
    std::vector<uint32_t> firstOf;    // one entry per half-edge, in face order
    std::size_t pairCount = 0;        // number of distinct vertex pairs
    std::size_t orderProblems = 0;    // half-edges whose low > high as unsigned numbers
};

// Groups the half-edges of faces. Needs fewer than 2^32 - 1 half-edges and
// fewer than 2^31 faces (the caller checks). Linear in the number of
// half-edges for indices below a few times that number, O(H log H) otherwise.
HalfEdgePairs pairHalfEdges(const std::vector<Face>& faces, std::size_t halfEdgeCount);
