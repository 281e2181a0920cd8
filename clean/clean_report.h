// The batch cleaner's closing table: one row per scan with its file, its
// points, the points measured against another scan, the points tossed at the
// removal threshold, the median and 95th percentile of its measured values,
// and the files written.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "clean/clean_options.h"
#include "scan/distance_stats.h"
#include "scene/mesh.h"

struct ScanReport {
    std::string file;           // the scan's file, as it was loaded
    std::size_t points = 0;     // points of the scan
    std::size_t measured = 0;   // points with a value (a polygon of another scan in their cell)
    std::size_t tossed = 0;     // points whose value is greater than the threshold
    std::string written;        // the cleaned file, "-" when none was to be written, or "FAILED"
    std::string exported;       // the export, "FAILED", or "" when no export was asked for
    DistanceSummary distances;  // median and 95th percentile of the measured values
};

// The counts of one analysed scan at the threshold; written and exported
// are left empty for the caller.
ScanReport reportScan(const Mesh& scan, float threshold);
// The same from a scan's values and point count alone (file left empty).
ScanReport reportValues(const std::vector<float>& values, std::size_t points, float threshold);

// The table, columns aligned, a header line first and, with more than one
// scan, a line of totals last, whose median and 95th percentile are those of
// all measured values together (`overall`); names with control characters
// escaped. The export column appears when withExport. A scan without measured
// values shows "-" for both.
std::string formatReportTable(const std::vector<ScanReport>& rows, bool withExport,
                              const DistanceSummary& overall = DistanceSummary());

// The line above the table: the threshold used and where it came from (given,
// the default moved by steps, or the default).
std::string thresholdLine(const CleanOptions& options, float threshold, float defaultThreshold);
