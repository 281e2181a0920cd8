#include "scan/cell_polygons.h"

#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <utility>

namespace {

// The measured distance from p to a polygon is never below its distance to
// the polygon's box, except where the corner test passes and the plane
// distance is taken instead. Both corners of a pair lie at least the box
// distance away, so beyond sqrt(1e-7) the corner test cannot pass: a box
// squared distance above kNoCornerSq rules it out, with room for the float
// rounding of the two lengths and their product.
constexpr double kNoCornerSq = 1.001e-7;
// The same limit for float box distances (its rounding is far inside the margin).
constexpr float kNoCornerSqFloat = static_cast<float>(kNoCornerSq);

// Below which squared box distance a polygon's outline can still give less
// than d. The float computation of a side distance rounds the differences
// and the foot point by a few units in the last place of the coordinates
// (at most `absolute`) and the length by a few units of its own last place,
// which the relative margin covers many times over.
inline double outlineThresholdSq(float d, double absolute) {
    if (d == FLT_MAX) return HUGE_VAL;
    const double t = double(d) / (1.0 - 1e-5) + absolute;
    return t * t;
}

#if defined(__SSE2__)
// For each 4-bit mask, the numbers of its set lanes, in order, and how many
// there are: the near lanes of four boxes are appended with one store.
struct LanesOfMask {
    alignas(16) uint32_t lanes[16][4];
    uint32_t count[16];
};
constexpr LanesOfMask lanesOfMask() {
    LanesOfMask t{};
    for (uint32_t m = 0; m < 16; ++m) {
        uint32_t n = 0;
        for (uint32_t lane = 0; lane < 4; ++lane)
            if (m & (1u << lane)) t.lanes[m][n++] = lane;
        t.count[m] = n;
    }
    return t;
}
constexpr LanesOfMask kLanesOfMask = lanesOfMask();
#endif

}  // namespace

void CellPolygons::gather(const std::vector<CellRun>& runs) {
    std::size_t total = 0;
    for (const CellRun& run : runs) total += run.end - run.begin;
    count = total;
    padded = (total + 3) / 4 * 4;
    if (records.size() < padded) {
        for (int a = 0; a < 3; ++a) {
            lo[a].resize(padded);
            hi[a].resize(padded);
        }
        records.resize(padded);
        sources.resize(padded);
    }
    std::size_t at = 0;
    for (const CellRun& run : runs) {
        for (uint32_t i = run.begin; i < run.end; ++i, ++at) {
            const FaceRecord& r = run.records[i];
            float rl[3], rh[3];
            r.box(rl, rh);
            for (int a = 0; a < 3; ++a) {
                lo[a][at] = rl[a];
                hi[a][at] = rh[a];
            }
            records[at] = &r;
            sources[at] = run.polygons;
        }
        // Cells are visited in order, so this scan's next cell most often
        // follows at once: start loading its first records.
        const std::size_t ahead = std::min<std::size_t>(run.end + 4, run.recordCount);
        for (std::size_t i = run.end; i < ahead; ++i) __builtin_prefetch(&run.records[i]);
    }
    for (; at < padded; ++at)
        for (int a = 0; a < 3; ++a) {
            lo[a][at] = FLT_MAX;
            hi[a][at] = -FLT_MAX;
        }
}

