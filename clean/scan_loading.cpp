#include "clean/scan_loading.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "formats/structured_scan.h"
#include "scan/scan_config.h"
#include "scene/console.h"

namespace {

// The line that names an unreadable scan and says why.
std::string failureLine(const ConfigScanFailure& failure, int unread) {
    std::string line = failure.path + ": " + failure.status.reason;
    if (failure.status.failure == LoadFailure::DataDamaged && unread > 0)
        line += " (" + std::to_string(unread) + (unread == 1 ? " later scan" : " later scans") +
                " not read)";
    return line;
}

}  // namespace

bool checkConfiguration(const std::string& config, std::string* error) {
    struct stat st;
    if (stat(config.c_str(), &st) != 0) {
        *error = "cannot read the scan configuration " + config + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        *error = config + " is a folder, not a scan configuration";
        return false;
    }
    FILE* f = std::fopen(config.c_str(), "r");
    if (f == nullptr) {
        *error = "cannot read the scan configuration " + config + ": " + std::strerror(errno);
        return false;
    }
    std::fclose(f);
    return true;
}

namespace {

// The scans read and the exit status their loading gives; a lone scan file
// (scanFile) is named as one file, not as a configuration's records.
CleanInput outcomeOf(const std::string& config, bool scanFile) {
    CleanInput input;
    ConsoleCapture transcript;
    ScanConfigLoad load = scanFile ? readScanFileAsConfig(config) : readScanConfig(config);
    input.transcript = transcript.take();
    for (ConfigScan& scan : load.scans) input.scans.push_back(std::move(scan.mesh));
    input.defaultThreshold = load.threshold;

    if (!load.config.ok()) {
        input.status = kUnreadable;
        input.error = "cannot read the scan configuration " + config + ": " + load.config.reason;
    } else if (load.bmeshRecords == 0) {
        input.status = kUnreadable;
        input.error = config + " names no scans (no bmesh records); nothing written";
    } else if (load.scans.empty() && load.failures.empty()) {
        input.status = kUnreadable;
        input.error = config + (scanFile ? " holds no scans" : " names only files without scans") +
                      "; nothing written";
    } else if (!load.failures.empty()) {
        input.status = kUnreadable;
        input.error = scanFile ? config + " cannot be read; nothing written:"
                               : std::to_string(load.failures.size()) + " of " +
                                     std::to_string(load.bmeshRecords) + " scans of " + config +
                                     " cannot be read; nothing written:";
        for (const ConfigScanFailure& failure : load.failures)
            input.details.push_back(failureLine(failure, load.unread));
    }
    return input;
}

}  // namespace

CleanInput loadForCleaning(const std::string& config) {
    return outcomeOf(config, formats::isStructuredScanFile(config));
}

CleanInput loadScanFileForCleaning(const std::string& path) {
    return outcomeOf(path, true);
}
