#include "registration/triangle_foot.h"

namespace registration {

namespace {

TriangleFoot at(const Eigen::Vector3f& point, float u, float v, float w, Feature f) {
    TriangleFoot foot;
    foot.point = point;
    foot.u = u;
    foot.v = v;
    foot.w = w;
    foot.feature = f;
    return foot;
}

}  // namespace

TriangleFoot nearestOnTriangle(const Eigen::Vector3f& p, const Eigen::Vector3f& a,
                               const Eigen::Vector3f& b, const Eigen::Vector3f& c) {
    const Eigen::Vector3f ab = b - a, ac = c - a, ap = p - a;
    const float d1 = ab.dot(ap), d2 = ac.dot(ap);
    if (d1 <= 0 && d2 <= 0) return at(a, 1, 0, 0, Feature::Corner0);

    const Eigen::Vector3f bp = p - b;
    const float d3 = ab.dot(bp), d4 = ac.dot(bp);
    if (d3 >= 0 && d4 <= d3) return at(b, 0, 1, 0, Feature::Corner1);

    const float vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0 && d1 - d3 > 0) {
        const float t = d1 / (d1 - d3);
        return at(a + t * ab, 1 - t, t, 0, Feature::Side0);
    }

    const Eigen::Vector3f cp = p - c;
    const float d5 = ab.dot(cp), d6 = ac.dot(cp);
    if (d6 >= 0 && d5 <= d6) return at(c, 0, 0, 1, Feature::Corner2);

    const float vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0 && d2 - d6 > 0) {
        const float t = d2 / (d2 - d6);
        return at(a + t * ac, 1 - t, 0, t, Feature::Side2);
    }

    const float va = d3 * d6 - d5 * d4;
    if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0 && (d4 - d3) + (d5 - d6) > 0) {
        const float t = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        return at(b + t * (c - b), 0, 1 - t, t, Feature::Side1);
    }

    const float sum = va + vb + vc;
    if (sum > 0) {
        const float v = vb / sum, w = vc / sum;
        return at(a + v * ab + w * ac, 1 - v - w, v, w, Feature::Inside);
    }
    // Degenerate: no inside. The nearest of the three sides (each clamped).
    TriangleFoot best = at(a, 1, 0, 0, Feature::Corner0);
    float bestDist = (p - a).squaredNorm();
    const Eigen::Vector3f* corners[3] = {&a, &b, &c};
    for (int s = 0; s < 3; ++s) {
        const Eigen::Vector3f& s0 = *corners[s];
        const Eigen::Vector3f& s1 = *corners[(s + 1) % 3];
        const Eigen::Vector3f d = s1 - s0;
        const float len2 = d.squaredNorm();
        float t = len2 > 0 ? (p - s0).dot(d) / len2 : 0;
        t = t < 0 ? 0 : (t > 1 ? 1 : t);
        const Eigen::Vector3f q = s0 + t * d;
        const float dist = (p - q).squaredNorm();
        if (dist >= bestDist) continue;
        bestDist = dist;
        float weights[3] = {0, 0, 0};
        weights[s] = 1 - t;
        weights[(s + 1) % 3] = t;
        best = at(q, weights[0], weights[1], weights[2], static_cast<Feature>(1 + s));
    }
    return best;
}

}  // namespace registration
