// Fuzz target: the scan configuration reader with the steps start-up runs
// after it: every record of the input is read, its scans are loaded (on one
// or two threads), posed and baked, the overlap analysis runs on them, and
// the cleaned scans are written. The scans named are small generated range images and meshes in a
// scratch folder (the current folder of the process), one of them only
// beside the configuration and one cut short, so that loading it ends in the
// library's fatal end, which the loader returns as a damaged scan. Inputs naming anything outside
// the scratch folder (a '/' anywhere) are skipped: the target never opens files of the machine.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "libply/plyfile.h"
#include "scan/cleaned_writer.h"
#include "scan/overlap_analysis.h"
#include "scan/ply_mesh.h"
#include "scan/scan_config.h"
#include "scene/plain_paths.h"
#include "scene/scene_state.h"
#include "seed_files.h"

namespace {

std::string configPath;

void writeScans() {
    seeds::RangeImageShape a;
    fuzzing::writeScratchFile("a.ply", seeds::rangeImage(PLY_ASCII, a));
    seeds::RangeImageShape b;
    b.offsetX = 0.0004f;
    b.confidence = true;
    fuzzing::writeScratchFile("b.ply", seeds::rangeImage(PLY_BINARY_LE, b));
    seeds::RangeImageShape c;
    c.cols = 5;
    c.rows = 5;
    c.cameraFirst = true;
    c.faces = true;
    const std::string cBytes = seeds::rangeImage(PLY_BINARY_BE, c);
    fuzzing::writeScratchFile("t.ply", cBytes.substr(0, cBytes.size() - 7));
    fuzzing::writeScratchFile("m.ply", seeds::tetrahedron(PLY_ASCII, false));
    std::string folder = fuzzing::scratchDir() + "/conf";
    ::mkdir(folder.c_str(), 0700);
    fuzzing::writeScratchFile("conf/c.ply", cBytes);
    configPath = fuzzing::scratchDir() + "/conf/input.conf";
}

// Back to the state of a fresh process, with the cleaned files written by
// this input removed.
void resetScene() {
    for (Mesh* object : sceneList) {
        if (const auto* scan = dynamic_cast<const PlyMesh*>(object))
            std::remove(PlyMesh::cleanedName(scan->fileName).c_str());
    }
    resetSceneState();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::throwOnLibraryExit();
    fuzzing::quietStdout();
    writeScans();
    if (::chdir(fuzzing::scratchDir().c_str()) != 0)
        fuzzing::fail("cannot enter the scratch folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0 && std::memchr(data, '/', size) != nullptr) return 0;
    fuzzing::writeScratchFile("conf/input.conf", data, size);
    // Scans load on one thread or on two, by the input's length.
    const int threads = 1 + static_cast<int>(size % 2);
    setWorkerThreads(threads);
    // A damaged scan is a failure in the outcome: the library's fatal end
    // (the throwing handler's LibraryExit) must not escape the loader.
    ScanConfigLoad load = readScanConfig(configPath);
    addScansToScene(load);
    AnalysisOptions options;
    options.threads = threads;
    options.progress = false;
    analyzeOverlap(sceneList, &gridMesh, options);
    writeAllCleaned();
    resetScene();
    return 0;
}
