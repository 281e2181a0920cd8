// Scans built in code for the analysis tests: rasters of points on gently
// curved surfaces, triangulated like range images and baked into a pose.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "scene/mesh.h"
#include "scene/range_grid.h"

namespace scan_fixtures {

// A deterministic generator (xorshift), identical on every platform.
class Random {
public:
    explicit Random(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 7) {}
    uint64_t next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 7;
        s_ ^= s_ << 17;
        return s_;
    }
    float uniform(float lo, float hi) {
        return lo + (hi - lo) * static_cast<float>((next() >> 40) * (1.0 / 16777216.0));
    }

private:
    uint64_t s_;
};

struct ScanShape {
    int cols = 24, rows = 20;
    float spacing = 0.0005f;  // raster step
    float originX = 0.0f, originY = 0.0f, height = 0.0f;
    float bend = 4.0f;   // curvature of z = height + bend * (x^2 + y^2)
    float noise = 0.0f;  // uniform noise amplitude along z
    float holes = 0.0f;  // fraction of empty raster cells
};

// A range-image mesh over the shape, triangulated from its raster, with the
// pose (quaternion q, then translation t) baked in. Its model positions are
// kept, so it can also stand for a loaded scan.
inline std::unique_ptr<Mesh> makeScan(int id, const ScanShape& s, Random& random,
                                      const Quaternion& q = Quaternion(), const Vec3& t = Vec3()) {
    auto m = std::make_unique<Mesh>(id);
    m->clearGeometry();
    m->gridCols = s.cols;
    m->gridRows = s.rows;
    m->isRangeGrid = true;
    for (int row = 0; row < s.rows; ++row) {
        for (int col = 0; col < s.cols; ++col) {
            if (s.holes > 0.0f && random.uniform(0.0f, 1.0f) < s.holes) {
                m->gridIndex.push_back(-1);
                continue;
            }
            const float x = s.originX + col * s.spacing;
            const float y = s.originY + row * s.spacing;
            const float z = s.height + s.bend * (x * x + y * y) +
                            (s.noise > 0.0f ? random.uniform(-s.noise, s.noise) : 0.0f);
            m->gridIndex.push_back(static_cast<int32_t>(m->vertices.size()));
            m->addVertex(Point3(x, y, z));
        }
    }
    triangulateRangeGrid(*m, m->gridStep);
    m->computeNormals();
    m->rotate(q);
    m->translate(t);
    m->bakeWorldPositions();
    return m;
}

// A scan made of the given world triangles (corner positions listed three by
// three), baked with the identity pose.
inline std::unique_ptr<Mesh> makeTriangles(int id, const std::vector<Point3>& corners) {
    auto m = std::make_unique<Mesh>(id);
    m->clearGeometry();
    for (const Point3& p : corners) m->addVertex(p);
    for (std::size_t i = 0; i + 2 < corners.size(); i += 3) {
        Face f(m.get(), Vec4(0, 0, 0, 1));
        f.vertexIndices = {int32_t(i), int32_t(i + 1), int32_t(i + 2)};
        m->faces.push_back(f);
    }
    m->bakeWorldPositions();
    return m;
}

inline std::vector<Mesh*> raw(const std::vector<std::unique_ptr<Mesh>>& scans) {
    std::vector<Mesh*> out;
    for (const auto& s : scans) out.push_back(s.get());
    return out;
}

}  // namespace scan_fixtures
