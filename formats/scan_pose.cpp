#include "formats/scan_pose.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "math/quaternion.h"

namespace formats {

void setMatrixFromQuaternion(ScanPose* pose) {
    const double* q = pose->rotation;
    const double n = q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3];
    const double s = n > 0.0 ? 2.0 / n : 0.0;
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    double(*m)[4] = pose->matrix;
    m[0][0] = 1.0 - s * (y * y + z * z);
    m[0][1] = s * (x * y - w * z);
    m[0][2] = s * (x * z + w * y);
    m[1][0] = s * (x * y + w * z);
    m[1][1] = 1.0 - s * (x * x + z * z);
    m[1][2] = s * (y * z - w * x);
    m[2][0] = s * (x * z - w * y);
    m[2][1] = s * (y * z + w * x);
    m[2][2] = 1.0 - s * (x * x + y * y);
    for (int r = 0; r < 3; ++r) m[r][3] = pose->translation[r];
    m[3][0] = m[3][1] = m[3][2] = 0.0;
    m[3][3] = 1.0;
    pose->fromMatrix = false;
}

namespace {

// Quaternion (w, x, y, z) of s R, where R is a rotation and s > 0 (a
// quaternion's quadratic matrix without normalisation): Shepperd's method,
// taking the largest of the four squared components first so that no
// division is by a small number. The result has length sqrt(s).
void quaternionOf(const double m[3][3], double s, double q[4]) {
    const double t = m[0][0] + m[1][1] + m[2][2];
    double w, x, y, z;
    if (t >= m[0][0] && t >= m[1][1] && t >= m[2][2]) {
        w = std::sqrt(std::fmax(s + t, 0.0)) / 2.0;
        x = (m[2][1] - m[1][2]) / (4.0 * w);
        y = (m[0][2] - m[2][0]) / (4.0 * w);
        z = (m[1][0] - m[0][1]) / (4.0 * w);
    } else if (m[0][0] >= m[1][1] && m[0][0] >= m[2][2]) {
        x = std::sqrt(std::fmax(s + m[0][0] - m[1][1] - m[2][2], 0.0)) / 2.0;
        w = (m[2][1] - m[1][2]) / (4.0 * x);
        y = (m[0][1] + m[1][0]) / (4.0 * x);
        z = (m[0][2] + m[2][0]) / (4.0 * x);
    } else if (m[1][1] >= m[2][2]) {
        y = std::sqrt(std::fmax(s + m[1][1] - m[0][0] - m[2][2], 0.0)) / 2.0;
        w = (m[0][2] - m[2][0]) / (4.0 * y);
        x = (m[0][1] + m[1][0]) / (4.0 * y);
        z = (m[1][2] + m[2][1]) / (4.0 * y);
    } else {
        z = std::sqrt(std::fmax(s + m[2][2] - m[0][0] - m[1][1], 0.0)) / 2.0;
        w = (m[1][0] - m[0][1]) / (4.0 * z);
        x = (m[0][2] + m[2][0]) / (4.0 * z);
        y = (m[1][2] + m[2][1]) / (4.0 * z);
    }
    const double sign = w < 0.0 ? -1.0 : 1.0;
    q[0] = sign * w;
    q[1] = sign * x;
    q[2] = sign * y;
    q[3] = sign * z;
}

// Mean length of the rotation part's columns (1 for a rotation).
double columnScale(const double m[3][3]) {
    double sum = 0.0;
    for (int c = 0; c < 3; ++c)
        sum += std::sqrt(m[0][c] * m[0][c] + m[1][c] * m[1][c] + m[2][c] * m[2][c]);
    return sum / 3.0;
}

}  // namespace

void setQuaternionFromMatrix(ScanPose* pose) {
    double r[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = pose->matrix[i][j];
    double q[4];
    quaternionOf(r, 1.0, q);
    const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (int k = 0; k < 4; ++k) pose->rotation[k] = n > 0.0 ? q[k] / n : (k == 0 ? 1.0 : 0.0);
    for (int k = 0; k < 3; ++k) pose->translation[k] = pose->matrix[k][3];
    pose->fromMatrix = true;
}

double rigidDefect(const ScanPose& pose) {
    const auto& m = pose.matrix;
    for (const auto& row : m)
        for (double v : row)
            if (!std::isfinite(v)) return std::numeric_limits<double>::infinity();
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (!(det > 0.0)) return std::numeric_limits<double>::infinity();
    double defect = 0.0;
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            double dot = 0.0;
            for (int k = 0; k < 3; ++k) dot += m[k][a] * m[k][b];
            defect = std::fmax(defect, std::fabs(dot - (a == b ? 1.0 : 0.0)));
        }
    defect = std::fmax(defect, std::fabs(m[3][0]));
    defect = std::fmax(defect, std::fabs(m[3][1]));
    defect = std::fmax(defect, std::fabs(m[3][2]));
    return std::fmax(defect, std::fabs(m[3][3] - 1.0));
}

