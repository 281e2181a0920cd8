#include "app/input.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "app/startup.h"
#include "app/view.h"
#include "files/printable_name.h"
#include "scan/overlap_analysis.h"
#include "scan/ply_mesh.h"
#include "scan/scan_config.h"
#include "scene/mesh_reader.h"
#include "scene/scene_state.h"

namespace {

// A lone mesh: kept, hidden, in Smooth mode, when its file could be read.
void addLoneMesh(std::unique_ptr<Mesh> mesh, const std::string& name) {
    std::cout << "file " << files::printableName(name) << std::endl;
    if (mesh == nullptr) return;
    mesh->setDisplayMode(Smooth);
    sceneList.push_back(mesh.release());
}

// The PLY library's fatal end of a file whose data is damaged, which the
// loaders return as an outcome: the viewer ends as the library would have
// ended it, with the library's status. The library's message on standard
// error does not say which file it read, so the line after it does.
void endOnDamagedData(const LoadStatus& status, const std::string& path) {
    if (status.failure != LoadFailure::DataDamaged) return;
    std::fflush(stdout);
    std::fprintf(stderr, "rangeloom: %s: %s (the PLY library's message above)\n",
                 files::printableName(path).c_str(), status.reason.c_str());
    std::exit(status.fatalStatus);
}

// A lone PLY file, or null when it could not be read.
std::unique_ptr<Mesh> loadLonePly(const std::string& name) {
    PlyLoadOptions options;
    options.alone = true;
    Loaded<PlyMesh> loaded = PlyMesh::load(1, name, options);
    endOnDamagedData(loaded.status, name);
    return std::move(loaded.mesh);
}

// Every scan of the configuration (each visible), its default threshold, the
// overlap analysis, the scene bounds, and the hidden lattice mesh after the
// scans. Unreadable scans were reported by the loader and are left out.
void showConfiguration(ScanConfigLoad load) {
    if (const ConfigScanFailure* damaged = load.damaged())
        endOnDamagedData(damaged->status, damaged->path);
    addScansToScene(load);
    analyzeOverlap(sceneList, &gridMesh);
    for (Mesh* object : sceneList) sceneBounds.extendBy(*object);
    if (gridMesh != nullptr) {
        sceneList.push_back(gridMesh);
        visibilityFlags.set(sceneList.size() - 1, false);
    }
}

}  // namespace

void loadInput(const std::string& name) {
    switch (inputKindOf(name)) {
        case InputKind::MeshFile:
            addLoneMesh(loadMeshFile(1, name).mesh, name);
            break;
        case InputKind::PlyFile:
            addLoneMesh(loadLonePly(name), name);
            break;
        case InputKind::ScanConfig:
            showConfiguration(readScanConfig(name));
            break;
        case InputKind::ScanFile:
            showConfiguration(readScanFileAsConfig(name));
            break;
        case InputKind::None:
            break;
    }
}
