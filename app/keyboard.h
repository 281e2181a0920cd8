// Single-key commands and the help text.
#pragma once

#include <string>

extern int displayModeCounter;  // +1 on every 'e'; modulo 5 it is every object's display mode
extern bool uniformMaterial;    // after 'c': all objects share palette entry 0 (else per index)
extern float tossStep;          // threshold step of 't'/'T', fixed at the first key press
extern bool tossStepSet;        // tossStep has been fixed

// The colour scale's maximum moves by this factor per '[' or ']'.
constexpr float kColourScaleStep = 1.25f;

// GLUT keyboard callback; the mouse position is ignored.
void onKeyboard(unsigned char key, int x, int y);

// The help text printed by 'h': its original lines, then the keys added
// since (colouring by distance, histogram, picture, framing, picking).
const std::string& helpText();
