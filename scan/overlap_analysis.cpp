#include "scan/overlap_analysis.h"
#include "scene/console.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <atomic>
#include <chrono>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <thread>

#include "scan/bounding_box.h"
#include "scan/face_distance.h"
#include "scan/filled_array.h"
#include "scan/lattice_mesh.h"
#include "scene/plain_paths.h"

namespace {

// The first value of a point in a pass: its stored value, or "nothing yet"
// (FLT_MAX) while it is still unmeasured.
inline float startingValue(float stored) {
    return std::fabs(stored - (-FLT_MAX)) < 1e-7 ? FLT_MAX : stored;
}

inline bool isMeasured(float d) { return d - FLT_MAX < -1e-7; }

// Up to this many lattice layers a pass shows a progress figure per layer;
// beyond, only figures that change (a lattice of scans kilometres apart has
// millions of layers).
constexpr int kLayersEachShown = 1000;

// The progress figure of layer z of nz: its share of the layers in percent.
inline int layerFigure(int z, int nz) {
    return nz > 1 ? static_cast<int>(float(z) / float(nz - 1) * 100.0f) : 100;
}

// The passes in their order, (0 on 1), (1 on 0), (0 on 2), (2 on 0), ...,
// (1 on 2), (2 on 1), ..., one at a time: pair (a, b) with a < b, first with
// a as the target, then with b.
struct PassOrder {
    std::size_t a = 0, b = 1;
    bool second = false;  // b is the target
    std::size_t target() const { return second ? b : a; }
    std::size_t base() const { return second ? a : b; }
    std::size_t later() const { return b; }  // the later of the two scans
    bool finished(std::size_t n) const { return b >= n; }
    void advance(std::size_t n) {
        second = !second;
        if (second) return;
        if (++b == n && a + 2 < n) b = ++a + 1;
    }
};

// ---------------------------------------------------------------------------
// The plain path: two dense grids of index lists per scan, every cell of every
// pass visited in z, y, x order, every point against every polygon of its cell.

class DenseGrid {
public:
    bool init(const Lattice& l) {
        sx_ = l.nx;
        sy_ = l.ny;
        try {
            cells_.assign(static_cast<std::size_t>(l.nx) * l.ny * l.nz, {});
        } catch (const std::bad_alloc&) {
            return false;
        } catch (const std::length_error&) {
            return false;
        }
        return true;
    }
    std::vector<int32_t>& cell(int x, int y, int z) {
        return cells_[x + static_cast<std::size_t>(sx_) * (y + static_cast<std::size_t>(sy_) * z)];
    }

private:
    int sx_ = 0, sy_ = 0;
    std::vector<std::vector<int32_t>> cells_;
};

bool analyzePlain(const std::vector<Mesh*>& scans, const Lattice& l, const AnalysisOptions& o) {
    const bool progress = o.progress;
    const std::size_t n = scans.size();
    const std::int64_t total = analysisPassCount(n);
    std::int64_t done = 0;
    std::vector<DenseGrid> pointGrids(n), faceGrids(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (!pointGrids[i].init(l) || !faceGrids[i].init(l)) return false;
        const Mesh& s = *scans[i];
        int x, y, z;
        for (std::size_t k = 0; k < s.worldVertices.size(); ++k)
            if (l.cellOf(s.worldVertices[k], &x, &y, &z))
                pointGrids[i].cell(x, y, z).push_back(static_cast<int32_t>(k));
        for (std::size_t f = 0; f < s.faces.size(); ++f)
            if (isMeasurableFace(s.faces[f], s.worldVertices) &&
                l.cellOf(s.faces[f].computeCentroid(), &x, &y, &z))
                faceGrids[i].cell(x, y, z).push_back(static_cast<int32_t>(f));
    }

    auto pass = [&](std::size_t target, std::size_t base) {
        if (progress) consoleWrite(passProgressText(int(target), int(base), 0));
        Mesh& t = *scans[target];
        const Mesh& b = *scans[base];
        int shown = 0;  // the figure on the line now
        for (int z = 0; z < l.nz; ++z) {
            const int figure = layerFigure(z, l.nz);
            if (progress && (l.nz <= kLayersEachShown || figure != shown)) {
                consolePrintf("\b\b\b%02d%%", figure);
                std::fflush(stdout);
                shown = figure;
            }
            for (int y = 0; y < l.ny; ++y) {
                for (int x = 0; x < l.nx; ++x) {
                    const std::vector<int32_t>& points = pointGrids[target].cell(x, y, z);
                    const std::vector<int32_t>& faces = faceGrids[base].cell(x, y, z);
                    for (int32_t k : points) {
                        float d = startingValue(t.vertexValues[k]);
                        for (int32_t f : faces) {
                            const float dist =
                                overlap::faceDistance(t.worldVertices[k], b.faces[f], b.worldVertices);
                            if (dist < d) d = dist;
                            if (isMeasured(d)) t.vertexValues[k] = d;
                        }
                    }
                }
            }
        }
    };
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t b = a + 1; b < n; ++b) {
            pass(a, b);
            if (o.onPass) o.onPass(++done, total);
            pass(b, a);
            if (o.onPass) o.onPass(++done, total);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// The fast path: the same passes over occupied cells only. A point's final
// value is the minimum over every polygon it meets, whatever the order, so
// each point is independent (threads split them) and a polygon whose
// distance is bounded below by the point's current value cannot change it.

// A base polygon prepared for many measurements, in one cache line. For a
// triangle: its corners and the normal terms that the measurement uses. For
// other polygons (measured through the face itself): the box of the corners,
// kept in the corner lanes as (lo, hi, hi) on each axis.
struct alignas(64) FaceRecord {
    overlap::SideLanes corners; // the corners axis by axis, or the box
    Vec3 normal;                // the face's normal (triangles only)
    float normalDotCorner0;     // normal . corner 0 (triangles only)
    int32_t polygon;            // -1 for a triangle, else the index of the face, measured through it
    bool triangle() const { return polygon < 0; }

    // The box of the corners, folded into (FLT_MAX, -FLT_MAX) with std::min
    // and std::max so that NaN corners are left out of it. (A polygon without
    // a single number among its corners gets the whole space, which only
    // costs measurements.)
    void box(float lo[3], float hi[3]) const {
        const float* axes[3] = {corners.x, corners.y, corners.z};
        for (int a = 0; a < 3; ++a) {
            const float* v = axes[a];
            lo[a] = std::min(std::min(std::min(FLT_MAX, v[0]), v[1]), v[2]);
            hi[a] = std::max(std::max(std::max(-FLT_MAX, v[0]), v[1]), v[2]);
        }
    }
};

// A scan's points and polygons sorted into cells. The records are kept in
// cell order, so that the face runs index them directly and a cell's
// polygons are read from consecutive memory (they are read once for every
// other scan's points in the cell).
struct ScanCells {
    SparseCells points;               // point runs (indices into worldVertices)
    SparseCells faces;                // face runs (ranges of records; no items)
    FilledArray<FaceRecord> records;  // the measurable faces that lie in a cell, in cell order
};

// Fills the record of a measurable face in place.
void fillRecord(const Face& f, int32_t index, const std::vector<Point3>& positions,
                FaceRecord* r) {
    const int32_t* idx = f.vertexIndices.data();
    if (f.vertexIndices.size() == 3) {
        const Point3& a = positions[idx[0]];
        r->corners = overlap::sideLanesOf(a, positions[idx[1]], positions[idx[2]]);
        r->normal = f.normal;
        r->normalDotCorner0 = f.normal.dot(toVec3(a));
        r->polygon = -1;
    } else {
        Point3 lo(FLT_MAX, FLT_MAX, FLT_MAX), hi(-FLT_MAX, -FLT_MAX, -FLT_MAX);
        for (int32_t vi : f.vertexIndices) {
            const Point3& p = positions[vi];
            lo = Point3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
            hi = Point3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
        }
        r->corners = overlap::sideLanesOf(lo, hi, hi);
        r->polygon = index;
    }
}

// Sorts a scan's points and measurable faces (by centroid) into cells, then
// makes the face records in cell order: a second pass over the faces, in face
// order, writes each record straight to its place.
void prepareCells(const Lattice& l, const Mesh& scan, ScanCells* cells) {
    sortPointsIntoCells(l, scan, &cells->points);
    CellSorter sorter(l, scan.faces.size());
    for (std::size_t f = 0; f < scan.faces.size(); ++f) {
        const Face& face = scan.faces[f];
        if (!isMeasurableFace(face, scan.worldVertices)) continue;
        sorter.add(face.owner == &scan ? centroidOf(face.vertexIndices, scan.worldVertices)
                                       : face.computeCentroid(),
                   static_cast<uint32_t>(f));
    }
    sorter.sortInto(&cells->faces);
    // The place of each face in cell order, -1 for faces in no cell.
    const std::vector<int32_t>& byCell = cells->faces.items;
    std::vector<int32_t> place(scan.faces.size(), -1);
    for (std::size_t k = 0; k < byCell.size(); ++k)
        place[static_cast<std::size_t>(byCell[k])] = static_cast<int32_t>(k);
    cells->records = FilledArray<FaceRecord>(scan.faces.size());  // the first byCell.size() are used
    for (std::size_t f = 0; f < scan.faces.size(); ++f)
        if (place[f] >= 0)
            fillRecord(scan.faces[f], static_cast<int32_t>(f), scan.worldVertices,
                       &cells->records[static_cast<std::size_t>(place[f])]);
    std::vector<int32_t>().swap(cells->faces.items);
}

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

// The polygons of all base scans in one target cell, gathered so that their
// boxes are measured in one run, four at a time. The box arrays are padded
// to a multiple of four with boxes no point comes near (their squared
// distance overflows to infinity), which are never measured.
struct CellPolygons {
    // Gathers the polygons of the given runs (each with its scan and cells).
    void gather(const std::vector<const Mesh*>& scans, const std::vector<const ScanCells*>& cells,
                const std::vector<const SparseCells::Run*>& runs) {
        std::size_t total = 0;
        for (const SparseCells::Run* run : runs) total += run->end - run->begin;
        count = total;
        padded = (total + 3) / 4 * 4;
        if (records.size() < padded) {
            for (int a = 0; a < 3; ++a) {
                lo[a].resize(padded);
                hi[a].resize(padded);
            }
            records.resize(padded);
            owners.resize(padded);
        }
        std::size_t at = 0;
        for (std::size_t j = 0; j < runs.size(); ++j) {
            for (uint32_t i = runs[j]->begin; i < runs[j]->end; ++i, ++at) {
                const FaceRecord& r = cells[j]->records[i];
                float rl[3], rh[3];
                r.box(rl, rh);
                for (int a = 0; a < 3; ++a) {
                    lo[a][at] = rl[a];
                    hi[a][at] = rh[a];
                }
                records[at] = &r;
                owners[at] = scans[j];
            }
            // Cells are visited in order, so this scan's next cell most often
            // follows at once: start loading its first records.
            const std::size_t ahead =
                std::min<std::size_t>(runs[j]->end + 4, cells[j]->records.size());
            for (std::size_t i = runs[j]->end; i < ahead; ++i)
                __builtin_prefetch(&cells[j]->records[i]);
        }
        for (; at < padded; ++at)
            for (int a = 0; a < 3; ++a) {
                lo[a][at] = FLT_MAX;
                hi[a][at] = -FLT_MAX;
            }
    }

    std::size_t count = 0;                   // polygons
    std::size_t padded = 0;                  // count rounded up to a multiple of four
    std::vector<float> lo[3], hi[3];         // box bounds (the first `padded` entries)
    std::vector<const FaceRecord*> records;  // the polygons (the first `count` entries)
    std::vector<const Mesh*> owners;         // the scan of each polygon
};

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

// The smallest measured distance from a point to the polygons of other scans
// in its cell, starting from its stored value. The result is the minimum over
// all those polygons, like the pass-by-pass definition gives it; polygons
// that cannot lower it are skipped. First the polygons within corner reach,
// nearest first; then, while the value still allows it, farther ones, of
// which only the outline can count.
class PointMeasure {
public:
    explicit PointMeasure(double absolute) : absolute_(absolute) {}

    float measure(const Point3& p, float d, const CellPolygons& cell) {
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
            _mm_storeu_si128(reinterpret_cast<__m128i*>(near + nearCount),
                             _mm_add_epi32(_mm_set1_epi32(static_cast<int>(g)),
                                           _mm_load_si128(reinterpret_cast<const __m128i*>(
                                               kLanesOfMask.lanes[m]))));
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
                dist = overlap::faceDistance(p, cell.owners[g]->faces[r.polygon],
                                             cell.owners[g]->worldVertices);
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
                                                : overlap::faceDistance(
                                                      p, cell.owners[g]->faces[r.polygon],
                                                      cell.owners[g]->worldVertices);
                if (dist < d) {
                    d = dist;
                    threshold = outlineThresholdSq(d, absolute_);
                }
            }
        }
        return d;
    }

private:
    double absolute_;
    std::vector<uint32_t> near_;
    std::vector<float> boxSq_;
};

