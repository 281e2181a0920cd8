// Loading a set of scans from its PTX or E57 form against loading its PLY
// form (a configuration of range images) in one run: the best loading time
// of each, alternately, and the peak memory of each in a child process of
// its own; prints the ratios and checks that both give the same world
// positions and normals bit for bit.
//   rangeloom-scanfile-bench CONF FILE.ptx|FILE.e57 [REPEATS] [THREADS]
// (scan_fixture CONF STEM writes the PTX and E57 forms of a configuration.)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "scan/scan_config.h"
#include "scene/console.h"
#include "scene/plain_paths.h"
#include "scene/scene_state.h"

namespace {

using Clock = std::chrono::steady_clock;

bool isScanFile(const std::string& name) {
    return name.size() > 4 && name.compare(name.size() - 5, 5, ".conf") != 0;
}

ScanConfigLoad load(const std::string& input) {
    resetSceneState();
    return isScanFile(input) ? readScanFileAsConfig(input) : readScanConfig(input);
}

// Best of `repeats` loads, in seconds; the last load's scans stay in *kept.
double bestLoad(const std::string& input, int repeats, ScanConfigLoad* kept) {
    double best = 1e30;
    for (int r = 0; r < repeats; ++r) {
        const auto start = Clock::now();
        ScanConfigLoad scans = load(input);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
        if (r + 1 == repeats) *kept = std::move(scans);
    }
    return best;
}

// Peak resident size, in MiB, of a child process that loads the input once.
double peakMemory(const std::string& input) {
    const pid_t child = fork();
    if (child == 0) {
        const ScanConfigLoad scans = load(input);
        _exit(scans.scans.empty() ? 1 : 0);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || status != 0) return -1.0;
    return usage.ru_maxrss / 1024.0;
}

template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s CONF FILE.ptx|FILE.e57 [REPEATS] [THREADS]\n", argv[0]);
        return 2;
    }
    const std::string conf = argv[1], file = argv[2];
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    setWorkerThreads(argc > 4 ? std::atoi(argv[4]) : 0);
    setConsoleQuiet(true);

    double best[2] = {1e30, 1e30};
    ScanConfigLoad last[2];
    for (int r = 0; r < repeats; ++r) {
        best[0] = std::min(best[0], bestLoad(conf, 1, &last[0]));
        best[1] = std::min(best[1], bestLoad(file, 1, &last[1]));
    }
    bool same = last[0].scans.size() == last[1].scans.size() && !last[0].scans.empty();
    for (std::size_t s = 0; same && s < last[0].scans.size(); ++s) {
        const Mesh& a = *last[0].scans[s].mesh;
        const Mesh& b = *last[1].scans[s].mesh;
        same = sameBits(a.worldVertices, b.worldVertices) &&
               sameBits(a.vertexNormals, b.vertexNormals);
    }
    last[0] = ScanConfigLoad();
    last[1] = ScanConfigLoad();
    resetSceneState();
    const double memory[2] = {peakMemory(conf), peakMemory(file)};

    std::printf("%-8s %10s %14s\n", "form", "load (s)", "peak (MiB)");
    std::printf("%-8s %10.3f %14.1f\n", "PLY", best[0], memory[0]);
    std::printf("%-8s %10.3f %14.1f\n", file.substr(file.size() - 3).c_str(), best[1], memory[1]);
    std::printf("ratio (file / PLY): load %.2f, peak memory %.2f; scans %s\n", best[1] / best[0],
                memory[1] / memory[0], same ? "identical" : "DIFFER");
    return same ? 0 : 1;
}
