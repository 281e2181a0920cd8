#include "register/refine.h"

#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "files/printable_name.h"
#include "files/regular_file.h"
#include "register/register_report.h"
#include "scan/scan_config.h"

bool readConfigText(const std::string& path, std::string* text, std::string* error) {
    const std::string shown = files::printableName(path);
    std::string why;
    FILE* f = files::openRegularFile(path, &why);
    if (f == nullptr) {
        *error = files::isNotRegularReason(why)
                     ? shown + ": " + why
                     : "cannot read the scan configuration " + shown + ": " + why;
        return false;
    }
    text->clear();
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) text->append(buffer, got);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) *error = "cannot read the scan configuration " + shown;
    return !failed;
}

bool checkRecordPoses(const std::vector<ConfigRecord>& records, std::string* error,
                      std::vector<std::string>* warnings) {
    for (const ConfigRecord& r : records) {
        if (!r.isScan()) continue;
        double length2 = 0;
        bool finite = true;
        for (int k = 0; k < 7; ++k) finite = finite && std::isfinite(r.values[k]);
        for (int k = 3; k < 7; ++k) length2 += double(r.values[k]) * r.values[k];
        if (!finite || !(length2 > 0)) {
            *error = "the pose of " + r.file + " is not a rigid motion (" +
                     (finite ? "its quaternion is zero" : "it holds a number that is not finite") +
                     ")";
            return false;
        }
        if (std::fabs(std::sqrt(length2) - 1) <= 1e-3) continue;
        char line[512];
        std::snprintf(line, sizeof line,
                      "warning: the quaternion of %s has length %.6g; it is normalised "
                      "(the viewer scales the scan by its square)",
                      r.file.c_str(), std::sqrt(length2));
        warnings->push_back(line);
    }
    return true;
}

bool checkRecordsAsTheReader(const std::string& config, const std::vector<ConfigRecord>& records,
                             std::string* error, std::vector<std::string>* warnings) {
    const ScanConfigRecords read = readScanRecords(config);
    const std::string shown = files::printableName(config);
    std::size_t scans = 0;
    for (const ConfigRecord& r : records) scans += r.isScan() ? 1 : 0;
    if (!read.config.ok()) {
        *error = "cannot read the scan configuration " + shown + ": " + read.config.reason;
    } else if (read.bmeshWords > static_cast<int>(read.records.size())) {
        *error = shown + " has " + std::to_string(read.bmeshWords) + " bmesh keywords but " +
                 std::to_string(read.records.size()) +
                 " bmesh records: words that no record uses hide a scan";
    } else if (read.records.size() != scans) {
        *error = shown + ": the configuration reader finds " + std::to_string(read.records.size()) +
                 " scans in it, the rewrite " + std::to_string(scans);
    } else {
        for (const std::string& line : read.unusedWords) warnings->push_back("warning: " + line);
        return true;
    }
    return false;
}

namespace {

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::size_t findScanRecord(const std::vector<ConfigRecord>& records, const std::string& name) {
    std::size_t k = 0;
    for (const ConfigRecord& r : records) {
        if (!r.isScan()) continue;
        if (r.file == name || fileNameOf(r.file) == name) return k;
        ++k;
    }
    return k;
}

std::string registeredConfigName(const std::string& config, const std::string& folder) {
    const std::string name = fileNameOf(config);
    const std::size_t dot = name.rfind('.');
    const bool hasConf = dot != std::string::npos && strcasecmp(name.c_str() + dot, ".conf") == 0;
    const std::string registered = (hasConf ? name.substr(0, dot) : name) + ".registered.conf";
    if (!folder.empty()) return folder + (folder.back() == '/' ? "" : "/") + registered;
    return config.substr(0, config.size() - name.size()) + registered;
}

bool refineConfiguration(const std::string& text, const std::vector<ConfigRecord>& records,
                         const ScanSource& source, const registration::RegistrationOptions& options,
                         Refinement* out, std::string* error) {
    std::vector<const ConfigRecord*> scanRecords;
    for (const ConfigRecord& r : records)
        if (r.isScan()) scanRecords.push_back(&r);
    *out = Refinement();
    out->result = registration::registerScans(source.views, options);
    for (const ConfigRecord* r : scanRecords) out->names.push_back(r->file);

    // Scans left where they were keep their records as they were; the
    // others get their new poses (quaternions normalised).
    std::vector<ConfigPose> poses;
    bool moved = false;
    for (std::size_t k = 0; k < scanRecords.size(); ++k) {
        ConfigPose pose;
        std::memcpy(pose.values, scanRecords[k]->values, sizeof pose.values);
        if (out->result.scans[k].status == registration::ScanStatus::Refined) {
            pose = recordOfPose(out->result.poses[k], scanRecords[k]->values);
            moved = true;
        }
        poses.push_back(pose);
    }
    out->text = text;
    const std::size_t fixed = options.fixedScan < scanRecords.size() ? options.fixedScan : 0;
    if (moved &&
        !rewriteConfig(text, poses, registrationHeader(out->names[fixed]), &out->text, error))
        return false;
    // What the configuration reader will take from the written text.
    const std::vector<ConfigRecord> back = readConfigRecords(out->text);
    for (const ConfigRecord& r : back) {
        if (!r.isScan()) continue;
        ConfigPose pose;
        std::memcpy(pose.values, r.values, sizeof pose.values);
        out->poses.push_back(pose);
    }
    if (out->poses.size() != scanRecords.size()) {
        *error = "the rewritten configuration names other scans";
        return false;
    }
    for (std::size_t k = 0; k < scanRecords.size(); ++k)
        out->moved.push_back(std::memcmp(out->poses[k].values, scanRecords[k]->values,
                                         sizeof out->poses[k].values) != 0);
    return true;
}
