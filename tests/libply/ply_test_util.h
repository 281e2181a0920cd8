// Helpers for the PLY library tests: PLY bytes read from and written to
// memory, the plain/fast path switch, and running the fatal-path probe.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "libply/plyfile.h"

namespace plytest {

// Switches the library to its plain (reference) or fast paths for the
// lifetime of the object.
class PathMode {
public:
    explicit PathMode(bool plain);
    ~PathMode();
    PathMode(const PathMode&) = delete;
    PathMode& operator=(const PathMode&) = delete;

private:
    int previous_;
};

// A read stream over bytes held by this object; it must outlive the stream.
class MemoryInput {
public:
    explicit MemoryInput(std::string bytes) : bytes_(std::move(bytes)) {}
    // A new stream at the first byte; closed by the caller or a handle.
    FILE* open();

private:
    std::string bytes_;
};

// A header read from memory; the handle and name list are released at the
// end of the scope.
class OpenedPly {
public:
    explicit OpenedPly(std::string bytes);
    ~OpenedPly();
    OpenedPly(const OpenedPly&) = delete;
    OpenedPly& operator=(const OpenedPly&) = delete;

    ply_handle* ply = nullptr;  // null when the header was rejected
    int nelems = 0;
    char** elist = nullptr;

private:
    MemoryInput input_;
    FILE* stream_ = nullptr;  // closed here only when the header was rejected
};

// Collects what a stream written through a write handle holds once the
// handle is closed.
class MemoryOutput {
public:
    MemoryOutput();
    ~MemoryOutput();
    MemoryOutput(const MemoryOutput&) = delete;
    MemoryOutput& operator=(const MemoryOutput&) = delete;
    FILE* stream() { return stream_; }
    // The bytes written; call after ply_close_file closed the stream.
    std::string bytes() const { return std::string(buffer_, size_); }

private:
    char* buffer_ = nullptr;
    size_t size_ = 0;
    FILE* stream_ = nullptr;
};

// Runs the probe program with the arguments; its exit status (or -1000 -
// signal) and what it wrote on standard error and standard output.
struct ProbeResult {
    int status;
    std::string err;
    std::string out;
};
ProbeResult runProbe(const std::vector<std::string>& args);

// Runs a command line through the shell; its exit status and standard output.
struct CommandResult {
    int status;
    std::string out;
};
CommandResult runCommand(const std::string& command);

}  // namespace plytest
