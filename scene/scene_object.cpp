#include "scene/scene_object.h"

SceneObject::SceneObject(int id_, const Vec4& colour_) : id(id_), colour(colour_) {
    SceneObject::resetTransform();
}

void SceneObject::resetTransform() {
    position = Vec3(0.0f, 0.0f, 0.0f);
    scaleFactors = Vec3(1.0f, 1.0f, 1.0f);
    rotation.setIdentity();
}

void SceneObject::setMaterial(Material m) {
    hasMaterial = true;
    material = m;
}

void SceneObject::translate(float dx, float dy, float dz) {
    position.x += dx;
    position.y += dy;
    position.z += dz;
}

void SceneObject::scale(float sx, float sy, float sz) {
    scaleFactors.x *= sx;
    scaleFactors.y *= sy;
    scaleFactors.z *= sz;
}

void SceneObject::rotate(const Quaternion& q) {
    rotation *= q.toMatrix();
}
