// Registration: refines the poses of overlapping range scans so that their
// surfaces meet, all poses solved together (multi-view point-to-plane ICP).
//
// Each iteration pairs sampled points of every scan with the nearest point of
// each neighbouring scan's triangles within a search radius, rejects pairs
// whose normals disagree or whose nearest point lies on the other scan's
// border, weighs the rest by their distance (Tukey's biweight, zero at the
// radius) and solves one linearised least-squares system for all free poses
// at once. The radius starts wide and halves stage by stage down to the
// final radius; the last stage iterates until the poses stop moving. One
// scan (the first, or a chosen one) fixes the frame. Results do not depend
// on the number of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "registration/pose.h"

namespace registration {

// One scan as the registration reads it. Nothing is copied: the arrays must
// outlive the call.
struct ScanPoints {
    const float* points = nullptr;  // x y z per point, the scan's own frame
    std::size_t pointCount = 0;
    const uint32_t* triangles = nullptr;  // three point indices per triangle
    std::size_t triangleCount = 0;
    Pose pose;  // where the scan is now
};

struct RegistrationOptions {
    // Search radius of the first stage and of the last, in scene units; 0
    // picks 8 and 1.5 times the typical point spacing (the median triangle
    // side over all scans).
    double startRadius = 0;
    double finalRadius = 0;
    // The scan that stays where it is.
    std::size_t fixedScan = 0;
    // Source points per scan in the last stage (the earlier stages use a
    // quarter of them).
    std::size_t samplesPerScan = 6000;
    // Pairs whose normals differ by more than this are rejected (degrees).
    double normalAngle = 45;
    // A scan with fewer pairs than this in the first iteration is too
    // little overlapped to be constrained: it is left where it is.
    std::size_t minPairs = 60;
    // The last stage ends when no point of any scan moves more than this in
    // an iteration (scene units); 0 picks 1/5000 of the typical spacing.
    double tolerance = 0;
    int maxIterations = 100;
    // Worker threads; 0 for one per hardware thread.
    int threads = 0;
    // Called after each iteration with its number and the iteration limit.
    std::function<void(int iteration, int limit)> onIteration;
};

enum class ScanStatus {
    Fixed,             // the scan that fixes the frame
    Refined,           // registered
    TooLittleOverlap,  // too few pairs to be constrained: left where it was
    HeldForItsGroup,   // first of a group of scans that overlap one another
                       // but none of the others: left where it was, its
                       // group registered to it
};

struct ScanReport {
    ScanStatus status = ScanStatus::Refined;
    // RMS point-to-plane distance to the overlapping scans, over the pairs
    // found within the start radius, at the given and at the refined poses
    // (NaN without pairs), and how many pairs that was.
    double rmsBefore = 0, rmsAfter = 0;
    std::size_t pairsBefore = 0, pairsAfter = 0;
    // Pairs in the last iteration (sources of this scan or targets on it).
    std::size_t pairs = 0;
    // How far the pose moved: the rotation's angle, and how far the centroid
    // of the scan's points went (scene units).
    double rotationDegrees = 0, translation = 0;
};

// What one iteration saw and did.
struct IterationReport {
    double radius = 0;      // search radius (scene units)
    std::size_t pairs = 0;  // pairs found
    double objective = 0;   // their weighted sum of squared residuals
    double moved = 0;       // the farthest any point moved in the step
};

struct RegistrationResult {
    std::vector<Pose> poses;        // one per scan, in input order
    std::vector<ScanReport> scans;  // one per scan
    int iterations = 0;
    bool converged = false;                   // the last stage met the tolerance
    double startRadius = 0, finalRadius = 0;  // as used (scene units)
    std::vector<IterationReport> trace;       // one per iteration
    std::size_t indexBytes = 0;               // memory of the scans' search indices
};

// Registers the scans. An empty scan, one whose points lie on no triangle,
// and one whose pose is not finite (or whose quaternion is zero) are
// reported as too little overlapped and left where they are; with one scan
// the poses come back unchanged apart from the quaternions' normalisation.
// A fixedScan out of range is taken as 0.
RegistrationResult registerScans(const std::vector<ScanPoints>& scans,
                                 const RegistrationOptions& options = {});

}  // namespace registration
