// The analysis reports each finished pass to an optional callback, on both of
// its paths, without changing what it prints.
#include <gtest/gtest.h>

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
