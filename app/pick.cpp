#include "app/pick.h"

#include <cmath>
#include <cstdio>

#include "scene/unmeasured.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// v (x, y, z, 1) through a column-major 4x4 matrix.
void transform(const double m[16], double x, double y, double z, double out[4]) {
    for (int r = 0; r < 4; ++r) out[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
}

const std::vector<Point3>& drawnPositions(const Mesh& mesh) {
    return mesh.worldVertices.empty() ? mesh.vertices : mesh.worldVertices;
}

// The eye distance of the surface under the pointer, from its depth value.
double surfaceDistance(const PickView& v, double depth) {
    const double ndc = 2.0 * depth - 1.0;
    if (v.orthographic) return (ndc * (v.zFar - v.zNear) + (v.zFar + v.zNear)) / 2.0;
    return 2.0 * v.zFar * v.zNear / ((v.zFar + v.zNear) - ndc * (v.zFar - v.zNear));
}

// World (eye) units per pixel at a distance from the eye.
double unitsPerPixel(const PickView& v, double distance) {
    if (v.orthographic) return (v.top - v.bottom) / v.height;
    return 2.0 * distance * std::tan(v.fovy * kPi / 360.0) / v.height;
}

}  // namespace

void lookAtTransform(const Point3& eye, const Point3& centre, const Vec3& up, float scale,
                     const Vec3& shift, double out[16]) {
    double f[3] = {centre.x - eye.x, centre.y - eye.y, centre.z - eye.z};
    const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (double& c : f) c = fl > 0 ? c / fl : 0;
    double s[3] = {f[1] * up.z - f[2] * up.y, f[2] * up.x - f[0] * up.z, f[0] * up.y - f[1] * up.x};
    const double sl = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    for (double& c : s) c = sl > 0 ? c / sl : 0;
    const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2],
                         s[0] * f[1] - s[1] * f[0]};
    // Rows s, u, -f; then the eye moved to the origin; then scale and shift.
    const double rows[3][3] = {{s[0], s[1], s[2]}, {u[0], u[1], u[2]}, {-f[0], -f[1], -f[2]}};
    const double e[3] = {eye.x, eye.y, eye.z};
    const double t[3] = {-shift.x, -shift.y, -shift.z};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) out[4 * c + r] = rows[r][c] * scale;
        double translation = 0;
        for (int c = 0; c < 3; ++c) translation += rows[r][c] * (scale * t[c] - e[c]);
        out[12 + r] = translation;
        out[4 * r + 3] = 0.0;
    }
    out[15] = 1.0;
}

WindowPoint projectToWindow(const PickView& v, const Point3& p) {
    double eye[4];
    transform(v.modelview, p.x, p.y, p.z, eye);
    WindowPoint w;
    w.eyeDistance = -eye[2];
    double nx, ny;
    if (v.orthographic) {
        nx = (2.0 * eye[0] - (v.right + v.left)) / (v.right - v.left);
        ny = (2.0 * eye[1] - (v.top + v.bottom)) / (v.top - v.bottom);
    } else {
        if (w.eyeDistance <= 0.0) return w;
        const double focal = 1.0 / std::tan(v.fovy * kPi / 360.0);
        const double aspect = double(v.width) / v.height;
        nx = focal / aspect * eye[0] / w.eyeDistance;
        ny = focal * eye[1] / w.eyeDistance;
    }
    w.inside = w.eyeDistance >= v.zNear && w.eyeDistance <= v.zFar;
    w.x = (nx + 1.0) / 2.0 * v.width;
    w.y = (ny + 1.0) / 2.0 * v.height;
    return w;
}

PickHit pickPoint(const PickView& view, const std::vector<Mesh*>& objects, double x, double y,
                  double surfaceDepth, double radius) {
    const bool surface = surfaceDepth < 1.0;
    const double behind = surface ? surfaceDistance(view, surfaceDepth) : 0.0;
    // Points within a few pixels' worth behind the surface belong to it.
    const double slack = surface ? 4.0 * radius * unitsPerPixel(view, behind) + 0.01 * behind : 0.0;
    PickHit best[2];  // [0]: in front of the surface, [1]: any
    double bestScreen[2] = {0, 0}, bestEye[2] = {0, 0};
    for (std::size_t o = 0; o < objects.size(); ++o) {
        if (objects[o] == nullptr) continue;
        const Mesh& mesh = *objects[o];
        const std::vector<Point3>& positions = drawnPositions(mesh);
        for (std::size_t i = 0; i < positions.size(); ++i) {
            const WindowPoint w = projectToWindow(view, offsetBy(positions[i], mesh.position));
            if (!w.inside) continue;
            const double d = std::hypot(w.x - x, w.y - y);
            if (!(d <= radius)) continue;  // also a position that is not a number
            for (int k = 0; k < 2; ++k) {
                if (k == 0 && surface && w.eyeDistance > behind + slack) continue;
                const bool better = !best[k].found || d < bestScreen[k] ||
                                    (d == bestScreen[k] && w.eyeDistance < bestEye[k]);
                if (!better) continue;
                best[k] = PickHit{true, o, i};
                bestScreen[k] = d;
                bestEye[k] = w.eyeDistance;
            }
        }
    }
    return best[0].found ? best[0] : best[1];
}

bool rasterPlace(const Mesh& mesh, std::size_t vertex, int* row, int* column) {
    if (!mesh.isRangeGrid || mesh.gridCols <= 0) return false;
    for (std::size_t k = 0; k < mesh.gridIndex.size(); ++k) {
        if (mesh.gridIndex[k] >= 0 && static_cast<std::size_t>(mesh.gridIndex[k]) == vertex) {
            *row = static_cast<int>(k / static_cast<std::size_t>(mesh.gridCols));
            *column = static_cast<int>(k % static_cast<std::size_t>(mesh.gridCols));
            return true;
        }
    }
    return false;
}

std::string pickLine(const Mesh& mesh, std::size_t vertex, float threshold) {
    char line[128];
    std::string text = (mesh.hasDistanceValues() ? "scan " : "mesh ") + mesh.fileName;
    std::snprintf(line, sizeof line, " point %zu", vertex);
    text += line;
    int row = 0, column = 0;
    if (rasterPlace(mesh, vertex, &row, &column)) {
        std::snprintf(line, sizeof line, " (row %d, column %d)", row, column);
        text += line;
    }
    if (!mesh.hasDistanceValues() || vertex >= mesh.vertexValues.size())
        return text + ": no distance (not a scan of a configuration)";
    const float v = mesh.vertexValues[vertex];
    if (v == kUnmeasured || std::isnan(v)) return text + ": unmeasured";
    std::snprintf(line, sizeof line, ": %f (%s at %f)", double(v),
                  v > threshold ? "tossed" : "kept", double(threshold));
    return text + line;
}
