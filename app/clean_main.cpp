// rangeloom-clean: the viewer's scan-configuration work without a window.
// Loads the configuration with the viewer's loaders, runs the same overlap
// analysis and writes the cleaned scans with the same writer, so that at the
// same threshold its files are byte for byte what the viewer's 'p' key
// writes; optionally exports each scan's points with their values. It never
// calls OpenGL and needs no display.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/clean_options.h"
#include "app/clean_report.h"
#include "app/progress_bar.h"
#include "app/value_export.h"
#include "scan/overlap_analysis.h"
#include "scan/ply_mesh.h"
#include "scan/scan_config.h"
#include "scene/console.h"
#include "scene/plain_paths.h"
#include "scene/scene_state.h"

namespace {

enum ExitStatus { kSuccess = 0, kBadUsage = 1, kUnreadable = 2, kWriteFailed = 3 };

const char* const kProgram = "rangeloom-clean";

void printError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
}

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

// ---------------------------------------------------------------------------
// Loading

bool configurationReadable(const std::string& name) {
    struct stat st;
    if (stat(name.c_str(), &st) != 0) {
        printError("cannot read the scan configuration " + name + ": " + std::strerror(errno));
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        printError(name + " is a folder, not a scan configuration");
        return false;
    }
    FILE* f = std::fopen(name.c_str(), "r");
    if (f == nullptr) {
        printError("cannot read the scan configuration " + name + ": " + std::strerror(errno));
        return false;
    }
    std::fclose(f);
    return true;
}

using Scans = std::vector<std::unique_ptr<PlyMesh>>;

// The line that names an unreadable scan and says why.
std::string failureLine(const ConfigScanFailure& failure, int unread) {
    std::string line = failure.path + ": " + failure.status.reason;
    if (failure.status.failure == LoadFailure::DataDamaged && unread > 0)
        line += " (" + std::to_string(unread) + (unread == 1 ? " later scan" : " later scans") +
                " not read)";
    return line;
}

// Loads every scan of the configuration with the viewer's loader into
// *scans and sets the default threshold. Returns kSuccess, or kUnreadable
// (with the reasons printed) when the configuration or a scan could not be
// read or the configuration names none.
int loadScans(const CleanOptions& o, ProgressBar& bar, Scans* scans) {
    bar.show("Loading " + baseName(o.config) + " ...", 0, 0);
    ConsoleCapture transcript;
    ScanConfigLoad load = readScanConfig(o.config);
    const std::string text = transcript.take();
    bar.clear();
    if (o.verbosity == Verbosity::Verbose) std::fputs(text.c_str(), stdout);
    for (ConfigScan& scan : load.scans) scans->push_back(std::move(scan.mesh));
    tossThreshold = load.threshold;

    if (!load.config.ok()) {
        printError("cannot read the scan configuration " + o.config + ": " + load.config.reason);
        return kUnreadable;
    }
    if (load.bmeshRecords == 0) {
        printError(o.config + " names no scans (no bmesh records); nothing written");
        return kUnreadable;
    }
    if (load.failures.empty()) return kSuccess;
    printError(std::to_string(load.failures.size()) + " of " + std::to_string(load.bmeshRecords) +
               " scans of " + o.config + " cannot be read; nothing written:");
    for (const ConfigScanFailure& failure : load.failures)
        std::fprintf(stderr, "  %s\n", failureLine(failure, load.unread).c_str());
    return kUnreadable;
}

// ---------------------------------------------------------------------------
// Where the files go

// An absolute spelling of a path that is the same for two names of one file:
// the resolved folder and the file name (the file itself need not exist).
std::string canonicalPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    if (folder.empty()) folder = "/";
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    if (realpath(folder.c_str(), resolved) != nullptr)
        folder = resolved;
    else if (folder[0] != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) != nullptr) folder = std::string(cwd) + "/" + folder;
    }
    return folder + "/" + name;
}

struct Targets {
    std::vector<std::string> cleaned;   // per scan, the cleaned file
    std::vector<std::string> exported;  // per scan, the export (empty without --export)
};

Targets targetsOf(const std::vector<PlyMesh*>& scans, const CleanOptions& o) {
    Targets t;
    for (const PlyMesh* s : scans) {
        t.cleaned.push_back(PlyMesh::cleanedName(s->fileName, o.outFolder));
        if (o.exportValues) t.exported.push_back(valueExportName(s->fileName, o.outFolder));
    }
    return t;
}

