#include "math/quaternion.h"

#include "math/scalar.h"

void Quaternion::normalise() {
    const float len = fsqrt(w * w + x * x + y * y + z * z);
    x = x / len;
    y = y / len;
    z = z / len;
    w = w / len;
}

Quaternion Quaternion::operator*(const Quaternion& p) const {
    const Quaternion& q = *this;
    Quaternion r;
    r.w = q.w * p.w - q.x * p.x - q.y * p.y - q.z * p.z;
    r.x = q.w * p.x + q.x * p.w + q.y * p.z - q.z * p.y;
    r.y = q.w * p.y - q.x * p.z + q.y * p.w + q.z * p.x;
    r.z = q.w * p.z + q.x * p.y - q.y * p.x + q.z * p.w;
    return r;
}

Quaternion& Quaternion::operator*=(const Quaternion& p) {
    *this = *this * p;
    return *this;
}

Quaternion& Quaternion::operator+=(const Quaternion& p) {
    x += p.x;
    y += p.y;
    z += p.z;
    w += p.w;
    return *this;
}

Quaternion Quaternion::operator+(const Quaternion& p) const {
    Quaternion r = *this;
    r += p;
    return r;
}

Matrix4 Quaternion::toMatrix() const {
    Matrix4 m;  // identity
    m(0, 0) = w * w + x * x - y * y - z * z;
    m(1, 1) = w * w - x * x + y * y - z * z;
    m(2, 2) = w * w - x * x - y * y + z * z;
    m(1, 0) = 2.0f * (x * y - w * z);
    m(2, 0) = 2.0f * (x * z + w * y);
    m(0, 1) = 2.0f * (w * z + x * y);
    m(2, 1) = 2.0f * (y * z - w * x);
    m(0, 2) = 2.0f * (x * z - w * y);
    m(1, 2) = 2.0f * (w * x + y * z);
    return m;
}
