// Where rangeloom-clean writes, and the rules that keep a run from losing
// data: no file is written twice, none replaces a scan of the configuration,
// and the output folder is made before anything is written into it.
#pragma once

#include <string>
#include <vector>

struct OutputTargets {
    std::vector<std::string> cleaned;   // per scan, the cleaned file
    std::vector<std::string> exported;  // per scan, the export (empty without exports)
    std::vector<std::string> reports;   // files named on the command line (histogram, plot)
};

// The files written for the scans read from scanPaths: NAME.cln.ply, and
// NAME.values.ply with exportValues, in folder, or beside each scan when
// folder is empty.
OutputTargets outputTargets(const std::vector<std::string>& scanPaths, const std::string& folder,
                            bool exportValues);

// An absolute spelling of a path that is the same for two names of one file:
// the resolved folder and the file name (the file itself need not exist).
std::string canonicalPath(const std::string& path);

// Every clash that would lose data, one message each ("cannot write T: it is
// also scan S", "... the file written for another scan" or "... another file
// of this run"): a target that is a scan, or that another target names too.
// Empty when the targets are safe.
std::vector<std::string> targetCollisions(const std::vector<std::string>& scanPaths,
                                          const OutputTargets& targets);

// Every clash of a run's files with its input (the configuration or lone
// scan file), its scans and each other: targetCollisions, with the merged
// file (when not empty) one more target that may also not be the input
// ("cannot write M: it is also the input I").
std::vector<std::string> runCollisions(const std::string& input,
                                       const std::vector<std::string>& scanPaths,
                                       OutputTargets targets, const std::string& merged);

// Makes the folder and its missing parents. False, with *error saying why,
// when it cannot be made or is not a folder.
bool makeOutputFolder(const std::string& folder, std::string* error);
