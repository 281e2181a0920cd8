#include "clean/scan_loading.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "files/printable_name.h"
#include "files/regular_file.h"
#include "formats/structured_scan.h"
#include "scan/scan_config.h"
#include "scene/console.h"

namespace {

// The line that names an unreadable scan and says why.
std::string failureLine(const ConfigScanFailure& failure, int unread) {
    std::string line = files::printableName(failure.path) + ": " + failure.status.reason;
    if (failure.status.failure == LoadFailure::DataDamaged && unread > 0)
        line += " (" + std::to_string(unread) + (unread == 1 ? " later scan" : " later scans") +
                " not read)";
    return line;
}

}  // namespace

bool checkConfiguration(const std::string& config, std::string* error) {
    struct stat st;
    if (stat(config.c_str(), &st) != 0) {
        *error = "cannot read the scan configuration " + files::printableName(config) + ": " +
                 std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = files::printableName(config) + " is " + files::fileKindName(st.st_mode) +
                 ", not a scan configuration";
        return false;
    }
    std::string why;
    FILE* f = files::openRegularFile(config, &why);
    if (f == nullptr) {
        *error = "cannot read the scan configuration " + files::printableName(config) + ": " + why;
        return false;
    }
    std::fclose(f);
    return true;
}

CleanInput checkRecords(const ScanConfigRecords& records) {
    CleanInput input;
    const std::string config = files::printableName(records.fileName);
    const int named = static_cast<int>(records.records.size());
    int unplaced = 0;
    for (const ScanRecord& r : records.records) unplaced += r.poseProblem.empty() ? 0 : 1;
    input.status = kUnreadable;
    if (!records.config.ok()) {
        input.error = "cannot read the scan configuration " + config + ": " + records.config.reason;
    } else if (records.bmeshWords > named) {
        input.error = config + " has " + std::to_string(records.bmeshWords) +
                      " bmesh keywords but " + std::to_string(named) +
                      " bmesh records: words that no record uses hide a scan; nothing written:";
        input.details = records.unusedWords;
    } else if (named == 0) {
        input.error = config + " names no scans (no bmesh records); nothing written";
    } else if (unplaced > 0) {
        input.error = std::to_string(unplaced) + " of " + std::to_string(named) + " scans of " +
                      config + " cannot be placed; nothing written:";
        for (const ScanRecord& r : records.records)
            if (!r.poseProblem.empty()) input.details.push_back(poseFailureLine(records, r));
    } else {
        input.status = kSuccess;
        input.warnings = records.unusedWords;
    }
    return input;
}

namespace {

// The scans of a load and what went wrong with them; config is the name to
// print, scanFile whether it is a PTX or E57 file read as a configuration.
CleanInput takeLoad(ScanConfigLoad load, const std::string& config, bool scanFile) {
    CleanInput input;
    for (ConfigScan& scan : load.scans) input.scans.push_back(std::move(scan.mesh));
    input.defaultThreshold = load.threshold;
    input.thresholdNote = load.thresholdNote;

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

CleanInput loadForCleaning(const ScanConfigRecords& records, bool lean) {
    ConsoleCapture transcript;
    ScanConfigLoad load = loadScanRecords(records, lean);
    std::string said = transcript.take();
    CleanInput input = takeLoad(std::move(load), files::printableName(records.fileName), false);
    input.transcript = std::move(said);
    input.warnings = records.unusedWords;
    return input;
}

CleanInput loadScanFileForCleaning(const std::string& path, bool lean) {
    ConsoleCapture transcript;
    ScanConfigLoad load = readScanFileAsConfig(path, lean);
    std::string said = transcript.take();
    CleanInput input = takeLoad(std::move(load), files::printableName(path), true);
    input.transcript = std::move(said);
    return input;
}

CleanInput loadForCleaning(const std::string& config, bool lean) {
    if (formats::isStructuredScanFile(config)) return loadScanFileForCleaning(config, lean);
    const ScanConfigRecords records = readScanRecords(config);
    CleanInput checked = checkRecords(records);
    if (checked.status != kSuccess) return checked;
    return loadForCleaning(records, lean);
}
