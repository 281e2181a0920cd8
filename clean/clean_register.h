// rangeloom-clean --register: the loaded scans registered (as
// rangeloom-register does), placed by the refined poses exactly as loading
// the refined configuration would place them, and that configuration
// written, before the analysis.
#pragma once

#include <string>
#include <vector>

#include "clean/clean_options.h"
#include "clean/exit_status.h"
#include "cli/progress_bar.h"
#include "scan/ply_mesh.h"

// The refined configuration's file: NAME.registered.conf in the output
// folder, or beside the configuration.
std::string registeredConfigTarget(const CleanOptions& o);

// Registers the scans (read from o.config, one per scan record, baked with
// the records' poses) and places every scan that moved anew; *refined gets
// the refined configuration's text. Prints the registration's table and
// warnings unless quiet. kUnreadable, with nothing moved, when the
// configuration cannot be registered (a PTX or E57 scan, a pose that is not
// a rigid motion, records that cannot be rewritten).
CleanStatus registerBeforeCleaning(const std::vector<PlyMesh*>& scans, const CleanOptions& o,
                                   ProgressBar& bar, std::string* refined);

// Writes the refined configuration to target (through a temporary file
// renamed into place, never over the input or a scan); false, with the
// reason on standard error, when it could not be written.
bool writeRegisteredConfig(const std::string& target, const std::string& text,
                           const std::vector<PlyMesh*>& scans, const CleanOptions& o);
