// The analysis reports each finished pass to an optional callback, on both of
// its paths, without changing what it prints.
#include <gtest/gtest.h>
#include <malloc.h>

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

#if defined(__SANITIZE_ADDRESS__)
#define RANGELOOM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RANGELOOM_ASAN 1
#endif
#endif
#if defined(RANGELOOM_ASAN)
// The sanitizer runtime's count (its header is not installed with every compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// Bytes of the heap in use now (the sanitizer's allocator in a sanitizer
// build, whose freed blocks wait in quarantine; malloc's main arena
// otherwise, where the calling thread allocates).
std::size_t heapBytes() {
#if defined(RANGELOOM_ASAN)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
#endif
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
    const std::size_t before = heapBytes();
    std::size_t most = before;
    std::int64_t calls = 0, lastDone = 0, lastTotal = 0;
    AnalysisOptions o;
    o.progress = false;
    o.onPass = [&](std::int64_t done, std::int64_t total) {
        if (++calls % 100000 == 0) most = std::max(most, heapBytes());
        lastDone = done;
        lastTotal = total;
    };
    analyzeOverlap(raw(scans), nullptr, o);
    EXPECT_EQ(calls, 3998000);
    EXPECT_EQ(lastDone, 3998000);
    EXPECT_EQ(lastTotal, 3998000);
    EXPECT_LT(most - before, std::size_t(8) << 20);
}
