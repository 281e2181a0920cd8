// The pass-by-pass definition of the overlap analysis (see overlap_reference.h):
// two dense grids of index lists per scan, every cell of every pass visited in
// z, y, x order, every point against every polygon of its cell.
#include "scan/overlap_reference.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "scan/face_distance.h"
#include "scene/console.h"

namespace {

// One index list per lattice cell; memory for every cell of the lattice.
class DenseGrid {
public:
    // Makes the empty lists; false when they do not fit in memory.
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

}  // namespace

bool analyzeByPasses(const std::vector<Mesh*>& scans, const Lattice& l, const AnalysisOptions& o) {
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
                            const float dist = overlap::faceDistance(t.worldVertices[k], b.faces[f],
                                                                     b.worldVertices);
                            if (dist < d) d = dist;
                            if (d < kNothingYet) t.vertexValues[k] = d;
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
