#include "clean/distance_histogram.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "files/file_replacement.h"

namespace {

// A CSV field: quoted (quotes doubled) when it holds a comma, a quote or a
// line break.
std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

ScanHistogram histogramOfScans(const std::vector<const Mesh*>& scans, int bins) {
    std::vector<ScanValuesRef> values;
    for (const Mesh* scan : scans)
        values.push_back({scan->fileName, &scan->vertexValues, scan->vertices.size()});
    return histogramOfValues(values, bins);
}

ScanHistogram histogramOfValues(const std::vector<ScanValuesRef>& scans, int bins) {
    ScanHistogram h;
    std::vector<std::vector<float>> series;
    float largest = 0.0f;
    bool any = false;
    for (const ScanValuesRef& scan : scans) {
        h.names.push_back(scan.name);
        series.push_back(measuredValues(*scan.values, scan.points));
        h.unmeasured += scan.points - series.back().size();
        for (float v : series.back()) {
            largest = any ? std::max(largest, v) : v;
            any = true;
        }
    }
    h.histogram = countValues(any ? roundBins(largest, bins) : HistogramBins(), series);
    return h;
}

std::string histogramCsv(const ScanHistogram& h) {
    std::string out = "lower,upper";
    for (const std::string& name : h.names) out += "," + csvField(name);
    out += ",all\n";
    const HistogramBins& bins = h.histogram.bins;
    for (std::size_t k = 0; k < bins.count(); ++k) {
        out += shortestDecimal(bins.bounds[k]) + "," + shortestDecimal(bins.bounds[k + 1]);
        uint64_t all = 0;
        for (const std::vector<uint64_t>& row : h.histogram.counts) {
            out += "," + std::to_string(row[k]);
            all += row[k];
        }
        out += "," + std::to_string(all) + "\n";
    }
    return out;
}

bool writeTextFile(const std::string& path, const std::string& text, std::string* error) {
    return files::replaceFileWith(path, text, error);
}
