// The analysis reports each finished pass to an optional callback, on both of
// its paths, without changing what it prints.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "../scan/scan_fixtures.h"
#include "scan/overlap_analysis.h"

using namespace scan_fixtures;

namespace {

std::vector<std::unique_ptr<Mesh>> threeScans() {
    Random random(5);
    std::vector<std::unique_ptr<Mesh>> scans;
    for (int i = 0; i < 3; ++i) {
        ScanShape s;
        s.originX = 0.0003f * i;
        s.height = 0.0001f * i;
        scans.push_back(makeScan(i + 1, s, random));
    }
    return scans;
}

}  // namespace

TEST(AnalysisProgress, EveryPassIsReportedOnBothPathsWithTheSameTranscript) {
    std::string transcripts[2];
    for (bool plain : {true, false}) {
        auto scans = threeScans();
        std::vector<std::pair<int, int>> calls;
        AnalysisOptions o;
        o.plain = plain;
        o.threads = 2;
        o.onPass = [&calls](int done, int total) { calls.push_back({done, total}); };
        testing::internal::CaptureStdout();
        analyzeOverlap(raw(scans), nullptr, o);
        transcripts[plain] = testing::internal::GetCapturedStdout();
        ASSERT_EQ(calls.size(), 6u) << plain;
        for (int i = 0; i < 6; ++i) EXPECT_EQ(calls[i], std::make_pair(i + 1, 6)) << plain;
    }
    EXPECT_EQ(transcripts[0], transcripts[1]);

    // Without a callback the transcript is unchanged.
    auto scans = threeScans();
    testing::internal::CaptureStdout();
    analyzeOverlap(raw(scans), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), transcripts[0]);
}

TEST(AnalysisProgress, NoCallWithoutAPairToCompare) {
    Random random(1);
    std::vector<std::unique_ptr<Mesh>> one;
    one.push_back(makeScan(1, ScanShape(), random));
    int calls = 0;
    AnalysisOptions o;
    o.progress = false;
    o.onPass = [&calls](int, int) { ++calls; };
    analyzeOverlap(raw(one), nullptr, o);
    EXPECT_EQ(calls, 0);
}

namespace {

// Resident memory of the process, in bytes.
std::size_t residentBytes() {
    std::size_t pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%zu %zu", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

// Nothing of the analysis grows with the pairs of scans: 2,000 scans make
// 3,998,000 passes, whose list alone would take 64 MB; they are produced as
// they are reported.
TEST(AnalysisProgress, PassesAreProducedAsTheyAreReportedNotListed) {
    std::vector<std::unique_ptr<Mesh>> scans;
    for (int i = 0; i < 2000; ++i) {
        scans.push_back(std::make_unique<Mesh>(i + 1));
        scans.back()->addVertex(Point3(0.001f * float(i % 7), 0, 0));
        scans.back()->bakeWorldPositions();
    }
    const std::size_t before = residentBytes();
    std::size_t most = before;
    std::int64_t calls = 0, lastDone = 0, lastTotal = 0;
    AnalysisOptions o;
    o.progress = false;
    o.onPass = [&](std::int64_t done, std::int64_t total) {
        if (++calls % 100000 == 0) most = std::max(most, residentBytes());
        lastDone = done;
        lastTotal = total;
    };
    analyzeOverlap(raw(scans), nullptr, o);
    EXPECT_EQ(calls, 3998000);
    EXPECT_EQ(lastDone, 3998000);
    EXPECT_EQ(lastTotal, 3998000);
    EXPECT_LT(most - before, std::size_t(24) << 20);
}
