#include "clean/output_targets.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "clean/value_export.h"
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

std::string canonicalPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    if (folder.empty()) folder = "/";
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    if (realpath(folder.c_str(), resolved) != nullptr)
        folder = resolved;
    else if (folder[0] != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) != nullptr) folder = std::string(cwd) + "/" + folder;
    }
    return folder + "/" + name;
}

std::vector<std::string> runCollisions(const std::string& input,
                                       const std::vector<std::string>& scanPaths,
                                       OutputTargets targets, const std::string& merged) {
    std::vector<std::string> clashes;
    if (!merged.empty()) {
        if (canonicalPath(merged) == canonicalPath(input))
            clashes.push_back("cannot write " + merged + ": it is also the input " + input);
        targets.cleaned.push_back(merged);
    }
    const std::vector<std::string> more = targetCollisions(scanPaths, targets);
    clashes.insert(clashes.end(), more.begin(), more.end());
    return clashes;
}

std::vector<std::string> targetCollisions(const std::vector<std::string>& scanPaths,
                                          const OutputTargets& targets) {
    std::vector<std::pair<std::string, std::string>> seen;  // canonical path, what it is
    for (const std::string& scan : scanPaths) seen.push_back({canonicalPath(scan), "scan " + scan});
    std::vector<std::string> all = targets.cleaned;
    all.insert(all.end(), targets.exported.begin(), targets.exported.end());
    std::vector<std::string> clashes;
    for (const std::string& target : all) {
        const std::string path = canonicalPath(target);
        for (const auto& [other, what] : seen) {
            if (other == path) clashes.push_back("cannot write " + target + ": it is also " + what);
        }
        seen.push_back({path, "the file written for another scan"});
    }
    for (const std::string& target : targets.reports) {
        const std::string path = canonicalPath(target);
        for (const auto& [other, what] : seen) {
            if (other == path) clashes.push_back("cannot write " + target + ": it is also " + what);
        }
        seen.push_back({path, "another file of this run"});
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
