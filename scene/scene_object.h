// SceneObject: anything the viewer keeps in its scene list and draws each
// frame. Scene objects are created with new by the loaders and live until
// the process ends.
#pragma once

#include "math/geometry.h"
#include "scene/material.h"

class SceneObject {
public:
    // Stores id and colour and resets the transform (base behaviour).
    SceneObject(int id, const Vec4& colour);
    virtual ~SceneObject() = default;

    // The four operations through which the shell treats every object alike.
    virtual void draw() = 0;
    virtual void resetTransform();  // position 0, scale 1, rotation identity
    virtual void setMaterial(Material m);
    virtual Vec3 getCenter() = 0;

    int getId() const { return id; }
    void translate(float dx, float dy, float dz);  // position += (dx, dy, dz)
    void translate(const Vec3& d) { translate(d.x, d.y, d.z); }
    void scale(float sx, float sy, float sz);  // scaleFactors *= (sx, sy, sz) componentwise
    void scale(const Vec3& s) { scale(s.x, s.y, s.z); }
    // rotation := rotation x q.toMatrix(): the newest rotation acts first.
    void rotate(const Quaternion& q);

    int id;                    // object number given by the creator
    Vec4 colour;               // flat colour
    Vec3 position;             // translation applied when drawn
    Vec3 scaleFactors;         // per-axis scale
    Matrix4 rotation;          // accumulated rotation
    Material material;         // surface material
    bool hasMaterial = false;  // setMaterial has been called
};
