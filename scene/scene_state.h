// Process-wide scene state shared by the loaders, the analysis, drawing and
// the window callbacks. Constructed before main; objects in sceneList are
// created with new during start-up and never destroyed while the program runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/distance_colours.h"
#include "scene/mesh.h"

// Visibility of the objects by scene index. The keys address the first ten
// indices; the flags grow with the scene so that a configuration of more than
// ten scans shows every scan (an index never set stays hidden).
class VisibilityFlags {
public:
    static constexpr std::size_t kKeyed = 10;  // indices reachable from the keyboard

    VisibilityFlags() : flags_(kKeyed, 0) {}

    bool isVisible(std::size_t index) const { return index < flags_.size() && flags_[index] != 0; }
    void set(std::size_t index, bool visible) {
        if (index >= flags_.size()) flags_.resize(index + 1, 0);
        flags_[index] = visible ? 1 : 0;
    }
    void toggle(std::size_t index) { set(index, !isVisible(index)); }
    // Back to the ten hidden flags of start-up.
    void clear() { flags_.assign(kKeyed, 0); }

private:
    std::vector<uint8_t> flags_;
};

// The removal threshold before a configuration sets its own.
constexpr float kInitialTossThreshold = 0.002f;

extern std::vector<Mesh*> sceneList;  // every object, by scene index
extern VisibilityFlags visibilityFlags;
extern Mesh* gridMesh;         // the lattice mesh of a configuration, or null
extern int nextScanId;         // id of the next scan of a configuration (from 1)
extern float tossThreshold;    // removal threshold for overlap values (0.002)
extern bool showTossedPoints;  // mark values above tossThreshold when drawing
extern bool colourByDistance;  // scans drawn in the colours of their values, not their material
// While the camera moves over a large scene, every mesh draws only every
// movingStride-th face of its faces, or of its points in the point modes
// (every 20 movingStride-th in SparsePoints). 0 or 1: everything.
extern std::size_t movingStride;
extern float colourScaleMaximum;  // value at the colour map's end; 0: twice tossThreshold

// The scale scans are coloured with now: the threshold, the maximum (twice the
// threshold unless colourScaleMaximum is set) and whether tossed points are
// marked.
DistanceScale currentDistanceScale();

// Back to the state before main, for programs that load more than once (tests,
// benchmarks, fuzz targets): every object of the scene list is deleted, and
// gridMesh too when it is not in the list; the list and the flags are empty,
// scan ids start from 1 again, the threshold is the initial one, tossed
// points are shown and scans are drawn in their material.
void resetSceneState();
