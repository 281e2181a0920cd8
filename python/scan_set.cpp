#include "python/scan_set.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <utility>

#include "clean/merged_cloud.h"
#include "clean/output_targets.h"
#include "clean/scan_loading.h"
#include "clean/value_export.h"
#include "scan/distance_stats.h"
#include "scan/overlap_analysis.h"
#include "scan/ply_fatal_guard.h"
#include "scene/console.h"
#include "scene/plain_paths.h"
#include "scene/scene_state.h"
#include "scene/unmeasured.h"

namespace {

std::mutex& bindingLock() {
    static std::mutex lock;
    return lock;
}

// The options as rangeloom-clean's parser takes them from its arguments, so
// that a value is judged, converted (a threshold by strtof of the shortest
// decimal of the double) and refused with the very words of the command line.
CleanOptions parsed(std::vector<std::string> args, const std::string& input) {
    args.push_back("--");
    args.push_back(input);
    CleanOptions options;
    std::string error;
    if (parseCleanOptions(args, &options, &error) != ParseOutcome::Run)
        throw BindingError(kBadUsage, error);
    return options;
}

bool hasPlyExtension(const std::string& path) {
    return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".ply") == 0;
}

// The message rangeloom-clean prints for a failure with its detail lines.
std::string withDetails(std::string message, const std::vector<std::string>& details) {
    for (const std::string& line : details) message += "\n  " + line;
    return message;
}

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

}  // namespace

void valuesWithNan(const PlyMesh& scan, float* out) {
    const std::lock_guard<std::mutex> lock(bindingLock());  // not while an analysis writes them
    const std::size_t n = scan.worldVertices.size();
    for (std::size_t i = 0; i < n; ++i) {
        const float v = i < scan.vertexValues.size() ? scan.vertexValues[i] : kUnmeasured;
        out[i] = isMeasured(v) ? v : std::numeric_limits<float>::quiet_NaN();
    }
}

std::shared_ptr<ScanSet> ScanSet::load(const std::string& path, long long threads) {
    const CleanOptions options = parsed({"--threads", std::to_string(threads)}, path);
    return exclusive([&] {
        std::string error;
        if (!checkConfiguration(path, &error)) throw BindingError(kUnreadable, error);
        resetSceneState();  // scan ids from 1, the initial threshold
        setWorkerThreads(options.threads);
        CleanInput input =
            hasPlyExtension(path) ? loadScanFileForCleaning(path) : loadForCleaning(path);
        if (input.status != kSuccess)
            throw BindingError(input.status, withDetails(input.error, input.details));
        std::shared_ptr<ScanSet> set(new ScanSet());
        set->source_ = path;
        set->defaultThreshold_ = input.defaultThreshold;
        set->transcript_ = std::move(input.transcript);
        for (std::unique_ptr<PlyMesh>& scan : input.scans) set->scans_.emplace_back(scan.release());
        return set;
    });
}

std::string ScanSet::analyze(long long threads) {
    const CleanOptions options = parsed({"--threads", std::to_string(threads)}, source_);
    return exclusive([&] { return analyzeLocked(options.threads); });
}

std::string ScanSet::analyzeLocked(int threads) {
    setWorkerThreads(threads);
    std::vector<Mesh*> meshes;
    for (const std::shared_ptr<PlyMesh>& s : scans_) {
        std::fill(s->vertexValues.begin(), s->vertexValues.end(), kUnmeasured);
        meshes.push_back(s.get());
    }
    const std::size_t n = meshes.size();
    const int total = static_cast<int>(n * (n - 1));
    int passes = 0;
    AnalysisOptions analysis;
    analysis.threads = threads;
    analysis.progress = false;
    analysis.onPass = [&passes](int done, int) { passes = done; };
    ConsoleCapture transcript;
    analyzeOverlap(meshes, nullptr, analysis);
    const std::string text = transcript.take();
    analyzed_ = true;
    // The warnings of rangeloom-clean.
    if (passes == total && total > 0) return "";
    if (n == 1) return "warning: only one scan, nothing to compare it with; no point is tossed";
    std::string why;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) why = text.substr(start, end - start);
        start = end + 1;
    }
    return "warning: the scans were not analysed (" + why + "); no point is tossed";
}

