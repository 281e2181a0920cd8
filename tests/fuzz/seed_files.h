// Small valid input files for the fuzz targets' seed corpora and scratch
// scans, written with the PLY library's own writer in any encoding.
#pragma once

#include <string>

namespace seeds {

// What a generated range image holds besides x, y, z and its raster.
struct RangeImageShape {
    int cols = 4;              // raster columns (num_cols obj_info line)
    int rows = 3;              // raster rows (num_rows obj_info line)
    float spacing = 0.0005f;   // distance of neighbouring points
    float offsetX = 0.0f;      // shift of every point along x
    bool confidence = false;   // a per-point "confidence" float after z
    bool cameraFirst = false;  // an element "camera" before "vertex"
    bool faces = false;        // a "face" element after the raster
};

// A range image on a plane, one cell in five empty, in the file type
// (PLY_ASCII, PLY_BINARY_BE or PLY_BINARY_LE).
std::string rangeImage(int fileType, const RangeImageShape& shape);

// A closed tetrahedron: vertex x, y, z and faces with a vertex_indices list,
// with or without a uchar "intensity" before the list.
std::string tetrahedron(int fileType, bool intensity);

// The .m text of a closed tetrahedron, faces with and without colours.
std::string tetrahedronM();

}  // namespace seeds
