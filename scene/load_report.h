// What the loaders print about a mesh they have just read, and the placement
// they report with it. Shared by the .m reader and the PLY loader.
#pragma once

class Mesh;

// Prints the first three vertices and faces when there are at least three
// of each.
void printFirstElements(const Mesh& mesh);

// After reading: maxExtent (the larger of the x and y extents; 1 when there
// is none), the mean of the positions as centroid, and the four report lines
// (extents, bounds, centre, scale). With moveAndScale the mesh is also
// scaled by 1/maxExtent and translated by -centroid, which puts it at the
// origin at unit size when drawn.
void reportPlacement(Mesh& mesh, bool moveAndScale);
