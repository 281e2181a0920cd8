// Mesh construction, defaults, bounds, the building interface and baking a
// pose into world positions.
#include "scene/mesh.h"

#include <cfloat>

#include "scene/materials.h"
#include "scene/mesh_arrays.h"
#include "scene/unmeasured.h"

Mesh::Mesh(int id_) : SceneObject(id_, colourBlack) {
    initDefaults();
}

Mesh::~Mesh() = default;

void Mesh::initDefaults() {
    gridStep = 1;
    isRangeGrid = false;
    gridRows = -1;
    gridCols = -1;
    grazingThreshold = 0.15f;
    maxEdgeLength = 0.001f;
}

void Mesh::resetBounds() {
    bboxMax = Point3(-FLT_MAX, -FLT_MAX, -FLT_MAX);
    bboxMin = Point3(FLT_MAX, FLT_MAX, FLT_MAX);
    centroid = Vec3(0.0f, 0.0f, 0.0f);
    displayMode = Smooth;
    maxExtent = 1.0f;
}

void Mesh::setDisplayMode(int mode) {
    if (mode < 5) displayMode = mode;
}

void Mesh::resetTransform() {
    SceneObject::resetTransform();
}

void Mesh::setMaterial(Material m) {
    SceneObject::setMaterial(m);
    for (Face& f : faces) f.material = m;
    ++materialVersion_;
}

void Mesh::geometryChanged() {
    ++geometryVersion_;
}

void Mesh::valuesChanged() {
    ++valuesVersion_;
}

void Mesh::clearGeometry() {
    faces.clear();
    vertices.clear();
    vertexNormals.clear();
    edges.clear();
    resetBounds();
    geometryChanged();
}

void Mesh::addVertex(const Point3& p) {
    vertices.push_back(p);
    centroid += toVec3(p);
    if (p.x > bboxMax.x) bboxMax.x = p.x;
    if (p.y > bboxMax.y) bboxMax.y = p.y;
    if (p.z > bboxMax.z) bboxMax.z = p.z;
    if (p.x < bboxMin.x) bboxMin.x = p.x;
    if (p.y < bboxMin.y) bboxMin.y = p.y;
    if (p.z < bboxMin.z) bboxMin.z = p.z;
}

void Mesh::bakeWorldPositions(bool withNormals) {
    worldVertices.reserve(worldVertices.size() + vertices.size());
    vertexValues.reserve(vertexValues.size() + vertices.size());
    for (const Point3& v : vertices) {
        Point3 w = v;
        vertexValues.push_back(kUnmeasured);
        w.transform(rotation);
        w += position;
        worldVertices.push_back(w);
    }
    worldPose = rotation;
    worldPose(0, 3) += position.x;
    worldPose(1, 3) += position.y;
    worldPose(2, 3) += position.z;
    if (withNormals) computeNormals();
    resetTransform();  // virtual: the pose now lives in worldVertices
    valuesChanged();
}
