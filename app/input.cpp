#include "app/input.h"

#include <iostream>

#include "app/startup.h"
#include "scene/scene_state.h"

void loadInput(const std::string& name) {
    switch (inputKindOf(name)) {
        case InputKind::MeshFile: {
            Mesh* mesh = new Mesh(1, name.c_str());
            std::cout << "file " << name << std::endl;
            if (mesh->isLoaded()) {
                mesh->setDisplayMode(Smooth);
                sceneList.push_back(mesh);
            } else {
                delete mesh;
            }
            break;
        }
        case InputKind::PlyFile:
        case InputKind::ScanConfig:
        case InputKind::None:
            break;
    }
}
