// ScanSurface: what the registration keeps of one scan, in the scan's own
// (model) frame, built once: a k-d tree over the points that lie on a
// triangle, per-point normals, the triangles around each point, which sides
// and points lie on the scan's border, and the points sampled as sources of
// correspondences. Poses never touch it: queries come in model coordinates.
//
// Memory: besides the caller's points and triangles (not copied unless some
// triangles are left out), about 30 bytes per point and 13 per triangle, and
// a few bytes per surface cell of each prepared radius.
#pragma once

#include <Eigen/Core>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <nanoflann.hpp>
#include <vector>

#include "registration/cell_set.h"

namespace registration {

struct ScanPoints;

// The nearest point of a scan's surface to a query point.
struct SurfaceFoot {
    Eigen::Vector3f point;   // on a triangle (model frame)
    Eigen::Vector3f normal;  // the corners' normals blended at the point, unit length
    float distance = 0;      // from the query point
    bool onBorder = false;   // the point lies on a side or corner of the scan's border
};

class ScanSurface {
public:
    // Builds the index of `scan` (whose points and triangles must outlive
    // this object). Triangles naming a point that does not exist or is not
    // finite (or lies beyond the first 2^31 - 2), and triangles of zero area,
    // are left out; a point on no remaining triangle is neither searched nor
    // sampled.
    explicit ScanSurface(const ScanPoints& scan);
    ~ScanSurface();
    ScanSurface(const ScanSurface&) = delete;
    ScanSurface& operator=(const ScanSurface&) = delete;

    // Prepares searches within `radius`; returns the number that names it.
    std::size_t addRadius(float radius);

    // The nearest point of the surface to q (model frame) within the radius
    // numbered `radius`: on the triangles around the nearest surface point,
    // which is searched within the radius plus the typical side length.
    // `hint` (in and out) is what the last search near q found: a point, or
    // kNothingNear, or kNoHint when there was none; a point with kSeed set
    // was found for another query nearby. With `walk` (the poses have moved
    // by less than about a fifth of a triangle since), the search walks
    // from the hint's point over the triangles, which is much cheaper than
    // the k-d tree and finds the same point, and kNothingNear is trusted;
    // otherwise the hint only bounds the tree's search. False when nothing
    // is that near.
    static constexpr uint32_t kNoHint = ~uint32_t(0);
    static constexpr uint32_t kNothingNear = kNoHint - 1;
    static constexpr uint32_t kSeed = uint32_t(1) << 31;
    bool nearest(const Eigen::Vector3f& q, std::size_t radius, bool walk, uint32_t* hint,
                 SurfaceFoot* foot) const;

    Eigen::Vector3f point(uint32_t i) const {
        return Eigen::Vector3f(points_[3 * i], points_[3 * i + 1], points_[3 * i + 2]);
    }
    const Eigen::Vector3f& normal(uint32_t i) const { return normals_[i]; }

    // Points sampled as sources: on the surface, off the border, every
    // stride-th in file order so that at most maxSamples remain.
    std::vector<uint32_t> samples(std::size_t maxSamples) const;

    bool empty() const { return surfacePoints_.empty(); }
    // Memory held (bytes), the caller's points and triangles not counted.
    std::size_t bytes() const;
    const Eigen::Vector3d& centroid() const { return centroid_; }  // of the surface points (model)
    double reach() const {
        return reach_;
    }  // largest distance of a surface point from the centroid
    double spread() const {
        return spread_;
    }  // RMS distance of the surface points from the centroid
    double typicalSide() const { return typicalSide_; }        // median triangle side length
    const Eigen::Vector3f& boxMin() const { return boxMin_; }  // of the surface points (model)
    const Eigen::Vector3f& boxMax() const { return boxMax_; }

private:
    // The points of one scan as the k-d tree sees them: the surface points only.
    struct Cloud {
        const float* points;
        const std::vector<uint32_t>* ids;
        std::size_t kdtree_get_point_count() const { return ids->size(); }
        float kdtree_get_pt(std::size_t i, std::size_t dim) const {
            return points[3 * (*ids)[i] + dim];
        }
        template <class Box>
        bool kdtree_get_bbox(Box&) const {
            return false;
        }
    };
    using Tree = nanoflann::KDTreeSingleIndexAdaptor<
        nanoflann::L2_Simple_Adaptor<float, Cloud, float, uint32_t>, Cloud, 3, uint32_t>;

    void keepTriangles(const ScanPoints& scan);
    void buildRings();
    void markBorder();
    void computeNormals();
    void measure();
    uint32_t walkTowards(const Eigen::Vector3f& q, uint32_t from) const;

    const float* points_;  // the caller's points, x y z each
    std::size_t pointCount_;
    const uint32_t* triangles_ = nullptr;  // the usable triangles, three corners each:
    std::size_t triangleCount_ = 0;        // the caller's, or kept_ when some were left out
    std::vector<uint32_t> kept_;
    std::vector<uint32_t> ringStart_;        // per point: first entry of its triangles in ring_
    std::vector<uint32_t> ring_;             // triangles around each point, point by point
    std::vector<unsigned char> sideBorder_;  // per triangle: bit s set when side s is on the border
    std::vector<unsigned char> pointBorder_;  // per point: 1 on the border
    std::vector<Eigen::Vector3f> normals_;    // per point, unit (zero off the surface)
    std::vector<uint32_t> surfacePoints_;     // points on a kept triangle, in file order
    Cloud cloud_;
    std::unique_ptr<Tree> tree_;
    std::vector<float> radii_;   // prepared search radii
    std::vector<CellSet> near_;  // per radius: the cells near the surface, so
                                 // that most searches that would find
                                 // nothing are not made
    Eigen::Vector3d centroid_ = Eigen::Vector3d::Zero();
    double reach_ = 0, spread_ = 0, typicalSide_ = 0;
    Eigen::Vector3f boxMin_ = Eigen::Vector3f::Zero(), boxMax_ = Eigen::Vector3f::Zero();
};

}  // namespace registration