// Finds the run of `key` in `runs` from position *at on, for keys asked in
// increasing order: *at only moves forward, a few steps at a time or by
// bisection over a longer stretch.
const SparseCells::Run* runAtOrAfter(const std::vector<SparseCells::Run>& runs, const CellKey& key,
                                     std::size_t* at) {
    std::size_t i = *at;
    for (int step = 0; step < 8 && i < runs.size() && runs[i].key < key; ++step) ++i;
    if (i < runs.size() && runs[i].key < key)
        i = static_cast<std::size_t>(
            std::lower_bound(runs.begin() + static_cast<std::ptrdiff_t>(i), runs.end(), key,
                             [](const SparseCells::Run& r, const CellKey& k) { return r.key < k; }) -
            runs.begin());
    *at = i;
    return i < runs.size() && runs[i].key == key ? &runs[i] : nullptr;
}

// Every point of one target scan against the polygons of all other scans.
void measureTarget(std::size_t target, const std::vector<Mesh*>& scans,
                   const std::vector<ScanCells>& cells, double absolute, int threads) {
    Mesh& t = *scans[target];
    const auto& runs = cells[target].points.runs;
    std::atomic<std::size_t> next{0};
    auto work = [&]() {
        PointMeasure measure(absolute);
        CellPolygons polygons;
        std::vector<const Mesh*> baseScans;
        std::vector<const ScanCells*> baseCells;
        std::vector<const SparseCells::Run*> baseRuns;
        // Each worker takes cells in increasing order, so its place in every
        // base scan's runs only moves forward.
        std::vector<std::size_t> at(scans.size(), 0);
        for (std::size_t w = next++; w < runs.size(); w = next++) {
            baseScans.clear();
            baseCells.clear();
            baseRuns.clear();
            for (std::size_t b = 0; b < scans.size(); ++b) {
                if (b == target) continue;
                if (const SparseCells::Run* run =
                        runAtOrAfter(cells[b].faces.runs, runs[w].key, &at[b])) {
                    baseScans.push_back(scans[b]);
                    baseCells.push_back(&cells[b]);
                    baseRuns.push_back(run);
                }
            }
            if (baseRuns.empty()) continue;
            polygons.gather(baseScans, baseCells, baseRuns);
            const std::vector<int32_t>& items = cells[target].points.items;
            for (uint32_t i = runs[w].begin; i < runs[w].end; ++i) {
                // The points of a cell lie scattered in the scan's arrays.
                if (i + 4 < items.size()) {
                    __builtin_prefetch(&t.worldVertices[static_cast<std::size_t>(items[i + 4])]);
                    __builtin_prefetch(&t.vertexValues[static_cast<std::size_t>(items[i + 4])]);
                }
                const int32_t k = items[i];
                const float d = measure.measure(t.worldVertices[k],
                                                startingValue(t.vertexValues[k]), polygons);
                if (isMeasured(d)) t.vertexValues[k] = d;
            }
        }
    };
    const int n = std::max(1, std::min<int>(threads, static_cast<int>(runs.size() / 16) + 1));
    std::vector<std::thread> pool;
    for (int i = 1; i < n; ++i) pool.emplace_back(work);
    work();
    for (std::thread& th : pool) th.join();
}

