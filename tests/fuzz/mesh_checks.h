// Checks shared by the fuzz targets that load whole meshes: every index that
// reached the mesh names something the mesh has, and the mesh draws in every
// display mode against the recording GL stand-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fake_gl.h"
#include "fuzz_support.h"
#include "scene/draw_path.h"
#include "scene/mesh.h"

namespace fuzzing {

inline bool validVertex(int32_t vi, const Mesh& mesh) {
    return vi >= 0 && static_cast<std::size_t>(vi) < mesh.vertices.size();
}

// Faces and raster cells name existing vertices; edges name existing faces.
inline void checkMeshIndices(const Mesh& mesh) {
    for (const Face& f : mesh.faces)
        for (int32_t vi : f.vertexIndices)
            if (!validVertex(vi, mesh))
                fail("a face names vertex " + std::to_string(vi) + " of " +
                     std::to_string(mesh.vertices.size()));
    for (int32_t g : mesh.gridIndex)
        if (g != -1 && !validVertex(g, mesh)) fail("a raster cell names a missing vertex");
    for (const Edge& e : mesh.edges)
        if (e.face0 < -1 || e.face1 < -1 || e.face0 >= mesh.faceCount() ||
            e.face1 >= mesh.faceCount())
            fail("an edge names a missing face");
}

// Every mode one vertex at a time, then from buffer objects (the stand-in
// reads every element the arrays name, within the buffers' bounds).
inline void drawEveryMode(Mesh& mesh) {
    for (DrawPath path : {DrawPath::Immediate, DrawPath::BufferObjects}) {
        setDrawPath(path);
        for (int mode = Points; mode <= Smooth; ++mode) {
            mesh.setDisplayMode(mode);
            mesh.draw();
            glCalls().clear();
            clearDrawnPrimitives();
        }
    }
    resetDrawPath();
}

}  // namespace fuzzing
