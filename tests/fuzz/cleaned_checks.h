// Checks of the cleaned file of a scan, shared by the fuzz targets that load
// scans: with every third point tossed, the file written must load back
// without a fatal end, holding the kept points and the raster renumbered to
// them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "scan/ply_mesh.h"
#include "scene/scene_state.h"
#include "scene/unmeasured.h"

namespace fuzzing {

// Values that toss points 1, 4, 7, ... and leave every third point unmeasured.
inline void tossEveryThirdPoint(Mesh& scan) {
    for (std::size_t i = 0; i < scan.vertexValues.size(); ++i) {
        scan.vertexValues[i] = i % 3 == 1 ? 1.0f : (i % 3 == 2 ? kUnmeasured : 0.0f);
    }
    tossThreshold = 0.5f;
}

// The raster the cleaned file must hold: kept points renumbered, tossed
// and empty cells empty.
inline std::vector<int32_t> expectedRaster(const Mesh& scan, int32_t* kept) {
    std::vector<int32_t> newIndex(scan.vertices.size(), -1);
    int32_t next = 0;
    for (std::size_t i = 0; i < scan.vertices.size(); ++i)
        if (!(scan.vertexValues[i] > tossThreshold)) newIndex[i] = next++;
    *kept = next;
    std::vector<int32_t> raster;
    for (int32_t g : scan.gridIndex) raster.push_back(g < 0 ? -1 : newIndex[g]);
    return raster;
}

// Loads the scan's cleaned file back, checks it and removes it.
inline void checkCleanedFile(const PlyMesh& scan) {
    int32_t kept = 0;
    const std::vector<int32_t> raster = expectedRaster(scan, &kept);
    const std::string name = PlyMesh::cleanedName(scan.outputSource());
    const Loaded<PlyMesh> back = PlyMesh::load(2, name);
    if (back.status.failure == LoadFailure::DataDamaged)
        fail("reading the cleaned file ended with status " +
             std::to_string(back.status.fatalStatus));
    if (back.mesh == nullptr) fail("the cleaned file cannot be read");
    if (back.mesh->vertexCount() != kept)
        fail("the cleaned file holds " + std::to_string(back.mesh->vertexCount()) +
             " points, not " + std::to_string(kept));
    if (back.mesh->gridIndex != raster) fail("the cleaned raster differs");
    std::remove(name.c_str());
}

}  // namespace fuzzing
