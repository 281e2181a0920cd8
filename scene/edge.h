// Edge: a vertex pair shared by two faces of a mesh (see Mesh::buildEdges).
#pragma once

#include <cstdint>

class Mesh;

struct Edge {
    int32_t face0 = -1;       // face in which the edge runs lowVertex -> highVertex, or -1
    int32_t face1 = -1;       // the other face, or -1
    int32_t lowVertex = -1;   // the lower vertex index
    int32_t highVertex = -1;  // the higher vertex index
    Mesh* owner = nullptr;    // not owned
};
