// rangeloom-clean: the viewer's scan-configuration work without a window.
// Loads the configuration with the viewer's loaders, runs the same overlap
// analysis and writes the cleaned scans with the same writer, so that at the
// same threshold its files are byte for byte what the viewer's 'p' key
// writes; optionally exports each scan's points with their values. It never
// calls OpenGL and needs no display.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "clean/clean_options.h"
#include "clean/clean_report.h"
#include "clean/exit_status.h"

class PlyMesh;

extern const char* const kCleanProgram;  // "rangeloom-clean"

// "rangeloom-clean: MESSAGE" on standard error.
void printCleanError(const std::string& message);

// The whole run of a parsed command line: the configuration loaded, the
// files to write checked, the analysis, the files and the table. Returns the
// exit status.
CleanStatus runClean(const CleanOptions& options);

// Where a run's text goes: the threshold line, the table and the verbose
// transcript (out); errors and warnings, "rangeloom-clean: " first, and the
// progress bar when enabled (err). The command line's: standard output and
// standard error, the bar on a terminal.
struct CleanConsole {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool progress = false;
};

// The lines of a text, without their line ends (a last line may lack one).
std::vector<std::string> linesOf(const std::string& text);

// The run once its scans are loaded (o.config names what they came from):
// the threshold, the check of the files to write, the analysis (skipped when
// `analysed`: the scans hold its values already), the files and the table,
// said on `console` as runClean says them. The table's rows go to *rows when
// given. Returns the exit status.
CleanStatus cleanLoadedScans(const std::vector<PlyMesh*>& scans, float defaultThreshold,
                             const CleanOptions& o, bool analysed, const CleanConsole& console,
                             std::vector<ScanReport>* rows = nullptr);
