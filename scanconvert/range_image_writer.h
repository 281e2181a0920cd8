// A structured scan written as a PLY range image through the PLY library:
// obj_info num_cols / num_rows, element vertex (float x, y, z in the
// scanner's frame) and element range_grid (one list per raster cell, row by
// row from the top: empty, or the index of its vertex), the layout the
// viewer's PLY loader reads and triangulates. An unstructured scan gets the
// vertices alone.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "formats/structured_scan.h"

namespace scanconvert {

// Writes the scan to the open stream, which the call closes (the PLY
// library owns it once writing starts). Comments go into the header, one a
// line. A failed write ends through the PLY library's exit handler.
void writeRangeImage(FILE* stream, const formats::StructuredScan& scan, bool ascii,
                     const std::vector<std::string>& comments);

}  // namespace scanconvert
