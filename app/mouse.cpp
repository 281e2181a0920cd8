#include "app/mouse.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

#include "app/keyboard.h"
#include "app/motion.h"
#include "app/view.h"
#include "scene/scene_state.h"

int interactionMode = ModeTranslate;
bool dragStarted = false;
Point3 lastDragPoint;
PickHit pickedPoint;
int pickPressX = -1;
int pickPressY = -1;

namespace {

constexpr double kPickRadius = 10.0;  // pixels around the pointer
constexpr int kClickSlack = 3;        // pixels a click may move

// A middle-button press remembers where; a release near it picks.
void onMiddleButton(int state, int x, int y) {
    if (state == GLUT_DOWN) {
        pickPressX = x;
        pickPressY = y;
        return;
    }
    const bool click = pickPressX >= 0 && std::abs(x - pickPressX) <= kClickSlack &&
                       std::abs(y - pickPressY) <= kClickSlack;
    pickPressX = pickPressY = -1;
    if (click) pickAt(x, y);
}

}  // namespace

void pickAt(int x, int y) {
    const int row = viewState.height - 1 - y;
    drawFrame();
    float depth = 1.0f;
    glReadPixels(x, row, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    std::vector<Mesh*> candidates;
    for (std::size_t j = 0; j < sceneList.size(); ++j)
        candidates.push_back(visibilityFlags.isVisible(j) && sceneList[j] != gridMesh ? sceneList[j]
                                                                                      : nullptr);
    pickedPoint = pickPoint(currentPickView(), candidates, x + 0.5, row + 0.5, depth, kPickRadius);
    if (pickedPoint.found)
        std::printf(
            "%s\n",
            pickLine(*sceneList[pickedPoint.object], pickedPoint.vertex, tossThreshold).c_str());
    else
        std::printf("No point near the pointer\n");
    glutPostRedisplay();
}
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

void onMouse(int button, int state, int x, int y) {
    if (button == GLUT_MIDDLE_BUTTON) onMiddleButton(state, x, y);
    if (button != GLUT_LEFT_BUTTON) return;
    noteDrag(state == GLUT_DOWN);
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
        // In a framed scene the view plane's units are scaled down with it.
        const Vec3 move = sceneFrame.active ? d.scaled(1.0f / sceneFrame.scale) : d;
        for (Mesh* object : sceneList) object->translate(move);
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
