#include "scan/distance_stats.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

TEST(DistanceStats, MeasuredValuesLeaveOutUnmeasuredAndNanAndStopAtTheCount) {
    const std::vector<float> values = {0.5f, -FLT_MAX, NAN, 0.0f, 2.0f, 7.0f};
    EXPECT_EQ(measuredValues(values, 5), (std::vector<float>{0.5f, 0.0f, 2.0f}));
    EXPECT_EQ(measuredValues(values, 100).size(), 4u);
}

TEST(DistanceStats, PercentilesByNearestRank) {
    std::vector<float> v = {9, 1, 8, 2, 7, 3, 6, 4, 5, 10};
    EXPECT_EQ(nearestRankPercentile(v, 0.5), 5.0f);    // rank 5 of 10
    EXPECT_EQ(nearestRankPercentile(v, 0.95), 10.0f);  // rank ceil(9.5) = 10
    EXPECT_EQ(nearestRankPercentile(v, 0.01), 1.0f);   // never below rank 1
    const DistanceSummary one = summarizeDistances({0.25f});
    EXPECT_TRUE(one.known);
    EXPECT_EQ(one.median, 0.25f);
    EXPECT_EQ(one.p95, 0.25f);
    EXPECT_FALSE(summarizeDistances({}).known);
}

TEST(DistanceStats, RoundStepsAreOneTwoFiveTimesAPowerOfTen) {
    int m = 0, e = 0;
    EXPECT_EQ(roundStep(0.00007, &m, &e), 0.0001);
    EXPECT_EQ(m, 1);
    EXPECT_EQ(e, -4);
    EXPECT_EQ(roundStep(0.0001), 0.0001);  // an exact power of ten stays
    EXPECT_EQ(roundStep(0.00011), 0.0002);
    EXPECT_EQ(roundStep(3.0), 5.0);
    EXPECT_EQ(roundStep(6.0, &m, &e), 10.0);
    EXPECT_EQ(m, 1);
    EXPECT_EQ(e, 1);
    EXPECT_EQ(decimalMultiple(3, 1, -4), 0.0003);  // the double nearest the decimal
    EXPECT_EQ(shortestDecimal(decimalMultiple(7, 2, -5)), "0.00014");
    EXPECT_EQ(shortestDecimal(0.000714619f), "0.000714619");
    EXPECT_EQ(shortestDecimal(1e-9), "1e-09");
}

TEST(DistanceStats, RoundBinsCoverEveryValueAndTheLastHoldsItsUpperBound) {
    // Largest 0.00025 in at most 4 bins: width 0.0001 (0.0000625 rounded up), three bins.
    const HistogramBins bins = roundBins(0.00025, 4);
    ASSERT_EQ(bins.count(), 3u);
    EXPECT_EQ(bins.bounds, (std::vector<double>{0.0, 0.0001, 0.0002, 0.0003}));
    EXPECT_EQ(bins.binOf(0.0), 0u);
    EXPECT_EQ(bins.binOf(0.0001), 1u);  // a bound starts its bin
    EXPECT_EQ(bins.binOf(std::nextafter(0.0001, 0.0)), 0u);
    EXPECT_EQ(bins.binOf(0.0003), 2u);   // the last bin's upper bound is inside
    EXPECT_EQ(bins.binOf(0.00031), 3u);  // above: the overflow
    EXPECT_EQ(bins.binOf(NAN), 3u);
    // Exactly on a round bound: it still gets a bin of its own width.
    EXPECT_EQ(roundBins(0.0004, 4).bounds.back(), 0.0004);
    EXPECT_EQ(roundBins(0.0, 10).bounds, (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(roundBins(INFINITY, 10).count(), 0u);

    // Values are floats: 0.0003f lies just above 0.0003, 0.00025f inside.
    const Histogram h = countValues(bins, {{0.0f, 0.00005f, 0.00025f}, {0.00015f, 0.0003f}});
    EXPECT_EQ(h.counts[0], (std::vector<uint64_t>{2, 0, 1, 0}));
    EXPECT_EQ(h.counts[1], (std::vector<uint64_t>{0, 1, 0, 1}));
}
