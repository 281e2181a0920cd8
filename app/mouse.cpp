#include "app/mouse.h"

#include <GL/glut.h>

#include "app/keyboard.h"
#include "app/view.h"
#include "scene/scene_state.h"

int interactionMode = ModeTranslate;
bool dragStarted = false;
Point3 lastDragPoint;

Point3 planeProject(int px, int py) {
    const ViewState& v = viewState;
    const float w = static_cast<float>(v.width);
    const float h = static_cast<float>(v.height);
    const float x = (v.right + v.left) / 2.0f + (v.right - v.left) / w * px -
                    (v.right - v.left) / 2.0f - (v.right - v.left) / 2.0f / w;
    const float y = (v.top + v.bottom) / 2.0f + (v.top - v.bottom) / h * py -
                    (v.top - v.bottom) / 2.0f - (v.top - v.bottom) / 2.0f / h;
    return Point3(x, y, 0.0f);
}

void onMouse(int button, int state, int, int) {
    if (button != GLUT_LEFT_BUTTON) return;
    if (state == GLUT_DOWN) {
        for (Mesh* object : sceneList) object->setDisplayMode(SparsePoints);
        return;
    }
    dragStarted = false;
    for (Mesh* object : sceneList) object->setDisplayMode(displayModeCounter % 5);
    if (gridMesh != nullptr) gridMesh->setDisplayMode(Wireframe);
    glutPostRedisplay();
}

void onMotion(int x, int y) {
    const Point3 current = planeProject(x, viewState.height - y - 1);
    if (!dragStarted) {
        lastDragPoint = current;
        dragStarted = true;
    }
    const Vec3 d = current - lastDragPoint;
    if (interactionMode == ModeTranslate) {
        for (Mesh* object : sceneList) object->translate(d);
    } else if (interactionMode == ModeCameraRotate) {
        camera.rotateHorizontal(d.x);
        camera.rotateVertical(-d.y);
    }
    lastDragPoint = current;
    glutPostRedisplay();
}

void onMenu(int value) {
    if (value == 1) interactionMode = ModeTranslate;
    if (value == 2) interactionMode = ModeCameraRotate;
}

void buildMenu() {
    glutCreateMenu(onMenu);
    glutAddMenuEntry("Translate", 1);
    glutAddMenuEntry("Rotate", 2);
    glutAttachMenu(GLUT_RIGHT_BUTTON);
}
