#include "register/scan_source.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "libply/plyfile.h"
#include "scan/ply_mesh.h"
#include "scan/scan_config.h"
#include "scene/console.h"
#include "scene/plain_paths.h"
#include "scene/scene_state.h"

static_assert(sizeof(Point3) == 3 * sizeof(float), "points are read as packed floats");

registration::Pose poseOfRecord(const float values[7]) {
    registration::Pose pose;
    pose.translation = Eigen::Vector3d(values[0], values[1], values[2]);
    pose.rotation = Eigen::Quaterniond(values[6], -values[3], -values[4], -values[5]).normalized();
    return pose;
}

ConfigPose recordOfPose(const registration::Pose& pose, const float given[7]) {
    Eigen::Quaterniond q = pose.rotation.normalized();
    // The record's quaternion is the conjugate: (-x, -y, -z, w).
    const double dot = -q.x() * given[3] - q.y() * given[4] - q.z() * given[5] + q.w() * given[6];
    if (dot < 0) q.coeffs() = -q.coeffs();
    ConfigPose record;
    const double values[7] = {pose.translation.x(), pose.translation.y(), pose.translation.z(),
                              -q.x(), -q.y(), -q.z(), q.w()};
    for (int k = 0; k < 7; ++k) record.values[k] = static_cast<float>(values[k]);
    return record;
}

namespace {

const char* loadingConfig = "";

// A scan's data is damaged or ends early: the PLY library ends the process,
// possibly on a loader thread. End it with the status of unreadable input.
[[noreturn]] void stopOnDamagedScan(int) {
    std::fflush(stdout);
    std::fprintf(stderr,
                 "cannot read a scan of %s: its data is damaged or ends early (see the message "
                 "above); nothing written\n",
                 loadingConfig);
    std::_Exit(2);
}

// The faces as triangles: polygons of more corners as fans from their first.
std::vector<uint32_t> trianglesOf(const Mesh& scan) {
    std::vector<uint32_t> triangles;
    triangles.reserve(3 * scan.faces.size());
    for (const Face& face : scan.faces) {
        const IndexList& c = face.vertexIndices;
        for (std::size_t k = 2; k < c.size(); ++k) {
            if (c[0] < 0 || c[k - 1] < 0 || c[k] < 0) continue;
            triangles.push_back(static_cast<uint32_t>(c[0]));
            triangles.push_back(static_cast<uint32_t>(c[k - 1]));
            triangles.push_back(static_cast<uint32_t>(c[k]));
        }
    }
    return triangles;
}

}  // namespace

ScanSource::~ScanSource() {
    for (Mesh* object : sceneList) delete object;
    sceneList.clear();
}

bool loadScanSource(const std::string& config, const std::vector<ConfigRecord>& records,
                    int threads, ScanSource* source, std::vector<std::string>* problems) {
    std::vector<const ConfigRecord*> scanRecords;
    for (const ConfigRecord& r : records)
        if (r.isScan()) scanRecords.push_back(&r);
    if (scanRecords.empty()) {
        problems->push_back(config + " names no scans (no bmesh records)");
        return false;
    }
    setWorkerThreads(threads);
    loadingConfig = config.c_str();
    ply_set_exit_handler(stopOnDamagedScan);
    std::string transcript;
    {
        ConsoleCapture capture;  // the loaders' report is not shown
        readScanConfig(config.c_str());
        transcript = capture.take();
    }
    ply_set_exit_handler(nullptr);

    // The reader keeps the scans it could read, in record order, and says
    // which it could not.
    if (sceneList.size() != scanRecords.size()) {
        const std::string cannotOpen = "Could not open file ", cannotRead = "Could not read file ";
        std::size_t at = 0;
        while (at < transcript.size()) {
            std::size_t end = transcript.find('\n', at);
            if (end == std::string::npos) end = transcript.size();
            const std::string line = transcript.substr(at, end - at);
            at = end + 1;
            if (line.compare(0, cannotOpen.size(), cannotOpen) == 0) {
                const std::string name = line.substr(cannotOpen.size());
                FILE* f = std::fopen(name.c_str(), "r");
                problems->push_back(name + ": " + (f == nullptr ? std::strerror(errno)
                                                               : "cannot be opened"));
                if (f != nullptr) std::fclose(f);
            } else if (line.compare(0, cannotRead.size(), cannotRead) == 0) {
                problems->push_back(line.substr(cannotRead.size()) +
                                    ": not a PLY file the library accepts");
            }
        }
        problems->push_back(std::to_string(scanRecords.size() - sceneList.size()) + " of " +
                            std::to_string(scanRecords.size()) + " scans of " + config +
                            " cannot be read");
        return false;
    }
    for (std::size_t k = 0; k < sceneList.size(); ++k) {
        const Mesh& scan = *sceneList[k];
        source->scans.push_back(&scan);
        source->paths.push_back(resolveScanPath(scanRecords[k]->file, config));
        source->triangles.push_back(trianglesOf(scan));
    }
    for (std::size_t k = 0; k < sceneList.size(); ++k) {
        registration::ScanView view;
        const Mesh& scan = *source->scans[k];
        view.points = scan.vertices.empty() ? nullptr : &scan.vertices[0].x;
        view.pointCount = scan.vertices.size();
        view.triangles = source->triangles[k].data();
        view.triangleCount = source->triangles[k].size() / 3;
        view.pose = poseOfRecord(scanRecords[k]->values);
        source->views.push_back(view);
    }
    return true;
}
