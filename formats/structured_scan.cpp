#include "formats/structured_scan.h"

#include <algorithm>
#include <cctype>

#include "formats/byte_source.h"
#include "formats/e57_reader.h"
#include "formats/ptx_reader.h"

namespace formats {

namespace {

constexpr int64_t kMaxCells = (int64_t(1) << 31) - 1;
constexpr int64_t kAlwaysAllowedCells = int64_t(1) << 24;

std::string lowerExtension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string e = path.substr(dot);
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

}  // namespace

Next ScanCollector::beginScan(const ScanHeader& header) {
    scan_ = StructuredScan();
    scan_.header = header;
    gathered_.clear();
    maxRow_ = maxColumn_ = -1;
    return Next::Read;
}

bool ScanCollector::failScan(const std::string& what) {
    error_ =
        "scan " + std::to_string(scan_.header.index + 1) + " (" + scan_.header.name + "): " + what;
    return false;
}

bool ScanCollector::points(const ScanPoint* block, std::size_t count) {
    const ScanHeader& h = scan_.header;
    for (std::size_t i = 0; i < count; ++i) {
        const ScanPoint& p = block[i];
        if (h.structured) {
            if (p.row < 0 || p.column < 0 ||
                (h.rows > 0 && (p.row >= h.rows || p.column >= h.columns)))
                return failScan("a point's raster place (row " + std::to_string(p.row) +
                                ", column " + std::to_string(p.column) +
                                ") lies outside its raster" +
                                (h.rows > 0 ? " of " + std::to_string(h.rows) + " x " +
                                                  std::to_string(h.columns) + " cells"
                                            : std::string()));
            maxRow_ = std::max(maxRow_, p.row);
            maxColumn_ = std::max(maxColumn_, p.column);
        }
        if (!p.valid) {
            ++scan_.emptyRecords;
            continue;
        }
        if (gathered_.size() >= static_cast<std::size_t>(kMaxCells))
            return failScan("it has more than 2^31 - 1 points");
        gathered_.push_back(p);
    }
    return true;
}

bool ScanCollector::endScan() {
    ScanHeader& h = scan_.header;
    const std::size_t n = gathered_.size();
    scan_.points.reserve(n);
    if (h.hasIntensity) scan_.intensities.reserve(n);
    auto take = [&](const ScanPoint& p) {
        scan_.points.push_back({p.x, p.y, p.z});
        if (h.hasIntensity) scan_.intensities.push_back(p.intensity);
    };
    if (!h.structured) {
        for (const ScanPoint& p : gathered_) take(p);
    } else {
        if (h.rows == 0) {
            h.rows = maxRow_ + 1;
            h.columns = maxColumn_ + 1;
        }
        const uint64_t records = scan_.emptyRecords + n;
        if (h.rows > kMaxCells / std::max<int64_t>(h.columns, 1))
            return failScan("its raster of " + std::to_string(h.rows) + " x " +
                            std::to_string(h.columns) + " cells is larger than 2^31 - 1 cells");
        const int64_t cells = h.rows * h.columns;
        if (cells > kAlwaysAllowedCells && uint64_t(cells) / 64 > records)
            return failScan("its raster of " + std::to_string(h.rows) + " x " +
                            std::to_string(h.columns) + " cells is far larger than its " +
                            std::to_string(records) + " records");
        // First the cell's first point in file order, then raster order.
        std::vector<int32_t> first(static_cast<std::size_t>(cells), -1);
        std::vector<bool> placed(n, false);
        for (std::size_t i = 0; i < n; ++i) {
            int32_t& cell =
                first[static_cast<std::size_t>(gathered_[i].row * h.columns + gathered_[i].column)];
            if (cell < 0) {
                cell = static_cast<int32_t>(i);
                placed[i] = true;
            }
        }
        scan_.raster.assign(static_cast<std::size_t>(cells), -1);
        for (std::size_t c = 0; c < first.size(); ++c) {
            if (first[c] < 0) continue;
            scan_.raster[c] = static_cast<int32_t>(scan_.points.size());
            take(gathered_[static_cast<std::size_t>(first[c])]);
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (placed[i]) continue;
            take(gathered_[i]);
            ++scan_.unplaced;
        }
    }
    gathered_.clear();
    gathered_.shrink_to_fit();
    return onScan_(scan_);
}

bool isStructuredScanFile(const std::string& path) {
    const std::string e = lowerExtension(path);
    return e == ".ptx" || e == ".e57";
}

ReadStatus readScanFile(const std::string& path, ScanReceiver& receiver) {
    const std::string e = lowerExtension(path);
    if (e != ".ptx" && e != ".e57")
        return ReadStatus{false, path + ": not a structured scan file (.ptx or .e57)"};
    std::string error;
    const std::unique_ptr<ByteSource> source = openFileSource(path, &error);
    if (!source) return ReadStatus{false, error};
    return e == ".ptx" ? readPtx(*source, path, receiver) : readE57(*source, path, receiver);
}

ReadStatus forEachScan(const std::string& path,
                       const std::function<bool(StructuredScan&)>& onScan) {
    ScanCollector collector(onScan);
    ReadStatus status = readScanFile(path, collector);
    if (status.ok && !collector.error().empty())
        status = ReadStatus{false, path + ": " + collector.error()};
    return status;
}

}  // namespace formats
