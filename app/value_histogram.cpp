#include "app/value_histogram.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "scan/distance_stats.h"

namespace {

constexpr int kBarWidth = 40;

std::string fixed(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string bar(uint64_t count, uint64_t most) {
    if (count == 0 || most == 0) return "";
    const double share = double(count) / double(most) * kBarWidth;
    return std::string(std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(share))), '#');
}

}  // namespace

std::string textHistogram(const std::vector<const Mesh*>& meshes, const DistanceScale& scale,
                          int bins) {
    std::vector<float> measured;
    std::size_t points = 0;
    for (const Mesh* m : meshes) {
        if (m == nullptr || !m->hasDistanceValues()) continue;
        points += m->vertexValues.size();
        const std::vector<float> values = measuredValues(m->vertexValues, m->vertexValues.size());
        measured.insert(measured.end(), values.begin(), values.end());
    }
    if (points == 0) return "No distances: no scan of a configuration is loaded\n";
    char line[256];
    std::snprintf(line, sizeof line,
                  "Distances of %zu measured points of %zu (%zu unmeasured), threshold %f:\n",
                  measured.size(), points, points - measured.size(), double(scale.threshold));
    std::string out = line;
    if (!(scale.maximum > 0.0f)) return out + "  (no colour scale: the threshold is not above 0)\n";

    const HistogramBins edges = evenBins(scale.maximum, bins);
    const Histogram h = countValues(edges, {measured});
    const std::vector<uint64_t>& counts = h.counts[0];
    const uint64_t most = *std::max_element(counts.begin(), counts.end());
    const double width = double(scale.maximum) / bins;
    const int decimals =
        std::min(12, std::max(0, 2 - static_cast<int>(std::floor(std::log10(width) + 1e-6))));
    std::size_t thresholdBin = edges.binOf(scale.threshold);
    if (scale.threshold < 0.0f) thresholdBin = edges.count() + 1;  // marks no line
    const std::string top = fixed(scale.maximum, decimals);
    const int numberWidth = static_cast<int>(top.size());
    for (std::size_t k = 0; k <= edges.count(); ++k) {
        std::string range;
        if (k < edges.count()) {
            std::snprintf(line, sizeof line, "%*s - %*s", numberWidth,
                          fixed(edges.bounds[k], decimals).c_str(), numberWidth,
                          fixed(edges.bounds[k + 1], decimals).c_str());
            range = line;
        } else {
            range = "above " + top;
        }
        std::snprintf(line, sizeof line, "  %-*s  %9llu  %s", 2 * numberWidth + 3, range.c_str(),
                      static_cast<unsigned long long>(counts[k]), bar(counts[k], most).c_str());
        out += line;
        while (!out.empty() && out.back() == ' ') out.pop_back();
        if (k == thresholdBin) out += "  <- threshold";
        out += "\n";
    }
    return out;
}
