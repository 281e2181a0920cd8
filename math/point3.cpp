#include "math/point3.h"

#include <cstdio>

#include "math/matrix4.h"

void Point3::transform(const Matrix4& m) {
    const float px = x, py = y, pz = z;
    x = m(0, 0) * px + m(0, 1) * py + m(0, 2) * pz + m(0, 3);
    y = m(1, 0) * px + m(1, 1) * py + m(1, 2) * pz + m(1, 3);
    z = m(2, 0) * px + m(2, 1) * py + m(2, 2) * pz + m(2, 3);
}

void Point3::print() const {
    std::printf("( %5.2f, %5.2f, %5.2f )\n", static_cast<double>(x), static_cast<double>(y),
                static_cast<double>(z));
}
