#include "clean/merged_cloud.h"

#include <unistd.h>

#include <cerrno>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "clean/ply_properties.h"
#include "files/file_replacement.h"
#include "libply/plyfile.h"
#include "scan/ply_fatal_guard.h"

namespace {

// One merged point, as the library reads it from memory.
struct MergedRecord {
    float x, y, z;     // position in the common frame
    float nx, ny, nz;  // unit normal, or 0 0 0
    float value;       // distance to the other scans; nan: not measured
    uint16_t scan;     // index of the scan
    uint8_t tossed;    // 1: value greater than the threshold
};

std::vector<ply_property_def> properties(bool wideIndex, bool keepTossed) {
    std::vector<ply_property_def> p = {
        scalarProperty("x", PLY_FLOAT, PLY_FLOAT, offsetof(MergedRecord, x)),
        scalarProperty("y", PLY_FLOAT, PLY_FLOAT, offsetof(MergedRecord, y)),
        scalarProperty("z", PLY_FLOAT, PLY_FLOAT, offsetof(MergedRecord, z)),
        scalarProperty("nx", PLY_FLOAT, PLY_FLOAT, offsetof(MergedRecord, nx)),
        scalarProperty("ny", PLY_FLOAT, PLY_FLOAT, offsetof(MergedRecord, ny)),
        scalarProperty("nz", PLY_FLOAT, PLY_FLOAT, offsetof(MergedRecord, nz)),
        scalarProperty("scan", wideIndex ? PLY_USHORT : PLY_UCHAR, PLY_USHORT,
                       offsetof(MergedRecord, scan)),
        scalarProperty("value", PLY_FLOAT, PLY_FLOAT, offsetof(MergedRecord, value)),
    };
    if (keepTossed)
        p.push_back(scalarProperty("tossed", PLY_UCHAR, PLY_UCHAR, offsetof(MergedRecord, tossed)));
    return p;
}

// A name fit for a one-line header comment.
std::string printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return text;
}

float valueOf(const Mesh& scan, std::size_t i) {
    return i < scan.vertexValues.size() ? scan.vertexValues[i] : -FLT_MAX;
}

std::size_t pointCount(const std::vector<MergeSource>& scans, float threshold, bool keepTossed) {
    std::size_t n = 0;
    for (const MergeSource& s : scans)
        for (std::size_t i = 0; i < s.scan->worldVertices.size(); ++i)
            n += keepTossed || !(valueOf(*s.scan, i) > threshold);
    return n;
}

void describeHeader(ply_handle* ply, const std::vector<MergeSource>& scans, float threshold,
                    bool keepTossed, int count) {
    append_comment(ply, ("merged by rangeloom-clean: the points of " +
                         std::to_string(scans.size()) + " scans in their common frame")
                            .c_str());
    for (std::size_t s = 0; s < scans.size(); ++s)
        append_comment(ply,
                       ("scan " + std::to_string(s) + ": " + printable(scans[s].label)).c_str());
    char line[160];
    std::snprintf(line, sizeof line, "removal threshold %.9g: points of greater value are tossed",
                  static_cast<double>(threshold));
    append_comment(ply, line);
    append_comment(ply, keepTossed ? "tossed: 1 for a tossed point, 0 for a kept one"
                                   : "tossed points are left out");
    append_comment(ply,
                   "value: distance to the nearest polygon of another scan in the point's "
                   "cell; nan: not measured");
    append_comment(ply,
                   "nx ny nz: unit normal of the scan's triangulation; 0 0 0 for a point "
                   "in no triangle");
    const std::vector<ply_property_def> p = properties(scans.size() > 256, keepTossed);
    ply_describe_element(ply, "vertex", count, static_cast<int>(p.size()), p.data());
}

void writePoints(ply_handle* ply, const std::vector<MergeSource>& scans, float threshold,
                 bool keepTossed) {
    ply_elements_setup(ply, "vertex");
    for (std::size_t s = 0; s < scans.size(); ++s) {
        const Mesh& scan = *scans[s].scan;
        for (std::size_t i = 0; i < scan.worldVertices.size(); ++i) {
            const float v = valueOf(scan, i);
            const bool tossed = v > threshold;
            if (tossed && !keepTossed) continue;
            const Point3& p = scan.worldVertices[i];
            const Vec3 n = i < scan.vertexNormals.size() ? scan.vertexNormals[i] : Vec3();
            const MergedRecord r{p.x,
                                 p.y,
                                 p.z,
                                 n.x,
                                 n.y,
                                 n.z,
                                 v == -FLT_MAX ? std::numeric_limits<float>::quiet_NaN() : v,
                                 static_cast<uint16_t>(s),
                                 static_cast<uint8_t>(tossed)};
            ply_write_element(ply, &r);
        }
    }
}

}  // namespace

bool writeMergedCloud(const std::vector<MergeSource>& scans, float threshold, bool keepTossed,
                      const std::string& target, std::size_t* points, std::string* error,
                      const files::ProtectedFiles* keep) {
    *points = 0;
    if (scans.size() > kMaxMergedScans) {
        *error = "more than " + std::to_string(kMaxMergedScans) + " scans";
        return false;
    }
    const std::size_t count = pointCount(scans, threshold, keepTossed);
    if (count > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        *error = std::to_string(count) + " points are too many for a PLY element";
        return false;
    }
    // Written to a new temporary file beside the target (created
    // exclusively, never through a link) and renamed over it only when
    // complete.
    files::FileReplacement out;
    if (!out.create(target, error)) return false;
    // The library owns the stream from here on; a failed write ends in its
    // fatal exit, which the guard turns into an exception.
    const char* elements[] = {"vertex"};
    ply_handle* ply = ply_begin_write(out.releaseStream(), 1, elements, PLY_BINARY_LE);
    bool ok = true;
    int failure = 0;  // errno when the library's write failed
    {
        const PlyFatalGuard guard;
        try {
            describeHeader(ply, scans, threshold, keepTossed, static_cast<int>(count));
            ply_header_complete(ply);
            writePoints(ply, scans, threshold, keepTossed);
            ply_handle* done = ply;
            ply = nullptr;
            ply_close_file(done);
        } catch (const PlyReadEnded&) {
            ok = false;
            failure = errno;
            try {
                ply_close_file(ply);  // closes the stream; a failed flush ends here too
            } catch (const PlyReadEnded&) {
            }
        }
    }
    if (!ok) {
        *error = failure != 0 ? std::strerror(failure) : "the data could not be written";
        out.discard();
        return false;
    }
    if (!out.commit(error, keep)) return false;
    *points = count;
    return true;
}
