// A scan on disk: a binary little-endian PLY range image written through the
// PLY library (obj_info num_cols / num_rows, vertex x y z as floats, then
// range_grid: per raster cell a list of "uchar int" holding nothing or the
// cell's vertex), and the strays placed in it afterwards.
#pragma once

#include <string>
#include <vector>

#include "tools/campaign/survey.h"

namespace campaign {

// Writes the scan to path (replaced) with a large stdio buffer. Returns the
// length of its header (where the vertices begin), or -1 when the file could
// not be written (the reason is in *error; a partial file is left for the
// caller to remove).
long writeScanFile(const std::string& path, const Scan& scan, const Plan& plan, int station,
                   std::string* error);

// Lifts the strays in the file written by writeScanFile: each one's z is
// rewritten in place (vertices are fixed-size records). False, with the
// reason in *error, when the file could not be changed.
bool placeStrays(const std::string& path, long header, const std::vector<Candidate>& strays,
                 std::string* error);

}  // namespace campaign
