#include "math/matrix4.h"

#include <cstdio>

void Matrix4::setIdentity() {
    for (int i = 0; i < 16; ++i) m_[i] = 0.0f;
    m_[0] = m_[5] = m_[10] = m_[15] = 1.0f;
}

Matrix4& Matrix4::operator*=(const Matrix4& b) {
    // Copy both operands first, so that m *= m squares the matrix instead of
    // reading elements it has already overwritten.
    const Matrix4 a = *this;
    const Matrix4 bb = b;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a(r, k) * bb(k, c);
            (*this)(r, c) = sum;
        }
    }
    return *this;
}

void Matrix4::print() const {
    const Matrix4& m = *this;
    auto d = [](float v) { return static_cast<double>(v); };
    std::printf(
        " __                     __\n"
        "| %5.2f %5.2f %5.2f %5.2f |\n"
        "| %5.2f %5.2f %5.2f %5.2f |\n"
        "| %5.2f %5.2f %5.2f %5.2f |\n"
        "| %5.2f %5.2f %5.2f %5.2f |\n"
        "|__                     __|\n",
        d(m(0, 0)), d(m(0, 1)), d(m(0, 2)), d(m(0, 3)), d(m(1, 0)), d(m(1, 1)), d(m(1, 2)),
        d(m(1, 3)), d(m(2, 0)), d(m(2, 1)), d(m(2, 2)), d(m(2, 3)), d(m(3, 0)), d(m(3, 1)),
        d(m(3, 2)), d(m(3, 3)));
}
