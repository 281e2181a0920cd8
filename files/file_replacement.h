// A file that replaces its target only when it is complete.
//
// The contents go to a new temporary file in the target's folder, created
// exclusively (never an existing file, never through a link planted at its
// name) under a name of the target's name, ".tmp" and six random
// characters, shortened to fit the folder's longest name. commit() renames
// it over the target, so a failed or interrupted write never leaves a
// partial target and never destroys an earlier one; the temporary file is
// removed when the write fails, when the object goes away uncommitted, and
// when SIGINT, SIGTERM or SIGHUP ends the process (files/temporary_files.h).
//
//   files::FileReplacement out;
//   if (!out.create(target, &error)) ...;
//   fprintf(out.stream(), ...);
//   if (!out.commit(&error, &protectedFiles)) ...;
#pragma once

#include <cstdio>
#include <string>

#include "files/file_identity.h"
#include "files/temporary_files.h"

namespace files {

class FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement() { discard(); }
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    FileReplacement(FileReplacement&& other) noexcept;
    FileReplacement& operator=(FileReplacement&& other) noexcept;

    // Creates the temporary file for target, open for writing (binary).
    // False, with *error saying why (the errno text), when it cannot be made.
    bool create(const std::string& target, std::string* error);

    // The open stream, or null once closed or released.
    FILE* stream() const { return stream_; }

    // Hands the stream to a caller that closes it itself (the PLY library's
    // writer); commit() then only renames.
    FILE* releaseStream();

    // Flushes and closes the stream. False, with *error, when any write to
    // it failed; the temporary file stays until commit() or discard().
    bool close(std::string* error);

    // Closes the stream when still open and renames the temporary file over
    // the target, unless the target is one of keep's files at this moment
    // (then *error says which, e.g. "it is also scan a.ply"). On failure the
    // temporary file is removed and the target is left as it was.
    bool commit(std::string* error, const ProtectedFiles* keep = nullptr);

    // Closes and removes the temporary file; nothing when there is none.
    void discard();

    const std::string& target() const { return target_; }
    const std::string& temporaryPath() const { return temp_; }

private:
    std::string target_;
    std::string temp_;  // empty when there is no temporary file
    FILE* stream_ = nullptr;
    bool writeFailed_ = false;
    int writeErrno_ = 0;
    TrackedFile* tracked_ = nullptr;
};

// The temporary name for target in its folder, with the six characters
// given: the target's name cut (at a character boundary) so that the whole
// name has at most nameMax bytes.
std::string temporaryNameFor(const std::string& target, const std::string& random, long nameMax);

// Writes bytes to target through a FileReplacement. False, with *error,
// when it could not be written; the target is then left as it was.
bool replaceFileWith(const std::string& target, const std::string& bytes, std::string* error,
                     const ProtectedFiles* keep = nullptr);

}  // namespace files
