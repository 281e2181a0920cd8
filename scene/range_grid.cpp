#include "scene/range_grid.h"

#include <cmath>
#include <utility>
#include <vector>

#include "scene/mesh.h"

bool RasterGrid::corners(uint64_t square, int shape, int32_t out[3]) const {
    if (cols <= 0) return false;
    const int64_t j = static_cast<int64_t>(square / static_cast<uint64_t>(cols));
    const int64_t i = static_cast<int64_t>(square % static_cast<uint64_t>(cols));
    const int32_t tl = at(j, i), tr = at(j, i + step), br = at(j + step, i + step),
                  bl = at(j + step, i);
    switch (shape) {
        case TlTrBr:
            out[0] = tl, out[1] = tr, out[2] = br;
            break;
        case TlBrBl:
            out[0] = tl, out[1] = br, out[2] = bl;
            break;
        case TrBrBl:
            out[0] = tr, out[1] = br, out[2] = bl;
            break;
        case TrBlTl:
            out[0] = tr, out[1] = bl, out[2] = tl;
            break;
        case TlTrBl:
            out[0] = tl, out[1] = tr, out[2] = bl;
            break;
        default:
            return false;
    }
    return out[0] >= 0 && out[1] >= 0 && out[2] >= 0;
}

RasterGrid rasterOf(const Mesh& mesh, int step) {
    RasterGrid g;
    g.cells = mesh.gridIndex.data();
    g.cellCount = mesh.gridIndex.size();
    g.cols = mesh.gridCols;
    g.rows = mesh.gridRows;
    g.step = step;
    g.vertexCount = mesh.vertices.size();
    return g;
}

void triangulateRangeGrid(Mesh& mesh, int step) {
    if (!mesh.isRangeGrid || mesh.gridIndex.empty()) return;
    if (mesh.gridRows <= 0 || mesh.gridCols <= 0 || step <= 0) return;
    // A full raster has about two triangles per point: room for that many
    // saves moving the faces while they are added.
    mesh.faces.reserve(mesh.faces.size() + 2 * mesh.vertices.size());
    forEachGridTriangle(rasterOf(mesh, step), mesh.vertices.data(), mesh.maxEdgeLength,
                        [&](uint64_t, int, int32_t a, int32_t b, int32_t c) {
                            Face face;
                            face.owner = &mesh;
                            face.vertexIndices.push_back(a);
                            face.vertexIndices.push_back(b);
                            face.vertexIndices.push_back(c);
                            mesh.faces.push_back(std::move(face));
                        });
}

void addGridTriangle(Mesh& mesh, int first, int second, int third, Vec3 viewDirection,
                     bool keepGrazing) {
    const std::vector<Point3>& vertices = mesh.vertices;
    const std::size_t n = vertices.size();
    if (first < 0 || second < 0 || third < 0 || static_cast<std::size_t>(first) >= n ||
        static_cast<std::size_t>(second) >= n || static_cast<std::size_t>(third) >= n) {
        return;  // not a triangle of this mesh
    }
    const Point3& p1 = vertices[first];
    const Point3& p2 = vertices[second];
    const Point3& p3 = vertices[third];
    if (!keepsGridTriangle(p1, p2, p3, mesh.maxEdgeLength)) return;
    Vec3 normal = (p1 - p3).cross(p1 - p2);
    normal.normalise();
    const bool grazing = std::fabs(normal.dot(viewDirection)) < mesh.grazingThreshold;
    if (grazing && !keepGrazing) return;

    Face face;
    face.owner = &mesh;
    face.vertexIndices.push_back(first);
    face.vertexIndices.push_back(second);
    face.vertexIndices.push_back(third);
    mesh.faces.push_back(std::move(face));
}

bool trianglesInRaster(const Mesh& mesh) {
    return mesh.isRangeGrid && mesh.faces.empty() && !mesh.gridIndex.empty() &&
           mesh.gridIndex.size() < kCodedRasterCells;
}

void rasterVertexNormals(Mesh& mesh) {
    const std::vector<Point3>& positions =
        mesh.worldVertices.empty() ? mesh.vertices : mesh.worldVertices;
    std::vector<Vec3>& normals = mesh.vertexNormals;
    normals.assign(mesh.vertices.size(), Vec3(0.0f, 0.0f, 0.0f));
    const std::size_t n = positions.size();
    forEachGridTriangle(
        rasterOf(mesh, mesh.gridStep), mesh.vertices.data(), mesh.maxEdgeLength,
        [&](uint64_t, int, int32_t a, int32_t b, int32_t c) {
            const bool placed = inIndexRange(a, n) && inIndexRange(b, n) && inIndexRange(c, n);
            const Vec3 normal = placed ? cornerNormal(positions[static_cast<std::size_t>(a)],
                                                      positions[static_cast<std::size_t>(b)],
                                                      positions[static_cast<std::size_t>(c)])
                                       : Vec3();
            for (int32_t corner : {a, b, c}) normals[static_cast<std::size_t>(corner)] += normal;
        });
    for (Vec3& v : normals) v.normalise();
}
