// The definition of the overlap analysis's values: the dense, pass-by-pass
// loop. For every ordered pair of scans (target on base) it walks every cell
// of the lattice in z, y, x order and measures every target point of the cell
// against every polygon of the base scan whose centroid lies in it, keeping
// the smallest distance. It is slow and needs two dense grids per scan, but it
// is the reference: the fast path (scan/overlap_analysis.cpp) must give
// exactly its values and its console text.
#pragma once

#include <cfloat>
#include <vector>

#include "scan/lattice.h"
#include "scan/overlap_analysis.h"
#include "scene/mesh.h"
#include "scene/unmeasured.h"

// A point's value while it has met no polygon yet in a pass.
constexpr float kNothingYet = FLT_MAX;

// The first value of a point in a pass: its stored value, or kNothingYet
// while it is still unmeasured. A value below kNothingYet at the end is
// stored.
inline float startingValue(float stored) {
    return stored == kUnmeasured ? kNothingYet : stored;
}

// Up to this many lattice layers a pass shows a progress figure per layer;
// beyond, only figures that change (a lattice of scans kilometres apart has
// millions of layers).
constexpr int kLayersEachShown = 1000;

// The progress figure of layer z of nz: its share of the layers in percent.
inline int layerFigure(int z, int nz) {
    return nz > 1 ? static_cast<int>(float(z) / float(nz - 1) * 100.0f) : 100;
}

// Runs every pass on the dense lattice `l` (with progress text and onPass
// calls as `o` asks). Returns false, with nothing measured, when the dense
// grids do not fit in memory.
bool analyzeByPasses(const std::vector<Mesh*>& scans, const Lattice& l, const AnalysisOptions& o);
