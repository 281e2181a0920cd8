// Single-precision scalar helpers: the argument is widened to double, the
// double-precision function is applied, and the result is rounded to float.
// Every geometric computation of the program goes through these so that its
// results do not depend on which float overloads the C library offers.
#pragma once

#include <cmath>

inline float fsqrt(float v) {
    return static_cast<float>(std::sqrt(static_cast<double>(v)));
}
inline float fcos(float v) {
    return static_cast<float>(std::cos(static_cast<double>(v)));
}
inline float fsin(float v) {
    return static_cast<float>(std::sin(static_cast<double>(v)));
}
inline float fatan(float v) {
    return static_cast<float>(std::atan(static_cast<double>(v)));
}
inline float facos(float v) {
    return static_cast<float>(std::acos(static_cast<double>(v)));
}
