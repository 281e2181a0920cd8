// Fuzz target: the .m reader, the whole load (lines, placement, normals,
// edge pairing) through the Mesh constructor on a scratch file, then drawing
// in every display mode against the recording GL stand-in. Every face that
// reaches the mesh must name vertices the mesh has.

#include <cstdint>
#include <string>

#include "fake_gl.h"
#include "fuzz_support.h"
#include "scene/dmesh.h"

namespace {

void checkFaces(const Mesh& mesh) {
    for (const Face& f : mesh.faces) {
        for (int32_t vi : f.vertexIndices) {
            if (vi < 0 || static_cast<std::size_t>(vi) >= mesh.vertices.size())
                fuzzing::fail("a face names vertex " + std::to_string(vi) + " of " +
                              std::to_string(mesh.vertices.size()));
        }
    }
    for (const Edge& e : mesh.edges) {
        if (e.face0 < -1 || e.face1 < -1 || e.face0 >= mesh.faceCount() || e.face1 >= mesh.faceCount())
            fuzzing::fail("an edge names a face the mesh does not have");
    }
}

void drawEveryMode(Mesh& mesh) {
    for (int mode = Points; mode <= Smooth; ++mode) {
        mesh.setDisplayMode(mode);
        mesh.draw();
        resetFakeGL();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzzing::writeScratchFile("input.m", data, size);
    Mesh mesh(1, path.c_str());
    if (!mesh.isLoaded()) fuzzing::fail("a readable .m file did not load");
    checkFaces(mesh);
    drawEveryMode(mesh);
    return 0;
}
