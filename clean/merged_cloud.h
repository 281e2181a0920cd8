// The merged point cloud of rangeloom-clean --merge: the points of every
// analysed scan in the common frame, as one binary little-endian PLY file
// written through the PLY library as the points go (never held whole):
//
//   element vertex N
//   property float x, y, z      position in the common frame
//   property float nx, ny, nz   unit normal of the scan's triangulation, in the
//                               common frame; 0 0 0 for a point in no triangle
//   property uchar scan         index of the point's scan in the header's list
//                               (ushort when there are more than 256 scans)
//   property float value        distance to the other scans; nan: not measured
//   property uchar tossed       only when tossed points are kept: 1 for a point
//                               whose value is greater than the threshold
//
// Header comments list the scans by index and name the threshold.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "files/file_identity.h"
#include "scene/mesh.h"

// One scan of the cloud: an analysed mesh (world positions, normals, values)
// and how the header names it.
struct MergeSource {
    const Mesh* scan;
    std::string label;
};

// The largest number of scans the scan index holds (as an unsigned short).
constexpr std::size_t kMaxMergedScans = 65536;

// Writes the points of the scans in order, each scan's in its point order:
// the kept ones (value not greater than threshold), or all of them with
// keepTossed. The file goes to a files::FileReplacement and is renamed over
// target when complete, unless target is one of keep's files at that moment;
// on failure nothing is left and an earlier file of that name stays as it
// was. Returns false with *error saying why; *points gets the number of
// points written.
bool writeMergedCloud(const std::vector<MergeSource>& scans, float threshold, bool keepTossed,
                      const std::string& target, std::size_t* points, std::string* error,
                      const files::ProtectedFiles* keep = nullptr);
