#include "scene/face.h"

#include "scene/mesh.h"

Point3 Face::computeCentroid() const {
    return centroidOf(vertexIndices, owner->worldVertices);
}