CleanResult ScanSet::clean(const CleanRequest& r) {
    std::vector<std::string> args;
    if (r.threshold) args.insert(args.end(), {"--threshold", shortestDecimal(*r.threshold)});
    if (r.steps) args.insert(args.end(), {"--steps", std::to_string(*r.steps)});
    if (r.out) args.insert(args.end(), {"--out", *r.out});
    if (r.exportValues) args.push_back("--export");
    if (r.merge) args.insert(args.end(), {"--merge", *r.merge});
    if (r.keepTossed) args.push_back("--keep-tossed");
    if (r.summaryOnly) args.push_back("--summary");
    args.insert(args.end(), {"--threads", std::to_string(r.threads)});
    const CleanOptions options = parsed(args, source_);
    return exclusive([&] { return cleanLocked(options); });
}

CleanResult ScanSet::cleanLocked(const CleanOptions& o) {
    std::vector<PlyMesh*> scans;
    std::vector<std::string> scanPaths;    // the files read
    std::vector<std::string> outputNames;  // what the files written are named after
    for (const std::shared_ptr<PlyMesh>& scan : scans_) {
        scans.push_back(scan.get());
        if (scan->scanNumber() <= 1) scanPaths.push_back(scan->fileName);  // a file once
        outputNames.push_back(scan->outputSource());
    }
    CleanResult result;
    result.threshold = defaultThreshold_;
    if (o.hasThreshold) result.threshold = o.threshold;
    if (o.hasSteps) result.threshold = thresholdAfterSteps(defaultThreshold_, o.steps);

    const bool writing = !o.summaryOnly;
    const OutputTargets targets = outputTargets(outputNames, o.outFolder, o.exportValues);
    std::vector<std::string> clashes = runCollisions(
        source_, scanPaths, writing ? targets : OutputTargets(), writing ? o.mergeFile : "");
    if (!clashes.empty()) {
        clashes.push_back("nothing written");
        std::string message = clashes[0];
        for (std::size_t i = 1; i < clashes.size(); ++i) message += "\n" + clashes[i];
        throw BindingError(kUnreadable, message);
    }
    std::string error;
    if (writing && !o.outFolder.empty() && !makeOutputFolder(o.outFolder, &error))
        throw BindingError(kWriteFailed, error);

    if (!analyzed_) analyzeLocked(o.threads);
    tossThreshold = result.threshold;  // what the cleaned-file writer tosses by
    std::vector<std::string> failures;
    for (std::size_t i = 0; i < scans.size(); ++i) {
        ScanReport row = reportScan(*scans[i], result.threshold);
        row.file = scans[i]->label();
        row.written = "-";
        if (o.exportValues) row.exported = "-";
        if (writing) {
            ConsoleCapture messages;
            const bool written = scans[i]->writeCleaned(o.outFolder);
            std::string text = messages.take();
            while (!text.empty() && text.back() == '\n') text.pop_back();
            if (!text.empty()) failures.push_back(text);
            row.written = written ? targets.cleaned[i] : "FAILED";
            if (o.exportValues) {
                const bool exported =
                    writeValueExport(*scans[i], result.threshold, targets.exported[i], &error);
                if (!exported)
                    failures.push_back("Could not write " + targets.exported[i] + ": " + error);
                row.exported = exported ? targets.exported[i] : "FAILED";
            }
        }
        result.rows.push_back(std::move(row));
    }
    std::vector<float> all;
    for (const PlyMesh* s : scans) {
        const std::vector<float> measured = measuredValues(s->vertexValues, s->vertices.size());
        all.insert(all.end(), measured.begin(), measured.end());
    }
    result.text = thresholdLine(o, result.threshold, defaultThreshold_) +
                  formatReportTable(result.rows, o.exportValues && writing,
                                    summarizeDistances(std::move(all)));
    if (writing && !o.mergeFile.empty()) {
        std::vector<MergeSource> sources;
        for (const PlyMesh* s : scans) sources.push_back({s, s->label()});
        if (writeMergedCloud(sources, result.threshold, o.keepTossed, o.mergeFile,
                             &result.mergedPoints, &error)) {
            result.mergedFile = o.mergeFile;
            result.text += "merged " + std::to_string(result.mergedPoints) + " points of " +
                           std::to_string(scans.size()) + " scans into " + o.mergeFile + "\n";
        } else {
            failures.push_back("Could not write " + o.mergeFile + ": " + error);
        }
    }
    if (!failures.empty()) {
        const std::size_t files = (writing ? scans.size() * (o.exportValues ? 2 : 1) : 0) +
                                  (writing && !o.mergeFile.empty() ? 1 : 0);
        throw BindingError(kWriteFailed,
                           withDetails(std::to_string(failures.size()) + " of " +
                                           std::to_string(files) + " files could not be written:",
                                       failures));
    }
    return result;
}
