// The point of a triangle nearest to a query point, and which feature of the
// triangle (its inside, one side, one corner) holds it.
#pragma once

#include <Eigen/Core>

namespace registration {

// Where the nearest point of a triangle lies. Corners and sides are numbered
// as the triangle's corners a, b, c: side 0 is a-b, side 1 b-c, side 2 c-a.
enum class Feature : unsigned char { Inside, Side0, Side1, Side2, Corner0, Corner1, Corner2 };

struct TriangleFoot {
    Eigen::Vector3f point;      // the nearest point of the triangle
    float u = 1, v = 0, w = 0;  // its barycentric weights of a, b, c (sum 1)
    Feature feature = Feature::Corner0;
};

// The nearest point of triangle (a, b, c) to p (the region tests of the
// Voronoi regions of corners, sides and inside). A degenerate triangle
// (collinear or coincident corners) gives a nearest point of its corners or
// sides, never a division by zero.
TriangleFoot nearestOnTriangle(const Eigen::Vector3f& p, const Eigen::Vector3f& a,
                               const Eigen::Vector3f& b, const Eigen::Vector3f& c);

}  // namespace registration
