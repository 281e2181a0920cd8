#include "python/slab_steps.h"

#include <limits>

#include "clean/clean_run.h"
#include "python/binding_common.h"
#include "scene/plain_paths.h"
#include "scene/scene_state.h"
#include "slab/slab_ops.h"

namespace {

// The outcome's lines on standard error into the result.
void take(const SlabOutcome& outcome, SlabStepResult* result) {
    result->status = outcome.status;
    ErrorLines said = splitErrorLines(outcome.message);
    result->message = std::move(said.message);
    result->warnings = std::move(said.warnings);
    result->slabs = outcome.slabs;
    result->reused = outcome.reused;
}

// The options of a clean in slabs. What needs every scan in memory at once
// (rangeloom-clean runs it in memory whatever the limit) is refused rather
// than left undone.
CleanOptions slabOptions(const std::vector<std::string>& args) {
    const CleanOptions o = parsedCommandLine(args);
    if (const char* inMemory = optionNeedingMemory(o))
        throw BindingError(kBadUsage, std::string(inMemory) +
                                          " needs every scan in memory: clean with "
                                          "rangeloom-clean instead of in slabs");
    return o;
}

}  // namespace

SlabStepResult partitionStep(const std::vector<std::string>& args, const std::string& workDir,
                             std::uint64_t slabBytes, long long slabCells) {
    const CleanOptions options = slabOptions(args);
    if (slabCells < 0 || slabCells > std::numeric_limits<int>::max())
        throw BindingError(kBadUsage, "slab cells must be 0 to " +
                                          std::to_string(std::numeric_limits<int>::max()));
    // As rangeloom-clean plans its slabs: --slab-cells, else half of --memory.
    SlabPlan plan;
    plan.slabCells = slabCells > 0 ? static_cast<int>(slabCells) : options.slabCells;
    plan.slabBytes = slabBytes > 0 ? slabBytes : options.memoryBytes / 2;
    return exclusive([&] {
        resetSceneState();
        setWorkerThreads(options.threads);
        SlabStepResult result;
        take(partitionCampaign(options, workDir, plan, options.threads), &result);
        return result;
    });
}

SlabStepResult analyseSlabStep(const std::string& workDir, long long slab, long long threads) {
    const CleanOptions options =
        parsedCleanOptions({"--threads", std::to_string(threads)}, workDir);
    if (slab < 0 || slab > std::numeric_limits<int>::max())
        throw BindingError(kBadUsage, "no slab " + std::to_string(slab));
    return exclusive([&] {
        resetSceneState();
        setWorkerThreads(options.threads);
        SlabStepResult result;
        take(analyseSlab(workDir, static_cast<int>(slab), options.threads), &result);
        return result;
    });
}

SlabStepResult gatherStep(const std::vector<std::string>& args, const std::string& workDir) {
    const CleanOptions options = slabOptions(args);
    return exclusive([&] {
        resetSceneState();
        setWorkerThreads(options.threads);
        SlabStepResult result;
        std::string errors;
        {
            MemoryStream out, err;
            CleanConsole console;
            console.out = out.file();
            console.err = err.file();
            result.status = gatherAndWrite(options, workDir, console);
            result.text = out.text();
            errors = err.text();
        }
        ErrorLines said = splitErrorLines(errors);
        result.message = std::move(said.message);
        result.warnings = std::move(said.warnings);
        return result;
    });
}
