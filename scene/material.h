// Surface reflectance of a scene object or face, as handed to OpenGL.
#pragma once

#include "math/vec4.h"

struct Material {
    Vec4 ambient{1.0f, 1.0f, 1.0f, 1.0f};   // RGBA
    Vec4 diffuse{1.0f, 1.0f, 1.0f, 1.0f};   // RGBA
    Vec4 specular{1.0f, 1.0f, 1.0f, 1.0f};  // RGBA
    float shininess = 1.0f;                 // specular exponent, 0..128 for OpenGL

    Material() = default;
    Material(const Vec4& ambient_, const Vec4& diffuse_, const Vec4& specular_, float shininess_)
        : ambient(ambient_), diffuse(diffuse_), specular(specular_), shininess(shininess_) {}
};

// glMaterialfv(GL_FRONT, ...) with ambient, diffuse, specular, then
// glMaterialf(GL_FRONT, GL_SHININESS, shininess).
void applyMaterial(Material m);
