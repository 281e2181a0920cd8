#include "scan/scan_config.h"
#include "scene/console.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "scan/ply_mesh.h"
#include "scene/materials.h"
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

PlyMesh* addScan(const char* fileName) {
    const int id = nextScanId++;
    auto* scan = new PlyMesh(id, fileName);
    ConsoleText() << "Adding PLY mesh from " << fileName << std::endl;
    if (!scan->isLoaded()) {
        delete scan;
        return nullptr;
    }
    scan->setDisplayMode(Smooth);
    sceneList.push_back(scan);
    visibilityFlags.set(sceneList.size() - 1, true);
    return scan;
}

void readScanConfig(const char* fileName) {
    FILE* f = std::fopen(fileName, "r");
    if (f == nullptr) {
        consolePrintf("Could not open file %s\n", fileName);
        return;
    }
    Record r;
    while (readRecord(f, &r)) {
        if (strcasecmp(r.keyword.c_str(), "camera") == 0) continue;
        if (strcasecmp(r.keyword.c_str(), "bmesh") != 0) continue;
        const std::string path = resolveScanPath(r.file, fileName);
        PlyMesh* scan = addScan(path.c_str());
        if (scan == nullptr) continue;
        scan->setMaterial(scanMaterial);
        scan->rotate(Quaternion(r.qx, r.qy, r.qz, r.qw));
        scan->translate(r.tx, r.ty, r.tz);
        scan->bakeWorldPositions();
    }
    if (sceneList.size() > 1) {
        if (const auto* first = dynamic_cast<const PlyMesh*>(sceneList[0]))
            tossThreshold = defaultTossThreshold(*first);
    }
    consolePrintf("%s %f\n", "Threshold for point removal: ", static_cast<double>(tossThreshold));
    std::fclose(f);
}
