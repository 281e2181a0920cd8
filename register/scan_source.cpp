#include "register/scan_source.h"

#include <cstring>

#include "formats/structured_scan.h"
#include "parallel/parallel_for.h"
#include "scan/scan_config.h"
#include "scene/console.h"
#include "scene/range_grid.h"

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
// A lean range image's triangles are those of its raster, the very ones (in
// the same order, corners in the same order) its faces would be.
std::vector<uint32_t> trianglesOf(const Mesh& scan) {
    std::vector<uint32_t> triangles;
    if (trianglesInRaster(scan)) {
        triangles.reserve(6 * scan.vertices.size());
        forEachGridTriangle(rasterOf(scan, scan.gridStep), scan.vertices.data(), scan.maxEdgeLength,
                            [&](uint64_t, int, int32_t a, int32_t b, int32_t c) {
                                for (int32_t corner : {a, b, c})
                                    triangles.push_back(static_cast<uint32_t>(corner));
                            });
        return triangles;
    }
    std::size_t count = 0;
    for (const Face& face : scan.faces)
        count += face.vertexIndices.size() >= 3 ? face.vertexIndices.size() - 2 : 0;
    triangles.reserve(3 * count);
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

std::vector<const ConfigRecord*> scanRecordsOf(const std::vector<ConfigRecord>& records) {
    std::vector<const ConfigRecord*> scans;
    for (const ConfigRecord& r : records)
        if (r.isScan()) scans.push_back(&r);
    return scans;
}

// The views once points and triangles are in place.
void makeViews(const std::vector<const ConfigRecord*>& records,
               const std::vector<const Mesh*>& kept, ScanSource* source) {
    for (std::size_t k = 0; k < records.size(); ++k) {
        registration::ScanPoints view;
        if (kept.empty()) {
            view.points = source->points[k].empty() ? nullptr : source->points[k].data();
            view.pointCount = source->points[k].size() / 3;
        } else {
            view.points = kept[k]->vertices.empty() ? nullptr : &kept[k]->vertices[0].x;
            view.pointCount = kept[k]->vertices.size();
        }
        view.triangles = source->triangles[k].data();
        view.triangleCount = source->triangles[k].size() / 3;
        view.pose = poseOfRecord(records[k]->values);
        source->views.push_back(view);
    }
}

std::string scanFileProblem(const std::string& path) {
    return path +
           " is a PTX or E57 file: registration moves one scan per record; "
           "convert it with rangeloom-scanconvert first";
}

// One scan as the loader read it, reduced to what the registration reads.
struct LoadedScan {
    std::vector<float> points;
    std::vector<uint32_t> triangles;
    LoadStatus status;
    std::string report;  // the loader's console text
};

}  // namespace

bool loadScanSource(const std::string& config, const std::vector<ConfigRecord>& records,
                    int threads, ScanSource* source, std::vector<std::string>* problems,
                    std::string* transcript) {
    const std::vector<const ConfigRecord*> scanRecords = scanRecordsOf(records);
    if (scanRecords.empty()) {
        problems->push_back(config + " names no scans (no bmesh records)");
        return false;
    }
    std::vector<std::string> paths;
    for (const ConfigRecord* r : scanRecords) {
        paths.push_back(resolveScanPath(r->file, config));
        if (!formats::isStructuredScanFile(paths.back())) continue;
        problems->push_back(scanFileProblem(paths.back()));
        return false;
    }
    std::vector<LoadedScan> loaded(scanRecords.size());
    parallelForEach(loaded.size(), threads, [&](std::size_t k) {
        LoadedScan& scan = loaded[k];
        ConsoleCapture capture;
        PlyLoadOptions options;
        options.normalsFromPose = true;  // the registration makes its own
        Loaded<PlyMesh> mesh = PlyMesh::load(static_cast<int>(k + 1), paths[k], options);
        scan.status = mesh.status;
        if (mesh.mesh != nullptr) {
            const std::vector<Point3>& v = mesh.mesh->vertices;
            scan.points.resize(3 * v.size());
            if (!v.empty()) std::memcpy(scan.points.data(), &v[0].x, scan.points.size() * 4);
            scan.triangles = trianglesOf(*mesh.mesh);
            mesh.mesh.reset();  // its faces and edges take many times the copies' memory
        }
        scan.report = capture.take();
    });
    std::size_t failed = 0;
    for (std::size_t k = 0; k < loaded.size(); ++k) {
        if (transcript != nullptr) *transcript += loaded[k].report;
        if (loaded[k].status.ok()) continue;
        problems->push_back(paths[k] + ": " + loaded[k].status.reason);
        ++failed;
    }
    if (failed > 0) {
        problems->push_back(std::to_string(failed) + " of " + std::to_string(scanRecords.size()) +
                            " scans of " + config + " cannot be read");
        return false;
    }
    *source = ScanSource();
    source->paths = paths;
    for (LoadedScan& scan : loaded) {
        source->points.push_back(std::move(scan.points));
        source->triangles.push_back(std::move(scan.triangles));
    }
    makeViews(scanRecords, {}, source);
    return true;
}

bool scanSourceOf(const std::vector<const PlyMesh*>& scans,
                  const std::vector<ConfigRecord>& records, ScanSource* source,
                  std::string* problem) {
    const std::vector<const ConfigRecord*> scanRecords = scanRecordsOf(records);
    for (const PlyMesh* scan : scans) {
        if (scan->scanNumber() == 0) continue;
        *problem = scanFileProblem(scan->fileName);
        return false;
    }
    if (scans.size() != scanRecords.size()) {
        *problem = std::to_string(scans.size()) + " scans read for " +
                   std::to_string(scanRecords.size()) + " records";
        return false;
    }
    *source = ScanSource();
    std::vector<const Mesh*> kept;
    for (const PlyMesh* scan : scans) {
        source->paths.push_back(scan->fileName);
        source->triangles.push_back(trianglesOf(*scan));
        kept.push_back(scan);
    }
    source->points.resize(scans.size());
    makeViews(scanRecords, kept, source);
    return true;
}

void placeByRecord(PlyMesh& scan, const float values[7]) {
    scan.worldVertices.clear();
    scan.vertexValues.clear();
    scan.resetTransform();
    scan.rotate(Quaternion(values[3], values[4], values[5], values[6]));
    scan.translate(values[0], values[1], values[2]);
    // A lean range image (loaded without normals) stays lean: its normals
    // are made when needed.
    scan.bakeWorldPositions(!(trianglesInRaster(scan) && scan.vertexNormals.empty()));
}
