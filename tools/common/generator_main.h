// The command line of the sample-data generators: what a parse gives, the
// answer to --help, --version and a wrong command line, and the output
// folder.
#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "version/version.h"

namespace sim {

enum class Parsed { Run, Help, Version, BadUsage };

// The usage on standard output (--help) or standard error (a wrong command
// line, status 1), or "PROGRAM VERSION". Returns the exit status, or -1 when
// the generator is to run.
inline int answerParsed(Parsed parsed, const char* program, const char* usage) {
    switch (parsed) {
        case Parsed::Help:
            std::fputs(usage, stdout);
            return 0;
        case Parsed::Version:
            std::printf("%s %s\n", program, RANGELOOM_VERSION);
            return 0;
        case Parsed::BadUsage:
            std::fputs(usage, stderr);
            return 1;
        case Parsed::Run:
            break;
    }
    return -1;
}

// Makes the output folder (one that exists already is used); false, with
// "PROGRAM: cannot make DIR: REASON" on standard error, when it cannot.
inline bool makeOutputFolder(const char* program, const std::string& dir) {
    if (mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST) return true;
    std::fprintf(stderr, "%s: cannot make %s: %s\n", program, dir.c_str(), std::strerror(errno));
    return false;
}

}  // namespace sim
