// The value a scan point holds in vertexValues until the overlap analysis has
// measured it: no polygon of another scan shared its cell. It is the lowest
// finite float, so that it can never be mistaken for a distance (distances
// are never negative) and is never above a removal threshold.
#pragma once

#include <cfloat>

constexpr float kUnmeasured = -FLT_MAX;

// True for a value the analysis has given the point (any value but kUnmeasured).
constexpr bool isMeasured(float value) {
    return value != kUnmeasured;
}
