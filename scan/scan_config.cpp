#include "scan/scan_config.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "scan/ply_mesh.h"
#include "scene/console.h"
#include "scene/materials.h"
#include "scene/parallel_for.h"
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

namespace {

// One scan of a configuration, loaded (and posed) on a worker thread.
struct ScanJob {
    Record record;
    std::string path;         // where the scan is read from
    int id = 0;               // object id, given in record order
    Loaded<PlyMesh> loaded;   // the scan, or why it could not be read
    std::string report;       // the loader's console text
};

// Loads and poses the scan; its report is collected, to be printed in
// record order.
void loadAndPose(ScanJob* job) {
    ConsoleCapture capture;
    PlyLoadOptions options;
    options.normalsFromPose = true;
    job->loaded = PlyMesh::load(job->id, job->path, options);
    if (PlyMesh* s = job->loaded.mesh.get()) {
        s->setMaterial(scanMaterial);
        s->rotate(Quaternion(job->record.qx, job->record.qy, job->record.qz, job->record.qw));
        s->translate(job->record.tx, job->record.ty, job->record.tz);
        s->bakeWorldPositions();
        s->setDisplayMode(Smooth);
    }
    job->report = capture.take();
}

bool damaged(const ScanJob& job) { return job.loaded.status.failure == LoadFailure::DataDamaged; }

// The bmesh records of the configuration, with their paths and ids.
std::vector<ScanJob> readJobs(FILE* f, const std::string& fileName) {
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
    return jobs;
}

// Scans are independent: they load on all cores. A damaged scan ends the
// reading as if the scans were read one after the other: the workers take
// no record after it (a later one already taken still loads, and is dropped).
// Returns the number of jobs up to and including the damaged one.
std::size_t loadJobs(std::vector<ScanJob>& jobs) {
    std::atomic<std::size_t> end{jobs.size()};
    parallelFor(jobs.size(), workerThreads(), [&](std::size_t i, int) {
        if (i >= end) return;
        loadAndPose(&jobs[i]);
        if (!damaged(jobs[i])) return;
        std::size_t seen = end;
        while (i + 1 < seen && !end.compare_exchange_weak(seen, i + 1)) {}
    });
    return end;
}

}  // namespace

ScanConfigLoad readScanConfig(const std::string& fileName) {
    ScanConfigLoad result;
    result.threshold = tossThreshold;
    FILE* f = std::fopen(fileName.c_str(), "r");
    if (f == nullptr) {
        result.config = {LoadFailure::CannotOpen, std::strerror(errno), 0};
        consolePrintf("Could not open file %s\n", fileName.c_str());
        return result;
    }
    std::vector<ScanJob> jobs = readJobs(f, fileName);
    std::fclose(f);
    result.bmeshRecords = static_cast<int>(jobs.size());
    const std::size_t loaded = loadJobs(jobs);
    result.unread = static_cast<int>(jobs.size() - loaded);

    // Reported and handed over in record order, as if one after the other.
    for (std::size_t i = 0; i < loaded; ++i) {
        ScanJob& job = jobs[i];
        consoleWrite(job.report);
        if (damaged(job)) {
            result.failures.push_back({job.record.file, job.path, job.loaded.status});
            return result;
        }
        ConsoleText() << "Adding PLY mesh from " << job.path << std::endl;
        if (job.loaded.mesh == nullptr)
            result.failures.push_back({job.record.file, job.path, job.loaded.status});
        else
            result.scans.push_back({job.record.file, job.path, std::move(job.loaded.mesh)});
    }
    if (result.scans.size() > 1) result.threshold = defaultTossThreshold(*result.scans[0].mesh);
    consolePrintf("%s %f\n", "Threshold for point removal: ",
                  static_cast<double>(result.threshold));
    return result;
}

void addScansToScene(ScanConfigLoad& load) {
    for (ConfigScan& scan : load.scans) {
        sceneList.push_back(scan.mesh.release());
        visibilityFlags.set(sceneList.size() - 1, true);
    }
    tossThreshold = load.threshold;
}
