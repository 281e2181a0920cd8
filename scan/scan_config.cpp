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

#include "formats/scan_pose.h"
#include "formats/structured_scan.h"
#include "parallel/parallel_for.h"
#include "scan/ply_mesh.h"
#include "scene/console.h"
#include "scene/materials.h"
#include "scene/plain_paths.h"
#include "scene/range_grid.h"
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

// One scan a job delivered, or the failure that ended the job.
struct ScanResult {
    Loaded<PlyMesh> loaded;  // the scan, posed and baked, or why it could not be read
    std::string report;      // the loader's console text
    std::string adding;      // the line saying it was added ("" for none)
};

// One bmesh record, loaded on a worker thread: a PLY file gives one result,
// a PTX or E57 file one per scan read and, when it could not be read to the
// end, its failure last.
struct ScanJob {
    Record record;
    std::string path;                 // where the scan is read from
    int id = 0;                       // object id of its first scan, given in record order
    bool lean = false;                // loaded lean (PlyLoadOptions::lean)
    std::vector<ScanResult> results;  // in file order
};

// Gives the scan the material, the baked pose and the display mode of a
// configuration's scans; place applies the pose.
template <typename Place>
void finishScan(PlyMesh& scan, const PlyLoadOptions& options, Place place) {
    scan.setMaterial(scanMaterial);
    place();
    // A lean scan whose triangles stay in its raster keeps no normals.
    scan.bakeWorldPositions(!(options.lean && trianglesInRaster(scan)));
    scan.setDisplayMode(Smooth);
}

// Loads and poses a PLY scan; its report is collected, to be printed in
// record order.
void loadPlyScan(ScanJob* job) {
    ScanResult result;
    ConsoleCapture capture;
    PlyLoadOptions options;
    options.normalsFromPose = true;
    options.lean = job->lean;
    result.loaded = PlyMesh::load(job->id, job->path, options);
    if (PlyMesh* s = result.loaded.mesh.get()) {
        const Record& r = job->record;
        finishScan(*s, options, [&] {
            s->rotate(Quaternion(r.qx, r.qy, r.qz, r.qw));
            s->translate(r.tx, r.ty, r.tz);
        });
    }
    result.report = capture.take();
    result.adding = "Adding PLY mesh from " + job->path;
    job->results.push_back(std::move(result));
}

// One scan of a PTX or E57 file as a range image, placed by its own pose
// and then the record's. A transform that no pose can express (a scaling,
// a mirroring) leaves the scan out.
ScanResult placedScan(formats::StructuredScan&& scan, const ScanJob& job) {
    ScanResult result;
    ConsoleCapture capture;
    const formats::ScanHeader h = scan.header;
    const double defect = formats::rigidDefect(h.pose);
    if (!(defect <= formats::kRigidTolerance)) {
        const std::string reason = "scan " + std::to_string(h.index + 1) +
                                   ": its transform is not a rotation and a translation (off by " +
                                   std::to_string(defect) + ")";
        consolePrintf("Could not place %s: %s\n", job.path.c_str(), reason.c_str());
        result.loaded.status = {LoadFailure::ScanFileDamaged, reason, 0};
        result.report = capture.take();
        return result;
    }
    PlyLoadOptions options;
    options.normalsFromPose = true;
    options.lean = job.lean;
    result.loaded.mesh = PlyMesh::fromScan(job.id, std::move(scan), job.path, options);
    PlyMesh& s = *result.loaded.mesh;
    const Record& r = job.record;
    finishScan(s, options,
               [&] { s.placeScan(Quaternion(r.qx, r.qy, r.qz, r.qw), Vec3(r.tx, r.ty, r.tz)); });
    result.report = capture.take();
    result.adding = "Adding " + std::string(h.structured ? "" : "unstructured ") + "scan " +
                    std::to_string(h.index + 1) + " of " + job.path;
    return result;
}

// A failure of a PTX or E57 file as a whole, with its report line.
ScanResult scanFileFailure(LoadFailure kind, const std::string& reason, const std::string& line) {
    ScanResult result;
    result.loaded.status = {kind, reason, 0};
    result.report = line + "\n";
    return result;
}

// The reader's message without the file name it starts with.
std::string reasonOf(const std::string& message, const std::string& path) {
    const std::string prefix = path + ": ";
    return message.compare(0, prefix.size(), prefix) == 0 ? message.substr(prefix.size()) : message;
}

// Reads the file scan by scan: each scan is made a mesh, and its points
// freed, before the next one is read.
void loadScanFile(ScanJob* job) {
    const std::string& path = job->path;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        job->results.push_back(scanFileFailure(LoadFailure::CannotOpen, std::strerror(errno),
                                               "Could not open file " + path));
        return;
    }
    std::fclose(f);
    const formats::ReadStatus status =
        formats::forEachScan(path, [job](formats::StructuredScan& scan) {
            job->results.push_back(placedScan(std::move(scan), *job));
            return true;
        });
    if (!status.ok)
        job->results.push_back(scanFileFailure(LoadFailure::ScanFileDamaged,
                                               reasonOf(status.message, path),
                                               "Could not read " + status.message));
}

