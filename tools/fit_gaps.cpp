// rangeloom-gaps: how well the scans of a configuration meet. For every point
// of every scan, the exact distance to the nearest triangle of any other
// scan (placed by the configuration's poses); the points within LIMIT of
// another scan are the overlap, and their median and RMS distance are the
// fit. Independent of the registration's own search: every triangle whose
// centroid lies within LIMIT plus its own reach is measured exactly.
//
//   rangeloom-gaps CONF [LIMIT]      (LIMIT in scene units, default 0.001)
// prints: median MEDIAN rms RMS points N
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <nanoflann.hpp>
#include <string>
#include <vector>

#include "register/scan_source.h"
#include "tool_support.h"

namespace {

using V = Eigen::Vector3d;

double segmentDistance(const V& p, const V& a, const V& b) {
    const V d = b - a;
    const double len2 = d.squaredNorm();
    const double t = len2 > 0 ? std::clamp((p - a).dot(d) / len2, 0.0, 1.0) : 0.0;
    return (p - (a + t * d)).norm();
}

// Exact distance from p to triangle (a, b, c): to its plane when the foot
// lies inside, else to the nearest side.
double triangleDistance(const V& p, const V& a, const V& b, const V& c) {
    const V n = (b - a).cross(c - a);
    const double n2 = n.squaredNorm();
    if (n2 > 0) {
        const V foot = p - (p - a).dot(n) / n2 * n;
        const bool inside = (b - a).cross(foot - a).dot(n) >= 0 &&
                            (c - b).cross(foot - b).dot(n) >= 0 &&
                            (a - c).cross(foot - c).dot(n) >= 0;
        if (inside) return std::fabs((p - a).dot(n)) / std::sqrt(n2);
    }
    return std::min({segmentDistance(p, a, b), segmentDistance(p, b, c), segmentDistance(p, c, a)});
}

// One scan placed in the common frame, with a k-d tree over its triangles' centroids.
struct Placed {
    std::vector<V> points;
    std::vector<uint32_t> triangles;
    std::vector<V> centroids;
    double reach = 0;  // largest distance of a corner from its triangle's centroid
    std::size_t kdtree_get_point_count() const { return centroids.size(); }
    double kdtree_get_pt(std::size_t i, std::size_t d) const { return centroids[i][d]; }
    template <class B>
    bool kdtree_get_bbox(B&) const {
        return false;
    }
};
using Tree = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, Placed>,
                                                 Placed, 3, uint32_t>;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: rangeloom-gaps CONF [LIMIT]\n");
        return 1;
    }
    const double limit = argc == 3 ? std::atof(argv[2]) : 0.001;
    std::string text;
    std::vector<ConfigRecord> records;
    ScanSource source;
    if (!toolLoad(argv[1], &text, &records, &source)) return 2;

    const std::size_t n = source.views.size();
    std::vector<Placed> scans(n);
    std::vector<std::unique_ptr<Tree>> trees(n);
    for (std::size_t s = 0; s < n; ++s) {
        const registration::ScanPoints& v = source.views[s];
        Placed& p = scans[s];
        for (std::size_t i = 0; i < v.pointCount; ++i)
            p.points.push_back(
                v.pose.apply(V(v.points[3 * i], v.points[3 * i + 1], v.points[3 * i + 2])));
        for (std::size_t t = 0; t < v.triangleCount; ++t) {
            const uint32_t* c = v.triangles + 3 * t;
            if (c[0] >= v.pointCount || c[1] >= v.pointCount || c[2] >= v.pointCount) continue;
            const V centroid = (p.points[c[0]] + p.points[c[1]] + p.points[c[2]]) / 3;
            if (!centroid.allFinite()) continue;
            p.triangles.insert(p.triangles.end(), c, c + 3);
            p.centroids.push_back(centroid);
            for (int k = 0; k < 3; ++k)
                p.reach = std::max(p.reach, (p.points[c[k]] - centroid).norm());
        }
        trees[s] = std::make_unique<Tree>(3, p, nanoflann::KDTreeSingleIndexAdaptorParams(10));
    }

    std::vector<double> gaps;
    std::vector<std::pair<uint32_t, double>> near;
    for (std::size_t s = 0; s < n; ++s) {
        for (const V& p : scans[s].points) {
            if (!p.allFinite()) continue;
            double best = limit;
            bool found = false;
            for (std::size_t o = 0; o < n; ++o) {
                if (o == s || scans[o].centroids.empty()) continue;
                const double r = best + scans[o].reach;
                near.clear();
                trees[o]->radiusSearch(p.data(), r * r, near,
                                       nanoflann::SearchParams(32, 0, false));
                for (const auto& [t, d2] : near) {
                    const uint32_t* c = &scans[o].triangles[3 * t];
                    const double d = triangleDistance(p, scans[o].points[c[0]],
                                                      scans[o].points[c[1]], scans[o].points[c[2]]);
                    if (d <= best) {
                        best = d;
                        found = true;
                    }
                }
            }
            if (found) gaps.push_back(best);
        }
    }
    if (gaps.empty()) {
        std::printf("median - rms - points 0\n");
        return 0;
    }
    double squares = 0;
    for (double g : gaps) squares += g * g;
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    std::printf("median %.6g rms %.6g points %zu\n", gaps[gaps.size() / 2],
                std::sqrt(squares / static_cast<double>(gaps.size())), gaps.size());
    return 0;
}
