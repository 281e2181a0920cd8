// The .m text mesh reader: "Vertex n x y z" and "Face n v1 v2 ... {rgb=(r g b)
// matid=k}" lines, vertex numbers from 1 in file order.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

#include "scene/load_status.h"
#include "scene/mesh.h"

// What the .m reader left out of the mesh.
struct MeshReadReport {
    std::size_t droppedFaces = 0;  // Face lines not added (bad or missing vertex numbers)
    std::string firstDroppedLine;  // the first of them as parsed (at most 255 characters)
};

// A .m file read into a mesh, and what the reader left out of it.
struct MeshFileLoad : Loaded<Mesh> {
    MeshReadReport dropped;
};

// Reads the .m file into a new mesh with the given id: its lines, the
// placement normalised (centroid to the origin, scale 1/maxExtent), normals
// and edges, each step reported on the console. A file that cannot be opened
// gives no mesh (CannotOpen, after "Could not open file NAME").
MeshFileLoad loadMeshFile(int id, const std::string& path);

// Parses every line of the input into the mesh (at most 255 characters of
// each). Face lines may name vertices listed later; a face whose vertex
// numbers are 0, not numbers, or beyond the last Vertex line at the end of
// the input is dropped and counted in the result.
MeshReadReport readMeshLines(Mesh& mesh, std::istream& in);

// Applies one line. A Face line naming a vertex not read yet, or with a
// vertex number that is 0 or not a number, is not added; returns false
// exactly then.
bool applyMeshLine(Mesh& mesh, const char* line);
