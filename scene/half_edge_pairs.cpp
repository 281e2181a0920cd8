#include "scene/half_edge_pairs.h"

#include <algorithm>

#include "scene/radix_sort.h"

namespace {

// All half-edges in face order, in one pass over the faces.
void collectHalfEdges(const std::vector<Face>& faces, std::size_t halfEdgeCount,
                      HalfEdgePairs& out) {
    out.halfEdges.reserve(halfEdgeCount);
    for (std::size_t f = 0; f < faces.size(); ++f) {
        const IndexList& corners = faces[f].vertexIndices;
        const std::size_t n = corners.size();
        for (std::size_t j = 0; j < n; ++j) {
            const int32_t a = corners[j];
            const int32_t b = corners[j + 1 < n ? j + 1 : 0];
            const bool forward = a < b;
            const uint32_t low = static_cast<uint32_t>(forward ? a : b);
            const uint32_t high = static_cast<uint32_t>(forward ? b : a);
            if (low > high) ++out.orderProblems;
            out.halfEdges.push_back({low, high, faceTag(f, forward)});
        }
    }
}

// A half-edge within the bucket of its low vertex.
struct BucketEntry {
    uint32_t high;      // the higher vertex of the pair
    uint32_t halfEdge;  // number of the half-edge in face order
    uint32_t tag;       // its face and direction
};

// Sorts one bucket by high vertex, keeping face order among equal ones.
void sortBucket(BucketEntry* begin, BucketEntry* end) {
    auto byHigh = [](const BucketEntry& x, const BucketEntry& y) { return x.high < y.high; };
    if (end - begin > 32) {
        std::stable_sort(begin, end, byHigh);
        return;
    }
    for (BucketEntry* i = begin + 1; i < end; ++i) {  // insertion sort: stable
        const BucketEntry moving = *i;
        BucketEntry* j = i;
        for (; j > begin && moving.high < (j - 1)->high; --j) *j = *(j - 1);
        *j = moving;
    }
}

// Counting sort on the low vertex, then a small sort per bucket: linear for
// the indices of real meshes (every low index at most maxLow).
void groupByLowVertex(uint32_t maxLow, HalfEdgePairs& out) {
    const std::vector<HalfEdge>& halfEdges = out.halfEdges;
    const std::size_t buckets = static_cast<std::size_t>(maxLow) + 1;
    std::vector<uint32_t> start(buckets + 1, 0);
    for (const HalfEdge& h : halfEdges) ++start[h.low + 1];
    for (std::size_t b = 1; b <= buckets; ++b) start[b] += start[b - 1];

    std::vector<BucketEntry> entries(halfEdges.size());
    {
        std::vector<uint32_t> next(start.begin(), start.end() - 1);
        for (std::size_t i = 0; i < halfEdges.size(); ++i) {
            const HalfEdge& h = halfEdges[i];
            entries[next[h.low]++] = {h.high, static_cast<uint32_t>(i), h.tag};
        }
    }
    for (std::size_t b = 0; b < buckets; ++b) {
        BucketEntry* begin = entries.data() + start[b];
        BucketEntry* end = entries.data() + start[b + 1];
        sortBucket(begin, end);
        for (BucketEntry* run = begin; run < end;) {
            BucketEntry* later = run + 1;
            for (; later < end && later->high == run->high; ++later) {
                out.firstOf[later->halfEdge] = run->tag;
            }
            ++out.pairCount;
            run = later;
        }
    }
}

// A half-edge to sort: its packed vertex pair and, carried along, its number
// in face order (high 32 bits) and its tag (low 32 bits).
struct KeyedRecord {
    uint64_t key;
    uint64_t payload;
};

// Stable radix sort of the packed keys: for any indices, negative ones included.
void groupByKey(HalfEdgePairs& out) {
    std::vector<KeyedRecord> records;
    records.reserve(out.halfEdges.size());
    uint64_t largest = 0;
    for (std::size_t i = 0; i < out.halfEdges.size(); ++i) {
        const HalfEdge& h = out.halfEdges[i];
        const uint64_t key = (static_cast<uint64_t>(h.high) << 32) | h.low;
        largest = std::max(largest, key);
        records.push_back({key, (static_cast<uint64_t>(i) << 32) | h.tag});
    }
    {
        std::vector<KeyedRecord> scratch;
        radixSortStable(records, scratch, largest, [](const KeyedRecord& r) { return r.key; });
    }
    for (std::size_t s = 0; s < records.size();) {
        std::size_t e = s + 1;
        const uint32_t first = static_cast<uint32_t>(records[s].payload);
        for (; e < records.size() && records[e].key == records[s].key; ++e) {
            out.firstOf[records[e].payload >> 32] = first;
        }
        ++out.pairCount;
        s = e;
    }
}

}  // namespace

HalfEdgePairs pairHalfEdges(const std::vector<Face>& faces, std::size_t halfEdgeCount) {
    HalfEdgePairs out;
    collectHalfEdges(faces, halfEdgeCount, out);
    out.firstOf.assign(out.halfEdges.size(), kFirstOfPair);
    if (out.halfEdges.empty()) return out;
    uint32_t maxLow = 0;
    for (const HalfEdge& h : out.halfEdges) maxLow = h.low > maxLow ? h.low : maxLow;
    if (static_cast<std::size_t>(maxLow) < 2 * out.halfEdges.size() + 1024) {
        groupByLowVertex(maxLow, out);
    } else {
        groupByKey(out);
    }
    return out;
}
