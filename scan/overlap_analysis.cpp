// The overlap analysis's driver: it lays the lattice, sorts every scan's
// points and polygons into occupied cells, makes the polygon records and
// measures, cell by cell on several threads, every point against the polygons
// of the other scans present in its cell, then prints the passes' progress in
// the order of the pass-by-pass definition (scan/overlap_reference.cpp),
// whose values it gives.
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
#include "scene/range_grid.h"

namespace {

// The passes in their order, (0 on 1), (1 on 0), (0 on 2), (2 on 0), ...,
// (1 on 2), (2 on 1), ..., one at a time: pair (a, b) with a < b, first with
// a as the target, then with b.
struct PassOrder {
    std::size_t a = 0, b = 1;
    bool second = false;  // b is the target
    std::size_t target() const { return second ? b : a; }
    std::size_t base() const { return second ? a : b; }
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

// A scan's points and polygons sorted into cells. The records of a scan's
// faces are kept in cell order, so that the face runs index them directly and
// a cell's polygons are read from consecutive memory (they are read once for
// every other scan's points in the cell). A scan whose triangles are implicit
// in its raster (trianglesInRaster) keeps only their codes in cell order: its
// records are made cell by cell while measuring, from the same corners by the
// same float operations, so that no record of a whole scan is held.
struct ScanCells {
    SparseCells points;                  // point runs (indices into worldVertices)
    SparseCells faces;                   // face runs: ranges of records, or of raster codes
    FilledArray<FaceRecord> records;     // the measurable faces that lie in a cell, in cell order
    PolygonSource polygons;              // the scan's faces and world positions
    bool implicit = false;               // faces.items holds raster triangle codes, or indices
                                         // into `triangles`
    RasterGrid raster;                   // the raster, when implicit and triangles is null
    const int32_t* triangles = nullptr;  // corners, three per triangle, when listed
    const std::vector<Point3>* positions = nullptr;  // world positions
    float* values = nullptr;                         // the points' values, one per position
};

// Fills the record of a measurable face in place.
void fillRecord(const Face& f, int32_t index, const std::vector<Point3>& positions, FaceRecord* r) {
    const int32_t* idx = f.vertexIndices.data();
    if (f.vertexIndices.size() == 3)
        r->setTriangle(positions[idx[0]], positions[idx[1]], positions[idx[2]], f.normal);
    else
        r->setPolygon(idx, f.vertexIndices.size(), positions.data(), index);
}

// Sorts the triangles of a raster into cells by their centroids, as the faces
// triangulateRangeGrid would make of it are sorted; they are kept as codes.
void prepareRasterCells(const Lattice& l, const Mesh& scan, ScanCells* cells) {
    cells->implicit = true;
    cells->raster = rasterOf(scan, scan.gridStep);
    cells->positions = &scan.worldVertices;
    const std::vector<Point3>& world = scan.worldVertices;
    const std::size_t n = world.size();
    CellSorter sorter(l, 2 * scan.vertices.size());
    forEachGridTriangle(cells->raster, scan.vertices.data(), scan.maxEdgeLength,
                        [&](uint64_t square, int shape, int32_t a, int32_t b, int32_t c) {
                            // A corner without a world position: not measurable.
                            if (!inIndexRange(a, n) || !inIndexRange(b, n) || !inIndexRange(c, n))
                                return;
                            const int32_t corners[3] = {a, b, c};
                            sorter.add(centroidOf(corners, 3, world),
                                       gridTriangleCode(square, shape));
                        });
    sorter.sortInto(&cells->faces);
}

// Sorts a scan's points and measurable faces (by centroid) into cells, then
// makes the face records in cell order: a second pass over the faces, in face
// order, writes each record straight to its place.
void prepareCells(const Lattice& l, Mesh& scan, ScanCells* cells) {
    sortPointsIntoCells(l, scan, &cells->points);
    cells->positions = &scan.worldVertices;
    cells->values = scan.vertexValues.data();
    if (trianglesInRaster(scan)) {
        prepareRasterCells(l, scan, cells);
        return;
    }
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

// parallelFor over [0, count) in up to a hundred consecutive parts, each
// reported to o.onPhase on the calling thread as it ends; one part when
// nobody listens. Parts hold at least a few items per thread, so that the
// threads stay busy.
template <class Body>
void inParts(std::size_t count, int threads, const char* phase, const AnalysisOptions& o,
             const Body& body) {
    if (!o.onPhase) {
        parallelFor(count, threads, body);
        return;
    }
    const std::size_t part =
        std::max<std::size_t>({(count + 99) / 100, 4 * static_cast<std::size_t>(threads), 1});
    o.onPhase(phase, 0, static_cast<std::int64_t>(count));
    for (std::size_t begin = 0; begin < count; begin += part) {
        const std::size_t end = std::min(count, begin + part);
        parallelFor(end - begin, threads, [&](std::size_t b, std::size_t e, int worker) {
            body(begin + b, begin + e, worker);
        });
        o.onPhase(phase, static_cast<std::int64_t>(end), static_cast<std::int64_t>(count));
    }
}

// One scan's share of one occupied cell: its points there (a range of its
// point items) and its polygon records there.
struct CellShare {
    CellKey key;
    uint32_t scan;
    uint32_t pointBegin = 0, pointEnd = 0;  // in the scan's point items
    uint32_t faceBegin = 0, faceEnd = 0;    // in the scan's records
};

// Every scan's shares of every occupied cell, cell by cell in visiting order
// and within a cell by scan: a cell lists exactly the scans present in it, so
// that measuring a cell costs its points times the polygons of the other
// scans there, however many scans the campaign has.
struct CellTable {
    std::vector<CellShare> shares;
    std::vector<std::size_t> cellStart;  // cell c: shares[cellStart[c] .. cellStart[c + 1])
    std::size_t cellCount() const { return cellStart.empty() ? 0 : cellStart.size() - 1; }
};

CellTable cellTable(const std::vector<ScanCells>& cells) {
    CellTable t;
    for (std::size_t s = 0; s < cells.size(); ++s) {
        // A scan's point runs and face runs are both in visiting order: merged
        // into one share per cell.
        const auto& points = cells[s].points.runs;
        const auto& faces = cells[s].faces.runs;
        std::size_t p = 0, f = 0;
        while (p < points.size() || f < faces.size()) {
            const bool takePoints =
                f == faces.size() || (p < points.size() && !(faces[f].key < points[p].key));
            const bool takeFaces =
                p == points.size() || (f < faces.size() && !(points[p].key < faces[f].key));
            CellShare share;
            share.key = takePoints ? points[p].key : faces[f].key;
            share.scan = static_cast<uint32_t>(s);
            if (takePoints) {
                share.pointBegin = points[p].begin;
                share.pointEnd = points[p].end;
                ++p;
            }
            if (takeFaces) {
                share.faceBegin = faces[f].begin;
                share.faceEnd = faces[f].end;
                ++f;
            }
            t.shares.push_back(share);
        }
    }
    // Stable: the shares of a cell keep the order of their scans.
    std::stable_sort(t.shares.begin(), t.shares.end(),
                     [](const CellShare& a, const CellShare& b) { return a.key < b.key; });
    for (std::size_t i = 0; i < t.shares.size(); ++i)
        if (i == 0 || !(t.shares[i].key == t.shares[i - 1].key)) t.cellStart.push_back(i);
    t.cellStart.push_back(t.shares.size());
    return t;
}

// The scratch space of one measuring thread, a cache line apart from the next.
struct alignas(64) MeasureWorker {
    explicit MeasureWorker(double absolute) : measure(absolute) {}
    PointMeasure measure;
    CellPolygons polygons;
    std::vector<CellRun> baseRuns;
    std::vector<FaceRecord> made;     // the records of the cell's raster triangles
    std::vector<std::size_t> madeAt;  // per share of the cell: where its records start in made
};

// The record of the raster triangle `code`: its corners and normal as the
// face triangulateRangeGrid makes of it has them (computeNormals).
void fillRasterRecord(const ScanCells& cells, uint32_t code, FaceRecord* r) {
    // Codes come from the walk over this very raster: their corners exist.
    int32_t c[3];
    if (cells.triangles != nullptr)
        std::copy(cells.triangles + 3 * std::size_t(code),
                  cells.triangles + 3 * std::size_t(code) + 3, c);
    else
        cells.raster.corners(gridTriangleSquare(code), gridTriangleShape(code), c);
    const std::vector<Point3>& w = *cells.positions;
    const Point3 &p0 = w[static_cast<std::size_t>(c[0])], &p1 = w[static_cast<std::size_t>(c[1])],
                 &p2 = w[static_cast<std::size_t>(c[2])];
    r->setTriangle(p0, p1, p2, cornerNormal(p0, p1, p2));
}

// Every point of one cell against the polygons of the other scans present in it.
void measureCell(const CellShare* first, const CellShare* last, const std::vector<ScanCells>& cells,
                 MeasureWorker& m) {
    std::size_t withPoints = 0;
    for (const CellShare* s = first; s != last; ++s) withPoints += s->pointBegin != s->pointEnd;
    // Records of raster triangles, made once for the cell, when some other
    // scan has points here.
    m.made.clear();
    m.madeAt.assign(static_cast<std::size_t>(last - first), 0);
    for (const CellShare* s = first; s != last; ++s) {
        const ScanCells& b = cells[s->scan];
        const bool others = withPoints > (s->pointBegin != s->pointEnd ? 1u : 0u);
        if (!b.implicit || !others) continue;
        m.madeAt[static_cast<std::size_t>(s - first)] = m.made.size();
        for (uint32_t i = s->faceBegin; i < s->faceEnd; ++i) {
            m.made.emplace_back();
            fillRasterRecord(b, static_cast<uint32_t>(b.faces.items[i]), &m.made.back());
        }
    }
    for (const CellShare* target = first; target != last; ++target) {
        if (target->pointBegin == target->pointEnd) continue;
        m.baseRuns.clear();
        for (const CellShare* base = first; base != last; ++base) {
            if (base == target || base->faceBegin == base->faceEnd) continue;
            const ScanCells& b = cells[base->scan];
            if (b.implicit) {
                const uint32_t count = base->faceEnd - base->faceBegin;
                m.baseRuns.push_back(
                    {m.made.data() + m.madeAt[static_cast<std::size_t>(base - first)], count, 0,
                     count, &b.polygons});
            } else {
                m.baseRuns.push_back({b.records.data(), b.records.size(), base->faceBegin,
                                      base->faceEnd, &b.polygons});
            }
        }
        if (m.baseRuns.empty()) continue;
        m.polygons.gather(m.baseRuns);
        const ScanCells& t = cells[target->scan];
        const std::vector<Point3>& world = *t.positions;
        float* values = t.values;
        const std::vector<int32_t>& items = t.points.items;
        for (uint32_t i = target->pointBegin; i < target->pointEnd; ++i) {
            // The points of a cell lie scattered in the scan's arrays.
            if (i + 4 < target->pointEnd) {
                __builtin_prefetch(&world[static_cast<std::size_t>(items[i + 4])]);
                __builtin_prefetch(&values[static_cast<std::size_t>(items[i + 4])]);
            }
            const auto k = static_cast<std::size_t>(items[i]);
            const float d = m.measure.measure(world[k], startingValue(values[k]), m.polygons);
            if (d < kNothingYet) values[k] = d;
        }
    }
}

// Every point of every scan against the polygons of all other scans, cells
// split between the threads (cells are independent: a point's final value
// is the minimum over the polygons of its own cell).
void measureCells(const std::vector<ScanCells>& cells, double absolute, int threads,
                  const AnalysisOptions& o) {
    const CellTable table = cellTable(cells);
    const std::size_t n = table.cellCount();
    threads = std::max(1, std::min<int>(threads, static_cast<int>(n / 16) + 1));
    std::vector<MeasureWorker> workers(static_cast<std::size_t>(parallelSlots(threads)),
                                       MeasureWorker(absolute));
    inParts(n, threads, "Measuring", o, [&](std::size_t begin, std::size_t end, int worker) {
        MeasureWorker& m = workers.at(static_cast<std::size_t>(worker));
        for (std::size_t c = begin; c < end; ++c)
            measureCell(table.shares.data() + table.cellStart[c],
                        table.shares.data() + table.cellStart[c + 1], cells, m);
    });
}

// The passes compare ordered pairs of scans, (0 on 1), (1 on 0), (0 on 2), ...
// Measuring each cell's points against the polygons of all other scans in it
// at once gives every point the same final value. The pass headings follow
// once every cell is measured.
void analyzeFast(const std::vector<Mesh*>& scans, const Lattice& l, const AnalysisOptions& o) {
    const std::size_t n = scans.size();
    const int threads = o.threads > 0 ? o.threads : workerThreads();

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    // Each scan's cells are independent of the others'.
    std::vector<ScanCells> cells(n);
    inParts(n, threads, "Sorting", o, [&](std::size_t begin, std::size_t end, int) {
        for (std::size_t i = begin; i < end; ++i) prepareCells(l, *scans[i], &cells[i]);
    });
    float magnitude = 0.0f;
    for (const Mesh* s : scans) magnitude = std::max(magnitude, sceneMagnitude(s->worldVertices));
    const double absolute = 1e-6 * double(magnitude) + 1e-30;
    const auto prepared = Clock::now();

    measureCells(cells, absolute, threads, o);
    // Every pass is done once every cell is measured: they are reported in
    // order, produced one at a time (never a list of all pairs of scans).
    if (o.progress || o.onPass) {
        std::int64_t reported = 0;
        const std::int64_t total = analysisPassCount(n);
        for (PassOrder next; !next.finished(n); next.advance(n)) {
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

float sceneMagnitude(const std::vector<Point3>& positions) {
    float m = 0.0f;
    for (const Point3& p : positions)
        for (float c : {p.x, p.y, p.z})
            if (std::isfinite(c)) m = std::max(m, std::fabs(c));
    return m;
}

void measureListedScans(std::vector<ListedScan>& scans, const Lattice& lattice, float magnitude,
                        int threads) {
    if (threads <= 0) threads = workerThreads();
    std::vector<ScanCells> cells(scans.size());
    parallelFor(scans.size(), threads, [&](std::size_t begin, std::size_t end, int) {
        for (std::size_t i = begin; i < end; ++i) {
            ListedScan& s = scans[i];
            ScanCells& c = cells[i];
            s.values.assign(s.positions.size(), kUnmeasured);
            c.positions = &s.positions;
            c.values = s.values.data();
            c.implicit = true;
            c.triangles = s.triangles.data();
            const std::size_t points = std::min(s.points, s.positions.size());
            CellSorter pointSorter(lattice, points);
            for (std::size_t k = 0; k < points; ++k)
                pointSorter.add(s.positions[k], static_cast<uint32_t>(k));
            pointSorter.sortInto(&c.points);
            const std::size_t n = s.positions.size();
            CellSorter faceSorter(lattice, s.triangles.size() / 3);
            for (std::size_t t = 0; t + 2 < s.triangles.size(); t += 3) {
                const int32_t* corners = s.triangles.data() + t;
                // Callers check the corners; one out of range is left out all the same.
                if (!inIndexRange(corners[0], n) || !inIndexRange(corners[1], n) ||
                    !inIndexRange(corners[2], n))
                    continue;
                faceSorter.add(centroidOf(corners, 3, s.positions), static_cast<uint32_t>(t / 3));
            }
            faceSorter.sortInto(&c.faces);
        }
    });
    measureCells(cells, 1e-6 * double(magnitude) + 1e-30, threads, AnalysisOptions());
}

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
    for (Mesh* s : scans) s->valuesChanged();  // what is drawn from the values is made again
    if (latticeOut != nullptr) *latticeOut = new LatticeMesh(lattice);
}
