// Refining the poses of a configuration's scans and the configuration
// rewritten with them: the steps that rangeloom-register, rangeloom-clean
// --register and the viewer's registration key share.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "register/config_records.h"
#include "register/scan_source.h"
#include "registration/registration.h"

// The configuration's text. False, with why ("cannot read the scan
// configuration F: reason", "F: it is a folder, not a regular file"); a FIFO
// or a device is never read.
bool readConfigText(const std::string& path, std::string* text, std::string* error);

// False, with why, when a scan record's pose is not a rigid motion (a number
// that is not finite, or a zero quaternion). A line in *warnings for each
// quaternion whose length is far from 1 (it is normalised).
bool checkRecordPoses(const std::vector<ConfigRecord>& records, std::string* error,
                      std::vector<std::string>* warnings);

// False, with why, when the configuration reader takes the file otherwise
// than `records` (read from its text): it cannot read it, words that no
// record uses hide a scan, or it finds another number of scans. The reader's
// lines about unused words go to *warnings.
bool checkRecordsAsTheReader(const std::string& config, const std::vector<ConfigRecord>& records,
                             std::string* error, std::vector<std::string>* warnings);

// The number, among the scan records, of the scan `name` names (as its record
// writes it, or its file name without the folder); the count of scan records
// when none does.
std::size_t findScanRecord(const std::vector<ConfigRecord>& records, const std::string& name);

// NAME.registered.conf for the configuration NAME.conf (or NAME), in folder,
// or beside the configuration when folder is empty.
std::string registeredConfigName(const std::string& config, const std::string& folder = "");

struct Refinement {
    registration::RegistrationResult result;
    std::vector<std::string> names;  // the scans, as their records name them
    std::vector<ConfigPose> poses;   // per scan, its record's numbers in `text`
    std::vector<char> moved;         // per scan: its record's numbers changed
    std::string text;                // the configuration with the new poses
};

// Registers the scans of `source` (one per scan record of `records`, read from
// `text`) and rewrites the text: the scans that moved get their new poses,
// and a first comment line says which scan was held (the text is returned as
// it was when no scan moved). The poses are those the rewritten text reads
// back as. False, with why, when the rewritten text would not read back as
// the same scans with the new poses: then nothing may be written.
bool refineConfiguration(const std::string& text, const std::vector<ConfigRecord>& records,
                         const ScanSource& source, const registration::RegistrationOptions& options,
                         Refinement* out, std::string* error);
