// Statistics of the overlap values of analysed scans: the measured values,
// percentiles, round scale steps and histograms whose bins cover every
// measured value. Pure code shared by the viewer's histogram key and legend
// and by the batch cleaner's table, CSV and plot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The measured values among values[0 .. count): every value but the
// kUnmeasured and nan, in order.
std::vector<float> measuredValues(const std::vector<float>& values, std::size_t count);

// The nearest-rank percentile: the smallest value v of `values` such that at
// least fraction * n of the n values are <= v (rank ceil(fraction * n), at
// least 1). Reorders `values`. Requires a non-empty list and fraction in (0, 1].
float nearestRankPercentile(std::vector<float>& values, double fraction);

// Median (fraction 0.5) and 95th percentile of measured values, both by
// nearest rank; `known` is false when there is no measured value.
struct DistanceSummary {
    bool known = false;
    float median = 0.0f;
    float p95 = 0.0f;
};
DistanceSummary summarizeDistances(std::vector<float> measured);

// A round step for a scale: the smallest of 1, 2, 5 times a power of ten
// that is >= raw (raw > 0). *mantissa and *exponent, when given, receive the
// step as mantissa * 10^exponent.
double roundStep(double raw, int* mantissa = nullptr, int* exponent = nullptr);
// k * mantissa * 10^exponent as the double nearest to that decimal (so that
// printing it with the fewest digits that read back the same gives the
// decimal itself).
double decimalMultiple(long long k, int mantissa, int exponent);
// The fewest decimals that show every multiple of a step of 10^exponent:
// max(0, -exponent).
int decimalsForStep(int exponent);

// Consecutive bins [bounds[k], bounds[k + 1]); the last one also holds its
// upper bound.
struct HistogramBins {
    std::vector<double> bounds;  // bin count + 1 increasing bounds, or empty: no bin
    std::size_t count() const { return bounds.empty() ? 0 : bounds.size() - 1; }
    // The bin holding v: below bounds[0] gives 0, above the last bound
    // gives count() (the overflow), nan gives count() as well.
    std::size_t binOf(double v) const;
};

// Bins of one round width (roundStep of largest / wanted) from 0 up to the
// first bound at or above largest: at most `wanted` bins, every value of
// [0, largest] in one of them. largest <= 0 gives a single bin [0, 0]; a nan
// or infinite largest gives no bin.
HistogramBins roundBins(double largest, int wanted);
// `count` bins of equal width from 0 to `maximum` (> 0).
HistogramBins evenBins(double maximum, int count);

// Counts per bin of the measured values, one row of counts per series; the
// last entry of each row counts values above the last bin.
struct Histogram {
    HistogramBins bins;
    std::vector<std::vector<uint64_t>> counts;  // [series][bin], count() + 1 entries each
};
Histogram countValues(const HistogramBins& bins, const std::vector<std::vector<float>>& series);

// The shortest decimal text that reads back as exactly v ("0.0005", "1e-05").
std::string shortestDecimal(double v);
// The same for a float ("0.000714619").
std::string shortestDecimal(float v);
