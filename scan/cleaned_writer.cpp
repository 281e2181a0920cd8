// The cleaned copy of a scan: its kept points, in order, and its raster with
// every cell renumbered to the kept points (tossed points leave empty cells).
#include "scan/cleaned_writer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/file_replacement.h"
#include "files/printable_name.h"
#include "scan/ply_mesh.h"
#include "scene/console.h"
#include "scene/index_range.h"
#include "scene/scene_state.h"

namespace {

// shift[i] = minus the number of tossed points among 0..i.
std::vector<int32_t> tossShift(const PlyMesh& scan) {
    const std::size_t n = scan.vertices.size();
    std::vector<int32_t> shift(n, 0);
    int32_t running = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i < scan.vertexValues.size() && scan.vertexValues[i] > tossThreshold) --running;
        shift[i] = running;
    }
    return shift;
}

bool isTossed(const std::vector<int32_t>& shift, int32_t g) {
    return g == 0 ? shift[0] == -1 : shift[g] < shift[g - 1];
}

// The header: the source's own around the new count when it describes what is
// written, otherwise one that says exactly that, with the source's comments
// and obj_info lines.
bool writeHeader(FILE* f, const PlyMesh& scan, int32_t kept) {
    if (scan.headerRewritable()) {
        return std::fputs(scan.headerHead().c_str(), f) >= 0 &&
               std::fprintf(f, "%s %d\n", "element vertex", kept) > 0 &&
               std::fputs(scan.headerTail().c_str(), f) >= 0;
    }
    bool ok = std::fputs("ply\nformat ascii 1.0\n", f) >= 0;
    for (const std::string& c : scan.comments())
        ok = ok && std::fprintf(f, "comment %s\n", c.c_str()) > 0;
    for (const std::string& o : scan.objInfos())
        ok = ok && std::fprintf(f, "obj_info %s\n", o.c_str()) > 0;
    ok = ok && std::fprintf(f,
                            "element vertex %d\nproperty float x\nproperty float y\n"
                            "property float z\nelement range_grid %zu\n"
                            "property list uchar int vertex_indices\nend_header\n",
                            kept, scan.gridIndex.size()) > 0;
    return ok;
}

bool writeBody(FILE* f, const PlyMesh& scan, const std::vector<int32_t>& shift) {
    const std::size_t n = scan.vertices.size();
    for (std::size_t i = 0; i < n; ++i) {
        const bool stays = i == 0 ? shift[0] == 0 : shift[i] == shift[i - 1];
        if (!stays) continue;
        const Point3& p = scan.vertices[i];
        if (std::fprintf(f, "%.10f %.10f %.10f\n", double(p.x), double(p.y), double(p.z)) < 0)
            return false;
    }
    for (int32_t g : scan.gridIndex) {
        const bool empty = !inIndexRange(g, n) || isTossed(shift, g);
        const int written = empty ? std::fputs("0\n", f) : std::fprintf(f, "1 %d\n", g + shift[g]);
        if (written < 0) return false;
    }
    return true;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

std::string PlyMesh::cleanedName(const std::string& source, const std::string& folder) {
    const std::size_t slash = source.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = source.substr(nameStart);
    const std::size_t ply = name.find(".ply");
    if (ply != std::string::npos) name.resize(ply);
    std::string where = source.substr(0, nameStart);
    if (!folder.empty()) where = folder.back() == '/' ? folder : folder + "/";
    return where + name + ".cln.ply";
}

bool PlyMesh::writeCleaned(const std::string& folder, const files::ProtectedFiles* keep) const {
    const std::string target = cleanedName(outputSource(), folder);
    const std::string shown = files::printableName(target);
    if (sameFile(target, fileName)) {
        consolePrintf("Not writing %s: it is the scan's own file\n", shown.c_str());
        return false;
    }
    const std::vector<int32_t> shift = tossShift(*this);
    const int32_t kept = static_cast<int32_t>(vertices.size()) + (shift.empty() ? 0 : shift.back());

    // Written to a new temporary file beside the target and renamed over it
    // only when complete, so a failure never leaves a partial file or
    // destroys an earlier good one.
    files::FileReplacement out;
    std::string error;
    bool ok = out.create(target, &error);
    errno = 0;
    if (ok && !(writeHeader(out.stream(), *this, kept) && writeBody(out.stream(), *this, shift))) {
        ok = false;
        error = std::strerror(errno != 0 ? errno : EIO);
    }
    ok = ok && out.commit(&error, keep);
    if (!ok) consolePrintf("Could not write %s: %s\n", shown.c_str(), error.c_str());
    return ok;
}

int writeAllCleaned() {
    std::vector<const PlyMesh*> scans;
    for (Mesh* object : sceneList) {
        if (object == gridMesh) continue;
        const auto* scan = dynamic_cast<const PlyMesh*>(object);
        // Only analysed scans carry one value per point.
        if (scan != nullptr && scan->vertexValues.size() == scan->vertices.size())
            scans.push_back(scan);
    }
    // No file written replaces a scan of the configuration, nor a file
    // written for another scan a moment before.
    files::ProtectedFiles keep;
    for (const PlyMesh* scan : scans)
        keep.add(scan->fileName, "scan " + files::printableName(scan->fileName));
    int written = 0, failed = 0;
    for (const PlyMesh* scan : scans) {
        if (scan->writeCleaned(std::string(), &keep)) {
            ++written;
            keep.add(PlyMesh::cleanedName(scan->fileName),
                     "the file written for scan " + files::printableName(scan->fileName));
        } else {
            ++failed;
        }
    }
    if (written == 0 && failed == 0)
        consolePrintf("Nothing to write: no scans of a configuration are loaded\n");
    return failed;
}
