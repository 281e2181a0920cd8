// rangeloom-clean: the viewer's scan-configuration work without a window.
// Loads the configuration with the viewer's loaders, runs the same overlap
// analysis and writes the cleaned scans with the same writer, so that at the
// same threshold its files are byte for byte what the viewer's 'p' key
// writes; optionally exports each scan's points with their values. It never
// calls OpenGL and needs no display.
#pragma once

#include <string>

#include "clean/clean_options.h"
#include "clean/exit_status.h"

extern const char* const kCleanProgram;  // "rangeloom-clean"

// "rangeloom-clean: MESSAGE" on standard error.
void printCleanError(const std::string& message);

// The whole run of a parsed command line: the configuration loaded, the
// files to write checked, the analysis, the files and the table. Returns the
// exit status.
CleanStatus runClean(const CleanOptions& options);
