// Face and vertex normals, edge pairing, baking a pose into world positions,
// and the short console summary of a freshly read mesh.
#include <cfloat>
#include <cstdint>
#include <map>
#include <cstdio>
#include <iostream>
#include <vector>

#include "scene/dmesh.h"
#include "scene/console.h"
#include "scene/plain_paths.h"
#include "scene/half_edge_pairs.h"

namespace {

// True when index i addresses an entry of a list of the given size.
bool inRange(int32_t i, std::size_t size) {
    return i >= 0 && static_cast<std::size_t>(i) < size;
}

// Unit normal of a face from its first three corners:
// (P[i1] - P[i2]) x (P[i0] - P[i1]), normalised. A face with fewer than three
// corners, or with a corner outside P, gets the zero vector.
Vec3 faceNormal(const Face& face, const std::vector<Point3>& P) {
    if (face.vertexIndices.size() < 3) return Vec3();
    const int32_t i0 = face.vertexIndices[0];
    const int32_t i1 = face.vertexIndices[1];
    const int32_t i2 = face.vertexIndices[2];
    if (!inRange(i0, P.size()) || !inRange(i1, P.size()) || !inRange(i2, P.size())) return Vec3();
    Vec3 n = (P[i1] - P[i2]).cross(P[i0] - P[i1]);
    n.normalise();
    return n;
}

// Corner k of a face for the console summary; -1 stands for a missing corner.
int32_t cornerOrNone(const Face& face, std::size_t k) {
    return k < face.vertexIndices.size() ? face.vertexIndices[k] : -1;
}

}  // namespace

void Mesh::computeNormals() {
    vertexNormals.clear();
    const std::vector<Point3>& P = worldVertices.empty() ? vertices : worldVertices;
    for (Face& face : faces) face.normal = faceNormal(face, P);

    vertexNormals.assign(vertices.size(), Vec3(0.0f, 0.0f, 0.0f));
    // Unweighted sum in face order: every face counts once per corner.
    for (const Face& face : faces) {
        for (int32_t vi : face.vertexIndices) {
            if (inRange(vi, vertexNormals.size())) vertexNormals[vi] += face.normal;
        }
    }
    for (Vec3& n : vertexNormals) n.normalise();
}

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
    ConsoleText() << "processed " << edges.size() << " edges in map" << pairs.pairCount << std::endl;
}

void Mesh::bakeWorldPositions() {
    worldVertices.reserve(worldVertices.size() + vertices.size());
    vertexValues.reserve(vertexValues.size() + vertices.size());
    for (const Point3& v : vertices) {
        Point3 w = v;
        vertexValues.push_back(-FLT_MAX);
        w.transform(rotation);
        w += position;
        worldVertices.push_back(w);
    }
    computeNormals();
    resetTransform();  // virtual: the pose now lives in worldVertices
}

void Mesh::printFirstElements() const {
    if (vertices.size() < 3 || faces.size() < 3) return;
    static const char* const kOrdinal[3] = {"first", "second", "third"};
    for (std::size_t k = 0; k < 3; ++k) {
        const Point3& v = vertices[k];
        consolePrintf("%s vertex: %f %f %f \n", kOrdinal[k], static_cast<double>(v.x),
                    static_cast<double>(v.y), static_cast<double>(v.z));
        const Face& face = faces[k];
        consolePrintf("%s face: %d %d %d \n", kOrdinal[k], cornerOrNone(face, 0),
                    cornerOrNone(face, 1), cornerOrNone(face, 2));
    }
}

Point3 Face::computeCentroid() const { return centroidOf(vertexIndices, owner->worldVertices); }
