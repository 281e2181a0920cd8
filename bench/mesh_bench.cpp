// Loading a .m mesh of a million triangles (parse, normals, edge pairing) and
// edge pairing by radix-sorted keys against the ordered-map reference.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "mesh_fixtures.h"
#include "scene/mesh.h"
#include "scene/mesh_reader.h"

namespace {

constexpr int kRings = 500;
constexpr int kSegments = 1000;  // 2 * 500 * 1000 = 1,000,000 triangles

// The generated torus text, made once.
const std::string& torusText() {
    static const std::string text = fixtures::torusText(kRings, kSegments);
    return text;
}

// A file removed when the program ends.
struct TemporaryFile {
    std::string path;
    ~TemporaryFile() { std::filesystem::remove(path); }
};

// The torus written to a temporary .m file, once.
const std::string& torusFile() {
    static const TemporaryFile file{(std::filesystem::temp_directory_path() /
                                     ("rangeloom-bench-" + std::to_string(getpid()) + ".m"))
                                        .string()};
    static const bool written = [] {
        std::ofstream(file.path, std::ios::binary) << torusText();
        return true;
    }();
    (void)written;
    return file.path;
}

// Sends standard output to /dev/null while alive (the loader reports each step).
class QuietStdout {
public:
    QuietStdout() {
        std::fflush(stdout);
        saved_ = dup(1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
    }
    ~QuietStdout() {
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
    }

private:
    int saved_;
};

// A parsed torus, shared by the edge benchmarks.
Mesh& parsedTorus() {
    static Mesh* mesh = [] {
        auto* m = new Mesh(1);
        std::istringstream in(torusText());
        readMeshLines(*m, in);
        return m;
    }();
    return *mesh;
}

void loadFile(benchmark::State& state) {
    const std::string& path = torusFile();
    for (auto _ : state) {
        QuietStdout quiet;
        const MeshFileLoad loaded = loadMeshFile(1, path);
        if (loaded.mesh == nullptr) {
            state.SkipWithError("the torus file could not be opened");
            break;
        }
        const Mesh& mesh = *loaded.mesh;
        benchmark::DoNotOptimize(mesh.edges.data());
        if (mesh.faces.size() != 2u * kRings * kSegments || mesh.genus() != 1) {
            state.SkipWithError("the torus did not load as a closed genus-1 mesh");
        }
    }
    state.SetItemsProcessed(state.iterations() * 2 * kRings * kSegments);
}
BENCHMARK(loadFile)->Unit(benchmark::kMillisecond);

void parseFromMemory(benchmark::State& state) {
    const std::string& text = torusText();
    for (auto _ : state) {
        Mesh mesh(1);
        std::istringstream in(text);
        readMeshLines(mesh, in);
        benchmark::DoNotOptimize(mesh.faces.data());
    }
    state.SetItemsProcessed(state.iterations() * 2 * kRings * kSegments);
}
BENCHMARK(parseFromMemory)->Unit(benchmark::kMillisecond);

void computeNormals(benchmark::State& state) {
    Mesh& mesh = parsedTorus();
    for (auto _ : state) {
        mesh.computeNormals();
        benchmark::DoNotOptimize(mesh.vertexNormals.data());
    }
}
BENCHMARK(computeNormals)->Unit(benchmark::kMillisecond);

void buildEdgesFast(benchmark::State& state) {
    Mesh& mesh = parsedTorus();
    for (auto _ : state) {
        QuietStdout quiet;
        mesh.buildEdges();
        benchmark::DoNotOptimize(mesh.edges.data());
    }
}
BENCHMARK(buildEdgesFast)->Unit(benchmark::kMillisecond);

void buildEdgesOrderedMap(benchmark::State& state) {
    Mesh& mesh = parsedTorus();
    for (auto _ : state) {
        QuietStdout quiet;
        fixtures::buildEdgesReference(mesh);
        benchmark::DoNotOptimize(mesh.edges.data());
    }
}
BENCHMARK(buildEdgesOrderedMap)->Unit(benchmark::kMillisecond);

// Both pairings in each iteration; the counter is ordered-map time over fast
// time, and the results are checked to be identical.
void buildEdgesSpeedup(benchmark::State& state) {
    Mesh& mesh = parsedTorus();
    double fastSeconds = 0, mapSeconds = 0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        QuietStdout quiet;
        const auto t0 = Clock::now();
        mesh.buildEdges();
        const auto t1 = Clock::now();
        const std::vector<Edge> fast = mesh.edges;
        const auto t2 = Clock::now();
        fixtures::buildEdgesReference(mesh);
        const auto t3 = Clock::now();
        fastSeconds += std::chrono::duration<double>(t1 - t0).count();
        mapSeconds += std::chrono::duration<double>(t3 - t2).count();
        bool same = fast.size() == mesh.edges.size();
        for (std::size_t i = 0; same && i < fast.size(); ++i) {
            const Edge& a = fast[i];
            const Edge& b = mesh.edges[i];
            same = a.face0 == b.face0 && a.face1 == b.face1 && a.lowVertex == b.lowVertex &&
                   a.highVertex == b.highVertex;
        }
        if (!same) state.SkipWithError("fast and ordered-map pairings differ");
    }
    state.counters["map_over_fast"] = mapSeconds / fastSeconds;
}
BENCHMARK(buildEdgesSpeedup)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
