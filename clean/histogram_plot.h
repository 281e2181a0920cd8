// The picture of rangeloom-clean --plot: the distribution of the measured
// values of each scan as one step line per scan over the histogram's bins,
// the removal threshold as a dashed vertical line, axes with round ticks and
// their labels, a title and a legend naming each scan in its colour. White
// background, for a report.
#pragma once

#include <string>

#include "clean/distance_histogram.h"
#include "picture/image.h"

struct PlotOptions {
    std::string title;       // the line above the plot
    float threshold = 0.0f;  // removal threshold, marked when inside the distance axis
    bool logCounts = false;  // count axis in powers of ten (empty bins on the axis)
    int width = 1200;        // picture size in pixels
    int height = 750;
};

// Draws the plot. False, with *error saying why, when no font can be loaded
// for the labels.
bool drawHistogramPlot(const ScanHistogram& h, const PlotOptions& options, RgbImage* picture,
                       std::string* error);

// The colour of series i (ten distinct colours, repeated after ten).
Rgb seriesColour(std::size_t i);