// Largest absolute finite coordinate of all world positions: it bounds the
// rounding of every difference the measurements take.
float sceneMagnitude(const std::vector<Mesh*>& scans) {
    float m = 0.0f;
    for (const Mesh* s : scans)
        for (const Point3& p : s->worldVertices)
            for (float c : {p.x, p.y, p.z})
                if (std::isfinite(c)) m = std::max(m, std::fabs(c));
    return m;
}

// The passes compare ordered pairs of scans, (0 on 1), (1 on 0), (0 on 2), ...
// Measuring each target against all other scans at once gives every point the
// same final value. The pass headings follow as soon as both scans of a pass
// are done.
void analyzeFast(const std::vector<Mesh*>& scans, const Lattice& l, const AnalysisOptions& o) {
    const std::size_t n = scans.size();
    const int threads = o.threads > 0 ? o.threads : workerThreads();

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    // Each scan's cells are independent of the others'.
    std::vector<ScanCells> cells(n);
    {
        std::atomic<std::size_t> next{0};
        auto work = [&] {
            for (std::size_t i = next++; i < n; i = next++) prepareCells(l, *scans[i], &cells[i]);
        };
        std::vector<std::thread> pool;
        for (int t = 1; t < std::min<int>(threads, static_cast<int>(n)); ++t) pool.emplace_back(work);
        work();
        for (std::thread& t : pool) t.join();
    }
    const double absolute = 1e-6 * double(sceneMagnitude(scans)) + 1e-30;
    const auto prepared = Clock::now();

    // Passes are reported in order as soon as both of their scans are done,
    // produced one at a time (never a list of all pairs of scans).
    PassOrder next;
    std::int64_t reported = 0;
    const std::int64_t total = analysisPassCount(n);
    for (std::size_t target = 0; target < n; ++target) {
        measureTarget(target, scans, cells, absolute, threads);
        if (!o.progress && !o.onPass) continue;
        for (; !next.finished(n) && next.later() <= target; next.advance(n)) {
            // The figures have no line end: flush so that they show as they come.
            if (o.progress)
                consoleWrite(passProgressText(int(next.target()), int(next.base()), l.nz));
            if (o.onPass) o.onPass(++reported, total);
        }
        if (o.progress) std::fflush(stdout);
    }
    if (o.times != nullptr) {
        o.times->prepare = std::chrono::duration<double>(prepared - start).count();
        o.times->measure = std::chrono::duration<double>(Clock::now() - prepared).count();
    }
}

}  // namespace

