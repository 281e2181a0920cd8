#include "scan/bounding_box.h"

#include <cfloat>

#include "scene/mesh.h"

BoundingBox::BoundingBox() {
    setExtremes(FLT_MAX, -FLT_MAX, FLT_MAX, -FLT_MAX, FLT_MAX, -FLT_MAX);
}

void BoundingBox::setExtremes(float x0, float x1, float y0, float y1, float z0, float z1) {
    corners_ = {Point3(x0, y1, z0), Point3(x1, y1, z0), Point3(x1, y0, z0), Point3(x0, y0, z0),
                Point3(x0, y1, z1), Point3(x1, y1, z1), Point3(x1, y0, z1), Point3(x0, y0, z1)};
}

void BoundingBox::extendBy(const Mesh& mesh) {
    float x0 = minX(), x1 = maxX(), y0 = minY(), y1 = maxY(), z0 = minZ(), z1 = maxZ();
    for (const Point3& p : mesh.worldVertices) {
        if (p.x < x0) x0 = p.x;
        if (p.x > x1) x1 = p.x;
        if (p.y < y0) y0 = p.y;
        if (p.y > y1) y1 = p.y;
        if (p.z < z0) z0 = p.z;
        if (p.z > z1) z1 = p.z;
    }
    setExtremes(x0, x1, y0, y1, z0, z1);
}
