#include "math/vec3.h"

#include <cstdio>

void Vec3::print() const {
    std::printf("[ %5.2f, %5.2f, %5.2f ]\n", static_cast<double>(x), static_cast<double>(y),
                static_cast<double>(z));
}
