// Temporary files that a signal must not leave behind.
//
// While a file is tracked, SIGINT, SIGTERM or SIGHUP removes it before the
// signal ends the process as it would have (the handler is installed at the
// first tracking, and only for signals whose action is still the default:
// an ignored signal, as under nohup, stays ignored). The handler only reads
// records made before the signal, so it is safe to run at any moment.
#pragma once

#include <string>

namespace files {

struct TrackedFile;  // a record of the registry; never freed, reused once released

// Tracks path (as given: a relative name is relative to the current folder
// at the signal) until untrackTemporaryFile. A tracked empty folder is
// removed too, after the tracked files. Never fails: without memory for
// a record the file is simply not tracked (null).
TrackedFile* trackTemporaryFile(const std::string& path);

// Stops tracking; null is ignored. The file itself is left as it is.
void untrackTemporaryFile(TrackedFile* tracked);

}  // namespace files
