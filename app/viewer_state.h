// Resetting the viewer's process-wide state.
#pragma once

// Back to the viewer's state before main, for programs that run the viewer's
// code more than once (tests, benchmarks): the window size and view volume,
// the camera, the two lights and the scene bounds, the keyboard's and the
// mouse's state, and the scene (resetSceneState: its objects are deleted).
void resetViewerState();
