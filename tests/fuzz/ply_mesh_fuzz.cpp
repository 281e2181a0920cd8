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

#include "cleaned_checks.h"
#include "fuzz_support.h"
#include "mesh_checks.h"
#include "scan/ply_mesh.h"
#include "scene/scene_state.h"
#include "scene/unmeasured.h"

namespace {

void runAsScan(PlyMesh& scan) {
    scan.bakeWorldPositions();
    fuzzing::tossEveryThirdPoint(scan);
    showTossedPoints = true;
    fuzzing::drawEveryMode(scan);
    showTossedPoints = false;
    if (scan.writeCleaned()) fuzzing::checkCleanedFile(scan);
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
