#include "clean/clean_run.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "clean/clean_register.h"
#include "clean/clean_report.h"
#include "clean/distance_histogram.h"
#include "clean/histogram_plot.h"
#include "clean/merged_cloud.h"
#include "clean/output_targets.h"
#include "clean/scan_loading.h"
#include "clean/value_export.h"
#include "cli/command_line.h"
#include "cli/progress_bar.h"
#include "files/file_identity.h"
#include "files/printable_name.h"
#include "formats/structured_scan.h"
#include "picture/png_file.h"
#include "scan/overlap_analysis.h"
#include "scan/ply_mesh.h"
#include "scan/scan_config.h"
#include "scene/console.h"
#include "scene/plain_paths.h"
#include "scene/range_grid.h"
#include "scene/scene_state.h"

const char* const kCleanProgram = "rangeloom-clean";

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

void printCleanError(const std::string& message) {
    printProgramError(kCleanProgram, message);
}

namespace {

// Where the text of one run goes, and its progress bar.
struct RunConsole {
    std::FILE* out;
    std::FILE* err;
    ProgressBar& bar;

    // "rangeloom-clean: MESSAGE" on the run's error stream.
    void error(const std::string& message) const {
        std::fprintf(err, "%s: %s\n", kCleanProgram, message.c_str());
    }
};

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Runs the viewer's analysis on all scans. Warns when there was nothing to
// compare or the analysis could not run: no point is then tossed.
void analyse(const std::vector<PlyMesh*>& scans, const CleanOptions& o, const RunConsole& c) {
    ProgressBar& bar = c.bar;
    const std::size_t n = scans.size();
    const std::int64_t total = analysisPassCount(n);
    std::int64_t passes = 0;
    AnalysisOptions analysis;
    analysis.threads = o.threads;
    analysis.progress = o.verbosity == Verbosity::Verbose;
    analysis.onPass = [&](std::int64_t done, std::int64_t) { passes = done; };
    // Scans sorted into cells, then cells measured; the passes are all done
    // at the end.
    analysis.onPhase = [&](const char* phase, std::int64_t done, std::int64_t all) {
        bar.show(phase, done, all);
    };
    if (total > 0) bar.show("Analysing", 0, 0);
    ConsoleCapture transcript;
    analyzeOverlap(std::vector<Mesh*>(scans.begin(), scans.end()), nullptr, analysis);
    const std::string text = transcript.take();
    bar.clear();
    if (o.verbosity == Verbosity::Verbose) {
        std::fputs(text.c_str(), c.out);
        // The progress figures end without a line end.
        if (!text.empty() && text.back() != '\n') std::fputc('\n', c.out);
    }
    if (o.verbosity == Verbosity::Quiet || (passes == total && total > 0)) return;
    if (n == 1) {
        c.error("warning: only one scan, nothing to compare it with; no point is tossed");
        return;
    }
    std::string why;
    for (const std::string& line : linesOf(text))
        if (!line.empty()) why = line;
    c.error("warning: the scans were not analysed (" + why + "); no point is tossed");
}

// Writes the cleaned file (and the export) of every scan; the writer's
// messages go to standard error. No file replaces a scan or a file written
// a moment before, as the file system says when it is put in place. Fills
// the rows' file columns and returns the number of files that could not be
// written.
int writeFiles(const std::vector<PlyMesh*>& scans, const OutputTargets& t, const CleanOptions& o,
               const RunConsole& c, std::vector<ScanReport>* rows) {
    ProgressBar& bar = c.bar;
    int failed = 0;
    const int n = static_cast<int>(scans.size());
    files::ProtectedFiles keep;
    for (const PlyMesh* scan : scans)
        keep.add(scan->fileName, "scan " + files::printableName(scan->fileName));
    for (int i = 0; i < n; ++i) {
        bar.show("Writing", i, n);
        ConsoleCapture messages;
        const bool written = scans[i]->writeCleaned(o.outFolder, &keep);
        if (written) keep.add(t.cleaned[i], "the file written for another scan");
        const std::string text = messages.take();
        std::string exportError;
        const bool exported =
            !o.exportValues ||
            writeValueExport(*scans[i], tossThreshold, t.exported[i], &exportError, &keep);
        if (o.exportValues && exported)
            keep.add(t.exported[i], "the file written for another scan");
        if (!text.empty() || !exported) bar.clear();
        std::fputs(text.c_str(), c.err);
        if (!exported)
            std::fprintf(c.err, "Could not write %s: %s\n",
                         files::printableName(t.exported[i]).c_str(), exportError.c_str());
        (*rows)[i].written = written ? t.cleaned[i] : "FAILED";
        if (o.exportValues) (*rows)[i].exported = exported ? t.exported[i] : "FAILED";
        failed += (written ? 0 : 1) + (exported ? 0 : 1);
    }
    bar.show("Writing", n, n);
    bar.clear();
    return failed;
}

// Prints a refusal: the error, then its details indented.
CleanStatus refuse(const CleanInput& input) {
    printCleanError(input.error);
    for (const std::string& line : input.details) std::fprintf(stderr, "  %s\n", line.c_str());
    return input.status;
}

void warn(const std::vector<std::string>& warnings, const CleanOptions& o) {
    if (o.verbosity == Verbosity::Quiet) return;
    for (const std::string& line : warnings) printCleanError("warning: " + line);
}

// The files of the scans that the records name would collide (checked
// before any scan is loaded): each clash is said, then "nothing written".
bool targetsCollide(const ScanConfigRecords& records, const CleanOptions& o) {
    if (o.summaryOnly) return false;
    std::vector<std::string> scanPaths;
    for (const ScanRecord& r : records.records) scanPaths.push_back(r.path);
    const std::vector<std::string> clashes =
        targetCollisions(scanPaths, outputTargets(scanPaths, o.outFolder, o.exportValues));
    for (const std::string& clash : clashes) printCleanError(clash);
    if (!clashes.empty()) printCleanError("nothing written");
    return !clashes.empty();
}

// The histogram CSV and the plot asked for; failures named on standard
// error. Returns the number of files that could not be written.
int writeReports(const std::vector<PlyMesh*>& scans, const CleanOptions& o, const RunConsole& c) {
    if (o.histogramFile.empty() && o.plotFile.empty()) return 0;
    const ScanHistogram h =
        histogramOfScans(std::vector<const Mesh*>(scans.begin(), scans.end()), o.bins);
    int failed = 0;
    std::string error;
    if (!o.histogramFile.empty() && !writeTextFile(o.histogramFile, histogramCsv(h), &error)) {
        std::fprintf(c.err, "Could not write %s: %s\n", o.histogramFile.c_str(), error.c_str());
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
            std::fprintf(c.err, "Could not write %s: %s\n", o.plotFile.c_str(), error.c_str());
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
bool writeMerged(const std::vector<PlyMesh*>& scans, const CleanOptions& o, const RunConsole& c) {
    ProgressBar& bar = c.bar;
    std::vector<MergeSource> sources;
    for (PlyMesh* s : scans) {
        // The merged points carry their normals: a lean scan gets them now.
        if (trianglesInRaster(*s)) rasterVertexNormals(*s);
        sources.push_back({s, s->label()});
    }
    bar.show("Merging", 0, 0);
    files::ProtectedFiles keep;
    keep.add(o.config, "the input " + files::printableName(o.config));
    for (const PlyMesh* s : scans)
        keep.add(s->fileName, "scan " + files::printableName(s->fileName));
    std::size_t points = 0;
    std::string error;
    const bool written =
        writeMergedCloud(sources, tossThreshold, o.keepTossed, o.mergeFile, &points, &error, &keep);
    bar.clear();
    const std::string shown = files::printableName(o.mergeFile);
    if (!written) {
        std::fprintf(c.err, "Could not write %s: %s\n", shown.c_str(), error.c_str());
        return false;
    }
    if (o.verbosity != Verbosity::Quiet)
        std::fprintf(c.out, "merged %zu points of %zu scans into %s\n", points, scans.size(),
                     shown.c_str());
    return true;
}

// Every clash of the files to write with the input, the scans and each
// other (see targetCollisions); the merged file is one more target.
std::vector<std::string> collisions(const std::string& input,
                                    const std::vector<std::string>& sources, OutputTargets targets,
                                    const std::string& merged) {
    std::vector<std::string> clashes;
    if (!merged.empty()) {
        files::ProtectedFiles inputFile;
        inputFile.add(input, "the input " + files::printableName(input));
        const std::string clash = inputFile.clashOf(merged);
        if (!clash.empty())
            clashes.push_back("cannot write " + files::printableName(merged) + ": it is also " +
                              clash);
        targets.cleaned.push_back(merged);
    }
    const std::vector<std::string> more = targetCollisions(sources, targets);
    clashes.insert(clashes.end(), more.begin(), more.end());
    return clashes;
}

}  // namespace

CleanStatus cleanLoadedScans(const std::vector<PlyMesh*>& scans, float defaultThreshold,
                             const CleanOptions& o, bool analysed, const CleanConsole& console,
                             std::vector<ScanReport>* rowsOut) {
    ProgressBar bar(console.err, console.progress);
    const RunConsole c{console.out, console.err, bar};
    std::vector<std::string> scanPaths;    // the files read
    std::vector<std::string> outputNames;  // what the files written are named after
    for (const PlyMesh* scan : scans) {
        if (scan->scanNumber() <= 1) scanPaths.push_back(scan->fileName);  // a file once
        outputNames.push_back(scan->outputSource());
    }
    tossThreshold = defaultThreshold;
    if (o.hasThreshold) tossThreshold = o.threshold;
    if (o.hasSteps) tossThreshold = thresholdAfterSteps(defaultThreshold, o.steps);

    const bool writing = !o.summaryOnly;
    const OutputTargets targets = outputTargets(outputNames, o.outFolder, o.exportValues);
    OutputTargets checked = writing ? targets : OutputTargets();
    for (const std::string* report : {&o.histogramFile, &o.plotFile})
        if (!report->empty()) checked.reports.push_back(*report);
    const std::string registered = o.registerFirst && writing ? registeredConfigTarget(o) : "";
    if (!registered.empty()) checked.reports.push_back(registered);
    {
        std::vector<std::string> clashes =
            collisions(o.config, scanPaths, checked, writing ? o.mergeFile : std::string());
        if (!registered.empty()) {
            files::ProtectedFiles inputFile;
            inputFile.add(o.config, "the input " + files::printableName(o.config));
            const std::string clash = inputFile.clashOf(registered);
            if (!clash.empty())
                clashes.push_back("cannot write " + files::printableName(registered) +
                                  ": it is also " + clash);
        }
        for (const std::string& clash : clashes) c.error(clash);
        if (!clashes.empty()) {
            c.error("nothing written");
            return kUnreadable;
        }
    }
    std::string refinedText;
    if (o.registerFirst && registerBeforeCleaning(scans, o, bar, &refinedText) != kSuccess)
        return kUnreadable;
    std::string folderError;
    if (writing && !o.outFolder.empty() && !makeOutputFolder(o.outFolder, &folderError)) {
        c.error(files::printableName(folderError));
        return kWriteFailed;
    }

    int failed = 0;
    if (!registered.empty() && !writeRegisteredConfig(registered, refinedText, scans, o)) ++failed;
    // Registration moves the scans: their values are measured again.
    if (!analysed || o.registerFirst) analyse(scans, o, c);
    std::vector<ScanReport> rows;
    for (const PlyMesh* s : scans) {
        rows.push_back(reportScan(*s, tossThreshold));
        rows.back().file = s->label();
        rows.back().written = "-";
        if (o.exportValues) rows.back().exported = "-";
    }
    failed += writing ? writeFiles(scans, targets, o, c, &rows) : 0;
    failed += writeReports(scans, o, c);
    if (o.verbosity != Verbosity::Quiet) {
        std::fputs(thresholdLine(o, tossThreshold, defaultThreshold).c_str(), c.out);
        std::fputs(
            formatReportTable(rows, o.exportValues && writing, overallDistances(scans)).c_str(),
            c.out);
    }
    if (rowsOut != nullptr) *rowsOut = rows;
    const bool merging = writing && !o.mergeFile.empty();
    if (merging && !writeMerged(scans, o, c)) ++failed;
    if (failed == 0) return kSuccess;
    const int files = (writing ? static_cast<int>(scans.size()) * (o.exportValues ? 2 : 1) : 0) +
                      static_cast<int>(checked.reports.size()) + (merging ? 1 : 0);
    c.error(std::to_string(failed) + " of " + std::to_string(files) +
            " files could not be written (named above)");
    return kWriteFailed;
}

CleanStatus runClean(const CleanOptions& o) {
    std::string error;
    if (!checkConfiguration(o.config, &error)) {
        printCleanError(error);
        return kUnreadable;
    }
    setWorkerThreads(o.threads);
    // A configuration that will be refused is refused before its scans load;
    // a PTX or E57 file is its own configuration and has no records.
    const bool scanFile = formats::isStructuredScanFile(o.config);
    ScanConfigRecords records;
    if (!scanFile) {
        records = readScanRecords(o.config);
        const CleanInput checked = checkRecords(records);
        if (checked.status != kSuccess) return refuse(checked);
        if (targetsCollide(records, o)) return kUnreadable;
    }

    ProgressBar bar(stderr, isatty(2) != 0 && o.verbosity != Verbosity::Quiet);
    bar.show("Loading " + files::printableName(baseName(o.config)) + " ...", 0, 0);
    // The loader's transcript, which counts every scan's faces and edges, is
    // only shown when verbose: otherwise range images are loaded lean (the
    // registration then reads their triangles from their rasters).
    const bool lean = o.verbosity != Verbosity::Verbose;
    const CleanInput input =
        scanFile ? loadForCleaning(o.config, lean) : loadForCleaning(records, lean);
    bar.clear();
    if (o.verbosity == Verbosity::Verbose) std::fputs(input.transcript.c_str(), stdout);
    if (input.status != kSuccess) return refuse(input);
    warn(input.warnings, o);
    if (!o.hasThreshold && !input.thresholdNote.empty()) warn({input.thresholdNote}, o);
    std::vector<PlyMesh*> scans;
    for (const std::unique_ptr<PlyMesh>& scan : input.scans) scans.push_back(scan.get());
    CleanConsole console;
    console.progress = isatty(2) != 0 && o.verbosity != Verbosity::Quiet;
    return cleanLoadedScans(scans, input.defaultThreshold, o, false, console);
}
