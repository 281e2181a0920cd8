#include "scene/scene_state.h"

std::vector<Mesh*> sceneList;
VisibilityFlags visibilityFlags;
Mesh* gridMesh = nullptr;
int nextScanId = 1;
float tossThreshold = kInitialTossThreshold;
bool showTossedPoints = true;
bool colourByDistance = false;
std::size_t movingStride = 0;
float colourScaleMaximum = 0.0f;

DistanceScale currentDistanceScale() {
    DistanceScale scale;
    scale.threshold = tossThreshold;
    scale.maximum = colourScaleMaximum > 0.0f ? colourScaleMaximum : 2.0f * tossThreshold;
    scale.markTossed = showTossedPoints;
    return scale;
}

void resetSceneState() {
    bool latticeListed = false;
    for (Mesh* object : sceneList) {
        latticeListed = latticeListed || object == gridMesh;
        delete object;
    }
    if (!latticeListed) delete gridMesh;
    sceneList.clear();
    visibilityFlags.clear();
    gridMesh = nullptr;
    nextScanId = 1;
    tossThreshold = kInitialTossThreshold;
    showTossedPoints = true;
    colourByDistance = false;
    movingStride = 0;
    colourScaleMaximum = 0.0f;
}
