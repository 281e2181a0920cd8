// Command line of rangeloom-clean, the batch cleaner: what to do, parsed from
// the arguments, and its help text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/command_line.h"

struct CleanOptions {
    std::string config;             // the scan configuration to clean
    bool hasThreshold = false;      // a removal threshold was given
    float threshold = 0.0f;         // that threshold, in the scans' length unit
    bool hasSteps = false;          // the default threshold is moved by key steps
    int steps = 0;                  // 'T' presses (> 0) or 't' presses (< 0)
    std::string outFolder;          // where files go; empty: beside each scan
    bool exportValues = false;      // also write each scan's points with their values
    std::string mergeFile;          // also write every kept point into this one file; empty: not
    bool keepTossed = false;        // the merged file keeps the tossed points too, flagged
    bool summaryOnly = false;       // analyse and report; write no file
    int threads = 0;                // worker threads of loading and analysing; 0: one per processor
    std::string histogramFile;      // the histogram as CSV, or empty
    std::string plotFile;           // the histogram as a PNG picture, or empty
    int bins = 50;                  // most bins of the histogram and the plot
    bool plotLog = false;           // the plot's count axis in powers of ten
    bool registerFirst = false;     // refine the poses first, write NAME.registered.conf, clean
                                    // with the refined poses
    std::uint64_t memoryBytes = 0;  // --memory; 0: a share of the physical memory
    std::string workDir;            // where the slabs' work folder is made; empty: TMPDIR or /tmp
    int slabCells = 0;              // > 0: clean in slabs of that many lattice layers
    Verbosity verbosity = Verbosity::Normal;
};

// Largest number of threshold steps and of threads accepted.
constexpr int kMaxThresholdSteps = 100000;
constexpr int kMaxThreads = 1024;
constexpr int kMaxBins = 10000;

// Parses the arguments (without the program name). Options take their value
// as "--name VALUE", "--name=VALUE", "-x VALUE" or "-xVALUE"; "--" ends the
// options. On BadUsage *error holds a one-line reason.
ParseOutcome parseCleanOptions(const std::vector<std::string>& args, CleanOptions* options,
                               std::string* error);

// The text --help prints.
std::string cleanHelpText();

// The threshold after the viewer's 't' / 'T' keys were pressed |steps| times
// ('T' for steps > 0, 't' for steps < 0), starting from start: the step is a
// tenth of start, fixed at the first press, added or subtracted once per press
// in single precision, exactly as the keys do.
float thresholdAfterSteps(float start, int steps);
