// Cleaning a campaign that does not fit in memory, in three steps that can
// run in different processes or on different machines sharing one work
// folder:
//
//   partitionCampaign  reads the configuration (with rangeloom-clean's checks,
//                      messages and exit statuses), surveys the scans and
//                      buckets their points and triangles into slabs: ranges
//                      of lattice layers along the lattice's longest axis,
//                      each a file workDir/slab-NNNNN.bin, listed in
//                      workDir/manifest.json;
//   analyseSlab        measures one slab alone (a polygon counts only in the
//                      cell of its centroid, so a slab holds every polygon its
//                      points can meet) and writes workDir/slab-NNNNN.values;
//   gatherAndWrite     gathers the values of every slab and writes the cleaned
//                      files, exports, histogram, plot, merged cloud and the
//                      table exactly as rangeloom-clean does in memory,
//                      streaming each scan from its source again.
//
// Values, tossed points, summaries and files are byte for byte those of the
// in-memory run, whatever the slab size and the number of threads.
//
// Every file of the work folder appears whole (written under a temporary
// name, then renamed), so a step that finds a complete file of its own keeps
// it: a re-run after an interruption redoes only what was not finished.
// None of the functions ends the process or throws on bad input; damaged or
// truncated slab and values files (they may come from other machines) are
// reported in the outcome.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "clean/clean_options.h"
#include "clean/clean_run.h"
#include "clean/exit_status.h"

// How a step ended. status is rangeloom-clean's exit status for it (kSuccess,
// kUnreadable for input or work files that cannot be read or used,
// kWriteFailed, kNoRoom when the work folder ran out of room); message holds
// the lines rangeloom-clean would print on standard error for it, each
// ending in a line end: errors and warnings start with "rangeloom-clean: ",
// their details (the unreadable scans, say) are indented by two spaces.
// Warnings come also on success; empty when there is nothing to say.
struct SlabOutcome {
    CleanStatus status = kSuccess;
    std::string message;
    int slabs = 0;        // partitionCampaign: the number of slab files
    bool reused = false;  // the step found its work done and kept it
};

// How finely to cut the lattice. slabBytes bounds the estimated working set
// of one slab's analysis; slabCells > 0 instead makes every slab that many
// lattice layers thick (tiny slabs for tests). Neither: one slab. Either way
// there are at most 512 slabs (thicker ones where needed).
struct SlabPlan {
    std::uint64_t slabBytes = 0;
    int slabCells = 0;
};

// The option that needs every scan in memory at once (--register, --merge,
// --verbose), or nullptr when options can be cleaned in slabs. The slab steps
// refuse such options rather than leave their work undone.
const char* optionNeedingMemory(const CleanOptions& options);

// Reads options.config and its scans and writes workDir/manifest.json and
// workDir/slab-NNNNN.bin (workDir is created when missing; its parent must
// exist). When workDir already holds a complete manifest made from the same
// configuration text, the same plan and unchanged scan files (size and
// modification time are recorded), it is kept with its slabs and the call returns at once with
// reused set. threads: worker threads of reading and bucketing, 0 for one
// per processor.
SlabOutcome partitionCampaign(const CleanOptions& options, const std::string& workDir,
                              const SlabPlan& plan, int threads = 0);

// partitionCampaign, calling onPhase(phase, scans done, scans in all) on the
// calling thread as it reads the scans ("Reading") and spills them into the
// slabs ("Spilling").
using PhaseReport = std::function<void(const char* phase, std::int64_t done, std::int64_t all)>;
SlabOutcome partitionCampaignReporting(const CleanOptions& options, const std::string& workDir,
                                       const SlabPlan& plan, int threads,
                                       const PhaseReport& onPhase);

// Reads workDir/slab-NNNNN.bin (NNNNN = slab, from 0) and the manifest,
// measures every point of the slab exactly as the in-memory analysis does
// and writes workDir/slab-NNNNN.values. Does nothing (reused) when a complete
// values file for that slab exists. Safe to run in several processes at once
// on different slabs. threads: 0 for one per processor.
SlabOutcome analyseSlab(const std::string& workDir, int slab, int threads = 0);

// Reads the manifest and every values file (all must be there), sets the
// threshold as rangeloom-clean does and writes what options ask for, reading
// each scan from its source again. Says on console what runClean says
// (threshold line, table, errors). Returns rangeloom-clean's exit status;
// kBadUsage, writing nothing, for options that need the scans in memory.
CleanStatus gatherAndWrite(const CleanOptions& options, const std::string& workDir,
                           const CleanConsole& console = CleanConsole());

// The whole out-of-core run of rangeloom-clean: the three steps in sequence
// in a private folder made under workRoot (removed at the end, also on
// failure), slabs analysed within memoryBytes. Messages on standard error.
CleanStatus runCleanInSlabs(const CleanOptions& options, const std::string& workRoot,
                            std::uint64_t memoryBytes, const SlabPlan& plan);

// Half the physical memory or 80% of what is available now, the less.
std::uint64_t defaultMemoryLimit();

// rangeloom-clean's run: in memory (runClean) when the campaign's estimate
// fits options.memoryBytes (or the default limit), or when what is asked
// needs the scans in memory (--register, --verbose, --merge, a PTX or E57
// file as the configuration); otherwise, or with options.slabCells, in slabs
// (runCleanInSlabs) under options.workDir.
CleanStatus runCleanWithinMemory(const CleanOptions& options);
