// Edge pairing: the faces of a mesh that share a vertex pair.
#include <cstdint>
#include <map>
#include <vector>

#include "scene/console.h"
#include "scene/half_edge_pairs.h"
#include "scene/mesh.h"
#include "scene/plain_paths.h"

// Pairs the faces that share a vertex pair. The result is the one of an
// ordered map keyed by (high << 32 | low) over all half-edges in face order:
// the first half-edge with a key is stored, every later one appends a copy of
// the stored record completed with its own face. The half-edges are grouped
// by sorting instead (see half_edge_pairs.h), which yields the same records
// in the same order without a tree lookup per half-edge.
namespace {

// The straightforward pairing: an ordered map from the packed vertex pair to
// the first record seen with it.
void buildEdgesWithMap(Mesh& mesh) {
    std::map<uint64_t, Edge> pairs;
    mesh.edges.clear();
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        const IndexList& corners = mesh.faces[f].vertexIndices;
        const std::size_t n = corners.size();
        for (std::size_t j = 0; j < n; ++j) {
            const int32_t a = corners[j];
            const int32_t b = corners[(j + 1) % n];
            Edge record;
            if (a < b) {
                record = {static_cast<int32_t>(f), -1, a, b, nullptr};
            } else {
                record = {-1, static_cast<int32_t>(f), b, a, nullptr};
            }
            const uint32_t low = static_cast<uint32_t>(record.lowVertex);
            const uint32_t high = static_cast<uint32_t>(record.highVertex);
            if (low > high) ConsoleText() << "order problem!!!\n";
            const uint64_t key = (static_cast<uint64_t>(high) << 32) | low;
            const auto found = pairs.find(key);
            if (found == pairs.end()) {
                pairs.emplace(key, record);
                continue;
            }
            Edge copy = found->second;
            if (copy.face1 == -1) {
                copy.face1 = static_cast<int32_t>(f);
            } else {
                copy.face0 = static_cast<int32_t>(f);
            }
            copy.owner = &mesh;
            mesh.edges.push_back(copy);
        }
    }
    ConsoleText() << "processed " << mesh.edges.size() << " edges in map" << pairs.size()
                  << std::endl;
}

}  // namespace

void Mesh::buildEdges() {
    if (plainEdgePairing()) {
        buildEdgesWithMap(*this);
        return;
    }
    std::size_t halfEdgeCount = 0;
    for (const Face& face : faces) halfEdgeCount += face.vertexIndices.size();

    edges.clear();
    // Edge records hold faces as 32-bit signed numbers and the grouping
    // numbers half-edges in 32 bits: larger meshes are beyond the data model.
    if (halfEdgeCount >= kFirstOfPair || faces.size() > static_cast<std::size_t>(INT32_MAX)) {
        ConsoleText() << "too many face corners to pair edges: " << halfEdgeCount << std::endl;
        return;
    }
    const HalfEdgePairs pairs = pairHalfEdges(faces, halfEdgeCount);
    for (std::size_t k = 0; k < pairs.orderProblems; ++k) ConsoleText() << "order problem!!!\n";

    // Emit the paired edges in the order of their later half-edge.
    edges.reserve(pairs.halfEdges.size() - pairs.pairCount);
    for (std::size_t h = 0; h < pairs.halfEdges.size(); ++h) {
        const uint32_t first = pairs.firstOf[h];
        if (first == kFirstOfPair) continue;
        const HalfEdge& later = pairs.halfEdges[h];
        Edge edge;
        edge.lowVertex = static_cast<int32_t>(later.low);
        edge.highVertex = static_cast<int32_t>(later.high);
        // The stored record holds the first face in face0 when that face
        // runs low -> high, else in face1; the free field takes this face.
        edge.face0 = tagForward(first) ? tagFace(first) : tagFace(later.tag);
        edge.face1 = tagForward(first) ? tagFace(later.tag) : tagFace(first);
        edge.owner = this;
        edges.push_back(edge);
    }
    ConsoleText() << "processed " << edges.size() << " edges in map" << pairs.pairCount
                  << std::endl;
}
