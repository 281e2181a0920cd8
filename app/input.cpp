#include "app/input.h"

#include <GL/glut.h>

#include "app/startup.h"
#include "app/view.h"
#include "scene/scene_state.h"

void registerCallbacks() {
    glutDisplayFunc(onDisplay);
    glutReshapeFunc(onReshape);
}

void buildMenu() {}

void loadInput(const std::string& name) {
    switch (inputKindOf(name)) {
        case InputKind::MeshFile:
        case InputKind::PlyFile:
        case InputKind::ScanConfig:
        case InputKind::None:
            break;
    }
}
