// Fuzz target: the .m reader, the whole load (lines, placement, normals,
// edge pairing) through loadMeshFile on a scratch file, then drawing
// in every display mode against the recording GL stand-in. Every face that
// reaches the mesh must name vertices the mesh has.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "mesh_checks.h"
#include "scene/mesh_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzzing::writeScratchFile("input.m", data, size);
    const MeshFileLoad loaded = loadMeshFile(1, path);
    if (loaded.mesh == nullptr) fuzzing::fail("a readable .m file did not load");
    fuzzing::checkMeshIndices(*loaded.mesh);
    fuzzing::drawEveryMode(*loaded.mesh);
    return 0;
}
