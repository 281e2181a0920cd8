// The cleaned copy of a scan: its kept points, in order, and its raster with
// every cell renumbered to the kept points (tossed points leave empty cells).
#include "scan/cleaned_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

bool PlyMesh::writeCleaned(const std::string& folder) const {
    const std::string target = cleanedName(outputSource(), folder);
    if (sameFile(target, fileName)) {
        consolePrintf("Not writing %s: it is the scan's own file\n", target.c_str());
        return false;
    }
    const std::vector<int32_t> shift = tossShift(*this);
    const int32_t kept = static_cast<int32_t>(vertices.size()) + (shift.empty() ? 0 : shift.back());

    // Written beside the target and renamed over it only when complete, so a
    // failure never leaves a partial file or destroys an earlier good one.
    const std::string temp = target + ".tmp" + std::to_string(getpid());
    FILE* f = std::fopen(temp.c_str(), "w");
    if (f == nullptr) {
        consolePrintf("Could not write %s: %s\n", target.c_str(), std::strerror(errno));
        return false;
    }
    bool ok = writeHeader(f, *this, kept) && writeBody(f, *this, shift);
    ok = (std::fflush(f) == 0) && ok;
    int savedErrno = errno;
    ok = (std::fclose(f) == 0) && ok;
    if (ok && std::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        if (savedErrno == 0) savedErrno = errno;
        std::remove(temp.c_str());
        consolePrintf("Could not write %s: %s\n", target.c_str(), std::strerror(savedErrno));
    }
    return ok;
}

int writeAllCleaned() {
    int written = 0, failed = 0;
    for (Mesh* object : sceneList) {
        if (object == gridMesh) continue;
        const auto* scan = dynamic_cast<const PlyMesh*>(object);
        // Only analysed scans carry one value per point.
        if (scan == nullptr || scan->vertexValues.size() != scan->vertices.size()) continue;
        if (scan->writeCleaned())
            ++written;
        else
            ++failed;
    }
    if (written == 0 && failed == 0)
        consolePrintf("Nothing to write: no scans of a configuration are loaded\n");
    return failed;
}
