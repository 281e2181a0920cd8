#include "clean/output_targets.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "clean/value_export.h"
#include "files/file_identity.h"
#include "files/printable_name.h"
#include "scan/ply_mesh.h"

OutputTargets outputTargets(const std::vector<std::string>& scanPaths, const std::string& folder,
                            bool exportValues) {
    OutputTargets t;
    for (const std::string& scan : scanPaths) {
        t.cleaned.push_back(PlyMesh::cleanedName(scan, folder));
        if (exportValues) t.exported.push_back(valueExportName(scan, folder));
    }
    return t;
}

std::vector<std::string> targetCollisions(const std::vector<std::string>& scanPaths,
                                          const OutputTargets& targets) {
    files::ProtectedFiles seen;
    for (const std::string& scan : scanPaths) seen.add(scan, "scan " + files::printableName(scan));
    std::vector<std::string> all = targets.cleaned;
    all.insert(all.end(), targets.exported.begin(), targets.exported.end());
    std::vector<std::string> clashes;
    for (const std::string& target : all) {
        const std::string clash = seen.clashOf(target);
        if (!clash.empty())
            clashes.push_back("cannot write " + files::printableName(target) + ": it is also " +
                              clash);
        seen.add(target, "the file written for another scan");
    }
    for (const std::string& target : targets.reports) {
        const std::string clash = seen.clashOf(target);
        if (!clash.empty())
            clashes.push_back("cannot write " + files::printableName(target) + ": it is also " +
                              clash);
        seen.add(target, "another file of this run");
    }
    return clashes;
}

bool makeOutputFolder(const std::string& folder, std::string* error) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at < folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            *error = "cannot make the output folder " + folder + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = "cannot write into " + folder + ": it is not a folder";
        return false;
    }
    return true;
}
