#include <cstdio>
#include <string>
#include <vector>

#include "clean/clean_options.h"
#include "clean/clean_run.h"
#include "cli/command_line.h"
#include "slab/slab_ops.h"
#include "version/version.h"

int main(int argc, char** argv) {
    CleanOptions options;
    std::string error;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    switch (parseCleanOptions(args, &options, &error)) {
        case ParseOutcome::Help:
            std::fputs(cleanHelpText().c_str(), stdout);
            return kSuccess;
        case ParseOutcome::Version:
            std::printf("%s %s\n", kCleanProgram, RANGELOOM_VERSION);
            return kSuccess;
        case ParseOutcome::BadUsage:
            printUsageError(kCleanProgram, error);
            return kBadUsage;
        case ParseOutcome::Run:
            break;
    }
    return runCleanWithinMemory(options);
}
