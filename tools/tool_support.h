// What the registration tools share: loading a configuration's scans, the
// centre of a scan's points, writing a file.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "files/file_replacement.h"
#include "register/config_records.h"
#include "register/scan_source.h"

// Reads the configuration's text and records and loads its scans; false
// (with the reasons on standard error) when it cannot.
inline bool toolLoad(const std::string& config, std::string* text,
                     std::vector<ConfigRecord>* records, ScanSource* source) {
    FILE* f = std::fopen(config.c_str(), "rb");
    if (f == nullptr) {
        std::fprintf(stderr, "cannot read %s\n", config.c_str());
        return false;
    }
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        text->append(buffer, got);
    std::fclose(f);
    *records = readConfigRecords(*text);
    std::vector<std::string> problems;
    if (loadScanSource(config, *records, 0, source, &problems)) return true;
    for (const std::string& p : problems) std::fprintf(stderr, "%s\n", p.c_str());
    return false;
}

// The mean of a scan's finite points, in its own frame.
inline Eigen::Vector3d modelCentroid(const registration::ScanPoints& scan) {
    Eigen::Vector3d sum = Eigen::Vector3d::Zero();
    std::size_t count = 0;
    for (std::size_t i = 0; i < scan.pointCount; ++i) {
        const Eigen::Vector3d p(scan.points[3 * i], scan.points[3 * i + 1], scan.points[3 * i + 2]);
        if (!p.allFinite()) continue;
        sum += p;
        ++count;
    }
    return count > 0 ? Eigen::Vector3d(sum / static_cast<double>(count)) : sum;
}

// Writes text to path whole or not at all: through a temporary file renamed
// over the target, so a full disk or a failed write leaves an earlier file
// as it was. *error says why when it fails.
inline bool toolWrite(const std::string& path, const std::string& text, std::string* error) {
    return files::replaceFileWith(path, text, error);
}
