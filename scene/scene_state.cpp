#include "scene/scene_state.h"

std::vector<Mesh*> sceneList;
VisibilityFlags visibilityFlags;
Mesh* gridMesh = nullptr;
int nextScanId = 1;
float tossThreshold = 0.002f;
bool showTossedPoints = true;