// No two files written may be one file, and none may be a scan of the
// configuration: either would lose data. Prints each clash; false if any.
bool targetsDistinct(const std::vector<PlyMesh*>& scans, const Targets& t) {
    std::vector<std::pair<std::string, std::string>> seen;  // canonical path, what it is
    for (const PlyMesh* s : scans)
        seen.push_back({canonicalPath(s->fileName), "scan " + s->fileName});
    bool distinct = true;
    std::vector<std::string> all = t.cleaned;
    all.insert(all.end(), t.exported.begin(), t.exported.end());
    for (const std::string& target : all) {
        const std::string path = canonicalPath(target);
        for (const auto& [other, what] : seen) {
            if (other != path) continue;
            printError("cannot write " + target + ": it is also " + what);
            distinct = false;
        }
        seen.push_back({path, "the file written for another scan"});
    }
    if (!distinct) printError("nothing written");
    return distinct;
}

// Makes the folder and its missing parents; false with the reason printed.
bool makeFolder(const std::string& folder) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at < folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            printError("cannot make the output folder " + folder + ": " + std::strerror(errno));
            return false;
        }
    }
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        printError("cannot write into " + folder + ": it is not a folder");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Analysing and writing

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
        printError("warning: only one scan, nothing to compare it with; no point is tossed");
        return;
    }
    std::string why;
    for (const std::string& line : linesOf(text))
        if (!line.empty()) why = line;
    printError("warning: the scans were not analysed (" + why + "); no point is tossed");
}

// Writes the cleaned file (and the export) of every scan; the writer's
// messages go to standard error. Fills the rows' file columns and returns
// the number of files that could not be written.
int writeFiles(const std::vector<PlyMesh*>& scans, const Targets& t, const CleanOptions& o,
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

std::string thresholdLine(const CleanOptions& o, float defaultThreshold) {
    char line[160];
    if (o.hasThreshold) {
        std::snprintf(line, sizeof line, "removal threshold %g (given)\n", double(tossThreshold));
    } else if (o.hasSteps && o.steps != 0) {
        std::snprintf(line, sizeof line, "removal threshold %g (the default %g moved %d %s)\n",
                      double(tossThreshold), double(defaultThreshold),
                      o.steps < 0 ? -o.steps : o.steps, o.steps > 0 ? "steps up" : "steps down");
    } else {
        std::snprintf(line, sizeof line, "removal threshold %g (default)\n", double(tossThreshold));
    }
    return line;
}

// With the scans loaded: the threshold, the check of the files to write, the
// analysis, the files and the table. Returns the exit status.
int clean(const Scans& loaded, const CleanOptions& o, ProgressBar& bar) {
    std::vector<PlyMesh*> scans;
    for (const std::unique_ptr<PlyMesh>& scan : loaded) scans.push_back(scan.get());
    const float defaultThreshold = tossThreshold;
    if (o.hasThreshold) tossThreshold = o.threshold;
    if (o.hasSteps) tossThreshold = thresholdAfterSteps(defaultThreshold, o.steps);

    const bool writing = !o.summaryOnly;
    const Targets targets = targetsOf(scans, o);
    if (writing && !targetsDistinct(scans, targets)) return kUnreadable;
    if (writing && !o.outFolder.empty() && !makeFolder(o.outFolder)) return kWriteFailed;

    analyse(scans, o, bar);
    std::vector<ScanReport> rows;
    for (const PlyMesh* s : scans) {
        rows.push_back(reportScan(*s, tossThreshold));
        rows.back().written = "-";
        if (o.exportValues) rows.back().exported = "-";
    }
    const int failed = writing ? writeFiles(scans, targets, o, bar, &rows) : 0;
    if (o.verbosity != Verbosity::Quiet) {
        std::fputs(thresholdLine(o, defaultThreshold).c_str(), stdout);
        std::fputs(formatReportTable(rows, o.exportValues && writing).c_str(), stdout);
    }
    if (failed == 0) return kSuccess;
    const int files = static_cast<int>(scans.size()) * (o.exportValues ? 2 : 1);
    printError(std::to_string(failed) + " of " + std::to_string(files) +
               " files could not be written (named above)");
    return kWriteFailed;
}

// The whole run; returns the exit status.
int run(const CleanOptions& o) {
    if (!configurationReadable(o.config)) return kUnreadable;
    setWorkerThreads(o.threads);
    ProgressBar bar(stderr, isatty(2) != 0 && o.verbosity != Verbosity::Quiet);
    Scans scans;
    const int status = loadScans(o, bar, &scans);
    return status == kSuccess ? clean(scans, o, bar) : status;
}

}  // namespace

int main(int argc, char** argv) {
    CleanOptions options;
    std::string error;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    switch (parseCleanOptions(args, &options, &error)) {
        case ParseOutcome::Help:
            std::fputs(cleanHelpText().c_str(), stdout);
            return kSuccess;
        case ParseOutcome::Version:
            std::printf("%s %s\n", kProgram, RANGELOOM_VERSION);
            return kSuccess;
        case ParseOutcome::BadUsage:
            printError(error);
            std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
            return kBadUsage;
        case ParseOutcome::Run:
            break;
    }
    return run(options);
}
