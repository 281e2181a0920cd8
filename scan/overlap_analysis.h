// The overlap analysis: every scan is compared with every other scan, cell by
// cell of a lattice of cubes laid over all scans, and each point keeps in its
// scan's vertexValues the smallest distance to a polygon of another scan whose
// centroid lies in the point's cell. Points that share a cell with no such
// polygon stay unmeasured (kUnmeasured, scene/unmeasured.h).
//
// The scans must have been baked (world positions, values, world normals).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scan/lattice.h"
#include "scene/mesh.h"
#include "scene/unmeasured.h"

// Where the fast path's time went, in seconds of wall clock.
struct AnalysisTimes {
    double prepare = 0.0;  // sorting the scans into cells, making the polygon records
    double measure = 0.0;  // measuring every point
};

struct AnalysisOptions {
    // false: the fast path (occupied cells only, several threads, polygons
    //        whose distance bound cannot beat a point's value are skipped);
    // true:  the plain path, a dense lattice walked cell by cell, pass by
    //        pass, exactly as the analysis is defined
    //        (scan/overlap_reference.h). Both give identical values; the
    //        plain one is the reference for tests and benchmarks.
    bool plain = false;
    // Worker threads of the fast path; 0 uses workerThreads().
    int threads = 0;
    // Print the pass headings and the progress figures on standard output.
    bool progress = true;
    // Called on the calling thread after each finished pass with the number
    // of passes done and the number of passes in all (analysisPassCount);
    // not called when nothing is analysed. Empty: no calls.
    std::function<void(std::int64_t done, std::int64_t total)> onPass;
    // Called on the calling thread as the fast path advances, with the phase
    // ("Sorting": scans sorted into cells; "Measuring": occupied cells
    // measured), the count done and the count in all; at most about a
    // hundred calls per phase. Empty: no calls.
    std::function<void(const char* phase, std::int64_t done, std::int64_t total)> onPhase;
    // Filled in by the fast path when given.
    AnalysisTimes* times = nullptr;
};

// Analyses the scans (in list order, scan i is image i) and, when latticeOut
// is given, stores a new lattice mesh (id 10, hidden wireframe) there; the
// caller owns it. Nothing is analysed, and no lattice mesh is made, when the
// scans have no world positions; a lattice too large for cell coordinates is
// reported and skipped as well.
void analyzeOverlap(std::vector<Mesh*> scans, Mesh** latticeOut,
                    const AnalysisOptions& options = AnalysisOptions());

// Largest absolute finite coordinate of the positions: over all scans, it
// bounds the rounding of every difference the measurements take.
float sceneMagnitude(const std::vector<Point3>& positions);

// A part of a scan given as a list: world positions (the first `points` are
// measured, the others are only corners of its triangles), triangles as
// three indices into them each, in corner order, and the values measured.
struct ListedScan {
    std::vector<Point3> positions;
    std::size_t points = 0;
    std::vector<int32_t> triangles;
    std::vector<float> values;  // filled: one per position, kUnmeasured when not measured
};

// Measures the listed scans against each other on a given lattice, with the
// rounding margin of a campaign whose sceneMagnitude is magnitude: a point's
// value is what analyzeOverlap gives it when the triangles of every cell it
// lies in are among the lists (as the raster's triangles, normals and
// centroids by the same float operations). No output; threads 0: one per
// processor.
void measureListedScans(std::vector<ListedScan>& scans, const Lattice& lattice, float magnitude,
                        int threads);

// The number of passes over n scans, n x (n - 1) (each ordered pair of two
// scans), which exceeds 32 bits from 46,342 scans on.
std::int64_t analysisPassCount(std::size_t scans);

// The progress text of one pass (target image on base image) over a lattice
// of nz layers, as the analysis prints it: a figure per layer, or beyond a
// thousand layers only the figures that change (at most 101).
std::string passProgressText(int target, int base, int nz);
