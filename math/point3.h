// Point3: a position of three floats (vertex positions, light positions, the
// camera eye and target, box corners, view-plane points).
//
// Arithmetic that mixes points and vectors is limited to: point - point and
// point + point (both give a Vec3), and point += Vec3.
#pragma once

#include "math/vec3.h"

class Matrix4;

struct Point3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Point3() = default;
    constexpr Point3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    Point3& operator+=(const Vec3& v) {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }

    // In place: p' = upper 3x4 block of m applied to (x, y, z, 1). The bottom
    // row of m is ignored and there is no division by w.
    void transform(const Matrix4& m);

    // Prints "( %5.2f, %5.2f, %5.2f )\n" on standard output.
    void print() const;
};

inline Vec3 operator-(const Point3& a, const Point3& b) {
    return Vec3(a.x - b.x, a.y - b.y, a.z - b.z);
}
inline Vec3 operator+(const Point3& a, const Point3& b) {
    return Vec3(a.x + b.x, a.y + b.y, a.z + b.z);
}

inline Vec3 toVec3(const Point3& p) {
    return Vec3(p.x, p.y, p.z);
}
inline Point3 toPoint3(const Vec3& v) {
    return Point3(v.x, v.y, v.z);
}

// The origin of the world frame; the camera circles it.
inline constexpr Point3 worldOrigin{0.0f, 0.0f, 0.0f};
