#include "clean/clean_run.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "clean/clean_report.h"
#include "clean/distance_histogram.h"
#include "clean/histogram_plot.h"
#include "clean/merged_cloud.h"
#include "clean/output_targets.h"
#include "clean/progress_bar.h"
#include "clean/scan_loading.h"
#include "clean/value_export.h"
#include "picture/png_file.h"
#include "scan/overlap_analysis.h"
#include "scan/ply_mesh.h"
#include "scene/console.h"
#include "scene/plain_paths.h"
#include "scene/scene_state.h"

const char* const kCleanProgram = "rangeloom-clean";

void printCleanError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kCleanProgram, message.c_str());
}

namespace {

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Runs the viewer's analysis on all scans. Warns when there was nothing to
// compare or the analysis could not run: no point is then tossed.
void analyse(const std::vector<PlyMesh*>& scans, const CleanOptions& o, ProgressBar& bar) {
    const int n = static_cast<int>(scans.size());
    const int total = n * (n - 1);
    int passes = 0;
    AnalysisOptions analysis;
    analysis.threads = o.threads;
    analysis.progress = o.verbosity == Verbosity::Verbose;
    analysis.onPass = [&](int done, int all) {
        passes = done;
        bar.show("Analysing", done, all);
    };
    if (total > 0) bar.show("Analysing", 0, total);
    ConsoleCapture transcript;
    analyzeOverlap(std::vector<Mesh*>(scans.begin(), scans.end()), nullptr, analysis);
    const std::string text = transcript.take();
    bar.clear();
    if (o.verbosity == Verbosity::Verbose) {
        std::fputs(text.c_str(), stdout);
        // The progress figures end without a line end.
        if (!text.empty() && text.back() != '\n') std::fputc('\n', stdout);
    }
    if (o.verbosity == Verbosity::Quiet || (passes == total && total > 0)) return;
    if (n == 1) {
        printCleanError("warning: only one scan, nothing to compare it with; no point is tossed");
        return;
    }
    std::string why;
    for (const std::string& line : linesOf(text))
        if (!line.empty()) why = line;
    printCleanError("warning: the scans were not analysed (" + why + "); no point is tossed");
}

// Writes the cleaned file (and the export) of every scan; the writer's
// messages go to standard error. Fills the rows' file columns and returns
// the number of files that could not be written.
int writeFiles(const std::vector<PlyMesh*>& scans, const OutputTargets& t, const CleanOptions& o,
               ProgressBar& bar, std::vector<ScanReport>* rows) {
    int failed = 0;
    const int n = static_cast<int>(scans.size());
    for (int i = 0; i < n; ++i) {
        bar.show("Writing", i, n);
        ConsoleCapture messages;
        const bool written = scans[i]->writeCleaned(o.outFolder);
        const std::string text = messages.take();
        std::string exportError;
        const bool exported = !o.exportValues || writeValueExport(*scans[i], tossThreshold,
                                                                  t.exported[i], &exportError);
        if (!text.empty() || !exported) bar.clear();
        std::fputs(text.c_str(), stderr);
        if (!exported)
            std::fprintf(stderr, "Could not write %s: %s\n", t.exported[i].c_str(),
                         exportError.c_str());
        (*rows)[i].written = written ? t.cleaned[i] : "FAILED";
        if (o.exportValues) (*rows)[i].exported = exported ? t.exported[i] : "FAILED";
        failed += (written ? 0 : 1) + (exported ? 0 : 1);
    }
    bar.show("Writing", n, n);
    bar.clear();
    return failed;
}

// The histogram CSV and the plot asked for; failures named on standard
// error. Returns the number of files that could not be written.
int writeReports(const std::vector<PlyMesh*>& scans, const CleanOptions& o) {
    if (o.histogramFile.empty() && o.plotFile.empty()) return 0;
    const ScanHistogram h =
        histogramOfScans(std::vector<const Mesh*>(scans.begin(), scans.end()), o.bins);
    int failed = 0;
    std::string error;
    if (!o.histogramFile.empty() && !writeTextFile(o.histogramFile, histogramCsv(h), &error)) {
        std::fprintf(stderr, "Could not write %s: %s\n", o.histogramFile.c_str(), error.c_str());
        ++failed;
    }
    if (!o.plotFile.empty()) {
        PlotOptions plot;
        plot.title = "Distances to the other scans: " + baseName(o.config);
        plot.threshold = tossThreshold;
        plot.logCounts = o.plotLog;
        RgbImage picture;
        if (!drawHistogramPlot(h, plot, &picture, &error) ||
            writePng(picture, o.plotFile, false, &error) != PngWrite::Written) {
            std::fprintf(stderr, "Could not write %s: %s\n", o.plotFile.c_str(), error.c_str());
            ++failed;
        }
    }
    return failed;
}

// The median and 95th percentile of every measured value of every scan.
DistanceSummary overallDistances(const std::vector<PlyMesh*>& scans) {
    std::vector<float> all;
    for (const PlyMesh* s : scans) {
        const std::vector<float> measured = measuredValues(s->vertexValues, s->vertices.size());
        all.insert(all.end(), measured.begin(), measured.end());
    }
    return summarizeDistances(std::move(all));
}

// Writes the merged cloud; false, with the reason on standard error, when it
// could not be written.
bool writeMerged(const std::vector<PlyMesh*>& scans, const CleanOptions& o, ProgressBar& bar) {
    std::vector<MergeSource> sources;
    for (const PlyMesh* s : scans) sources.push_back({s, s->label()});
    bar.show("Merging", 0, 0);
    std::size_t points = 0;
    std::string error;
    const bool written =
        writeMergedCloud(sources, tossThreshold, o.keepTossed, o.mergeFile, &points, &error);
    bar.clear();
    if (!written) {
        std::fprintf(stderr, "Could not write %s: %s\n", o.mergeFile.c_str(), error.c_str());
        return false;
    }
    if (o.verbosity != Verbosity::Quiet)
        std::printf("merged %zu points of %zu scans into %s\n", points, scans.size(),
                    o.mergeFile.c_str());
    return true;
}

// With the scans loaded: the threshold, the check of the files to write, the
// analysis, the files and the table. Returns the exit status.
CleanStatus clean(const CleanInput& input, const CleanOptions& o, ProgressBar& bar) {
    std::vector<PlyMesh*> scans;
    std::vector<std::string> scanPaths;    // the files read
    std::vector<std::string> outputNames;  // what the files written are named after
    for (const std::unique_ptr<PlyMesh>& scan : input.scans) {
        scans.push_back(scan.get());
        if (scan->scanNumber() <= 1) scanPaths.push_back(scan->fileName);  // a file once
        outputNames.push_back(scan->outputSource());
    }
    const float defaultThreshold = input.defaultThreshold;
    tossThreshold = defaultThreshold;
    if (o.hasThreshold) tossThreshold = o.threshold;
    if (o.hasSteps) tossThreshold = thresholdAfterSteps(defaultThreshold, o.steps);

    const bool writing = !o.summaryOnly;
    const OutputTargets targets = outputTargets(outputNames, o.outFolder, o.exportValues);
    OutputTargets checked = writing ? targets : OutputTargets();
    for (const std::string* report : {&o.histogramFile, &o.plotFile})
        if (!report->empty()) checked.reports.push_back(*report);
    {
        const std::vector<std::string> clashes =
            runCollisions(o.config, scanPaths, checked, writing ? o.mergeFile : std::string());
        for (const std::string& clash : clashes) printCleanError(clash);
        if (!clashes.empty()) {
            printCleanError("nothing written");
            return kUnreadable;
        }
    }
    std::string folderError;
    if (writing && !o.outFolder.empty() && !makeOutputFolder(o.outFolder, &folderError)) {
        printCleanError(folderError);
        return kWriteFailed;
    }

    analyse(scans, o, bar);
    std::vector<ScanReport> rows;
    for (const PlyMesh* s : scans) {
        rows.push_back(reportScan(*s, tossThreshold));
        rows.back().file = s->label();
        rows.back().written = "-";
        if (o.exportValues) rows.back().exported = "-";
    }
    int failed = writing ? writeFiles(scans, targets, o, bar, &rows) : 0;
    failed += writeReports(scans, o);
    if (o.verbosity != Verbosity::Quiet) {
        std::fputs(thresholdLine(o, tossThreshold, defaultThreshold).c_str(), stdout);
        std::fputs(
            formatReportTable(rows, o.exportValues && writing, overallDistances(scans)).c_str(),
            stdout);
    }
    const bool merging = writing && !o.mergeFile.empty();
    if (merging && !writeMerged(scans, o, bar)) ++failed;
    if (failed == 0) return kSuccess;
    const int files = (writing ? static_cast<int>(scans.size()) * (o.exportValues ? 2 : 1) : 0) +
                      static_cast<int>(checked.reports.size()) + (merging ? 1 : 0);
    printCleanError(std::to_string(failed) + " of " + std::to_string(files) +
                    " files could not be written (named above)");
    return kWriteFailed;
}

}  // namespace

CleanStatus runClean(const CleanOptions& o) {
    std::string error;
    if (!checkConfiguration(o.config, &error)) {
        printCleanError(error);
        return kUnreadable;
    }
    setWorkerThreads(o.threads);
    ProgressBar bar(stderr, isatty(2) != 0 && o.verbosity != Verbosity::Quiet);
    bar.show("Loading " + baseName(o.config) + " ...", 0, 0);
    const CleanInput input = loadForCleaning(o.config);
    bar.clear();
    if (o.verbosity == Verbosity::Verbose) std::fputs(input.transcript.c_str(), stdout);
    if (input.status != kSuccess) {
        printCleanError(input.error);
        for (const std::string& line : input.details) std::fprintf(stderr, "  %s\n", line.c_str());
        return input.status;
    }
    return clean(input, o, bar);
}
