// What the C++ side of the Python module shares: the process-wide lock every
// operation runs under, options judged by rangeloom-clean's own parser, text
// written into memory, and the command line's standard error split into its
// message and its warnings.
#pragma once

#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "clean/clean_options.h"
#include "clean/exit_status.h"
#include "scan/ply_fatal_guard.h"

// A failure with the command line's exit status (kBadUsage, kUnreadable,
// kWriteFailed, kNoRoom) and its message: the lines rangeloom-clean prints on
// standard error, without the program's name.
class BindingError : public std::runtime_error {
public:
    BindingError(CleanStatus status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    CleanStatus status() const { return status_; }

private:
    CleanStatus status_;
};

// The lock of the scene's process-wide state (scan ids, the threshold, worker
// threads), which every operation sets from scratch.
std::mutex& bindingLock();

// The options as rangeloom-clean's parser takes them from `args` followed by
// "--" and `input`, so that a value is judged, converted (a threshold by
// strtof of its decimal) and refused with the very words of the command line.
// Throws BindingError(kBadUsage) with the parser's reason.
CleanOptions parsedCleanOptions(std::vector<std::string> args, const std::string& input);

// The options of a whole command line of rangeloom-clean (the input among
// them). --help and --version are refused: there is nothing to run.
CleanOptions parsedCommandLine(const std::vector<std::string>& args);

// A stdio stream into memory (open_memstream), for the text a run prints.
class MemoryStream {
public:
    MemoryStream();
    ~MemoryStream();
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    std::FILE* file() const { return file_; }
    // Everything written (the stream ends).
    std::string text();

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_;
};

// rangeloom-clean's lines on standard error without "rangeloom-clean: ":
// the warnings (without "warning: ") apart, the rest the failure's message.
struct ErrorLines {
    std::string message;
    std::vector<std::string> warnings;
};
ErrorLines splitErrorLines(const std::string& errors);

// Runs an operation with the process-wide state to itself and the PLY
// library's fatal end turned into a failure on this thread (the loaders
// guard their own threads).
template <typename F>
auto exclusive(F f) {
    const std::lock_guard<std::mutex> lock(bindingLock());
    try {
        const PlyFatalGuard guard;
        return f();
    } catch (const PlyReadEnded& end) {
        throw BindingError(kWriteFailed,
                           "the PLY library ended with status " + std::to_string(end.status));
    }
}
