#include "scene/load_report.h"

#include <cstddef>
#include <cstdint>
#include <iostream>

#include "scene/console.h"
#include "scene/mesh.h"

namespace {

// Corner k of a face for the console summary; -1 stands for a missing corner.
int32_t cornerOrNone(const Face& face, std::size_t k) {
    return k < face.vertexIndices.size() ? face.vertexIndices[k] : -1;
}

}  // namespace

void printFirstElements(const Mesh& mesh) {
    if (mesh.vertices.size() < 3 || mesh.faces.size() < 3) return;
    static const char* const kOrdinal[3] = {"first", "second", "third"};
    for (std::size_t k = 0; k < 3; ++k) {
        const Point3& v = mesh.vertices[k];
        consolePrintf("%s vertex: %f %f %f \n", kOrdinal[k], static_cast<double>(v.x),
                      static_cast<double>(v.y), static_cast<double>(v.z));
        const Face& face = mesh.faces[k];
        consolePrintf("%s face: %d %d %d \n", kOrdinal[k], cornerOrNone(face, 0),
                      cornerOrNone(face, 1), cornerOrNone(face, 2));
    }
}

void reportPlacement(Mesh& mesh, bool moveAndScale) {
    float extent = mesh.bboxMax.x - mesh.bboxMin.x;
    if (mesh.bboxMax.y - mesh.bboxMin.y > extent) extent = mesh.bboxMax.y - mesh.bboxMin.y;
    // Without vertices the box is empty, and with all of them on one line
    // parallel to z its x and y extents are 0: no scaling then.
    mesh.maxExtent = extent > 0.0f ? extent : 1.0f;
    const float inverse = 1.0f / mesh.maxExtent;
    mesh.inverseExtent = Vec3(inverse, inverse, inverse);
    if (moveAndScale) mesh.scale(mesh.inverseExtent);
    ConsoleText() << "max_extent " << mesh.maxExtent << " max_x " << mesh.bboxMax.x << " min_x "
                  << mesh.bboxMin.x << std::endl;
    ConsoleText() << "max_y " << mesh.bboxMax.y << " min_y " << mesh.bboxMin.y << " max_z "
                  << mesh.bboxMax.z << " min_z " << mesh.bboxMin.z << std::endl;

    if (!mesh.vertices.empty()) {
        mesh.centroid = mesh.centroid.divided(static_cast<float>(mesh.vertices.size()));
    }
    if (moveAndScale) mesh.translate(-mesh.centroid.x, -mesh.centroid.y, -mesh.centroid.z);
    ConsoleText() << "center " << mesh.centroid.x << " " << mesh.centroid.y << " "
                  << mesh.centroid.z << std::endl;
    ConsoleText() << "scale by " << 1.0 / static_cast<double>(mesh.maxExtent) << std::endl;
}
