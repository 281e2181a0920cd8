#include "app/viewer_state.h"

#include "app/keyboard.h"
#include "app/motion.h"
#include "app/mouse.h"
#include "app/register_key.h"
#include "app/view.h"
#include "scene/scene_state.h"

void resetViewerState() {
    viewState = ViewState();
    camera = Camera();
    rightLight = Light(1);
    leftLight = Light(2);
    sceneBounds = BoundingBox();
    displayModeCounter = 3;
    uniformMaterial = true;
    tossStep = 0.0f;
    tossStepSet = false;
    interactionMode = ModeTranslate;
    dragStarted = false;
    lastDragPoint = Point3();
    pickedPoint = PickHit();
    pickPressX = pickPressY = -1;
    sceneFrame = SceneFrame();
    resetMotion();
    decimateAbove = kDefaultDecimateAbove;
    rememberConfiguration("");
    resetSceneState();
}
