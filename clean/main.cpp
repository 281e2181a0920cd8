#include <string>
#include <vector>

#include "clean/clean_options.h"
#include "clean/clean_run.h"
#include "cli/command_line.h"
#include "slab/slab_ops.h"

int main(int argc, char** argv) {
    CleanOptions options;
    std::string error;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParseOutcome outcome = parseCleanOptions(args, &options, &error);
    if (outcome != ParseOutcome::Run)
        return answerCommandLine(outcome, kCleanProgram, cleanHelpText(), error);
    return runCleanWithinMemory(options);
}
