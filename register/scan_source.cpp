#include "register/scan_source.h"

#include "scan/ply_mesh.h"
#include "scan/scan_config.h"
#include "scene/console.h"
#include "scene/plain_paths.h"

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
    const double values[7] = {pose.translation.x(),
                              pose.translation.y(),
                              pose.translation.z(),
                              -q.x(),
                              -q.y(),
                              -q.z(),
                              q.w()};
    for (int k = 0; k < 7; ++k) record.values[k] = static_cast<float>(values[k]);
    return record;
}

namespace {

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

ScanSource::~ScanSource() = default;

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
    ScanConfigLoad load;
    {
        ConsoleCapture capture;  // the loaders' report is not shown
        load = readScanConfig(config);
    }
    if (!load.config.ok()) {
        problems->push_back("cannot read " + config + ": " + load.config.reason);
        return false;
    }
    for (const ConfigScanFailure& failure : load.failures)
        problems->push_back(failure.path + ": " + failure.status.reason);
    if (!load.failures.empty()) {
        problems->push_back(std::to_string(load.failures.size() + std::size_t(load.unread)) +
                            " of " + std::to_string(scanRecords.size()) + " scans of " + config +
                            " cannot be read");
        return false;
    }
    // The registration moves records: each must have placed exactly one scan.
    for (const ConfigScan& scan : load.scans) {
        if (scan.mesh->scanNumber() == 0) continue;
        problems->push_back(scan.path +
                            " is a PTX or E57 file: registration moves one scan per record; "
                            "convert it with rangeloom-scanconvert first");
        return false;
    }
    if (load.scans.size() != scanRecords.size()) {
        problems->push_back(config + ": " + std::to_string(load.scans.size()) + " scans read for " +
                            std::to_string(scanRecords.size()) + " records");
        return false;
    }
    for (std::size_t k = 0; k < load.scans.size(); ++k) {
        source->paths.push_back(load.scans[k].path);
        source->owned.push_back(std::move(load.scans[k].mesh));
        const Mesh& scan = *source->owned.back();
        source->scans.push_back(&scan);
        source->triangles.push_back(trianglesOf(scan));
    }
    for (std::size_t k = 0; k < source->scans.size(); ++k) {
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
