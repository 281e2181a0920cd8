#include "files/file_identity.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace files {

namespace {

std::vector<std::string> namesOf(const std::string& path) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string realPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// The folder's absolute name (see resolvedPath).
std::string resolvedFolder(const std::string& folder) {
    const bool absolute = !folder.empty() && folder[0] == '/';
    const std::vector<std::string> names = namesOf(folder);
    // The longest leading part that the file system resolves.
    std::size_t known = names.size();
    std::string base;
    for (;; --known) {
        std::string part = absolute ? "/" : ".";
        for (std::size_t i = 0; i < known; ++i) part += (i == 0 && absolute ? "" : "/") + names[i];
        base = realPath(part);
        if (!base.empty() || known == 0) break;
    }
    if (base.empty()) base = absolute ? "/" : ".";
    std::vector<std::string> parts = namesOf(base);
    for (std::size_t i = known; i < names.size(); ++i) {
        if (names[i] == ".") continue;
        if (names[i] == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(names[i]);
    }
    std::string out;
    for (const std::string& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

}  // namespace

bool identityOf(const std::string& path, bool followLink, FileIdentity* out) {
    struct stat st;
    if ((followLink ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) return false;
    out->device = st.st_dev;
    out->inode = st.st_ino;
    return true;
}

std::string resolvedPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string resolved = resolvedFolder(folder);
    return resolved == "/" ? "/" + name : resolved + "/" + name;
}

void ProtectedFiles::add(const std::string& path, const std::string& what) {
    const std::string resolved = resolvedPath(path);
    byName_.emplace(resolved, what);
    FileIdentity id;
    for (bool followLink : {false, true})
        if (identityOf(resolved, followLink, &id))
            byIdentity_.emplace(std::make_pair(id.device, id.inode), what);
}

std::string ProtectedFiles::clashOf(const std::string& target) const {
    const std::string resolved = resolvedPath(target);
    const auto named = byName_.find(resolved);
    if (named != byName_.end()) return named->second;
    FileIdentity entry;
    if (!identityOf(resolved, false, &entry)) return std::string();
    const auto same = byIdentity_.find(std::make_pair(entry.device, entry.inode));
    return same != byIdentity_.end() ? same->second : std::string();
}

}  // namespace files
