#include "clean/clean_register.h"

#include <cstdio>

#include "clean/clean_run.h"
#include "cli/command_line.h"
#include "files/file_replacement.h"
#include "files/printable_name.h"
#include "formats/structured_scan.h"
#include "register/refine.h"
#include "register/register_report.h"
#include "register/scan_source.h"

std::string registeredConfigTarget(const CleanOptions& o) {
    return registeredConfigName(o.config, o.outFolder);
}

CleanStatus registerBeforeCleaning(const std::vector<PlyMesh*>& scans, const CleanOptions& o,
                                   ProgressBar& bar, std::string* text) {
    const bool quiet = o.verbosity == Verbosity::Quiet;
    std::string error;
    if (formats::isStructuredScanFile(o.config)) {
        printCleanError("--register: " + files::printableName(o.config) +
                        " is a PTX or E57 file: registration moves one scan per record; convert "
                        "it with rangeloom-scanconvert first; nothing written");
        return kUnreadable;
    }
    if (!readConfigText(o.config, text, &error)) {
        printCleanError(error + "; nothing written");
        return kUnreadable;
    }
    const std::vector<ConfigRecord> records = readConfigRecords(*text);
    std::vector<std::string> warnings;
    ScanSource source;
    if (!checkRecordPoses(records, &error, &warnings) ||
        !scanSourceOf(std::vector<const PlyMesh*>(scans.begin(), scans.end()), records, &source,
                      &error)) {
        printCleanError("--register: " + error + "; nothing written");
        return kUnreadable;
    }
    if (!quiet)
        for (const std::string& w : warnings) printCleanError(w);

    registration::RegistrationOptions options;
    options.threads = o.threads;
    options.onIteration = [&](int iteration, int) {
        bar.show("Registering: iteration " + std::to_string(iteration), 0, 0);
    };
    Refinement refined;
    const bool rewritten = refineConfiguration(*text, records, source, options, &refined, &error);
    bar.clear();
    if (!quiet) {
        std::fputs(formatRegistrationReport(o.config, refined.names, refined.result).c_str(),
                   stdout);
        std::fflush(stdout);
        for (const std::string& w : registrationWarnings(refined.names, refined.result))
            printCleanError(w);
    }
    if (!rewritten) {
        printCleanError("--register: " + error + "; nothing written");
        return kUnreadable;
    }
    // The scans as the refined configuration places them: bit for bit what
    // cleaning that configuration would analyse.
    for (std::size_t k = 0; k < scans.size(); ++k)
        if (refined.moved[k]) placeByRecord(*scans[k], refined.poses[k].values);
    *text = refined.text;
    return kSuccess;
}

bool writeRegisteredConfig(const std::string& target, const std::string& text,
                           const std::vector<PlyMesh*>& scans, const CleanOptions& o) {
    files::ProtectedFiles keep;
    keep.add(o.config, "the input " + files::printableName(o.config));
    for (const PlyMesh* s : scans)
        keep.add(s->fileName, "scan " + files::printableName(s->fileName));
    const std::string shown = files::printableName(target);
    std::string error;
    if (!files::replaceFileWith(target, text, &error, &keep)) {
        std::fprintf(stderr, "Could not write %s: %s\n", shown.c_str(), error.c_str());
        return false;
    }
    if (o.verbosity != Verbosity::Quiet) std::printf("written %s\n", shown.c_str());
    return true;
}
