#include "app/motion.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

#include "scene/mesh.h"
#include "scene/scene_state.h"

std::size_t decimateAbove = kDefaultDecimateAbove;

namespace {

bool keyMoving = false;
bool dragging = false;
bool keySeen = false;
int lastKeyMs = 0;
int motionSerial = 0;  // moved by every motion event; a timer of an older one is stale

// Points a mesh draws in the Points mode, or every 20th in SparsePoints.
std::size_t pointsDrawn(const Mesh& mesh) {
    const std::size_t n = mesh.drawPositions().size();
    return mesh.displayMode == SparsePoints ? (n + 19) / 20 : n;
}

}  // namespace

bool parseDecimateAbove(const std::string& text, std::size_t* limit) {
    if (text.empty() || text.size() > 18) return false;
    std::size_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    *limit = value;
    return true;
}

void readDecimateSetting() {
    const char* text = std::getenv(kDecimateVariable);
    if (text == nullptr) return;
    if (!parseDecimateAbove(text, &decimateAbove))
        std::fprintf(stderr,
                     "%s=%s is not a whole number: scenes over %zu triangles or points are "
                     "drawn decimated while the camera moves\n",
                     kDecimateVariable, text, decimateAbove);
}

void noteKeyMotion() {
    const int now = glutGet(GLUT_ELAPSED_TIME);
    // A repeat of a held key, or keys pressed quickly one after another.
    keyMoving = keySeen && now - lastKeyMs < kMotionPauseMs;
    keySeen = true;
    lastKeyMs = now;
    ++motionSerial;
    if (keyMoving) glutTimerFunc(kMotionPauseMs, onMotionPause, motionSerial);
}

void noteDrag(bool down) {
    dragging = down;
    ++motionSerial;
}

void onMotionPause(int serial) {
    if (serial != motionSerial || !keyMoving) return;
    keyMoving = false;
    glutPostRedisplay();
}

bool cameraMoving() {
    return keyMoving || dragging;
}

std::size_t movingStrideForScene() {
    if (!cameraMoving() || decimateAbove == 0) return 0;
    std::size_t size = 0;
    for (std::size_t j = 0; j < sceneList.size(); ++j) {
        if (!visibilityFlags.isVisible(j)) continue;
        const Mesh& mesh = *sceneList[j];
        const bool pointModes = mesh.displayMode == Points || mesh.displayMode == SparsePoints;
        size += pointModes ? pointsDrawn(mesh) : mesh.faces.size();
    }
    return size <= decimateAbove ? 0 : (size + decimateAbove - 1) / decimateAbove;
}

void resetMotion() {
    keyMoving = dragging = keySeen = false;
    lastKeyMs = 0;
    ++motionSerial;
}
