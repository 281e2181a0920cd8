// The histogram of rangeloom-clean --histogram and --plot: the measured values
// of every scan counted in round bins that cover all of them, and its CSV
// form.
//
//   lower,upper,scan00.ply,scan01.ply,all
//   0,0.0001,5012,4876,9888
//   ...
//
// One row per bin: its bounds (lower <= value < upper; the last bin also
// holds its upper bound), the count of each scan, and the count over all
// scans. Bounds are the shortest decimals that read back as the bounds used.
#pragma once

#include <string>
#include <vector>

#include "scan/distance_stats.h"
#include "scene/mesh.h"

struct ScanHistogram {
    std::vector<std::string> names;  // per scan, the file as loaded
    Histogram histogram;             // one series per scan, bins from roundBins
    uint64_t unmeasured = 0;         // points of all scans without a value
};

// Counts the measured values of every scan in at most `bins` round bins from
// 0 to the largest measured value.
ScanHistogram histogramOfScans(const std::vector<const Mesh*>& scans, int bins);

// One scan's name, values and point count, for histogramOfValues.
struct ScanValuesRef {
    std::string name;
    const std::vector<float>* values;
    std::size_t points;
};
// histogramOfScans over values held apart from their scans.
ScanHistogram histogramOfValues(const std::vector<ScanValuesRef>& scans, int bins);

// The CSV text (header row, then one row per bin).
std::string histogramCsv(const ScanHistogram& h);

// Writes text to path through a temporary file in its folder, renamed over
// path when complete. False, with *error saying why, otherwise.
bool writeTextFile(const std::string& path, const std::string& text, std::string* error);
