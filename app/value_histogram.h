// The text histogram of the 'n' key: every measured value of the scans in
// equal bins from 0 to the colour scale's maximum, one line per bin with its
// count and a bar of '#', the threshold's bin marked, and the values above
// the maximum on a line of their own.
#pragma once

#include <string>
#include <vector>

#include "scene/distance_colours.h"
#include "scene/mesh.h"

constexpr int kTextHistogramBins = 10;

// The histogram of the scans' values under `scale` (its threshold and
// maximum). Meshes without one value per point are left out.
std::string textHistogram(const std::vector<const Mesh*>& meshes, const DistanceScale& scale,
                          int bins = kTextHistogramBins);
