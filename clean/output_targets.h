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

// Every clash that would lose data, one message each ("cannot write T: it is
// also scan S", "... the file written for another scan" or "... another file
// of this run"): a target that is a scan, or that another target names too,
// as the file system says (the folders resolved as far as they exist and the
// rest as the output folder's making will create it; existing files by device
// and inode), however the paths are spelt. Empty when the targets are safe.
std::vector<std::string> targetCollisions(const std::vector<std::string>& scanPaths,
                                          const OutputTargets& targets);

// Makes the folder and its missing parents. False, with *error saying why,
// when it cannot be made or is not a folder.
bool makeOutputFolder(const std::string& folder, std::string* error);
