// Whether two names are one file, as the file system says, not as the
// names are spelt.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <unordered_map>
#include <utility>

namespace files {

// A file's device and inode.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity& o) const { return device == o.device && inode == o.inode; }
};

// The identity of the file path names, following a link at its end or not.
// False when there is no such file.
bool identityOf(const std::string& path, bool followLink, FileIdentity* out);

// The absolute name of the directory entry that path names: the longest
// leading part of its folder that exists is resolved by the file system
// (links followed), the rest, which making the folder creates as plain
// folders, is applied name by name ("." and ".." included); the last name
// is kept as it is (a link there is the entry, not what it points to).
// "missing/../a.ply" is the a.ply of the current folder.
std::string resolvedPath(const std::string& path);

// Files a run must not replace, each with what it is ("scan a.ply", "the
// file written for scan b.ply"). A path is remembered by its resolved name
// and by the identities of the entry and of the file a link there leads to.
class ProtectedFiles {
public:
    void add(const std::string& path, const std::string& what);

    // What target is when writing it would replace one of the files (the
    // same resolved name, or the entry there is one of their files); empty
    // when it is none of them. Asks the file system at the moment of the call.
    std::string clashOf(const std::string& target) const;

private:
    // The first file added under each resolved name and identity wins.
    std::unordered_map<std::string, std::string> byName_;
    std::map<std::pair<dev_t, ino_t>, std::string> byIdentity_;
};

}  // namespace files
