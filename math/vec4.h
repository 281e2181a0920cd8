// Vec4: four floats, used for RGBA colours (x = red ... w = alpha) and
// homogeneous positions handed to OpenGL.
//
// The mirror array is what OpenGL reads (glLightfv, glMaterialfv). It is
// refreshed from x, y, z, w each time array() is called, so the named
// components are the authoritative values.
#pragma once

struct Vec4 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;

    Vec4() = default;  // (0, 0, 0, 1)
    Vec4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

    // Copies x, y, z, w into the mirror and returns it. The pointer stays
    // valid as long as this Vec4 does.
    const float* array() {
        mirror[0] = x;
        mirror[1] = y;
        mirror[2] = z;
        mirror[3] = w;
        return mirror;
    }

private:
    float mirror[4] = {0.0f, 0.0f, 0.0f, 1.0f};
};
