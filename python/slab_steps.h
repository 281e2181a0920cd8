// The three steps of an out-of-core clean for the Python module (and so for a
// driver that hands slabs to other processes or machines): partitioning a
// campaign into slabs in a work folder, measuring one slab, gathering the
// values and writing the files. Free of Python: each step runs under the
// module's process-wide lock and reports its end as the command line would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clean/exit_status.h"

// How a step ended: rangeloom-clean's exit status, its error message and its
// warnings (ErrorLines), and what the step gives back.
struct SlabStepResult {
    CleanStatus status = kSuccess;
    std::string message;
    std::vector<std::string> warnings;
    int slabs = 0;        // partition: the number of slabs
    bool reused = false;  // the step found its work done in the work folder and kept it
    std::string text;     // gather: what rangeloom-clean prints on standard output
};

// `args` are rangeloom-clean's arguments, the input among them; their
// --threads is the threads of reading and bucketing. Slabs are slabCells
// lattice layers thick when that is positive, else of an estimated working
// set of at most slabBytes when that is; else as the arguments' --slab-cells
// or half their --memory say, as rangeloom-clean cuts them (neither: one
// slab). Bad arguments throw BindingError (kBadUsage), and so do --register,
// --merge and --verbose, which need every scan in memory; every other
// failure is in the result.
SlabStepResult partitionStep(const std::vector<std::string>& args, const std::string& workDir,
                             std::uint64_t slabBytes, long long slabCells);

// Measures slab `slab` of the work folder on `threads` threads (0: one per
// processor). A slab number or thread count out of range throws BindingError
// (kBadUsage).
SlabStepResult analyseSlabStep(const std::string& workDir, long long slab, long long threads);

// Gathers the values of every slab and writes what `args` ask for, exactly as
// rangeloom-clean does; `text` is its standard output (the threshold line and
// the table), also when a file could not be written.
SlabStepResult gatherStep(const std::vector<std::string>& args, const std::string& workDir);
