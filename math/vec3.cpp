#include "math/vec3.h"

#include <cstdio>

#include "math/scalar.h"

float Vec3::length() const { return fsqrt(x * x + y * y + z * z); }

void Vec3::normalise() {
    const float len = length();
    if (len == 0.0f) return;
    x = x / len;
    y = y / len;
    z = z / len;
}

void Vec3::print() const {
    std::printf("[ %5.2f, %5.2f, %5.2f ]\n", static_cast<double>(x), static_cast<double>(y),
                static_cast<double>(z));
}
