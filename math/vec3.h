// Vec3: a direction or offset of three floats (translations, scale factors,
// differences of points, normals, cross products). Positions are Point3; the
// two types convert only explicitly (toVec3 / toPoint3).
#pragma once

#include "math/scalar.h"

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vec3() = default;
    constexpr Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    // sqrt(x*x + y*y + z*z), summed left to right in float.
    float length() const;
    // Divides each component by length(); a vector of length exactly 0 stays as it is.
    void normalise();
    // x*u.x + y*u.y + z*u.z, summed left to right in float.
    float dot(const Vec3& u) const;
    // (y*u.z - z*u.y, z*u.x - x*u.z, x*u.y - y*u.x).
    Vec3 cross(const Vec3& u) const;
    Vec3 scaled(float s) const { return Vec3(s * x, s * y, s * z); }
    // Componentwise x / s; a zero s is not guarded against (gives inf or nan).
    Vec3 divided(float s) const { return Vec3(x / s, y / s, z / s); }

    Vec3& operator*=(float s) {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    Vec3& operator+=(const Vec3& u) {
        x += u.x;
        y += u.y;
        z += u.z;
        return *this;
    }

    // Prints "[ %5.2f, %5.2f, %5.2f ]\n" on standard output.
    void print() const;
};

// Inline: lengths are taken millions of times in loading and the analysis.
inline float Vec3::length() const {
    return fsqrt(x * x + y * y + z * z);
}

inline void Vec3::normalise() {
    const float len = length();
    if (len == 0.0f) return;
    x = x / len;
    y = y / len;
    z = z / len;
}

inline float Vec3::dot(const Vec3& u) const {
    return x * u.x + y * u.y + z * u.z;
}

inline Vec3 Vec3::cross(const Vec3& u) const {
    return Vec3(y * u.z - z * u.y, z * u.x - x * u.z, x * u.y - y * u.x);
}
