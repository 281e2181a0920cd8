#include "app/input.h"

#include "app/startup.h"
#include "scene/scene_state.h"

void loadInput(const std::string& name) {
    switch (inputKindOf(name)) {
        case InputKind::MeshFile:
        case InputKind::PlyFile:
        case InputKind::ScanConfig:
        case InputKind::None:
            break;
    }
}