namespace {

// Floats ordered as integers: neighbouring floats have neighbouring keys.
int64_t floatKey(float f) {
    int32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits < 0 ? -static_cast<int64_t>(bits & 0x7fffffff) : bits;
}

float fromFloatKey(int64_t key) {
    const int32_t bits = key < 0 ? static_cast<int32_t>(static_cast<uint32_t>(-key) | 0x80000000u)
                                 : static_cast<int32_t>(key);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Distance in units in the last place between toMatrix(q) and the target,
// summed over the rotation's nine elements (0: identical).
double ulpDistance(const float q[4], const float target[3][3]) {
    const Matrix4 m = Quaternion(q[0], q[1], q[2], q[3]).toMatrix();
    double sum = 0.0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            if (!std::isfinite(m(r, c))) return std::numeric_limits<double>::infinity();
            sum += std::fabs(static_cast<double>(floatKey(m(r, c)) - floatKey(target[r][c])));
        }
    return sum;
}

// Moves q towards a quaternion whose toMatrix is the target: first one
// component at a time by steps of 1, 2, 4, ... units in the last place while
// that lowers the distance, then all four together within two units.
double refineTowards(float q[4], const float target[3][3]) {
    double best = ulpDistance(q, target);
    for (bool improved = true; improved && best > 0.0;) {
        improved = false;
        for (int k = 0; k < 4; ++k)
            for (int64_t step = 1; step <= (int64_t(1) << 22); step *= 2)
                for (int64_t sign = -1; sign <= 1; sign += 2) {
                    float t[4] = {q[0], q[1], q[2], q[3]};
                    t[k] = fromFloatKey(floatKey(q[k]) + sign * step);
                    const double d = ulpDistance(t, target);
                    if (d < best) {
                        best = d;
                        q[k] = t[k];
                        improved = true;
                    }
                }
    }
    const float start[4] = {q[0], q[1], q[2], q[3]};
    for (int i = 0; i < 625 && best > 0.0; ++i) {
        float t[4];
        int rest = i;
        for (int k = 0; k < 4; ++k, rest /= 5)
            t[k] = fromFloatKey(floatKey(start[k]) + rest % 5 - 2);
        const double d = ulpDistance(t, target);
        if (d < best) {
            best = d;
            for (int k = 0; k < 4; ++k) q[k] = t[k];
        }
    }
    return best;
}

double rotationDeviation(const float q[4], const double rotation[3][3]) {
    const Matrix4 m = Quaternion(q[0], q[1], q[2], q[3]).toMatrix();
    double deviation = 0.0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            deviation = std::fmax(deviation, std::fabs(double(m(r, c)) - rotation[r][c]));
    return deviation;
}

}  // namespace

ConfigPose configPose(const ScanPose& pose) {
    ConfigPose out;
    double rotation[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) rotation[r][c] = pose.matrix[r][c];
    if (!pose.fromMatrix) {
        const double* q = pose.rotation;
        for (int k = 0; k < 3; ++k) out.translation[k] = static_cast<float>(pose.translation[k]);
        out.quaternion[0] = static_cast<float>(-q[1]);
        out.quaternion[1] = static_cast<float>(-q[2]);
        out.quaternion[2] = static_cast<float>(-q[3]);
        out.quaternion[3] = static_cast<float>(q[0]);
        for (float& v : out.quaternion) v += 0.0f;  // -0 reads as 0
        out.exact = true;
        out.deviation = rotationDeviation(out.quaternion, rotation);
        return out;
    }

    for (int k = 0; k < 3; ++k) out.translation[k] = static_cast<float>(pose.matrix[k][3]);
    // The rotation part rounded to floats, and a quaternion of the same scale
    // (a matrix written from a configuration quaternion carries its length).
    float target[3][3];
    double rounded[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            target[r][c] = static_cast<float>(rotation[r][c]);
            rounded[r][c] = target[r][c];
        }
    double q[4];
    quaternionOf(rounded, columnScale(rounded), q);
    // toMatrix(x, y, z, w) is the usual matrix of (w, -x, -y, -z).
    float f[4] = {static_cast<float>(-q[1]), static_cast<float>(-q[2]), static_cast<float>(-q[3]),
                  static_cast<float>(q[0])};
    const double distance = refineTowards(f, target);
    for (int k = 0; k < 4; ++k) out.quaternion[k] = f[k] + 0.0f;  // -0 reads as 0
    out.exact = distance == 0.0;
    out.deviation = rotationDeviation(out.quaternion, rotation);
    return out;
}

}  // namespace formats
