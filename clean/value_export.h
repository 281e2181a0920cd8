// The export of an analysed scan for other tools: its points in the common
// frame of the configuration (world positions) with their overlap values, as
// a binary little-endian PLY file written through the PLY library.
//
//   element vertex N
//   property float x, y, z   world position
//   property float value     distance to the nearest polygon of another scan
//                            in the point's lattice cell; nan: not measured
//
// Comment lines in the header say where the points come from, what value
// means and which removal threshold tossed which points.
#pragma once

#include <string>

#include "files/file_identity.h"
#include "scene/mesh.h"

// The export's file name: the source's file name cut at the first ".ply"
// (or kept whole without one) followed by ".values.ply", in folder, or beside
// the source when folder is empty.
std::string valueExportName(const std::string& source, const std::string& folder);

// Writes the scan's world positions and values (one per position; missing
// values count as not measured) to target, atomically: into a temporary file
// beside it that is renamed over it when complete, unless target is one of
// keep's files then. Returns false, with *error saying why, when the file
// could not be written; an earlier file of that name is then left as it was.
bool writeValueExport(const Mesh& scan, float threshold, const std::string& target,
                      std::string* error, const files::ProtectedFiles* keep = nullptr);
