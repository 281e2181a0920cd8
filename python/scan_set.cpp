#include "python/scan_set.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>
#include <utility>

#include "clean/clean_run.h"
#include "clean/scan_loading.h"
#include "scan/distance_stats.h"
#include "scan/overlap_analysis.h"
#include "scene/console.h"
#include "scene/plain_paths.h"
#include "scene/scene_state.h"
#include "scene/unmeasured.h"

namespace {

bool hasPlyExtension(const std::string& path) {
    return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".ply") == 0;
}

// The message rangeloom-clean prints for a failure with its detail lines.
std::string withDetails(std::string message, const std::vector<std::string>& details) {
    for (const std::string& line : details) message += "\n  " + line;
    return message;
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
    const CleanOptions options = parsedCleanOptions({"--threads", std::to_string(threads)}, path);
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
        set->warnings_ = std::move(input.warnings);
        set->thresholdNote_ = std::move(input.thresholdNote);
        for (std::unique_ptr<PlyMesh>& scan : input.scans) set->scans_.emplace_back(scan.release());
        return set;
    });
}

std::string ScanSet::analyze(long long threads) {
    const CleanOptions options =
        parsedCleanOptions({"--threads", std::to_string(threads)}, source_);
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
    const std::int64_t total = analysisPassCount(n);
    std::int64_t passes = 0;
    AnalysisOptions analysis;
    analysis.threads = threads;
    analysis.progress = false;
    analysis.onPass = [&passes](std::int64_t done, std::int64_t) { passes = done; };
    ConsoleCapture transcript;
    analyzeOverlap(meshes, nullptr, analysis);
    const std::string text = transcript.take();
    analyzed_ = true;
    // The warnings of rangeloom-clean.
    if (passes == total && total > 0) return "";
    if (n == 1) return "only one scan, nothing to compare it with; no point is tossed";
    std::string why;
    for (const std::string& line : linesOf(text))
        if (!line.empty()) why = line;
    return "the scans were not analysed (" + why + "); no point is tossed";
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
    if (r.histogram) args.insert(args.end(), {"--histogram", *r.histogram});
    if (r.plot) args.insert(args.end(), {"--plot", *r.plot});
    if (r.bins) args.insert(args.end(), {"--bins", std::to_string(*r.bins)});
    if (r.plotLog) args.push_back("--plot-log");
    args.insert(args.end(), {"--threads", std::to_string(r.threads)});
    const CleanOptions options = parsedCleanOptions(args, source_);
    return exclusive([&] { return cleanLocked(options); });
}

CleanResult ScanSet::cleanLocked(const CleanOptions& o) {
    std::vector<PlyMesh*> scans;
    for (const std::shared_ptr<PlyMesh>& scan : scans_) scans.push_back(scan.get());
    setWorkerThreads(o.threads);
    CleanResult result;
    CleanStatus status;
    std::string errors;
    {
        MemoryStream out, err;
        CleanConsole console;
        console.out = out.file();
        console.err = err.file();
        status = cleanLoadedScans(scans, defaultThreshold_, o, analyzed_, console, &result.rows);
        result.text = out.text();
        errors = err.text();
    }
    if (!result.rows.empty()) analyzed_ = true;  // the rows come after the analysis
    result.threshold = tossThreshold;
    if (!o.hasThreshold && !thresholdNote_.empty()) result.warnings.push_back(thresholdNote_);
    const ErrorLines said = splitErrorLines(errors);
    result.warnings.insert(result.warnings.end(), said.warnings.begin(), said.warnings.end());
    if (status != kSuccess) throw BindingError(status, said.message);
    return result;
}
