// rangeloom-register: refines the poses of a scan configuration's scans so
// that their overlapping surfaces meet, and writes the configuration back
// with the new poses (every other record and all spacing and comments kept).
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/exit_status.h"
#include "cli/progress_bar.h"
#include "files/file_replacement.h"
#include "files/printable_name.h"
#include "register/refine.h"
#include "register/register_options.h"
#include "register/register_report.h"
#include "register/scan_source.h"

namespace {

const char* const kProgram = "rangeloom-register";

void printError(const std::string& message) {
    printProgramError(kProgram, message);
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// One line per iteration, for --verbose.
std::string traceLines(const registration::RegistrationResult& result) {
    std::string text;
    int k = 0;
    for (const registration::IterationReport& it : result.trace) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "iteration %d: search radius %.3g, %zu pairs, objective %.4g, moved %.3g\n",
                      ++k, it.radius, it.pairs, it.objective, it.moved);
        text += line;
    }
    return text;
}

ExitStatus run(const RegisterOptions& o) {
    const bool quiet = o.verbosity == Verbosity::Quiet;
    std::string text, error;
    if (!readConfigText(o.config, &text, &error)) {
        printError(error);
        return kUnreadable;
    }
    const std::vector<ConfigRecord> records = readConfigRecords(text);
    std::vector<std::string> warnings;
    if (!checkRecordsAsTheReader(o.config, records, &error, &warnings) ||
        !checkRecordPoses(records, &error, &warnings)) {
        printError(error + "; nothing written");
        return kUnreadable;
    }
    registration::RegistrationOptions options;
    options.threads = o.threads;
    options.startRadius = o.radius;
    if (!o.fix.empty()) {
        options.fixedScan = findScanRecord(records, o.fix);
        std::size_t scans = 0;
        for (const ConfigRecord& r : records) scans += r.isScan() ? 1 : 0;
        if (options.fixedScan == scans) {
            printError("--fix " + o.fix + ": the configuration names no such scan");
            return kBadUsage;
        }
    }
    if (!quiet)
        for (const std::string& w : warnings) printError(w);

    const std::string out = o.out.empty() ? registeredConfigName(o.config) : o.out;
    ProgressBar bar(stderr, isatty(2) != 0 && !quiet);
    bar.show("Loading " + baseName(o.config) + " ...", 0, 0);
    ScanSource source;
    std::vector<std::string> problems;
    std::string transcript;
    const bool loaded = loadScanSource(o.config, records, o.threads, &source, &problems,
                                       o.verbosity == Verbosity::Verbose ? &transcript : nullptr);
    bar.clear();
    std::fputs(transcript.c_str(), stdout);
    if (!loaded) {
        for (const std::string& p : problems) printError(p);
        printError("nothing written");
        return kUnreadable;
    }
    // The configuration may be written over itself, never over a scan.
    files::ProtectedFiles scans;
    for (const std::string& scan : source.paths)
        scans.add(scan, "scan " + files::printableName(scan));
    const std::string shown = files::printableName(out);
    const std::string clash = scans.clashOf(out);
    if (!clash.empty()) {
        printError("cannot write " + shown + ": it is also " + clash + "; nothing written");
        return kUnreadable;
    }

    options.onIteration = [&](int iteration, int) {
        bar.show("Registering: iteration " + std::to_string(iteration), 0, 0);
    };
    Refinement refined;
    const bool rewritten = refineConfiguration(text, records, source, options, &refined, &error);
    bar.clear();
    if (o.verbosity == Verbosity::Verbose) std::fputs(traceLines(refined.result).c_str(), stdout);
    if (!quiet) {
        std::fputs(formatRegistrationReport(o.config, refined.names, refined.result).c_str(),
                   stdout);
        std::fflush(stdout);
        for (const std::string& w : registrationWarnings(refined.names, refined.result))
            printError(w);
    }
    if (!rewritten) {
        printError(error + "; nothing written");
        return kUnreadable;
    }
    if (!files::replaceFileWith(out, refined.text, &error, &scans)) {
        printError("cannot write " + shown + ": " + error);
        return kWriteFailed;
    }
    if (!quiet) std::printf("written %s\n", shown.c_str());
    return kSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    RegisterOptions options;
    std::string error;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParseOutcome outcome = parseRegisterOptions(args, &options, &error);
    if (outcome != ParseOutcome::Run)
        return answerCommandLine(outcome, kProgram, registerHelpText(), error);
    return run(options);
}
