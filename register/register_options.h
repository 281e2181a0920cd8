// Command line of rangeloom-register: what to do, parsed from the arguments,
// and its help text.
#pragma once

#include <string>
#include <vector>

#include "cli/command_line.h"

struct RegisterOptions {
    std::string config;  // the scan configuration to register
    std::string out;     // the configuration to write; empty: NAME.registered.conf beside it
    std::string fix;     // the scan held where it is; empty: the first
    double radius = 0;   // the first search radius; 0: chosen from the point spacing
    int threads = 0;     // worker threads; 0: one per processor
    Verbosity verbosity = Verbosity::Normal;
};

// Parses the arguments (without the program name), with the syntax of every
// batch program (cli/command_line.h). On BadUsage *error holds a one-line
// reason.
ParseOutcome parseRegisterOptions(const std::vector<std::string>& args, RegisterOptions* options,
                                  std::string* error);

// The text --help prints.
std::string registerHelpText();
