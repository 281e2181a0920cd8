// PLY library throughput: reading a generated range scan (vertices and a
// range grid of one-index lists) as text and as binary, and writing it, each
// on the library's fast paths and on its plain reference paths, measured in
// one run; binary scans are also read with the block calls
// (ply_get_element_block, ply_get_list_block), on a scan of 40% and one of
// 97% measured cells (a campaign scan). Prints items/s and MB/s per case, the
// fast/plain ratios, and the block reads' GB/s against the fast
// instance-by-instance reads.
//   ply_bench [BENCHMARK OPTIONS] [FILE.ply...]
// With files, those are read from disk (the page cache, after the first
// round) as one set instead (real scans).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "libply/ply_internal.h"
#include "libply/plyfile.h"

namespace {

constexpr int kCols = 1000;
constexpr int kRows = 1000;              // a million raster cells
constexpr double kMeasuredShare = 0.4;   // the scan of the text and binary cases
constexpr double kCampaignShare = 0.97;  // a campaign scan: few empty cells
constexpr int kBlockRun = 1 << 20;       // instances per block call

struct Vertex {
    float x, y, z;
};
struct Cell {
    unsigned char count;
    int* indices;
};
const ply_property_def kXyz[] = {
    {"x", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, x), 0, 0, 0, 0},
    {"y", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, y), 0, 0, 0, 0},
    {"z", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, z), 0, 0, 0, 0},
};
const ply_property_def kCellList = {
    "vertex_indices",     PLY_INT, PLY_INT, offsetof(Cell, indices), 1, PLY_UCHAR, PLY_UCHAR,
    offsetof(Cell, count)};

// A scan: a point in some raster cells, none in the others.
struct Scan {
    std::vector<Vertex> vertices;
    std::vector<int> cells;  // vertex index per cell, or -1
    long items() const {
        long listed = 0;
        for (int c : cells) listed += c >= 0 ? 1 : 0;
        return long(vertices.size()) * 3 + long(cells.size()) + listed;
    }
};

Scan makeScan(double share) {
    std::mt19937 rng(2024);
    Scan scan;
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kCols; ++c) {
            if (double(rng() % 1000) / 1000.0 >= share) {
                scan.cells.push_back(-1);
                continue;
            }
            scan.cells.push_back(int(scan.vertices.size()));
            float z = -0.7f + float(rng() % 100000) * 1e-6f;
            scan.vertices.push_back({float(c) * 2.5e-4f - 0.06f, 0.03f - float(r) * 2.5e-4f, z});
        }
    }
    return scan;
}

// Writes the scan through the library to the stream in the file type.
void writeScan(const Scan& scan, FILE* fp, int file_type) {
    const char* names[] = {"vertex", "range_grid"};
    ply_handle* ply = ply_begin_write(fp, 2, names, file_type);
    ply_describe_element(ply, "vertex", int(scan.vertices.size()), 3, kXyz);
    ply_describe_element(ply, "range_grid", int(scan.cells.size()), 1, &kCellList);
    append_obj_info(ply, "num_cols 1000");
    append_obj_info(ply, "num_rows 1000");
    ply_header_complete(ply);
    ply_elements_setup(ply, "vertex");
    for (const Vertex& v : scan.vertices) ply_write_element(ply, &v);
    ply_elements_setup(ply, "range_grid");
    for (int c : scan.cells) {
        int index = c;
        Cell cell{static_cast<unsigned char>(c >= 0 ? 1 : 0), &index};
        ply_write_element(ply, &cell);
    }
    ply_close_file(ply);
}

std::string scanBytes(const Scan& scan, int file_type, bool crlf) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* fp = open_memstream(&buffer, &size);
    writeScan(scan, fp, file_type);
    std::string bytes(buffer, size);
    std::free(buffer);
    if (!crlf) return bytes;
    // Scanners' text files end their lines with CR LF.
    std::string converted;
    converted.reserve(bytes.size() + bytes.size() / 8);
    for (char ch : bytes) {
        if (ch == '\n') converted += '\r';
        converted += ch;
    }
    return converted;
}

