#include "scene/range_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "scene/mesh.h"

namespace {

constexpr int32_t kEmpty = -1;  // raster cell without a measured point

// Reads the raster of a mesh; cells outside gridIndex and entries that are
// not vertex indices read as empty.
class RasterView {
public:
    explicit RasterView(const Mesh& mesh) : mesh_(mesh) {}

    // Vertex index at (row, column), or kEmpty.
    int32_t at(int64_t row, int64_t column) const {
        const int64_t position = row * static_cast<int64_t>(mesh_.gridCols) + column;
        if (position < 0 || static_cast<uint64_t>(position) >= mesh_.gridIndex.size())
            return kEmpty;
        const int32_t v = mesh_.gridIndex[static_cast<std::size_t>(position)];
        if (v < 0 || static_cast<std::size_t>(v) >= mesh_.vertices.size()) return kEmpty;
        return v;
    }

private:
    const Mesh& mesh_;
};

}  // namespace

void triangulateRangeGrid(Mesh& mesh, int step) {
    if (!mesh.isRangeGrid || mesh.gridIndex.empty()) return;
    // A raster without a size, or a step that would not advance, has no squares.
    if (mesh.gridRows <= 0 || mesh.gridCols <= 0 || step <= 0) return;

    const RasterView raster(mesh);
    const std::vector<Point3>& vertices = mesh.vertices;
    const Vec3 view(0.0f, 0.0f, -1.0f);  // the scanner looks down its -z axis
    // A full raster has about two triangles per point: room for that many
    // saves moving the faces while they are added.
    mesh.faces.reserve(mesh.faces.size() + 2 * vertices.size());
    const int64_t s = step;
    const int64_t cols = mesh.gridCols;
    const int64_t cells = static_cast<int64_t>(mesh.gridIndex.size());
    // A square whose top-left cell lies past the raster's entries has every
    // corner past them, so the walk stops there: a raster size read from a
    // damaged header (billions of rows or columns) costs no more than the
    // entries the file holds.
    const int64_t lastColumn = std::min<int64_t>(cols - s, cells);
    // Column-major: all squares of column i before those of column i + step.
    for (int64_t i = 0; i < lastColumn; i += s) {
        const int64_t lastRow = std::min<int64_t>(mesh.gridRows - s, (cells - i + cols - 1) / cols);
        for (int64_t j = 0; j < lastRow; j += s) {
            const int32_t tl = raster.at(j, i);
            const int32_t tr = raster.at(j, i + s);
            const int32_t br = raster.at(j + s, i + s);
            const int32_t bl = raster.at(j + s, i);
            const int present = (tl >= 0) + (tr >= 0) + (br >= 0) + (bl >= 0);
            if (present == 4) {
                // Split along the shorter diagonal; a tie goes along TR-BL.
                const float tlbr = (vertices[tl] - vertices[br]).length();
                const float trbl = (vertices[tr] - vertices[bl]).length();
                if (tlbr < trbl) {
                    addGridTriangle(mesh, tl, tr, br, view, true);
                    addGridTriangle(mesh, tl, br, bl, view, true);
                } else {
                    addGridTriangle(mesh, tr, br, bl, view, true);
                    addGridTriangle(mesh, tr, bl, tl, view, true);
                }
            } else if (present == 3) {
                if (tl < 0) {
                    addGridTriangle(mesh, tr, br, bl, view, true);
                } else if (tr < 0) {
                    addGridTriangle(mesh, tl, br, bl, view, true);
                } else if (br < 0) {
                    addGridTriangle(mesh, tl, tr, bl, view, true);
                } else {
                    addGridTriangle(mesh, tl, tr, br, view, true);
                }
            }
        }
    }
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
    const Vec3 e1 = p1 - p2;
    const Vec3 e2 = p1 - p3;
    Vec3 normal = e2.cross(e1);
    // Only the two edges from the first corner are measured (and the normal,
    // twice the area).
    if (e1.length() > mesh.maxEdgeLength || e2.length() > mesh.maxEdgeLength ||
        normal.length() > mesh.maxEdgeLength) {
        return;
    }
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
