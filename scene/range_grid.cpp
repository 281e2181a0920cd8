// Triangulation of a range image's raster: one or two triangles per square of
// neighbouring raster cells, without triangles that bridge depth jumps.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "scene/dmesh.h"

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
        if (position < 0 || static_cast<uint64_t>(position) >= mesh_.gridIndex.size()) return kEmpty;
        const int32_t v = mesh_.gridIndex[static_cast<std::size_t>(position)];
        if (v < 0 || static_cast<std::size_t>(v) >= mesh_.vertices.size()) return kEmpty;
        return v;
    }

private:
    const Mesh& mesh_;
};

}  // namespace

void Mesh::triangulateRangeGrid(int step) {
    if (!isRangeGrid || gridIndex.empty()) return;
    // A raster without a size, or a step that would not advance, has no squares.
    if (gridRows <= 0 || gridCols <= 0 || step <= 0) return;

    const RasterView raster(*this);
    const Vec3 view(0.0f, 0.0f, -1.0f);  // the scanner looks down its -z axis
    // A full raster has about two triangles per point: room for that many
    // saves moving the faces while they are added.
    faces.reserve(faces.size() + 2 * vertices.size());
    const int64_t s = step;
    const int64_t cols = gridCols;
    const int64_t cells = static_cast<int64_t>(gridIndex.size());
    // A square whose top-left cell lies past the raster's entries has every
    // corner past them, so the walk stops there: a raster size read from a
    // damaged header (billions of rows or columns) costs no more than the
    // entries the file holds.
    const int64_t lastColumn = std::min<int64_t>(cols - s, cells);
    // Column-major: all squares of column i before those of column i + step.
    for (int64_t i = 0; i < lastColumn; i += s) {
        const int64_t lastRow = std::min<int64_t>(gridRows - s, (cells - i + cols - 1) / cols);
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
                    addTriangle(tl, tr, br, view, true);
                    addTriangle(tl, br, bl, view, true);
                } else {
                    addTriangle(tr, br, bl, view, true);
                    addTriangle(tr, bl, tl, view, true);
                }
            } else if (present == 3) {
                if (tl < 0) {
                    addTriangle(tr, br, bl, view, true);
                } else if (tr < 0) {
                    addTriangle(tl, br, bl, view, true);
                } else if (br < 0) {
                    addTriangle(tl, tr, bl, view, true);
                } else {
                    addTriangle(tl, tr, br, view, true);
                }
            }
        }
    }
}

void Mesh::addTriangle(int first, int second, int third, Vec3 viewDirection, bool keepGrazing) {
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
    if (e1.length() > maxEdgeLength || e2.length() > maxEdgeLength ||
        normal.length() > maxEdgeLength) {
        return;
    }
    normal.normalise();
    const bool grazing = std::fabs(normal.dot(viewDirection)) < grazingThreshold;
    if (grazing && !keepGrazing) return;

    Face face;
    face.owner = this;
    face.vertexIndices.push_back(first);
    face.vertexIndices.push_back(second);
    face.vertexIndices.push_back(third);
    faces.push_back(std::move(face));
}
