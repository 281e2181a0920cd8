#include "app/input.h"

#include <iostream>
#include <memory>

#include "app/startup.h"
#include "app/view.h"
#include "scan/overlap_analysis.h"
#include "scan/ply_mesh.h"
#include "scan/scan_config.h"
#include "scene/mesh_reader.h"
#include "scene/scene_state.h"

namespace {

// A lone mesh: kept, hidden, in Smooth mode, when its file could be read.
void addLoneMesh(std::unique_ptr<Mesh> mesh, const std::string& name) {
    std::cout << "file " << name << std::endl;
    if (mesh == nullptr) return;
    mesh->setDisplayMode(Smooth);
    sceneList.push_back(mesh.release());
}

// A lone PLY file, or null when it could not be read.
std::unique_ptr<Mesh> loadPly(const std::string& name) {
    auto mesh = std::make_unique<PlyMesh>(1, name.c_str());
    if (!mesh->isLoaded()) return nullptr;
    return mesh;
}

// Every scan of the configuration, the overlap analysis, the scene bounds,
// and the hidden lattice mesh after the scans.
void loadConfiguration(const std::string& name) {
    readScanConfig(name.c_str());
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
            singlePlyFile = true;
            addLoneMesh(loadPly(name), name);
            break;
        case InputKind::ScanConfig:
            loadConfiguration(name);
            break;
        case InputKind::None:
            break;
    }
}
