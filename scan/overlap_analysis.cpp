#include "scan/overlap_analysis.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <thread>

#include "scan/bounding_box.h"
#include "scan/face_distance.h"
#include "scan/lattice_mesh.h"

namespace {

// The first value of a point in a pass: its stored value, or "nothing yet"
// (FLT_MAX) while it is still unmeasured.
inline float startingValue(float stored) {
    return std::fabs(stored - (-FLT_MAX)) < 1e-7 ? FLT_MAX : stored;
}

inline bool isMeasured(float d) { return d - FLT_MAX < -1e-7; }

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

bool analyzePlain(const std::vector<Mesh*>& scans, const Lattice& l, bool progress) {
    const std::size_t n = scans.size();
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
        if (progress) std::fputs(passProgressText(int(target), int(base), 0).c_str(), stdout);
        Mesh& t = *scans[target];
        const Mesh& b = *scans[base];
        for (int z = 0; z < l.nz; ++z) {
            if (progress) {
                const int figure =
                    l.nz > 1 ? static_cast<int>(float(z) / float(l.nz - 1) * 100.0f) : 100;
                std::printf("\b\b\b%02d%%", figure);
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
            pass(b, a);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// The fast path: the same passes over occupied cells only. A point's final
// value is the minimum over every polygon it meets, whatever the order, so
// each point is independent (threads split them) and a polygon whose
// distance is bounded below by the point's current value cannot change it.

// Axis-aligned box of a polygon's corners, for the distance bound.
struct FaceBounds {
    float lo[3], hi[3];
    float magnitude;  // largest absolute corner coordinate
};

FaceBounds boundsOf(const Face& f, const std::vector<Point3>& positions) {
    FaceBounds b{{FLT_MAX, FLT_MAX, FLT_MAX}, {-FLT_MAX, -FLT_MAX, -FLT_MAX}, 0.0f};
    for (int32_t vi : f.vertexIndices) {
        const Point3& p = positions[vi];
        const float c[3] = {p.x, p.y, p.z};
        for (int a = 0; a < 3; ++a) {
            b.lo[a] = std::min(b.lo[a], c[a]);
            b.hi[a] = std::max(b.hi[a], c[a]);
            b.magnitude = std::max(b.magnitude, std::fabs(c[a]));
        }
    }
    return b;
}

// A value that the measured distance from p to the polygon is never below.
// Returns -1 (no bound) when p is close enough to the polygon's box for the
// corner test to pass, or when the numbers are not finite.
//
// Away from the corners the measure is the distance to the nearest side. Each
// side lies inside the box, so its true distance is at least the distance to
// the box; the float computation of a side distance rounds the differences
// and the foot point by a few units in the last place of the coordinates and
// the length by a few units of its own last place, which the absolute and
// relative margins below cover many times over.
inline double distanceBound(const Point3& p, const FaceBounds& b) {
    const float c[3] = {p.x, p.y, p.z};
    double sq = 0.0;
    float magnitude = b.magnitude;
    for (int a = 0; a < 3; ++a) {
        double d = 0.0;
        if (c[a] < b.lo[a]) d = double(b.lo[a]) - c[a];
        else if (c[a] > b.hi[a]) d = double(c[a]) - b.hi[a];
        sq += d * d;
        magnitude = std::max(magnitude, std::fabs(c[a]));
    }
    // Within 4e-4 of the box a corner may be within sqrt(1e-7) of p.
    if (!(sq > 1.6e-7) || !std::isfinite(sq) || !std::isfinite(magnitude)) return -1.0;
    return (std::sqrt(sq) - 1e-6 * double(magnitude) - 1e-30) * (1.0 - 1e-5);
}

struct ScanCells {
    SparseCells points, faces;
    std::vector<FaceBounds> bounds;  // per face index (only faces in some cell are filled)
};

// One pass: every target point in a cell shared with base polygons.
void fastPass(Mesh& target, const ScanCells& tc, const Mesh& base, const ScanCells& bc,
              int threads) {
    // Cells occupied by both: a merge of the two sorted run lists.
    std::vector<std::pair<uint32_t, uint32_t>> shared;
    std::size_t i = 0, j = 0;
    while (i < tc.points.runs.size() && j < bc.faces.runs.size()) {
        const CellKey& a = tc.points.runs[i].key;
        const CellKey& b = bc.faces.runs[j].key;
        if (a < b) ++i;
        else if (b < a) ++j;
        else shared.push_back({static_cast<uint32_t>(i++), static_cast<uint32_t>(j++)});
    }

    std::atomic<std::size_t> next{0};
    auto work = [&]() {
        std::vector<double> bound;
        for (std::size_t w = next++; w < shared.size(); w = next++) {
            const SparseCells::Run& pr = tc.points.runs[shared[w].first];
            const SparseCells::Run& fr = bc.faces.runs[shared[w].second];
            const int32_t* faces = bc.faces.items.data() + fr.begin;
            const std::size_t nf = fr.end - fr.begin;
            for (uint32_t pi = pr.begin; pi < pr.end; ++pi) {
                const int32_t k = tc.points.items[pi];
                const Point3& p = target.worldVertices[k];
                float d = startingValue(target.vertexValues[k]);
                // Bounds first; then the polygon with the smallest bound, which is
                // likely the nearest, so that most others are skipped.
                bound.resize(nf);
                std::size_t first = 0;
                for (std::size_t f = 0; f < nf; ++f) {
                    bound[f] = distanceBound(p, bc.bounds[faces[f]]);
                    if (bound[f] < bound[first]) first = f;
                }
                for (std::size_t step = 0; step < nf; ++step) {
                    const std::size_t f = step == 0 ? first : (step <= first ? step - 1 : step);
                    if (bound[f] >= 0.0 && bound[f] >= d) continue;
                    const float dist = overlap::faceDistance(p, base.faces[faces[f]], base.worldVertices);
                    if (dist < d) d = dist;
                }
                if (isMeasured(d)) target.vertexValues[k] = d;
            }
        }
    };
    const int n = std::max(1, std::min<int>(threads, static_cast<int>(shared.size() / 8) + 1));
    std::vector<std::thread> pool;
    for (int t = 1; t < n; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
}

void analyzeFast(const std::vector<Mesh*>& scans, const Lattice& l, const AnalysisOptions& o) {
    const std::size_t n = scans.size();
    int threads = o.threads > 0 ? o.threads : static_cast<int>(std::thread::hardware_concurrency());
    if (threads < 1) threads = 1;

    std::vector<ScanCells> cells(n);
    for (std::size_t i = 0; i < n; ++i) {
        sortIntoCells(l, *scans[i], &cells[i].points, &cells[i].faces);
        cells[i].bounds.resize(scans[i]->faces.size());
        for (int32_t f : cells[i].faces.items)
            cells[i].bounds[f] = boundsOf(scans[i]->faces[f], scans[i]->worldVertices);
    }
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t b = a + 1; b < n; ++b) {
            for (const auto& [target, base] : {std::pair{a, b}, std::pair{b, a}}) {
                fastPass(*scans[target], cells[target], *scans[base], cells[base], threads);
                if (o.progress)
                    std::fputs(passProgressText(int(target), int(base), l.nz).c_str(), stdout);
            }
        }
    }
}

}  // namespace

std::string passProgressText(int target, int base, int nz) {
    char line[96];
    std::snprintf(line, sizeof line, "\nAnalyzing image %d based on image %d\n", target, base);
    std::string text = line;
    text += "Analyzing buckets...00%";
    for (int z = 0; z < nz; ++z) {
        const int figure = nz > 1 ? static_cast<int>(float(z) / float(nz - 1) * 100.0f) : 100;
        std::snprintf(line, sizeof line, "\b\b\b%02d%%", figure);
        text += line;
    }
    return text;
}

void analyzeOverlap(std::vector<Mesh*> scans, Mesh** latticeOut, const AnalysisOptions& options) {
    BoundingBox box;
    for (Mesh* s : scans) box.extendBy(*s);
    if (box.isEmpty()) {
        std::printf("No scan has points: nothing to analyse.\n");
        return;
    }
    Lattice lattice;
    if (!lattice.fromBox(box)) {
        std::printf("The scans span %g x %g x %g, too large for the analysis lattice: "
                    "not analysed.\n",
                    double(box.extentX()), double(box.extentY()), double(box.extentZ()));
        return;
    }
    bool analysed = true;
    if (options.plain) {
        analysed = analyzePlain(scans, lattice, options.progress);
        if (!analysed)
            std::printf("\nThe analysis lattice of %d x %d x %d cells does not fit in memory: "
                        "not analysed.\n",
                        lattice.nx, lattice.ny, lattice.nz);
    } else {
        analyzeFast(scans, lattice, options);
    }
    if (latticeOut != nullptr) *latticeOut = new LatticeMesh(lattice);
}
