#include "scan/lattice_mesh.h"

#include <cstdio>

#include "scene/console.h"
#include "scene/materials.h"

LatticeMesh::LatticeMesh(const Lattice& lattice) : Mesh(10), lattice_(lattice) {
    setDisplayMode(Wireframe);
    setMaterial(latticeMaterial);
    constructed_ = true;
}

void LatticeMesh::setMaterial(Material m) {
    Mesh::setMaterial(m);
    if (constructed_ && !built_) {
        faceMaterial_ = m;
        hasFaceMaterial_ = true;
    }
}

bool LatticeMesh::buildGeometry() {
    if (built_) return true;
    if (declined_) return false;
    const int nx = lattice_.nx, ny = lattice_.ny, nz = lattice_.nz;
    const double positions = double(nx + 1) * double(ny + 1) * double(nz + 1);
    if (positions > kMaxPositions) {
        consolePrintf("The lattice of %d x %d x %d cells is too large to draw; it is not shown.\n",
                      nx, ny, nz);
        declined_ = true;
        return false;
    }
    const auto id = [&](int x, int y, int z) {
        return static_cast<int32_t>(x + y * (nx + 1) + z * (nx + 1) * (ny + 1));
    };
    worldVertices.reserve(static_cast<std::size_t>(positions));
    faces.reserve(static_cast<std::size_t>(2.0 * nx * ny * (nz + 1.0)));
    Face face(this, Vec4(0.0f, 0.0f, 0.0f, 1.0f));
    if (hasFaceMaterial_) face.material = faceMaterial_;
    for (int z = 0; z <= nz; ++z) {
        for (int y = 0; y <= ny; ++y) {
            for (int x = 0; x <= nx; ++x) {
                worldVertices.push_back(Point3(x * cellSize + lattice_.minX,
                                               y * cellSize + lattice_.minY,
                                               z * cellSize + lattice_.minZ));
                if (y >= ny) continue;
                if (x < nx) {
                    face.vertexIndices = {id(x, y, z), id(x, y + 1, z), id(x + 1, y + 1, z),
                                          id(x + 1, y, z)};
                    faces.push_back(face);
                }
                if (z < nz) {
                    face.vertexIndices = {id(x, y, z), id(x, y, z + 1), id(x, y + 1, z + 1),
                                          id(x, y + 1, z)};
                    faces.push_back(face);
                }
            }
        }
    }
    built_ = true;
    return true;
}

void LatticeMesh::draw() {
    if (!buildGeometry()) return;
    Mesh::draw();
}