std::int64_t analysisPassCount(std::size_t scans) {
    const auto n = static_cast<std::int64_t>(scans);
    return n > 1 ? n * (n - 1) : 0;
}

std::string passProgressText(int target, int base, int nz) {
    char line[96];
    std::snprintf(line, sizeof line, "\nAnalyzing image %d based on image %d\n", target, base);
    std::string text = line;
    text += "Analyzing buckets...00%";
    int shown = 0;
    for (int z = 0; z < nz; ++z) {
        const int figure = layerFigure(z, nz);
        if (nz > kLayersEachShown && figure == shown) continue;
        std::snprintf(line, sizeof line, "\b\b\b%02d%%", figure);
        text += line;
        shown = figure;
    }
    return text;
}

void analyzeOverlap(std::vector<Mesh*> scans, Mesh** latticeOut, const AnalysisOptions& options) {
    BoundingBox box;
    for (Mesh* s : scans) box.extendBy(*s);
    if (box.isEmpty()) {
        consolePrintf("No scan has points: nothing to analyse.\n");
        return;
    }
    Lattice lattice;
    if (!lattice.fromBox(box)) {
        consolePrintf("The scans span %g x %g x %g, too large for the analysis lattice: "
                    "not analysed.\n",
                    double(box.extentX()), double(box.extentY()), double(box.extentZ()));
        return;
    }
    bool analysed = true;
    if (options.plain) {
        analysed = analyzePlain(scans, lattice, options);
        if (!analysed)
            consolePrintf("\nThe analysis lattice of %d x %d x %d cells does not fit in memory: "
                        "not analysed.\n",
                        lattice.nx, lattice.ny, lattice.nz);
    } else {
        analyzeFast(scans, lattice, options);
    }
    if (latticeOut != nullptr) *latticeOut = new LatticeMesh(lattice);
}