// The arrays a reader fills, kept from one file to the next: the benchmark
// measures reading, not fresh memory (whose page faults cost as much again
// on these machines). Arrays only grow; `used` says how much of them a file
// filled.
template <class T>
struct Reused {
    std::vector<T> data;
    std::size_t used = 0;
    T* room(std::size_t n) {  // room for n entries after `used`
        if (data.size() < used + n) data.resize(used + n);
        return data.data() + used;
    }
};
struct ReadArrays {
    Reused<Vertex> vertices;
    Reused<int> grid;
    std::vector<int> counts;
};
ReadArrays& arrays() {
    static ReadArrays a;
    return a;
}

// Reads every instance from the stream the way the range-scan loader does
// today, instance by instance, into a vertex and a raster array; returns a
// checksum, and adds the number of items read to *items if given.
long readStream(FILE* fp, long* items = nullptr) {
    int nelems;
    char** elist;
    ply_handle* ply = ply_read_header(fp, &nelems, &elist);
    long checksum = 0;
    Reused<Vertex>& vertices = arrays().vertices;
    Reused<int>& grid = arrays().grid;
    for (int e = 0; e < nelems; ++e) {
        int count = 0, nprops = 0;
        ply_free_properties(nprops, ply_element_properties(ply, elist[e], &count, &nprops));
        if (words_equal(elist[e], "vertex")) {
            ply_select_properties(ply, elist[e], 3, kXyz);
            vertices.used = 0;
            for (int i = 0; i < count; ++i) {
                Vertex v;
                ply_get_element(ply, &v);
                *vertices.room(1) = v;
                ++vertices.used;
            }
            for (std::size_t i = 0; i < vertices.used; ++i) checksum += vertices.data[i].z < -0.65f;
            if (items != nullptr) *items += 3L * count;
        } else {
            ply_select_property(ply, elist[e], &kCellList);
            grid.used = 0;
            for (int i = 0; i < count; ++i) {
                Cell cell;
                ply_get_element(ply, &cell);
                *grid.room(1) = cell.count >= 1 && cell.indices ? cell.indices[0] : -1;
                ++grid.used;
                if (items != nullptr) *items += 1 + cell.count;
                std::free(cell.indices);
            }
            for (std::size_t i = 0; i < grid.used; ++i) checksum += grid.data[i] >= 0;
        }
    }
    ply_free_element_list(nelems, elist);
    ply_close_file(ply);
    return checksum;
}

// The same values with the block calls, as the loader's vertex and
// range_grid steps would take them: runs of at most kBlockRun instances
// (memory grows only with data that is in the file), each run falling back
// to instance-by-instance reading when the element does not qualify.
long readStreamBlocks(FILE* fp) {
    int nelems;
    char** elist;
    ply_handle* ply = ply_read_header(fp, &nelems, &elist);
    long checksum = 0;
    Reused<Vertex>& vertices = arrays().vertices;
    Reused<int>& grid = arrays().grid;
    std::vector<int>& counts = arrays().counts;
    for (int e = 0; e < nelems; ++e) {
        int count = 0, nprops = 0;
        ply_free_properties(nprops, ply_element_properties(ply, elist[e], &count, &nprops));
        if (words_equal(elist[e], "vertex")) {
            ply_select_properties(ply, elist[e], 3, kXyz);
            vertices.used = 0;
            for (int first = 0; first < count; first += kBlockRun) {
                const int m = std::min(kBlockRun, count - first);
                Vertex* run = vertices.room(std::size_t(m));
                if (!ply_get_element_block(ply, m, run, sizeof(Vertex)))
                    for (int i = 0; i < m; ++i) ply_get_element(ply, &run[i]);
                vertices.used += std::size_t(m);
            }
            for (std::size_t i = 0; i < vertices.used; ++i) checksum += vertices.data[i].z < -0.65f;
        } else {
            ply_select_property(ply, elist[e], &kCellList);
            grid.used = 0;
            for (int first = 0; first < count; first += kBlockRun) {
                const int m = std::min(kBlockRun, count - first);
                counts.resize(std::size_t(m));
                void* items = nullptr;
                std::size_t itemCount = 0;
                int* cells = grid.room(std::size_t(m));
                if (ply_get_list_block(ply, m, counts.data(), &items, &itemCount)) {
                    const int* item = static_cast<const int*>(items);
                    for (int i = 0; i < m; ++i) {
                        cells[i] = static_cast<unsigned char>(counts[i]) >= 1 ? *item : -1;
                        item += counts[i];
                    }
                    std::free(items);
                } else {
                    for (int i = 0; i < m; ++i) {
                        Cell cell;
                        ply_get_element(ply, &cell);
                        cells[i] = cell.count >= 1 && cell.indices ? cell.indices[0] : -1;
                        std::free(cell.indices);
                    }
                }
                grid.used += std::size_t(m);
            }
            for (std::size_t i = 0; i < grid.used; ++i) checksum += grid.data[i] >= 0;
        }
    }
    ply_free_element_list(nelems, elist);
    ply_close_file(ply);
    return checksum;
}

