// Meshes for the scene tests and benchmarks: tiny ones built in code,
// generated .m texts of closed surfaces, seeded random face soups, and the
// straightforward ordered-map edge pairing the fast one must reproduce.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "scene/mesh.h"
#include "scene/plain_paths.h"

namespace fixtures {

// Fills a mesh with the given positions and faces (owner set on each face).
inline void fill(Mesh& mesh, const std::vector<Point3>& positions,
                 const std::vector<std::vector<int32_t>>& faces) {
    mesh.clearGeometry();
    for (const Point3& p : positions) mesh.addVertex(p);
    for (const auto& corners : faces) {
        Face face;
        face.owner = &mesh;
        for (int32_t c : corners) face.vertexIndices.push_back(c);
        mesh.faces.push_back(face);
    }
}

// A closed tetrahedron, its faces consistently oriented.
inline void tetrahedron(Mesh& mesh) {
    fill(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
         {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {0, 3, 2}});
}

// The unit cube as six quads.
inline void cubeOfQuads(Mesh& mesh) {
    fill(mesh,
         {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
         {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}});
}

// .m text of a torus of rings x segments vertices, each grid square split
// into two triangles (2 * rings * segments faces), closed, genus 1.
inline std::string torusText(int rings, int segments) {
    std::string text = "# torus\n";
    char line[128];
    const double pi = 3.14159265358979323846;
    int number = 1;
    for (int r = 0; r < rings; ++r) {
        const double u = 2 * pi * r / rings;
        for (int s = 0; s < segments; ++s) {
            const double v = 2 * pi * s / segments;
            std::snprintf(line, sizeof line, "Vertex %d %.6g %.6g %.6g\n", number++,
                          (1.0 + 0.3 * std::cos(v)) * std::cos(u),
                          (1.0 + 0.3 * std::cos(v)) * std::sin(u), 0.3 * std::sin(v));
            text += line;
        }
    }
    auto id = [&](int r, int s) { return (r % rings) * segments + (s % segments) + 1; };
    number = 1;
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < segments; ++s) {
            std::snprintf(line, sizeof line, "Face %d %d %d %d\nFace %d %d %d %d\n", number,
                          id(r, s), id(r + 1, s), id(r + 1, s + 1), number + 1, id(r, s),
                          id(r + 1, s + 1), id(r, s + 1));
            text += line;
            number += 2;
        }
    }
    return text;
}

// A seeded soup of faces over few vertices: shared edges in both
// orientations, edges used by many faces, short faces, and (when
// withNegative) negative indices.
inline void randomSoup(Mesh& mesh, uint32_t seed, int vertexCount, int faceCount,
                       bool withNegative) {
    std::mt19937 random(seed);
    std::vector<Point3> positions;
    for (int i = 0; i < vertexCount; ++i) {
        positions.push_back({static_cast<float>(random() % 100), static_cast<float>(random() % 100),
                             static_cast<float>(random() % 100)});
    }
    std::vector<std::vector<int32_t>> faces;
    for (int f = 0; f < faceCount; ++f) {
        const int corners = static_cast<int>(random() % 6);  // 0 to 5 corners
        std::vector<int32_t> face;
        for (int c = 0; c < corners; ++c) {
            int32_t v = static_cast<int32_t>(random() % vertexCount);
            if (withNegative && random() % 10 == 0) v = -1 - static_cast<int32_t>(random() % 3);
            face.push_back(v);
        }
        faces.push_back(face);
    }
    fill(mesh, positions, faces);
}

// Edge pairing through an ordered map of packed vertex pairs, half-edge by
// half-edge, with the same console line: the library's straightforward path,
// the reference for the grouping that Mesh::buildEdges uses by default.
inline void buildEdgesReference(Mesh& mesh) {
    setPlainEdgePairing(true);
    mesh.buildEdges();
    setPlainEdgePairing(false);
}

}  // namespace fixtures