// First the polygons within corner reach, nearest first; then, while the
// value still allows it, farther ones, of which only the outline can count.
float PointMeasure::measure(const Point3& p, float d, const CellPolygons& cell) {
    double threshold = outlineThresholdSq(d, absolute_);
    const std::size_t padded = cell.padded;
    if (boxSq_.size() < padded) {
        boxSq_.resize(padded);
        near_.resize(padded);
    }
    // Squared box distances (in float: their relative error, a few parts
    // in 1e7, is far inside the margins of the limits they are compared
    // with). The polygons within corner reach are listed as they come:
    // every index is written, and the count grows by the near ones only.
    float* sq = boxSq_.data();
    uint32_t* near = near_.data();
    std::size_t nearCount = 0;
#if defined(__SSE2__)
    const __m128 zero = _mm_setzero_ps(), reach = _mm_set1_ps(kNoCornerSqFloat);
    const __m128 px = _mm_set1_ps(p.x), py = _mm_set1_ps(p.y), pz = _mm_set1_ps(p.z);
    for (uint32_t g = 0; g < padded; g += 4) {
        auto axis = [&](const std::vector<float>& l, const std::vector<float>& h, __m128 c) {
            const __m128 below = _mm_sub_ps(_mm_loadu_ps(l.data() + g), c);
            const __m128 above = _mm_sub_ps(c, _mm_loadu_ps(h.data() + g));
            return _mm_max_ps(_mm_max_ps(below, above), zero);
        };
        const __m128 dx = axis(cell.lo[0], cell.hi[0], px);
        const __m128 dy = axis(cell.lo[1], cell.hi[1], py);
        const __m128 dz = axis(cell.lo[2], cell.hi[2], pz);
        const __m128 s4 =
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
        _mm_storeu_ps(sq + g, s4);
        const unsigned m = static_cast<unsigned>(_mm_movemask_ps(_mm_cmple_ps(s4, reach)));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(near + nearCount),
            _mm_add_epi32(_mm_set1_epi32(static_cast<int>(g)),
                          _mm_load_si128(reinterpret_cast<const __m128i*>(kLanesOfMask.lanes[m]))));
        nearCount += kLanesOfMask.count[m];
    }
#else
    for (uint32_t g = 0; g < padded; ++g) {
        const float dx = std::max(std::max(cell.lo[0][g] - p.x, p.x - cell.hi[0][g]), 0.0f);
        const float dy = std::max(std::max(cell.lo[1][g] - p.y, p.y - cell.hi[1][g]), 0.0f);
        const float dz = std::max(std::max(cell.lo[2][g] - p.z, p.z - cell.hi[2][g]), 0.0f);
        sq[g] = dx * dx + dy * dy + dz * dz;
        near[nearCount] = g;
        nearCount += sq[g] <= kNoCornerSqFloat;
    }
#endif
    if (nearCount > 1) {
        std::size_t nearest = 0;
        for (std::size_t k = 1; k < nearCount; ++k)
            if (sq[near[k]] < sq[near[nearest]]) nearest = k;
        std::swap(near[0], near[nearest]);
    }
    for (std::size_t k = 0; k < nearCount; ++k) {
        const uint32_t g = near[k];
        const FaceRecord& r = *cell.records[g];
        float dist;
        if (r.triangle()) {
            const float plane = overlap::planeDistance(p, r.normal, r.normalDotCorner0);
            const bool outlineTooFar = sq[g] >= threshold;
            // Neither the plane nor the outline can beat d: nothing to learn.
            if (plane >= d && outlineTooFar) continue;
            if (overlap::lanesNearCorner(p, r.corners)) {
                dist = plane;
            } else {
                if (outlineTooFar) continue;
                dist = overlap::lanesOutline(p, r.corners);
            }
        } else {
            dist = cell.sources[g]->distance(p, r.polygon);
        }
        if (dist < d) {
            d = dist;
            threshold = outlineThresholdSq(d, absolute_);
        }
    }

    // Farther polygons: only their outline can count, and only within reach of d.
    if (threshold > kNoCornerSq) {
        const std::size_t count = cell.count;
        for (std::size_t g = 0; g < count; ++g) {
            if (sq[g] <= kNoCornerSqFloat || sq[g] >= threshold) continue;
            const FaceRecord& r = *cell.records[g];
            const float dist = r.triangle() ? overlap::lanesOutline(p, r.corners)
                                            : cell.sources[g]->distance(p, r.polygon);
            if (dist < d) {
                d = dist;
                threshold = outlineThresholdSq(d, absolute_);
            }
        }
    }
    return d;
}