long readScan(std::string& bytes, bool blocks) {
    FILE* fp = fmemopen(bytes.data(), bytes.size(), "r");
    return blocks ? readStreamBlocks(fp) : readStream(fp);
}

// Reads the files one after the other from disk (the page cache, after the
// first round); returns a checksum, and adds the items read to *items if given.
long readFiles(const std::vector<std::string>& files, bool blocks, long* items = nullptr) {
    long checksum = 0;
    for (const std::string& name : files) {
        FILE* fp = std::fopen(name.c_str(), "rb");
        if (fp == nullptr) continue;
        // The stdio buffer of the files the library opens itself.
        std::setvbuf(fp, nullptr, _IOFBF, 1 << 16);
        checksum += blocks ? readStreamBlocks(fp) : readStream(fp, items);
    }
    return checksum;
}

const Scan& scan() {
    static const Scan s = makeScan(kMeasuredShare);
    return s;
}
const Scan& campaignScan() {
    static const Scan s = makeScan(kCampaignShare);
    return s;
}

// The ways a case reads: fast and plain instance by instance, and blocks.
enum class Way { fast, plain, block };
const char* wayName(Way w) {
    return w == Way::fast ? "/fast" : w == Way::plain ? "/plain" : "/block";
}

struct CaseSize {
    double bytes;
    double items;
};
std::map<std::string, CaseSize>& caseSizes() {
    static std::map<std::string, CaseSize> sizes;
    return sizes;
}

void registerRead(const std::string& name, const Scan& source, int file_type, bool crlf) {
    auto bytes = std::make_shared<std::string>(scanBytes(source, file_type, crlf));
    const double items = double(source.items());
    for (Way way : {Way::fast, Way::plain, Way::block}) {
        if (way == Way::block && file_type == PLY_ASCII) continue;
        std::string full = name + wayName(way);
        caseSizes()[full] = {double(bytes->size()), items};
        benchmark::RegisterBenchmark(full.c_str(), [bytes, way, items](benchmark::State& state) {
            ply_set_plain_paths(way == Way::plain);
            for (auto _ : state) benchmark::DoNotOptimize(readScan(*bytes, way == Way::block));
            ply_set_plain_paths(0);
            state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes->size()));
            state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(items));
        })->Unit(benchmark::kMillisecond);
    }
}

void registerWrite(const std::string& name, int file_type) {
    double size = double(scanBytes(scan(), file_type, false).size());
    for (bool plain : {false, true}) {
        std::string full = name + (plain ? "/plain" : "/fast");
        caseSizes()[full] = {size, double(scan().items())};
        benchmark::RegisterBenchmark(full.c_str(), [file_type, plain,
                                                    size](benchmark::State& state) {
            ply_set_plain_paths(plain);
            for (auto _ : state) {
                FILE* fp = std::fopen("/dev/null", "wb");
                writeScan(scan(), fp, file_type);
            }
            ply_set_plain_paths(0);
            state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
            state.SetItemsProcessed(int64_t(state.iterations()) * scan().items());
        })->Unit(benchmark::kMillisecond);
    }
}

