// Quaternion: x, y, z (vector part) then w (scalar part), as rotations are
// written in scan configurations.
#pragma once

#include "math/matrix4.h"

struct Quaternion {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;

    Quaternion() = default;  // (0, 0, 0, 1), the identity rotation
    Quaternion(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

    // Divides all four components by sqrt(w*w + x*x + y*y + z*z); no check for zero.
    void normalise();

    // Hamilton product this x p.
    Quaternion& operator*=(const Quaternion& p);
    Quaternion operator*(const Quaternion& p) const;

    Quaternion& operator+=(const Quaternion& p);
    Quaternion operator+(const Quaternion& p) const;

    // A matrix whose last row and column are the identity's and whose upper
    // 3x3 block is built from the components as they are (not normalised):
    //   (0,0) = w^2 + x^2 - y^2 - z^2   (0,1) = 2(wz + xy)   (0,2) = 2(xz - wy)
    //   (1,0) = 2(xy - wz)   (1,1) = w^2 - x^2 + y^2 - z^2   (1,2) = 2(wx + yz)
    //   (2,0) = 2(xz + wy)   (2,1) = 2(yz - wx)   (2,2) = w^2 - x^2 - y^2 + z^2
    // Scan configurations are written for exactly this element placement.
    Matrix4 toMatrix() const;
};
