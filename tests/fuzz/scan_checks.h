// What every scan a structured-scan reader hands over must satisfy, for the
// PTX and E57 fuzz targets: a raster of rows x columns entries naming
// existing points, each point at most once, intensities one per point.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "formats/structured_scan.h"
#include "fuzz_support.h"

namespace fuzzing {

inline void checkScan(const formats::StructuredScan& s) {
    const std::size_t n = s.points.size();
    if (s.header.hasIntensity && s.intensities.size() != n)
        fail("intensities do not match the points");
    if (!s.header.structured) {
        if (!s.raster.empty()) fail("an unstructured scan has a raster");
        return;
    }
    if (s.raster.size() != static_cast<std::size_t>(s.header.rows * s.header.columns))
        fail("the raster does not have rows x columns entries");
    std::vector<bool> seen(n, false);
    std::size_t placed = 0;
    for (int32_t k : s.raster) {
        if (k < 0) continue;
        if (static_cast<std::size_t>(k) >= n || seen[k])
            fail("a raster entry names no point or a point twice");
        seen[k] = true;
        ++placed;
    }
    if (placed + s.unplaced != n) fail("points neither placed nor counted as further returns");
    for (const auto& p : s.points)
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            fail("a point is not finite");
}

// Reads the bytes with the reader through the collector and checks every scan.
template <typename Reader>
void readAndCheck(Reader read, const uint8_t* data, std::size_t size) {
    formats::ScanCollector collector([](formats::StructuredScan& s) {
        checkScan(s);
        return true;
    });
    const auto source = formats::memorySource(data, size);
    const formats::ReadStatus status = read(*source, "input", collector);
    if (!status.ok && status.message.compare(0, 7, "input: ") != 0)
        fail("a failed read's message does not name the file: " + status.message);
}

}  // namespace fuzzing
