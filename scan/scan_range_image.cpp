// The scans of PTX and E57 files as range images: the mesh a scan's PLY form
// would load as, built straight from the reader's StructuredScan, its place
// in the common frame, and the names its outputs get.
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>

#include "formats/scan_pose.h"
#include "formats/structured_scan.h"
#include "scan/ply_mesh.h"
#include "scene/console.h"

namespace {

// Control characters would break a report line or a PLY header line.
std::string printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return text;
}

std::string formatOf(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    std::string name = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

// "scan N", followed by the file's name for it when that says more.
std::string scanTitle(std::size_t number, const std::string& name) {
    const std::string title = "scan " + std::to_string(number);
    return name.empty() || name == title ? title : title + " (" + name + ")";
}

bool isIdentity(const Quaternion& q, const Vec3& t) {
    return q.x == 0.0f && q.y == 0.0f && q.z == 0.0f && q.w == 1.0f && t.x == 0.0f && t.y == 0.0f &&
           t.z == 0.0f;
}

// The lines that stand where a PLY file's header report stands: the file and
// scan, the format, the raster and its points, and the pose.
void reportScan(const formats::StructuredScan& scan, const std::string& path,
                const std::string& name, const formats::ConfigPose& pose) {
    const formats::ScanHeader& h = scan.header;
    consolePrintf("Reading coordinates from %s, %s\n", path.c_str(),
                  scanTitle(h.index + 1, name).c_str());
    consolePrintf("format %s\n", formatOf(path).c_str());
    if (h.structured)
        consolePrintf("raster %lld x %lld: %zu points, %llu cells without a return\n",
                      static_cast<long long>(h.columns), static_cast<long long>(h.rows),
                      scan.points.size(), static_cast<unsigned long long>(scan.emptyRecords));
    else
        consolePrintf("no raster: %zu points, %llu records without a return\n", scan.points.size(),
                      static_cast<unsigned long long>(scan.emptyRecords));
    if (scan.unplaced > 0)
        consolePrintf("%llu points share a cell with an earlier one: they have no polygons\n",
                      static_cast<unsigned long long>(scan.unplaced));
    consolePrintf("pose %.9g %.9g %.9g %.9g %.9g %.9g %.9g", double(pose.translation[0]),
                  double(pose.translation[1]), double(pose.translation[2]),
                  double(pose.quaternion[0]), double(pose.quaternion[1]),
                  double(pose.quaternion[2]), double(pose.quaternion[3]));
    if (pose.exact)
        consolePrintf("\n");
    else
        consolePrintf(" (the nearest to the file's matrix, off by %.1e)\n", pose.deviation);
}

}  // namespace

std::unique_ptr<PlyMesh> PlyMesh::fromScan(int id, formats::StructuredScan&& scan,
                                           const std::string& path, const PlyLoadOptions& options) {
    const formats::ScanHeader& h = scan.header;
    auto mesh = std::make_unique<PlyMesh>(id);
    PlyMesh& m = *mesh;
    m.fileName = path;
    m.clearGeometry();
    m.scanNumber_ = h.index + 1;
    m.scanName_ = printable(h.name);
    const formats::ConfigPose pose = formats::configPose(h.pose);
    m.scanRotation_ =
        Quaternion(pose.quaternion[0], pose.quaternion[1], pose.quaternion[2], pose.quaternion[3]);
    m.scanTranslation_ = Vec3(pose.translation[0], pose.translation[1], pose.translation[2]);
    reportScan(scan, path, m.scanName_, pose);

    // What the PLY form holds and its loader reads: float x, y, z per point
    // in order, and the raster with num_cols and num_rows.
    m.vertices.reserve(scan.points.size());
    for (const auto& p : scan.points)
        m.addVertex(
            Point3(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])));
    decltype(scan.points)().swap(scan.points);  // freed, not only emptied
    decltype(scan.intensities)().swap(scan.intensities);
    if (h.structured) {
        m.isRangeGrid = true;
        m.gridIndex = std::move(scan.raster);
        m.gridCols = static_cast<int>(h.columns);
        m.gridRows = static_cast<int>(h.rows);
        m.objInfos_ = {"num_cols " + std::to_string(h.columns),
                       "num_rows " + std::to_string(h.rows)};
    }
    m.comments_ = {scanTitle(m.scanNumber_, m.scanName_) + " of " + printable(path) +
                   ", points in the scanner's frame"};
    m.finishLoad(options);
    return mesh;
}

void PlyMesh::placeScan(const Quaternion& recordRotation, const Vec3& recordTranslation) {
    const bool record = !isIdentity(recordRotation, recordTranslation);
    // The newest rotation acts first: the file's, then the record's.
    if (record) rotate(recordRotation);
    rotate(scanRotation_);
    Point3 t(scanTranslation_.x, scanTranslation_.y, scanTranslation_.z);
    if (record) {
        t.transform(recordRotation.toMatrix());
        t += recordTranslation;
    }
    translate(t.x, t.y, t.z);

    // The same place as one record: the configuration quaternion of a
    // rotation B after A is A * B (toMatrix gives the conjugate's matrix).
    const Quaternion q = record ? scanRotation_ * recordRotation : scanRotation_;
    char line[200];
    std::snprintf(
        line, sizeof line, "placed by the bmesh record fields %.9g %.9g %.9g %.9g %.9g %.9g %.9g",
        double(t.x), double(t.y), double(t.z), double(q.x), double(q.y), double(q.z), double(q.w));
    comments_.push_back(line);
}

std::string PlyMesh::label() const {
    return scanNumber_ == 0 ? fileName : fileName + "#" + std::to_string(scanNumber_);
}

std::string PlyMesh::outputSource() const {
    return outputSourceOf(fileName, scanNumber_);
}

std::string PlyMesh::outputSourceOf(const std::string& path, std::size_t scanNumber) {
    if (scanNumber == 0) return path;
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    const std::size_t stemEnd = dot == std::string::npos || dot < nameStart ? path.size() : dot;
    char number[32];
    std::snprintf(number, sizeof number, "-%02zu.ply", scanNumber);
    return path.substr(0, stemEnd) + number;
}
