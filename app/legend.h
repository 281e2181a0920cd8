// The colour legend drawn over the scene while scans are coloured by
// distance: a vertical bar of the colour map from 0 (bottom) to the scale's
// maximum (top), 4 to 6 labelled round values beside it, the removal
// threshold marked across it, and swatches for unmeasured and tossed
// points. Drawn in window coordinates with GLUT bitmap text; it follows the
// window size and the scale (keys t, T, [, ], b).
#pragma once

#include <string>
#include <vector>

#include "scene/distance_colours.h"

// One labelled value of the bar.
struct LegendTick {
    double value;       // in the scans' length unit
    std::string label;  // the value with the decimals of the tick step
};

// Round values from 0 up to `maximum` (> 0) at one step of 1, 2, 2.5 or 5
// times a power of ten: the smallest such step that gives at most six, which
// always gives at least four. No tick for a maximum of 0 or less.
std::vector<LegendTick> legendTicks(float maximum);

// Where the legend goes in a window of the given size (pixels, y upwards).
struct LegendLayout {
    int barLeft, barRight;  // columns of the colour bar
    int barBottom, barTop;  // rows of its ends (value 0 and the maximum)
    int labelLeft;          // column where tick labels start (right of the bar)
    int swatchTop;          // top row of the first swatch, below the bar
};
LegendLayout legendLayout(int width, int height);

// The row of a value on the bar, clamped to its ends.
int legendRow(const LegendLayout& layout, double value, double maximum);

// Draws the legend for `scale` in a window of width x height pixels. Leaves
// the matrices and the GL state (lighting, depth test, shading) as it found
// them.
void drawLegend(const DistanceScale& scale, int width, int height);
