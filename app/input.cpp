#include "app/input.h"

#include <iostream>

#include "app/startup.h"
#include "app/view.h"
#include "scan/overlap_analysis.h"
#include "scan/ply_mesh.h"
#include "scan/scan_config.h"
#include "scene/scene_state.h"

namespace {

// A lone mesh: constructed (which loads it), then kept, hidden, in Smooth
// mode, or destroyed when its file could not be read.
void addLoneMesh(Mesh* mesh, const std::string& name) {
    std::cout << "file " << name << std::endl;
    if (mesh->isLoaded()) {
        mesh->setDisplayMode(Smooth);
        sceneList.push_back(mesh);
    } else {
        delete mesh;
    }
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
            addLoneMesh(new Mesh(1, name.c_str()), name);
            break;
        case InputKind::PlyFile:
            singlePlyFile = true;
            addLoneMesh(new PlyMesh(1, name.c_str()), name);
            break;
        case InputKind::ScanConfig:
            loadConfiguration(name);
            break;
        case InputKind::None:
            break;
    }
}
