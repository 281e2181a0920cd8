// BoundingBox: an axis-aligned box kept as its eight corners, grown by the
// world positions of whole meshes. Corners 0-3 are the face at min z, 4-7 the
// face at max z, each in the order (minX,maxY) (maxX,maxY) (maxX,minY) (minX,minY).
#pragma once

#include <array>

#include "math/point3.h"

class Mesh;

class BoundingBox {
public:
    // The empty box: minima FLT_MAX, maxima -FLT_MAX.
    BoundingBox();

    float minX() const { return corners_[0].x; }
    float maxX() const { return corners_[1].x; }
    float minY() const { return corners_[2].y; }
    float maxY() const { return corners_[0].y; }
    float minZ() const { return corners_[0].z; }
    float maxZ() const { return corners_[5].z; }
    // Extents; meaningless (they overflow to inf) while the box is empty.
    float extentX() const { return maxX() - minX(); }
    float extentY() const { return maxY() - minY(); }
    float extentZ() const { return maxZ() - minZ(); }

    // True until some point has been added.
    bool isEmpty() const { return minX() > maxX(); }

    // Replaces the eight corners, given in corner order.
    void setCorners(const std::array<Point3, 8>& corners) { corners_ = corners; }
    const Point3& corner(int index) const { return corners_[index]; }

    // Grows the box to contain every world position of the mesh (a mesh
    // without world positions leaves it as it is).
    void extendBy(const Mesh& mesh);

private:
    void setExtremes(float minX, float maxX, float minY, float maxY, float minZ, float maxZ);

    std::array<Point3, 8> corners_;
};
