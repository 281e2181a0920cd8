// The overlap analysis's driver: it lays the lattice, sorts every scan's
// points and polygons into occupied cells, makes the polygon records and
// measures every point against the polygons of all other scans in its cell on
// several threads, printing the passes' progress in the order of the
// pass-by-pass definition (scan/overlap_reference.cpp), whose values it gives.
#include "scan/overlap_analysis.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "parallel/parallel_for.h"
#include "scan/bounding_box.h"
#include "scan/cell_polygons.h"
#include "scan/filled_array.h"
#include "scan/lattice_mesh.h"
#include "scan/overlap_reference.h"
#include "scene/console.h"
#include "scene/plain_paths.h"

namespace {

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

// The fast path makes the same passes over occupied cells only. A point's
// final value is the minimum over every polygon it meets, whatever the order,
// so each point is independent (threads split them) and a polygon whose
// distance is bounded below by the point's current value cannot change it.

// A scan's points and polygons sorted into cells. The records are kept in
// cell order, so that the face runs index them directly and a cell's
// polygons are read from consecutive memory (they are read once for every
// other scan's points in the cell).
struct ScanCells {
    SparseCells points;               // point runs (indices into worldVertices)
    SparseCells faces;                // face runs (ranges of records; no items)
    FilledArray<FaceRecord> records;  // the measurable faces that lie in a cell, in cell order
    PolygonSource polygons;           // the scan's faces and world positions
};

// Fills the record of a measurable face in place.
void fillRecord(const Face& f, int32_t index, const std::vector<Point3>& positions, FaceRecord* r) {
    const int32_t* idx = f.vertexIndices.data();
    if (f.vertexIndices.size() == 3)
        r->setTriangle(positions[idx[0]], positions[idx[1]], positions[idx[2]], f.normal);
    else
        r->setPolygon(idx, f.vertexIndices.size(), positions.data(), index);
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
    cells->records =
        FilledArray<FaceRecord>(scan.faces.size());  // the first byCell.size() are used
    for (std::size_t f = 0; f < scan.faces.size(); ++f)
        if (place[f] >= 0)
            fillRecord(scan.faces[f], static_cast<int32_t>(f), scan.worldVertices,
                       &cells->records[static_cast<std::size_t>(place[f])]);
    std::vector<int32_t>().swap(cells->faces.items);
    cells->polygons = PolygonSource{&scan.faces, &scan.worldVertices};
}

// Finds the run of `key` in `runs` from position *at on, for keys asked in
// increasing order: *at only moves forward, a few steps at a time or by
// bisection over a longer stretch.
const SparseCells::Run* runAtOrAfter(const std::vector<SparseCells::Run>& runs, const CellKey& key,
                                     std::size_t* at) {
    std::size_t i = *at;
    for (int step = 0; step < 8 && i < runs.size() && runs[i].key < key; ++step) ++i;
    if (i < runs.size() && runs[i].key < key)
        i = static_cast<std::size_t>(
            std::lower_bound(
                runs.begin() + static_cast<std::ptrdiff_t>(i), runs.end(), key,
                [](const SparseCells::Run& r, const CellKey& k) { return r.key < k; }) -
            runs.begin());
    *at = i;
    return i < runs.size() && runs[i].key == key ? &runs[i] : nullptr;
}

// The scratch space of one measuring thread, a cache line apart from the next.
struct alignas(64) MeasureWorker {
    MeasureWorker(double absolute, std::size_t scans) : measure(absolute), at(scans, 0) {}
    PointMeasure measure;
    CellPolygons polygons;
    std::vector<CellRun> baseRuns;
    // Within a range of cells, taken in increasing order, the place in every
    // base scan's runs only moves forward.
    std::vector<std::size_t> at;
};

// Every point of one target scan against the polygons of all other scans.
void measureTarget(std::size_t target, const std::vector<Mesh*>& scans,
                   const std::vector<ScanCells>& cells, double absolute, int threads) {
    Mesh& t = *scans[target];
    const auto& runs = cells[target].points.runs;
    const std::vector<int32_t>& items = cells[target].points.items;
    threads = std::max(1, std::min<int>(threads, static_cast<int>(runs.size() / 16) + 1));
    std::vector<MeasureWorker> workers(static_cast<std::size_t>(parallelSlots(threads)),
                                       MeasureWorker(absolute, scans.size()));
    parallelFor(runs.size(), threads, [&](std::size_t begin, std::size_t end, int worker) {
        MeasureWorker& m = workers.at(static_cast<std::size_t>(worker));
        std::fill(m.at.begin(), m.at.end(), std::size_t(0));
        for (std::size_t w = begin; w < end; ++w) {
            m.baseRuns.clear();
            for (std::size_t b = 0; b < scans.size(); ++b) {
                if (b == target) continue;
                if (const SparseCells::Run* run =
                        runAtOrAfter(cells[b].faces.runs, runs[w].key, &m.at[b])) {
                    m.baseRuns.push_back({cells[b].records.data(), cells[b].records.size(),
                                          run->begin, run->end, &cells[b].polygons});
                }
            }
            if (m.baseRuns.empty()) continue;
            m.polygons.gather(m.baseRuns);
            for (uint32_t i = runs[w].begin; i < runs[w].end; ++i) {
                // The points of a cell lie scattered in the scan's arrays.
                if (i + 4 < items.size()) {
                    __builtin_prefetch(&t.worldVertices[static_cast<std::size_t>(items[i + 4])]);
                    __builtin_prefetch(&t.vertexValues[static_cast<std::size_t>(items[i + 4])]);
                }
                const int32_t k = items[i];
                const float d = m.measure.measure(t.worldVertices[k],
                                                  startingValue(t.vertexValues[k]), m.polygons);
                if (d < kNothingYet) t.vertexValues[k] = d;
            }
        }
    });
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
    parallelFor(n, threads, [&](std::size_t begin, std::size_t end, int) {
        for (std::size_t i = begin; i < end; ++i) prepareCells(l, *scans[i], &cells[i]);
    });
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
        consolePrintf(
            "The scans span %g x %g x %g, too large for the analysis lattice: "
            "not analysed.\n",
            double(box.extentX()), double(box.extentY()), double(box.extentZ()));
        return;
    }
    bool analysed = true;
    if (options.plain) {
        analysed = analyzeByPasses(scans, lattice, options);
        if (!analysed)
            consolePrintf(
                "\nThe analysis lattice of %d x %d x %d cells does not fit in memory: "
                "not analysed.\n",
                lattice.nx, lattice.ny, lattice.nz);
    } else {
        analyzeFast(scans, lattice, options);
    }
    if (latticeOut != nullptr) *latticeOut = new LatticeMesh(lattice);
}
