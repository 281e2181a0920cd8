// Whole start-up for a scan configuration — read every scan, triangulate,
// normals, edges, bake, analyse, build the lattice mesh — on the
// straightforward path and on the fast one, alternately, in one run; prints
// the best time of each phase and the ratios, and checks that both paths give
// the same values bit for bit.
//   rangeloom-startup-bench CONF [REPEATS] [plain|fast1|fast2]
// With a path name only that path runs, REPEATS times (for comparing builds
// and measuring peak memory: the maximum resident size is printed at the end).
#include <sys/resource.h>

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "libply/ply_internal.h"
#include "scan/lattice_mesh.h"
#include "scan/overlap_analysis.h"
#include "scan/scan_config.h"
#include "scene/console.h"
#include "scene/plain_paths.h"
#include "scene/scene_state.h"

namespace {

struct Times {
    double load = 1e30, analysis = 1e30, lattice = 1e30, total = 1e30;
    double prepare = 1e30, measure = 1e30;  // the fast analysis's two phases
};

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// One start-up on the given path; returns the values of every scan.
std::vector<std::vector<float>> startUp(const char* conf, const std::string& path, Times* best) {
    const bool plain = path == "plain";
    ply_set_plain_paths(plain ? 1 : 0);
    setPlainEdgePairing(plain);
    setWorkerThreads(path == "fast2" ? 2 : 1);
    resetSceneState();

    const auto start = Clock::now();
    ScanConfigLoad scans = readScanConfig(conf);
    addScansToScene(scans);
    const double load = since(start);
    auto t = Clock::now();
    AnalysisOptions options;
    options.plain = plain;
    AnalysisTimes phases;
    options.times = &phases;
    analyzeOverlap(sceneList, &gridMesh, options);
    const double analysis = since(t);
    t = Clock::now();
    // The straightforward program builds the lattice mesh at once; the fast
    // one builds it when it is first shown.
    if (plain && gridMesh != nullptr) static_cast<LatticeMesh*>(gridMesh)->buildGeometry();
    const double lattice = since(t);
    const double total = since(start);

    best->load = std::min(best->load, load);
    best->analysis = std::min(best->analysis, analysis);
    best->lattice = std::min(best->lattice, lattice);
    best->total = std::min(best->total, total);
    best->prepare = std::min(best->prepare, phases.prepare);
    best->measure = std::min(best->measure, phases.measure);
    std::vector<std::vector<float>> values;
    for (Mesh* m : sceneList) values.push_back(m->vertexValues);
    resetSceneState();
    return values;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: rangeloom-startup-bench CONF [REPEATS] [plain|fast1|fast2]\n");
        return 1;
    }
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    setConsoleQuiet(true);
    if (argc > 3) {
        Times t;
        for (int r = 0; r < repeats; ++r) startUp(argv[1], argv[3], &t);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf(
            "%s: load %.3f s, analysis %.3f s, total %.3f s (best of %d), "
            "peak resident %.1f MB\n",
            argv[3], t.load, t.analysis, t.total, repeats, usage.ru_maxrss / 1024.0);
        if (std::string(argv[3]) != "plain")
            std::printf("analysis phases: cells and records %.3f s, measuring %.3f s\n", t.prepare,
                        t.measure);
        return 0;
    }

    const char* paths[] = {"plain", "fast1", "fast2"};
    Times times[3];
    std::vector<std::vector<float>> reference;
    bool same = true;
    for (int r = 0; r < repeats; ++r) {
        for (int p = 0; p < 3; ++p) {
            auto values = startUp(argv[1], paths[p], &times[p]);
            if (reference.empty()) {
                reference = values;
            } else {
                same = same && values.size() == reference.size();
                for (std::size_t i = 0; same && i < values.size(); ++i)
                    same = values[i].size() == reference[i].size() &&
                           std::memcmp(values[i].data(), reference[i].data(),
                                       values[i].size() * sizeof(float)) == 0;
            }
        }
    }
    std::printf("%-8s %9s %9s %9s %9s   (best of %d, seconds)\n", "path", "load", "analysis",
                "lattice", "total", repeats);
    for (int p = 0; p < 3; ++p)
        std::printf("%-8s %9.3f %9.3f %9.3f %9.3f\n", paths[p], times[p].load, times[p].analysis,
                    times[p].lattice, times[p].total);
    for (int p = 1; p < 3; ++p)
        std::printf("plain / %s: load %.1fx, analysis %.1fx, whole start-up %.1fx\n", paths[p],
                    times[0].load / times[p].load, times[0].analysis / times[p].analysis,
                    times[0].total / times[p].total);
    std::printf("values %s\n", same ? "identical on every path" : "DIFFER");

    // Edge pairing alone, on the loaded scans: ordered map against grouping.
    setWorkerThreads(2);
    ply_set_plain_paths(0);
    setPlainEdgePairing(false);
    ScanConfigLoad scans = readScanConfig(argv[1]);
    addScansToScene(scans);
    double seconds[2] = {1e30, 1e30};
    bool sameEdges = true;
    for (int r = 0; r < repeats; ++r) {
        for (int plain = 1; plain >= 0; --plain) {
            setPlainEdgePairing(plain == 1);
            std::vector<std::vector<Edge>> edges;
            const auto t = Clock::now();
            for (Mesh* m : sceneList) {
                m->buildEdges();
                edges.push_back(m->edges);
            }
            seconds[plain] = std::min(seconds[plain], since(t));
            static std::vector<std::vector<Edge>> first;
            if (first.empty()) first = edges;
            for (std::size_t i = 0; i < edges.size(); ++i) {
                sameEdges = sameEdges && edges[i].size() == first[i].size();
                for (std::size_t k = 0; sameEdges && k < edges[i].size(); ++k)
                    sameEdges = edges[i][k].face0 == first[i][k].face0 &&
                                edges[i][k].face1 == first[i][k].face1 &&
                                edges[i][k].lowVertex == first[i][k].lowVertex &&
                                edges[i][k].highVertex == first[i][k].highVertex;
            }
        }
    }
    setPlainEdgePairing(false);
    std::printf(
        "edge pairing of all scans: ordered map %.3f s, grouping %.3f s (%.1fx), edges %s\n",
        seconds[1], seconds[0], seconds[1] / seconds[0], sameEdges ? "identical" : "DIFFER");
    resetSceneState();
    return same ? 0 : 1;
}
