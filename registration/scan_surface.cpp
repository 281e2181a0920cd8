#include "registration/scan_surface.h"

#include <algorithm>
#include <cmath>

#include "registration/registration.h"
#include "registration/triangle_foot.h"

namespace registration {

namespace {

// The nearest point found so far within a squared distance (the k-d tree's
// result set for one neighbour within a radius).
class NearestWithin {
public:
    explicit NearestWithin(float squaredRadius) : worst_(squaredRadius) {}
    std::size_t size() const { return found_ ? 1 : 0; }
    bool full() const { return true; }
    bool addPoint(float squaredDistance, uint32_t index) {
        if (squaredDistance < worst_) {
            worst_ = squaredDistance;
            index_ = index;
            found_ = true;
        }
        return true;
    }
    float worstDist() const { return worst_; }
    bool found() const { return found_; }
    uint32_t index() const { return index_; }

private:
    float worst_;
    uint32_t index_ = 0;
    bool found_ = false;
};

bool finite(const float* p) {
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

}  // namespace

ScanSurface::ScanSurface(const ScanPoints& scan)
    : points_(scan.points),
      pointCount_(scan.points != nullptr ? std::min<std::size_t>(scan.pointCount, kSeed - 2) : 0) {
    keepTriangles(scan);
    buildRings();
    markBorder();
    computeNormals();
    measure();
    cloud_ = Cloud{points_, &surfacePoints_};
    tree_ = std::make_unique<Tree>(3, cloud_, nanoflann::KDTreeSingleIndexAdaptorParams(12));
}

ScanSurface::~ScanSurface() = default;

void ScanSurface::keepTriangles(const ScanPoints& scan) {
    if (scan.triangles == nullptr || pointCount_ == 0) return;
    auto usable = [&](const uint32_t* c) {
        if (c[0] >= pointCount_ || c[1] >= pointCount_ || c[2] >= pointCount_) return false;
        if (!finite(points_ + 3 * c[0]) || !finite(points_ + 3 * c[1]) ||
            !finite(points_ + 3 * c[2]))
            return false;
        const Eigen::Vector3f a = point(c[0]);
        return (point(c[1]) - a).cross(point(c[2]) - a).squaredNorm() > 0;
    };
    std::size_t first = 0;  // the first triangle left out
    while (first < scan.triangleCount && usable(scan.triangles + 3 * first)) ++first;
    if (first == scan.triangleCount) {
        // All usable (the usual case): the caller's triangles serve as they are.
        triangles_ = scan.triangles;
        triangleCount_ = scan.triangleCount;
        return;
    }
    kept_.assign(scan.triangles, scan.triangles + 3 * first);
    for (std::size_t t = first + 1; t < scan.triangleCount; ++t) {
        const uint32_t* c = scan.triangles + 3 * t;
        if (usable(c)) kept_.insert(kept_.end(), c, c + 3);
    }
    triangles_ = kept_.data();
    triangleCount_ = kept_.size() / 3;
}

void ScanSurface::buildRings() {
    ringStart_.assign(pointCount_ + 1, 0);
    for (std::size_t k = 0; k < 3 * triangleCount_; ++k) ++ringStart_[triangles_[k] + 1];
    for (std::size_t i = 0; i < pointCount_; ++i) ringStart_[i + 1] += ringStart_[i];
    ring_.resize(3 * triangleCount_);
    std::vector<uint32_t> fill(ringStart_.begin(), ringStart_.end() - 1);
    for (std::size_t k = 0; k < 3 * triangleCount_; ++k)
        ring_[fill[triangles_[k]]++] = static_cast<uint32_t>(k / 3);
    for (uint32_t i = 0; i < pointCount_; ++i)
        if (ringStart_[i + 1] > ringStart_[i]) surfacePoints_.push_back(i);
}

// A side belongs to the border when no other triangle has it.
void ScanSurface::markBorder() {
    const std::size_t count = triangleCount_;
    sideBorder_.assign(count, 0);
    pointBorder_.assign(pointCount_, 0);
    for (std::size_t t = 0; t < count; ++t) {
        for (int s = 0; s < 3; ++s) {
            const uint32_t from = triangles_[3 * t + s], to = triangles_[3 * t + (s + 1) % 3];
            bool shared = false;
            for (uint32_t k = ringStart_[from]; k < ringStart_[from + 1] && !shared; ++k) {
                const uint32_t other = ring_[k];
                if (other == t) continue;
                const uint32_t* c = triangles_ + 3 * other;
                shared = c[0] == to || c[1] == to || c[2] == to;
            }
            if (shared) continue;
            sideBorder_[t] |= static_cast<unsigned char>(1u << s);
            pointBorder_[from] = pointBorder_[to] = 1;
        }
    }
}

// Area-weighted sums of the triangles' normals, which follow the triangles'
// winding: scans triangulated the same way have normals that agree.
void ScanSurface::computeNormals() {
    normals_.assign(pointCount_, Eigen::Vector3f::Zero());
    for (std::size_t k = 0; k < 3 * triangleCount_; k += 3) {
        const uint32_t* c = triangles_ + k;
        const Eigen::Vector3f a = point(c[0]);
        const Eigen::Vector3f n = (point(c[1]) - a).cross(point(c[2]) - a);
        for (int i = 0; i < 3; ++i) normals_[c[i]] += n;
    }
    for (Eigen::Vector3f& n : normals_) {
        const float length = n.norm();
        n = length > 0 ? Eigen::Vector3f(n / length) : Eigen::Vector3f::Zero();
    }
}

void ScanSurface::measure() {
    if (surfacePoints_.empty()) return;
    boxMin_ = boxMax_ = point(surfacePoints_[0]);
    Eigen::Vector3d sum = Eigen::Vector3d::Zero();
    for (uint32_t i : surfacePoints_) {
        const Eigen::Vector3f p = point(i);
        boxMin_ = boxMin_.cwiseMin(p);
        boxMax_ = boxMax_.cwiseMax(p);
        sum += p.cast<double>();
    }
    centroid_ = sum / static_cast<double>(surfacePoints_.size());
    double squares = 0;
    for (uint32_t i : surfacePoints_) {
        const double d2 = (point(i).cast<double>() - centroid_).squaredNorm();
        squares += d2;
        reach_ = std::max(reach_, std::sqrt(d2));
    }
    spread_ = std::sqrt(squares / static_cast<double>(surfacePoints_.size()));

    // The median side length, of at most about 20000 sides spread over the scan.
    std::vector<float> sides;
    const std::size_t stride = std::max<std::size_t>(1, 3 * triangleCount_ / 20000);
    for (std::size_t k = 0; k < 3 * triangleCount_; k += 3 * stride) {
        const uint32_t* c = triangles_ + k;
        for (int s = 0; s < 3; ++s) sides.push_back((point(c[s]) - point(c[(s + 1) % 3])).norm());
    }
    std::nth_element(sides.begin(), sides.begin() + sides.size() / 2, sides.end());
    typicalSide_ = sides[sides.size() / 2];
}

bool ScanSurface::nearest(const Eigen::Vector3f& q, std::size_t level, bool walk, uint32_t* hint,
                          SurfaceFoot* foot) const {
    if (surfacePoints_.empty()) return false;
    const float radius = radii_[level];
    const float reach = radius + static_cast<float>(typicalSide_);
    uint32_t centre = kNoHint;
    float bound = reach * reach;  // the tree looks for points nearer than this
    uint32_t bounding = kNoHint;  // the point at that distance, if any
    if (walk && *hint == kNothingNear) return false;
    if (*hint < kNothingNear) {
        const uint32_t from = *hint & ~kSeed;
        const uint32_t end = walk ? walkTowards(q, from) : from;
        const float d2 = (point(end) - q).squaredNorm();
        // A walk that ends on the border may have missed a nearer part of the
        // surface beyond it, unless it stays on the point that was q's own
        // nearest the last time.
        const bool trusted =
            walk && (pointBorder_[end] == 0 || (end == from && (*hint & kSeed) == 0));
        if (d2 < bound) {
            if (trusted) centre = end;
            bound = d2;
            bounding = end;
        }
    }
    if (centre == kNoHint && (bounding != kNoHint || near_[level].contains(q))) {
        NearestWithin found(bound);
        tree_->findNeighbors(found, q.data(), nanoflann::SearchParams());
        centre = found.found() ? surfacePoints_[found.index()] : bounding;
    }
    *hint = centre == kNoHint ? kNothingNear : centre;
    if (centre == kNoHint) return false;

    float best = radius * radius;
    bool any = false;
    for (uint32_t k = ringStart_[centre]; k < ringStart_[centre + 1]; ++k) {
        const uint32_t t = ring_[k];
        const uint32_t* c = triangles_ + 3 * t;
        const TriangleFoot f = nearestOnTriangle(q, point(c[0]), point(c[1]), point(c[2]));
        const float d2 = (q - f.point).squaredNorm();
        if (d2 > best) continue;
        best = d2;
        any = true;
        foot->point = f.point;
        Eigen::Vector3f n = f.u * normals_[c[0]] + f.v * normals_[c[1]] + f.w * normals_[c[2]];
        const float length = n.norm();
        if (length > 0)
            n /= length;
        else
            n = (point(c[1]) - point(c[0])).cross(point(c[2]) - point(c[0])).normalized();
        foot->normal = n;
        switch (f.feature) {
            case Feature::Inside:
                foot->onBorder = false;
                break;
            case Feature::Side0:
                foot->onBorder = (sideBorder_[t] & 1) != 0;
                break;
            case Feature::Side1:
                foot->onBorder = (sideBorder_[t] & 2) != 0;
                break;
            case Feature::Side2:
                foot->onBorder = (sideBorder_[t] & 4) != 0;
                break;
            case Feature::Corner0:
                foot->onBorder = pointBorder_[c[0]] != 0;
                break;
            case Feature::Corner1:
                foot->onBorder = pointBorder_[c[1]] != 0;
                break;
            case Feature::Corner2:
                foot->onBorder = pointBorder_[c[2]] != 0;
                break;
        }
    }
    if (!any) return false;
    foot->distance = std::sqrt(best);
    return true;
}

// From point `from`, over the triangles around it, to the corner nearest to
// q, and on from there until no corner around is nearer. Near the point it
// started from (the nearest point of an earlier search with a pose that has
// barely moved), this is the nearest surface point, found in a few steps.
uint32_t ScanSurface::walkTowards(const Eigen::Vector3f& q, uint32_t from) const {
    uint32_t at = from;
    float best = (point(at) - q).squaredNorm();
    for (;;) {
        uint32_t next = at;
        for (uint32_t k = ringStart_[at]; k < ringStart_[at + 1]; ++k) {
            const uint32_t* c = triangles_ + 3 * ring_[k];
            for (int i = 0; i < 3; ++i) {
                const float d = (point(c[i]) - q).squaredNorm();
                if (d < best) {
                    best = d;
                    next = c[i];
                }
            }
        }
        if (next == at) return at;
        at = next;
    }
}

std::size_t ScanSurface::bytes() const {
    std::size_t total = kept_.capacity() * 4 + ringStart_.capacity() * 4 + ring_.capacity() * 4 +
                        sideBorder_.capacity() + pointBorder_.capacity() +
                        normals_.capacity() * sizeof(Eigen::Vector3f) +
                        surfacePoints_.capacity() * 4 + radii_.capacity() * sizeof(float);
    // The tree: its index of the points and about one node per leaf's worth of them.
    total += surfacePoints_.size() * 4 + surfacePoints_.size() / 6 * 64;
    for (const CellSet& cells : near_) total += cells.bytes();
    return total;
}

std::size_t ScanSurface::addRadius(float radius) {
    const float size = radius + static_cast<float>(typicalSide_);
    CellSet occupied(size), near(size);
    for (uint32_t i : surfacePoints_) occupied.add(point(i));
    occupied.forEachCell([&](const Eigen::Vector3i& cell) { near.addWithNeighbours(cell); });
    near_.push_back(std::move(near));
    radii_.push_back(radius);
    return near_.size() - 1;
}

std::vector<uint32_t> ScanSurface::samples(std::size_t maxSamples) const {
    std::vector<uint32_t> candidates;
    for (uint32_t i : surfacePoints_)
        if (pointBorder_[i] == 0 && normals_[i].squaredNorm() > 0) candidates.push_back(i);
    if (maxSamples == 0) return {};
    const std::size_t stride = (candidates.size() + maxSamples - 1) / maxSamples;
    if (stride <= 1) return candidates;
    std::vector<uint32_t> chosen;
    for (std::size_t k = 0; k < candidates.size(); k += stride) chosen.push_back(candidates[k]);
    return chosen;
}

}  // namespace registration
