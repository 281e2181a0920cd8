// Face: one polygon of a mesh, and centroidOf, the mean of a polygon's corners.
//
// A face keeps a plain, non-owning pointer back to the mesh whose lists its
// indices refer to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "math/point3.h"
#include "math/vec3.h"
#include "math/vec4.h"
#include "scene/index_list.h"
#include "scene/index_range.h"
#include "scene/material.h"

class Mesh;

struct Face {
    Mesh* owner = nullptr;                // mesh whose lists the indices refer to (not owned)
    IndexList vertexIndices;              // 0-based corner indices, in file order
    Vec3 normal;                          // unit face normal from the first three corners
    Vec4 colour{0.0f, 0.0f, 0.0f, 1.0f};  // colour given in the input file (not drawn)
    Material material;                    // material applied when the face is drawn

    Face() = default;
    Face(Mesh* owner_, const Vec4& colour_) : owner(owner_), colour(colour_) {}

    // Draws this polygon in its owner's display mode (Wireframe, Flat or Smooth).
    void draw();
    // Mean of the face's corners taken from the owner's worldVertices.
    Point3 computeCentroid() const;
};

// The mean of the corners that index `positions` (corners out of range, never
// baked or bad, are left out), or the origin when none does. Inline: the
// overlap analysis places every face of every scan by it.
inline Point3 centroidOf(const int32_t* corners, std::size_t count,
                         const std::vector<Point3>& positions) {
    float sx = 0.0f, sy = 0.0f, sz = 0.0f;
    std::size_t counted = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const int32_t vi = corners[k];
        if (!inIndexRange(vi, positions.size())) continue;
        sx += positions[vi].x;
        sy += positions[vi].y;
        sz += positions[vi].z;
        ++counted;
    }
    if (counted == 0) return Point3(0.0f, 0.0f, 0.0f);
    const float n = static_cast<float>(counted);
    return Point3(sx / n, sy / n, sz / n);
}
inline Point3 centroidOf(const IndexList& corners, const std::vector<Point3>& positions) {
    return centroidOf(corners.data(), corners.size(), positions);
}

// The unit normal of a face from its first three corners p0, p1, p2:
// (p1 - p2) x (p0 - p1), normalised.
inline Vec3 cornerNormal(const Point3& p0, const Point3& p1, const Point3& p2) {
    Vec3 n = (p1 - p2).cross(p0 - p1);
    n.normalise();
    return n;
}
