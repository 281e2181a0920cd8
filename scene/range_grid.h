// Triangulation of a range image's raster (Mesh::gridIndex): one or two
// triangles per square of neighbouring raster cells, without triangles that
// bridge depth jumps. Used by the PLY loader; meshes of any origin work.
#pragma once

#include "math/vec3.h"

class Mesh;

// Appends the triangles of the mesh's raster, a column-major walk over its
// squares of step x step cells. Does nothing unless the mesh is a range grid
// with a raster size and entries; entries that name no vertex count as empty
// cells.
void triangulateRangeGrid(Mesh& mesh, int step);

// Appends the triangle (first, second, third) unless a corner is not a vertex
// of the mesh, one of the two edges from the first corner or the normal is
// longer than mesh.maxEdgeLength, or the triangle is grazing
// (|normal . viewDirection| below mesh.grazingThreshold) and not keepGrazing.
void addGridTriangle(Mesh& mesh, int first, int second, int third, Vec3 viewDirection,
                     bool keepGrazing);
