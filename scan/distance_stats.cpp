#include "scan/distance_stats.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "scene/unmeasured.h"

std::vector<float> measuredValues(const std::vector<float>& values, std::size_t count) {
    std::vector<float> out;
    const std::size_t n = std::min(count, values.size());
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const float v = values[i];
        if (isMeasured(v) && !std::isnan(v)) out.push_back(v);
    }
    return out;
}

float nearestRankPercentile(std::vector<float>& values, double fraction) {
    const std::size_t n = values.size();
    std::size_t rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(n)));
    rank = std::max<std::size_t>(1, std::min(rank, n));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank - 1),
                     values.end());
    return values[rank - 1];
}

DistanceSummary summarizeDistances(std::vector<float> measured) {
    DistanceSummary s;
    if (measured.empty()) return s;
    s.known = true;
    s.median = nearestRankPercentile(measured, 0.5);
    s.p95 = nearestRankPercentile(measured, 0.95);
    return s;
}

double decimalMultiple(long long k, int mantissa, int exponent) {
    const double units = static_cast<double>(k) * mantissa;
    // Dividing by an exact power of ten rounds once, to the nearest double.
    if (exponent < 0) return units / std::pow(10.0, -exponent);
    return units * std::pow(10.0, exponent);
}

double roundStep(double raw, int* mantissa, int* exponent) {
    int e = static_cast<int>(std::floor(std::log10(raw)));
    int m = 1;
    // log10 may land one decade off near exact powers of ten.
    while (decimalMultiple(1, 1, e) > raw) --e;
    while (decimalMultiple(1, 10, e) < raw) ++e;
    for (int candidate : {1, 2, 5, 10}) {
        m = candidate;
        if (decimalMultiple(1, m, e) >= raw) break;
    }
    if (m == 10) {
        m = 1;
        ++e;
    }
    if (mantissa != nullptr) *mantissa = m;
    if (exponent != nullptr) *exponent = e;
    return decimalMultiple(1, m, e);
}

int decimalsForStep(int exponent) {
    return exponent < 0 ? -exponent : 0;
}

std::size_t HistogramBins::binOf(double v) const {
    const std::size_t n = count();
    if (n == 0 || std::isnan(v) || v > bounds.back()) return n;
    if (v < bounds[1]) return 0;
    // First bound above v, less one; the last bin holds its upper bound.
    const auto above = std::upper_bound(bounds.begin(), bounds.end(), v);
    const std::size_t k = static_cast<std::size_t>(above - bounds.begin()) - 1;
    return std::min(k, n - 1);
}

HistogramBins roundBins(double largest, int wanted) {
    HistogramBins bins;
    if (!std::isfinite(largest)) return bins;
    if (largest <= 0.0) {
        bins.bounds = {0.0, 0.0};
        return bins;
    }
    int m = 1, e = 0;
    roundStep(largest / std::max(1, wanted), &m, &e);
    bins.bounds.push_back(0.0);
    for (long long k = 1; bins.bounds.back() < largest; ++k)
        bins.bounds.push_back(decimalMultiple(k, m, e));
    return bins;
}

HistogramBins evenBins(double maximum, int count) {
    HistogramBins bins;
    for (int k = 0; k <= count; ++k) bins.bounds.push_back(maximum * k / count);
    return bins;
}

Histogram countValues(const HistogramBins& bins, const std::vector<std::vector<float>>& series) {
    Histogram h;
    h.bins = bins;
    for (const std::vector<float>& values : series) {
        std::vector<uint64_t> row(bins.count() + 1, 0);
        for (float v : values) ++row[bins.binOf(v)];
        h.counts.push_back(std::move(row));
    }
    return h;
}

namespace {

// Plain decimals for the magnitudes of distances, exponents beyond them.
template <typename T>
std::string shortest(T v) {
    char text[512];
    const T size = v < 0 ? -v : v;
    const bool plain = size == 0 || (size >= T(1e-6) && size < T(1e15));
    const auto result = plain ? std::to_chars(text, text + sizeof text, v, std::chars_format::fixed)
                              : std::to_chars(text, text + sizeof text, v);
    return std::string(text, result.ptr);
}

}  // namespace

std::string shortestDecimal(double v) {
    return shortest(v);
}

std::string shortestDecimal(float v) {
    return shortest(v);
}
