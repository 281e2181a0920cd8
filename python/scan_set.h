// The C++ side of the Python module, free of Python: the scans of one input
// loaded as rangeloom-clean loads them, analysed with the same analysis and
// written with the same writers, so that values and files are bit for bit
// the command line's. Failures are thrown as BindingError carrying the
// command line's exit status and message.
//
// Every operation runs under one process-wide lock: the loaders and writers
// read the scene's process-wide state (scene/scene_state.h), which each
// operation sets from scratch, so a load or a clean behaves the same however
// many came before it in the process, on whichever thread.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clean/clean_options.h"
#include "clean/clean_report.h"
#include "clean/exit_status.h"
#include "python/binding_common.h"
#include "scan/ply_mesh.h"

// The options of a clean, as the keyword arguments of ScanSet.clean give them.
struct CleanRequest {
    std::optional<double> threshold;
    std::optional<long long> steps;
    std::optional<std::string> out;
    bool exportValues = false;
    std::optional<std::string> merge;
    bool keepTossed = false;
    bool summaryOnly = false;
    std::optional<std::string> histogram;
    std::optional<std::string> plot;
    std::optional<long long> bins;
    bool plotLog = false;
    long long threads = 0;
};

// What a clean did: the threshold, the closing table's rows, the text
// rangeloom-clean prints on standard output for the same run and the
// warnings it prints on standard error (without "rangeloom-clean: warning: ").
struct CleanResult {
    float threshold = 0.0f;
    std::vector<ScanReport> rows;
    std::string text;
    std::vector<std::string> warnings;
};

class ScanSet {
public:
    // Loads a configuration, or a lone PLY range image, PTX or E57 file (by
    // its extension, any letter case) as a configuration of its scans, on
    // `threads` threads (0: one per processor). Throws BindingError as
    // rangeloom-clean fails: a file that cannot be read, a damaged scan, no
    // scan at all (kUnreadable); threads out of range (kBadUsage).
    static std::shared_ptr<ScanSet> load(const std::string& path, long long threads);

    const std::string& source() const { return source_; }
    float defaultThreshold() const { return defaultThreshold_; }
    const std::string& transcript() const { return transcript_; }
    // What rangeloom-clean warns of after loading: the configuration's words
    // that no record uses.
    const std::vector<std::string>& warnings() const { return warnings_; }
    std::size_t size() const { return scans_.size(); }
    const std::shared_ptr<PlyMesh>& scan(std::size_t i) const { return scans_.at(i); }
    bool analyzed() const { return analyzed_; }

    // Runs the overlap analysis afresh on `threads` threads (0: one per
    // processor); the values are then in each scan's vertexValues. Returns
    // rangeloom-clean's warning (without "warning: ") when nothing could be
    // compared, else "".
    std::string analyze(long long threads);

    // Cleans at the threshold asked for (the default one unless given or
    // moved by steps) with rangeloom-clean's own code and options, the
    // analysis run first when it has not been. Throws BindingError where
    // rangeloom-clean fails, with its message: bad options (kBadUsage),
    // colliding files (kUnreadable, nothing written), files that could not
    // be written (kWriteFailed, after every other file was written).
    CleanResult clean(const CleanRequest& request);

private:
    ScanSet() = default;
    std::string analyzeLocked(int threads);
    CleanResult cleanLocked(const CleanOptions& options);

    std::string source_;
    float defaultThreshold_ = 0.0f;
    std::string transcript_;
    std::vector<std::string> warnings_;
    std::string thresholdNote_;  // said when the default threshold is far from the first spacing
    std::vector<std::shared_ptr<PlyMesh>> scans_;
    bool analyzed_ = false;
};

// The values of an analysed scan as one float per point, NaN for a point
// that was not measured (kUnmeasured in the mesh); waits for a running
// operation to end.
void valuesWithNan(const PlyMesh& scan, float* out);
