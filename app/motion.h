// Drawing while the camera moves. A held camera key (its repeats come less
// than kMotionPauseMs apart) or a drag with the left button is motion; while
// it lasts, a scene larger than decimateAbove (faces drawn in the face modes,
// points in the point modes, over the shown objects) is drawn decimated:
// every k-th face or point of each object, k the least that keeps them
// within the limit. The full picture comes back kMotionPauseMs after the
// last key repeat (a GLUT timer) or when the button is released. Frames
// drawn for anything else (picking, saving the window) are always full.
#pragma once

#include <cstddef>
#include <string>

// The environment variable that sets decimateAbove ("0": never decimate).
constexpr const char* kDecimateVariable = "RANGELOOM_DECIMATE_ABOVE";
constexpr std::size_t kDefaultDecimateAbove = 2000000;
// Key repeats closer than this are a held key; this long after the last one,
// the scene is drawn in full.
constexpr int kMotionPauseMs = 300;

extern std::size_t decimateAbove;

// Reads kDecimateVariable, if set: a whole number of at most 18 digits. Any
// other value is reported on standard error and the limit is left as it is.
void readDecimateSetting();
// "2000000" or the like to a limit; false for anything else.
bool parseDecimateAbove(const std::string& text, std::size_t* limit);

// A key moved the camera. Asks for the full picture kMotionPauseMs later.
void noteKeyMotion();
// The left button went down (true) or up (false).
void noteDrag(bool down);
// The timer's callback: the full picture once no motion came since `serial`.
void onMotionPause(int serial);
bool cameraMoving();
// What the frame about to be drawn uses as movingStride: 0 when still
// or when the shown objects are within the limit.
std::size_t movingStrideForScene();
// Forgets any motion (tests, resetViewerState).
void resetMotion();
