// Fuzz target: the whole PLY mesh loader (header capture, the library,
// index checks, range-grid triangulation, normals, edge pairing) on a scratch
// file, then drawing in every display mode against the recording GL
// stand-in. When the input is loaded as a scan of a configuration (chosen by
// its last byte), its pose is baked, every third point is tossed, the
// cleaned file is written and loaded back: it must be a PLY file the loader
// reads without a fatal end, with the kept points and the renumbered raster.

#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "mesh_checks.h"
#include "scan/ply_mesh.h"
#include "scene/scene_state.h"
#include "scene/unmeasured.h"

namespace {

// Values that toss points 1, 4, 7, ... and leave every third point unmeasured.
void tossEveryThirdPoint(Mesh& scan) {
    for (std::size_t i = 0; i < scan.vertexValues.size(); ++i) {
        scan.vertexValues[i] = i % 3 == 1 ? 1.0f : (i % 3 == 2 ? kUnmeasured : 0.0f);
    }
    tossThreshold = 0.5f;
}

// The raster the cleaned file must hold: kept points renumbered, tossed
// and empty cells empty.
std::vector<int32_t> expectedRaster(const Mesh& scan, int32_t* kept) {
    std::vector<int32_t> newIndex(scan.vertices.size(), -1);
    int32_t next = 0;
    for (std::size_t i = 0; i < scan.vertices.size(); ++i)
        if (!(scan.vertexValues[i] > tossThreshold)) newIndex[i] = next++;
    *kept = next;
    std::vector<int32_t> raster;
    for (int32_t g : scan.gridIndex) raster.push_back(g < 0 ? -1 : newIndex[g]);
    return raster;
}

void checkCleanedFile(const PlyMesh& scan) {
    int32_t kept = 0;
    const std::vector<int32_t> raster = expectedRaster(scan, &kept);
    const std::string name = PlyMesh::cleanedName(scan.fileName);
    const Loaded<PlyMesh> back = PlyMesh::load(2, name);
    if (back.status.failure == LoadFailure::DataDamaged)
        fuzzing::fail("reading the cleaned file ended with status " +
                      std::to_string(back.status.fatalStatus));
    if (back.mesh == nullptr) fuzzing::fail("the cleaned file cannot be read");
    if (back.mesh->vertexCount() != kept)
        fuzzing::fail("the cleaned file holds " + std::to_string(back.mesh->vertexCount()) +
                      " points, not " + std::to_string(kept));
    if (back.mesh->gridIndex != raster) fuzzing::fail("the cleaned raster differs");
    std::remove(name.c_str());
}

void runAsScan(PlyMesh& scan) {
    scan.bakeWorldPositions();
    tossEveryThirdPoint(scan);
    showTossedPoints = true;
    fuzzing::drawEveryMode(scan);
    showTossedPoints = false;
    if (scan.writeCleaned()) checkCleanedFile(scan);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::throwOnLibraryExit();
    fuzzing::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzzing::writeScratchFile("input.ply", data, size);
    PlyLoadOptions options;
    options.alone = size > 0 && (data[size - 1] & 0x40) != 0;
    // The library's fatal end of a damaged file is a damaged load, an
    // ordinary outcome; it must not escape the loader.
    const Loaded<PlyMesh> loaded = PlyMesh::load(1, path, options);
    if (loaded.mesh != nullptr) {
        fuzzing::checkMeshIndices(*loaded.mesh);
        fuzzing::drawEveryMode(*loaded.mesh);
        if (!options.alone) runAsScan(*loaded.mesh);
    }
    resetSceneState();
    resetFakeGL();
    return 0;
}
