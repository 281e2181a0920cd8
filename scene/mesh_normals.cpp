// Face normals and vertex normals of a mesh.
#include <cstdint>
#include <vector>

#include "scene/index_range.h"
#include "scene/mesh.h"

namespace {

// Unit normal of a face from its first three corners:
// (P[i1] - P[i2]) x (P[i0] - P[i1]), normalised. A face with fewer than three
// corners, or with a corner outside P, gets the zero vector.
Vec3 faceNormal(const Face& face, const std::vector<Point3>& P) {
    if (face.vertexIndices.size() < 3) return Vec3();
    const int32_t i0 = face.vertexIndices[0];
    const int32_t i1 = face.vertexIndices[1];
    const int32_t i2 = face.vertexIndices[2];
    if (!inIndexRange(i0, P.size()) || !inIndexRange(i1, P.size()) || !inIndexRange(i2, P.size()))
        return Vec3();
    return cornerNormal(P[i0], P[i1], P[i2]);
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
            if (inIndexRange(vi, vertexNormals.size())) vertexNormals[vi] += face.normal;
        }
    }
    for (Vec3& n : vertexNormals) n.normalise();
}