// The files named on the command line, read as one set (for real scans).
void registerFiles(const std::vector<std::string>& files) {
    double bytes = 0;
    for (const std::string& name : files) {
        FILE* fp = std::fopen(name.c_str(), "rb");
        if (fp == nullptr) {
            std::fprintf(stderr, "ply_bench: cannot open %s\n", name.c_str());
            std::exit(1);
        }
        std::fseek(fp, 0, SEEK_END);
        bytes += double(std::ftell(fp));
        std::fclose(fp);
    }
    long items = 0;
    readFiles(files, false, &items);
    for (Way way : {Way::fast, Way::plain, Way::block}) {
        std::string full = std::string("read_files") + wayName(way);
        caseSizes()[full] = {bytes, double(items)};
        benchmark::RegisterBenchmark(full.c_str(), [files, way, bytes,
                                                    items](benchmark::State& state) {
            ply_set_plain_paths(way == Way::plain);
            for (auto _ : state) benchmark::DoNotOptimize(readFiles(files, way == Way::block));
            ply_set_plain_paths(0);
            state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
            state.SetItemsProcessed(int64_t(state.iterations()) * items);
        })->Unit(benchmark::kMillisecond);
    }
}

// The console report, followed by each case's rates and fast/plain ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                seconds_[run.benchmark_name()] = run.GetAdjustedRealTime() / 1e3;  // ms
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-22s %12s %10s %12s %10s %8s\n", "case", "fast Mitem/s", "fast MB/s",
                    "plain Mitem/s", "plain MB/s", "ratio");
        for (const auto& [name, fast_seconds] : seconds_) {
            if (name.size() < 5 || name.compare(name.size() - 5, 5, "/fast") != 0) continue;
            std::string base = name.substr(0, name.size() - 5);
            auto plain = seconds_.find(base + "/plain");
            if (plain == seconds_.end()) continue;
            const CaseSize& size = caseSizes()[name];
            std::printf("%-22s %12.1f %10.1f %12.1f %10.1f %7.2fx\n", base.c_str(),
                        size.items / fast_seconds / 1e6, size.bytes / fast_seconds / 1e6,
                        size.items / plain->second / 1e6, size.bytes / plain->second / 1e6,
                        plain->second / fast_seconds);
        }
        std::printf("\n%-22s %12s %12s %8s\n", "case", "block GB/s", "fast GB/s", "ratio");
        for (const auto& [name, block_seconds] : seconds_) {
            if (name.size() < 6 || name.compare(name.size() - 6, 6, "/block") != 0) continue;
            std::string base = name.substr(0, name.size() - 6);
            auto fast = seconds_.find(base + "/fast");
            if (fast == seconds_.end()) continue;
            const double bytes = caseSizes()[name].bytes;
            std::printf("%-22s %12.2f %12.2f %7.2fx\n", base.c_str(), bytes / block_seconds / 1e9,
                        bytes / fast->second / 1e9, fast->second / block_seconds);
        }
    }

private:
    std::map<std::string, double> seconds_;  // seconds per iteration
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // Arguments left after the benchmark options are PLY files to read as a
    // set, in place of the generated cases.
    if (argc > 1) {
        registerFiles(std::vector<std::string>(argv + 1, argv + argc));
        RatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
        return 0;
    }
    registerRead("read_text_crlf", scan(), PLY_ASCII, true);
    registerRead("read_text_lf", scan(), PLY_ASCII, false);
    registerRead("read_binary_le", scan(), PLY_BINARY_LE, false);
    registerRead("read_binary_be", scan(), PLY_BINARY_BE, false);
    registerRead("read_campaign_le", campaignScan(), PLY_BINARY_LE, false);
    registerWrite("write_text", PLY_ASCII);
    registerWrite("write_binary_be", PLY_BINARY_BE);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
