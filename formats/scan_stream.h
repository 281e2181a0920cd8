// Structured scans as the PTX and E57 readers deliver them: a header per
// scan (name, raster size, pose), then its points in blocks, so that a scan
// larger than memory passes through a receiver without being held whole.
//
// Raster places are in one convention for every format: row 0 is the top row
// and column 0 the left column as seen from the scanner, the layout of a PLY
// range image's range_grid (row-major, top row first).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace formats {

// Where a scan stands: p_common = R p_scanner + t.
struct ScanPose {
    // R as a unit quaternion w, x, y, z (Hamilton convention: the usual
    // rotation matrix of the quaternion is R). For a PTX scan it is derived
    // from `matrix`.
    double rotation[4] = {1.0, 0.0, 0.0, 0.0};
    double translation[3] = {0.0, 0.0, 0.0};  // t
    // The same pose as a 4x4 matrix acting on column vectors (p_common =
    // M (p, 1)), row by row: the file's own matrix for a PTX scan (transposed
    // from PTX's row-vector layout), built from the quaternion for an E57 scan.
    double matrix[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    bool fromMatrix = false;  // true when `matrix` is what the file gives (PTX)
};

// What is known of a scan before its points.
struct ScanHeader {
    std::size_t index = 0;    // 0 for the first scan of the file
    std::string name;         // the file's name for it, or "scan N" (N = index + 1)
    bool structured = false;  // points carry raster places
    // Raster size: for PTX the file's; for E57 from indexBounds (maximum + 1),
    // or 0 when the file gives no bounds (then the data decides, see collect).
    int64_t rows = 0;
    int64_t columns = 0;
    uint64_t recordCount = 0;  // points the file announces, empty ones included
    bool hasIntensity = false;
    ScanPose pose;
};

// One record of a scan.
struct ScanPoint {
    double x = 0.0, y = 0.0, z = 0.0;  // in the scanner's frame (before the pose)
    float intensity = 0.0f;            // as the file gives it; 0 without intensity
    bool valid = false;                // false: no return there (an empty cell), x y z 0
    int64_t row = -1;                  // raster place (see the top), -1 when unstructured
    int64_t column = -1;
};

// What a receiver wants after a scan's header.
enum class Next {
    Read,  // deliver the scan's points
    Skip,  // go on to the next scan without delivering these points
    Stop   // stop reading the file (the read then ends with ReadStatus ok)
};

// Receives the scans of a file in file order. Between beginScan and endScan
// the reader calls points() with blocks of at most kBlockPoints records, in
// file order; every record of the scan is delivered, empty ones included.
class ScanReceiver {
public:
    virtual ~ScanReceiver() = default;
    virtual Next beginScan(const ScanHeader& header) = 0;
    // The block is valid during the call only. Return false to stop reading.
    virtual bool points(const ScanPoint* block, std::size_t count) = 0;
    // The scan's records are all delivered. Return false to stop reading.
    virtual bool endScan() = 0;
};

inline constexpr std::size_t kBlockPoints = 65536;

// How a read ended. A damaged or unreadable file gives ok false and a
// message that names the file and, where it applies, the scan and the line
// (PTX) or page (E57). Scans delivered before the damage were complete.
struct ReadStatus {
    bool ok = true;
    std::string message;  // empty when ok
};

}  // namespace formats
