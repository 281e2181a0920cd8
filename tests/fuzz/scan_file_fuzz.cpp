// Fuzz target: a PTX or E57 file (an E57 file when the input starts with the
// E57 signature) loaded as the configuration of its scans: each scan read,
// laid out, made a range-image mesh, placed and baked. Every index must name
// something the mesh has, every scan draws in every display mode, and with
// every third point tossed its cleaned file (named after the file and scan)
// must load back with the kept points and the renumbered raster.
#include <cstdint>
#include <cstring>
#include <string>

#include "cleaned_checks.h"
#include "fuzz_support.h"
#include "mesh_checks.h"
#include "scan/scan_config.h"
#include "scene/scene_state.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::throwOnLibraryExit();
    fuzzing::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool e57 = size >= 8 && std::memcmp(data, "ASTM-E57", 8) == 0;
    const std::string path = fuzzing::writeScratchFile(e57 ? "input.e57" : "input.ptx", data, size);
    ScanConfigLoad load = readScanFileAsConfig(path);
    if (load.damaged() != nullptr)
        fuzzing::fail("a scan file ended the reading as a PLY fatal end");
    for (const ConfigScanFailure& f : load.failures)
        if (f.status.reason.empty()) fuzzing::fail("a failure without a reason");
    for (ConfigScan& scan : load.scans) {
        PlyMesh& mesh = *scan.mesh;
        fuzzing::checkMeshIndices(mesh);
        if (mesh.worldVertices.size() != mesh.vertices.size())
            fuzzing::fail("the pose is not baked");
        fuzzing::tossEveryThirdPoint(mesh);
        showTossedPoints = true;
        fuzzing::drawEveryMode(mesh);
        if (mesh.writeCleaned()) fuzzing::checkCleanedFile(mesh);
    }
    resetSceneState();
    resetFakeGL();
    return 0;
}
