// The input side of rangeloom-clean: the configuration checked, its scans
// loaded with the viewer's loader, and the exit status that the loader's
// outcome gives (never the wording of its console report).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "clean/exit_status.h"
#include "scan/ply_mesh.h"
#include "scan/scan_config.h"

struct CleanInput {
    CleanStatus status = kSuccess;  // kUnreadable: the configuration or a scan cannot be read,
                                    // or the configuration names no scan
    std::vector<std::unique_ptr<PlyMesh>> scans;  // the scans read, in record order, baked
    float defaultThreshold = 0.0f;                // the viewer's default removal threshold for them
    std::string error;                            // why not kSuccess, one line
    std::vector<std::string> details;             // under error: each unreadable scan and why
    std::string transcript;  // the loader's console report (the viewer's transcript)
    // Said on standard error while the run goes on: the words that no record
    // uses; and, when the default threshold is used, the note that it is far
    // from the first scan's spacing ("" when it is not).
    std::vector<std::string> warnings;
    std::string thresholdNote;
};

// False, with *error saying why, when the configuration cannot be used at
// all: it does not exist, cannot be opened, or is no regular file (a folder,
// a device, a FIFO).
bool checkConfiguration(const std::string& config, std::string* error);

// Whether the configuration's records can be cleaned, decided before any
// scan is loaded: kUnreadable, with error and details, when the
// configuration cannot be read, names no scan, holds words that hide a scan
// (fewer bmesh records than bmesh words: an extra word on a record makes the
// next one start in the wrong place) or a record whose pose cannot place its
// scan; otherwise kSuccess with the unused words as warnings.
CleanInput checkRecords(const ScanConfigRecords& records);

// Loads every scan of the checked records as the viewer does (on
// workerThreads() threads). A damaged scan ends the loading: the scans after
// it are not read (and so not named). With lean, range images are loaded
// lean (PlyLoadOptions::lean): the same points, values and files at a
// fraction of the memory, but a transcript that counts no faces and no edges
// for them.
CleanInput loadForCleaning(const ScanConfigRecords& records, bool lean = false);

// readScanRecords, checkRecords and, when they pass, the loading; a PTX or
// E57 file (by its extension) is a configuration by itself, read whole.
// Reading no scan at all is unreadable input too.
CleanInput loadForCleaning(const std::string& config, bool lean = false);

// A lone scan file (a PLY range image, or a PTX or E57 file) as a
// configuration by itself, with its own pose (readScanFileAsConfig), and the
// outcome and messages loadForCleaning gives for a lone PTX or E57 file.
CleanInput loadScanFileForCleaning(const std::string& path, bool lean = false);
