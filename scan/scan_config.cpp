#include "scan/scan_config.h"
#include "scene/console.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>

#include "libply/plyfile.h"
#include "scan/ply_mesh.h"
#include "scene/materials.h"
#include "scene/plain_paths.h"
#include "scene/scene_state.h"

namespace {

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The fields of one record. They keep their values from one record to the
// next, so a record cut short reuses the missing fields of the one before.
struct Record {
    std::string keyword;
    std::string file;
    float tx = 0, ty = 0, tz = 0;
    float qx = 0, qy = 0, qz = 0, qw = 0;
};

// Reads one record with the format "%s %s %f %f %f %f %f %f %f". Words of
// any length are taken whole. Returns false at the end of the input, before
// any field was read; a field that is not a number ends the record early and
// stays in the input for the next one.
bool readRecord(FILE* f, Record* r) {
    char* keyword = nullptr;
    char* file = nullptr;
    const int n = std::fscanf(f, "%ms %ms %f %f %f %f %f %f %f", &keyword, &file, &r->tx, &r->ty,
                              &r->tz, &r->qx, &r->qy, &r->qz, &r->qw);
    if (keyword != nullptr) r->keyword = keyword;
    if (file != nullptr) r->file = file;
    std::free(keyword);
    std::free(file);
    return n != EOF;
}

}  // namespace

std::string resolveScanPath(const std::string& scanName, const std::string& configName) {
    if (scanName.empty() || scanName[0] == '/' || fileExists(scanName)) return scanName;
    const std::size_t slash = configName.rfind('/');
    if (slash == std::string::npos) return scanName;
    const std::string beside = configName.substr(0, slash + 1) + scanName;
    return fileExists(beside) ? beside : scanName;
}

float defaultTossThreshold(const PlyMesh& scan) {
    const std::vector<int32_t>& g = scan.gridIndex;
    for (std::size_t k = 0; k + 1 < g.size(); ++k) {
        if (g[k] != -1 && g[k + 1] != -1) {
            return (scan.vertices[g[k]] - scan.vertices[g[k + 1]]).length();
        }
    }
    return tossThreshold;
}

PlyMesh* addScan(const char* fileName) {
    const int id = nextScanId++;
    auto* scan = new PlyMesh(id, fileName);
    ConsoleText() << "Adding PLY mesh from " << fileName << std::endl;
    if (!scan->isLoaded()) {
        delete scan;
        return nullptr;
    }
    scan->setDisplayMode(Smooth);
    sceneList.push_back(scan);
    visibilityFlags.set(sceneList.size() - 1, true);
    return scan;
}

namespace {

// One scan of a configuration, loaded (and posed) on a worker thread.
struct ScanJob {
    Record record;
    std::string path;          // where the scan is read from
    int id = 0;                // object id, given in record order
    PlyMesh* scan = nullptr;   // the loaded scan (null until loaded)
    std::string report;        // the loader's console text
    std::exception_ptr ended;  // how the load ended early, or null
};

// A fatal end of the PLY library met on a worker thread while the library's
// exit handler is the default one: the worker stops with it, and the end is
// carried out on the calling thread (see finishEarly).
struct ScanReadEnded {
    int status;  // the library's exit status
};
[[noreturn]] void stopScanRead(int status) { throw ScanReadEnded{status}; }

// Loads and poses the scan: the same steps as addScan and the pose, except
// that the report is collected to be printed in record order, and a load
// that ends early (the PLY library's fatal end through a handler that
// throws) is kept in the job with the report up to there.
void loadAndPose(ScanJob* job) {
    ConsoleCapture capture;
    try {
        job->scan = new PlyMesh(job->id, job->path.c_str(), true);
        if (job->scan->isLoaded()) {
            PlyMesh& s = *job->scan;
            s.setMaterial(scanMaterial);
            s.rotate(Quaternion(job->record.qx, job->record.qy, job->record.qz, job->record.qw));
            s.translate(job->record.tx, job->record.ty, job->record.tz);
            s.bakeWorldPositions();
        }
    } catch (...) {
        job->ended = std::current_exception();
    }
    job->report = capture.take();
}

// The load of jobs[failed] ended early: what one load after the other would
// have left. Its report (up to the end) is printed, the scans after it are
// dropped, and the end goes on here: the process ends with the library's
// status, or the caller's handler's exception continues.
[[noreturn]] void finishEarly(std::vector<ScanJob>& jobs, std::size_t failed) {
    consoleWrite(jobs[failed].report);
    std::fflush(stdout);
    for (std::size_t i = failed; i < jobs.size(); ++i) delete jobs[i].scan;
    try {
        std::rethrow_exception(jobs[failed].ended);
    } catch (const ScanReadEnded& end) {
        std::exit(end.status);
    }
}

}  // namespace

void readScanConfig(const char* fileName) {
    FILE* f = std::fopen(fileName, "r");
    if (f == nullptr) {
        consolePrintf("Could not open file %s\n", fileName);
        return;
    }
    // Closed however the reading ends: a scan's fatal end may unwind
    // through an exit handler of the PLY library that throws.
    const std::unique_ptr<FILE, int (*)(FILE*)> closer(f, std::fclose);
    std::vector<ScanJob> jobs;
    Record r;
    while (readRecord(f, &r)) {
        if (strcasecmp(r.keyword.c_str(), "camera") == 0) continue;
        if (strcasecmp(r.keyword.c_str(), "bmesh") != 0) continue;
        ScanJob job;
        job.record = r;
        job.path = resolveScanPath(r.file, fileName);
        job.id = nextScanId++;
        jobs.push_back(std::move(job));
    }

    // Scans are independent: they load on all cores, and are then reported
    // and added to the scene in record order, as if one after the other. A
    // scan whose load ends early (the PLY library's fatal end) stops the
    // scans after it; the end itself is carried out on this thread, after
    // the reports of the scans before it. The library's default end (exit
    // on whichever thread met it) is replaced meanwhile so that it can be.
    const ply_exit_handler_fn callerHandler = ply_set_exit_handler(nullptr);
    ply_set_exit_handler(callerHandler != nullptr ? callerHandler : stopScanRead);
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> firstEnded{jobs.size()};
    auto work = [&] {
        for (std::size_t i = next++; i < jobs.size() && i < firstEnded; i = next++) {
            loadAndPose(&jobs[i]);
            if (!jobs[i].ended) continue;
            std::size_t seen = firstEnded;
            while (i < seen && !firstEnded.compare_exchange_weak(seen, i)) {}
        }
    };
    const std::size_t threads = static_cast<std::size_t>(workerThreads());
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < std::min(threads, jobs.size()); ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    ply_set_exit_handler(callerHandler);

    for (std::size_t i = 0; i < jobs.size(); ++i) {
        ScanJob& job = jobs[i];
        if (i == firstEnded) finishEarly(jobs, i);
        consoleWrite(job.report);
        ConsoleText() << "Adding PLY mesh from " << job.path << std::endl;
        if (!job.scan->isLoaded()) {
            delete job.scan;
            continue;
        }
        job.scan->setDisplayMode(Smooth);
        sceneList.push_back(job.scan);
        visibilityFlags.set(sceneList.size() - 1, true);
    }
    if (sceneList.size() > 1) {
        if (const auto* first = dynamic_cast<const PlyMesh*>(sceneList[0]))
            tossThreshold = defaultTossThreshold(*first);
    }
    consolePrintf("%s %f\n", "Threshold for point removal: ", static_cast<double>(tossThreshold));
}