void loadJob(ScanJob* job) {
    if (formats::isStructuredScanFile(job->path))
        loadScanFile(job);
    else
        loadPlyScan(job);
}

bool damaged(const ScanResult& result) {
    return result.loaded.status.failure == LoadFailure::DataDamaged;
}
bool damaged(const ScanJob& job) {
    return std::any_of(job.results.begin(), job.results.end(),
                       [](const ScanResult& r) { return damaged(r); });
}

// The bmesh records of the configuration, with their paths and ids.
std::vector<ScanJob> readJobs(FILE* f, const std::string& fileName, bool lean) {
    std::vector<ScanJob> jobs;
    Record r;
    while (readRecord(f, &r)) {
        if (strcasecmp(r.keyword.c_str(), "camera") == 0) continue;
        if (strcasecmp(r.keyword.c_str(), "bmesh") != 0) continue;
        ScanJob job;
        job.record = r;
        job.path = resolveScanPath(r.file, fileName);
        job.id = nextScanId++;
        job.lean = lean;
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
    parallelFor(jobs.size(), workerThreads(), [&](std::size_t begin, std::size_t stop, int) {
        for (std::size_t i = begin; i < stop && i < end; ++i) {
            loadJob(&jobs[i]);
            if (!damaged(jobs[i])) continue;
            std::size_t seen = end;
            while (i + 1 < seen && !end.compare_exchange_weak(seen, i + 1)) {
            }
        }
    });
    return end;
}

// Loads the jobs and hands the scans over in record order (within a file,
// in file order), reported as if read one after the other; then the
// threshold. A file with several scans gives each of them an id: the ids of
// the records after it move up.
void loadAndReport(std::vector<ScanJob>& jobs, ScanConfigLoad* result) {
    result->bmeshRecords = static_cast<int>(jobs.size());
    const std::size_t loaded = loadJobs(jobs);
    result->unread = static_cast<int>(jobs.size() - loaded);
    int extraIds = 0;
    for (std::size_t i = 0; i < loaded; ++i) {
        ScanJob& job = jobs[i];
        int id = job.id + extraIds;
        for (ScanResult& r : job.results) {
            consoleWrite(r.report);
            if (damaged(r)) {
                result->failures.push_back({job.record.file, job.path, r.loaded.status});
                nextScanId += extraIds;
                return;
            }
            if (!r.adding.empty()) ConsoleText() << r.adding << std::endl;
            if (r.loaded.mesh == nullptr) {
                result->failures.push_back({job.record.file, job.path, r.loaded.status});
            } else {
                r.loaded.mesh->id = id;
                result->scans.push_back({job.record.file, job.path, std::move(r.loaded.mesh)});
            }
            ++id;
        }
        if (job.results.size() > 1) extraIds += static_cast<int>(job.results.size()) - 1;
    }
    nextScanId += extraIds;
    if (result->scans.size() > 1) result->threshold = defaultTossThreshold(*result->scans[0].mesh);
    consolePrintf("%s %f\n",
                  "Threshold for point removal: ", static_cast<double>(result->threshold));
}

}  // namespace

ScanConfigLoad readScanConfig(const std::string& fileName, bool lean) {
    ScanConfigLoad result;
    result.threshold = tossThreshold;
    FILE* f = std::fopen(fileName.c_str(), "r");
    if (f == nullptr) {
        result.config = {LoadFailure::CannotOpen, std::strerror(errno), 0};
        consolePrintf("Could not open file %s\n", fileName.c_str());
        return result;
    }
    std::vector<ScanJob> jobs = readJobs(f, fileName, lean);
    std::fclose(f);
    loadAndReport(jobs, &result);
    return result;
}

ScanConfigLoad readScanFileAsConfig(const std::string& path, bool lean) {
    ScanConfigLoad result;
    result.threshold = tossThreshold;
    std::vector<ScanJob> jobs(1);
    jobs[0].record.keyword = "bmesh";
    jobs[0].record.file = path;
    jobs[0].record.qw = 1.0f;
    jobs[0].path = path;
    jobs[0].id = nextScanId++;
    jobs[0].lean = lean;
    loadAndReport(jobs, &result);
    return result;
}

void addScansToScene(ScanConfigLoad& load) {
    for (ConfigScan& scan : load.scans) {
        sceneList.push_back(scan.mesh.release());
        visibilityFlags.set(sceneList.size() - 1, true);
    }
    tossThreshold = load.threshold;
}
