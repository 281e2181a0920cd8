#include "clean/value_export.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "clean/ply_properties.h"
#include "files/file_replacement.h"
#include "files/printable_name.h"
#include "libply/plyfile.h"
#include "scan/ply_mesh.h"
#include "scene/unmeasured.h"

namespace {

// One exported point, as the library reads it from memory.
struct ExportRecord {
    float x, y, z;  // world position
    float value;    // overlap value; nan when not measured
};

const ply_property_def kExportProperties[] = {
    scalarProperty("x", PLY_FLOAT, PLY_FLOAT, offsetof(ExportRecord, x)),
    scalarProperty("y", PLY_FLOAT, PLY_FLOAT, offsetof(ExportRecord, y)),
    scalarProperty("z", PLY_FLOAT, PLY_FLOAT, offsetof(ExportRecord, z)),
    scalarProperty("value", PLY_FLOAT, PLY_FLOAT, offsetof(ExportRecord, value)),
};

// The scan's file name, fit for a one-line header comment.
std::string commentName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return files::printableName(slash == std::string::npos ? path : path.substr(slash + 1));
}

void describeHeader(ply_handle* ply, const Mesh& scan, float threshold, int count) {
    const auto* read = dynamic_cast<const PlyMesh*>(&scan);
    const std::string from = "points of " +
                             commentName(read != nullptr ? read->label() : scan.fileName) +
                             " in the common frame of its scan configuration";
    append_comment(ply, from.c_str());
    append_comment(ply,
                   "value: distance to the nearest polygon of another scan in the point's cell");
    append_comment(ply, "value nan: not measured (no polygon of another scan in the point's cell)");
    char line[128];
    std::snprintf(line, sizeof line, "removal threshold %.9g: points of greater value are tossed",
                  static_cast<double>(threshold));
    append_comment(ply, line);
    ply_describe_element(ply, "vertex", count, 4, kExportProperties);
}

// The whole file, made by the library in memory. Memory streams do not fail
// on write, so none of the library's fatal output errors can occur here.
bool formatExport(const Mesh& scan, float threshold, std::string* bytes) {
    char* buffer = nullptr;
    std::size_t size = 0;
    FILE* stream = open_memstream(&buffer, &size);
    if (stream == nullptr) return false;
    const char* elements[] = {"vertex"};
    ply_handle* ply = ply_begin_write(stream, 1, elements, PLY_BINARY_LE);
    const std::size_t n = scan.worldVertices.size();
    describeHeader(ply, scan, threshold, static_cast<int>(n));
    ply_header_complete(ply);
    ply_elements_setup(ply, "vertex");
    for (std::size_t i = 0; i < n; ++i) {
        const Point3& p = scan.worldVertices[i];
        const float v = i < scan.vertexValues.size() ? scan.vertexValues[i] : kUnmeasured;
        const ExportRecord r{p.x, p.y, p.z,
                             !isMeasured(v) ? std::numeric_limits<float>::quiet_NaN() : v};
        ply_write_element(ply, &r);
    }
    ply_close_file(ply);  // closes the stream, which completes buffer
    bytes->assign(buffer, size);
    std::free(buffer);
    return true;
}

}  // namespace

std::string valueExportName(const std::string& source, const std::string& folder) {
    std::string name = PlyMesh::cleanedName(source, folder);
    const std::string cleaned = ".cln.ply";
    name.resize(name.size() - cleaned.size());
    return name + ".values.ply";
}

bool writeValueExport(const Mesh& scan, float threshold, const std::string& target,
                      std::string* error, const files::ProtectedFiles* keep) {
    if (scan.worldVertices.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        *error = "too many points for a PLY element";
        return false;
    }
    std::string bytes;
    if (!formatExport(scan, threshold, &bytes)) {
        *error = std::strerror(errno);
        return false;
    }
    return files::replaceFileWith(target, bytes, error, keep);
}
