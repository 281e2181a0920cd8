// A whole scan in memory, gathered from a reader's blocks: its points, and
// for a structured scan its raster in the layout of a PLY range image's
// range_grid; and the entry points that pick the reader by file name.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/scan_stream.h"

namespace formats {

struct StructuredScan {
    // header.rows and header.columns are the raster's size (for an E57 scan
    // without indexBounds: the largest row and column index + 1); 0 for an
    // unstructured scan.
    ScanHeader header;
    // The points with a return, in the scanner's frame: a structured scan's
    // in raster order (row by row from the top, each row from the left), then
    // the points whose cell an earlier point already holds (further returns),
    // in file order; an unstructured scan's in file order.
    std::vector<std::array<double, 3>> points;
    std::vector<float> intensities;  // one per point; empty without intensity
    // rows x columns entries, row by row from the top: the index of the
    // cell's point, or -1 for a cell without a return. Empty when unstructured.
    std::vector<int32_t> raster;
    uint64_t emptyRecords = 0;  // records without a return
    uint64_t unplaced = 0;      // points after the raster's (their cell was taken)
};

// A receiver that gathers one scan at a time and hands each complete scan
// to a callback (which may move from it; return false to stop reading).
// Memory: one scan. A scan it cannot lay out (a raster place outside the
// bounds the file gives, a negative place, a raster of more than 2^31 - 1
// cells or points, or one 64 times sparser than the records it holds when
// larger than 2^24 cells) stops the read, with error() saying why.
class ScanCollector : public ScanReceiver {
public:
    explicit ScanCollector(std::function<bool(StructuredScan&)> onScan)
        : onScan_(std::move(onScan)) {}

    Next beginScan(const ScanHeader& header) override;
    bool points(const ScanPoint* block, std::size_t count) override;
    bool endScan() override;

    const std::string& error() const { return error_; }  // empty unless a scan failed

private:
    bool failScan(const std::string& what);

    std::function<bool(StructuredScan&)> onScan_;
    StructuredScan scan_;
    std::vector<ScanPoint> gathered_;  // valid records of the scan, file order
    int64_t maxRow_ = -1, maxColumn_ = -1;
    std::string error_;
};

// True for names ending in .ptx or .e57 (any letter case).
bool isStructuredScanFile(const std::string& path);

// Reads the file with the reader its extension names (.ptx or .e57, any
// letter case); another extension or a file that cannot be opened is a
// failed read with its message.
ReadStatus readScanFile(const std::string& path, ScanReceiver& receiver);

// Reads the file scan by scan into StructuredScans, handing each to onScan
// as it completes. A damaged file ends with its message; the scans handed
// over before were complete.
ReadStatus forEachScan(const std::string& path, const std::function<bool(StructuredScan&)>& onScan);

}  // namespace formats
