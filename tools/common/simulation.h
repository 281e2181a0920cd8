// Pieces shared by the simulated scanners of the sample-data tools: a small
// vector type, a deterministic random generator, and scanner poses with the
// quaternion a scan configuration records for them.
#pragma once

#include <cmath>
#include <cstdint>

namespace sim {

struct V3 {
    double x, y, z;
};
inline V3 operator+(V3 a, V3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline V3 operator-(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline V3 operator*(double s, V3 a) {
    return {s * a.x, s * a.y, s * a.z};
}
inline double dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline V3 cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline V3 unit(V3 a) {
    return (1.0 / std::sqrt(dot(a, a))) * a;
}

// A small deterministic generator (xorshift64*), the same on every platform.
class Random {
public:
    explicit Random(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t next() {
        s_ ^= s_ >> 12;
        s_ ^= s_ << 25;
        s_ ^= s_ >> 27;
        return s_ * 0x2545F4914F6CDD1Dull;
    }
    double uniform() { return (next() >> 11) * (1.0 / 9007199254740992.0); }
    // Approximately normal: the sum of four uniforms, centred and scaled
    // (never beyond 2 sqrt(3) standard deviations).
    double normal() {
        return (uniform() + uniform() + uniform() + uniform() - 2.0) * std::sqrt(3.0);
    }

private:
    uint64_t s_;
};

struct Pose {
    V3 axisX, axisY, axisZ;  // scanner axes in the common frame (columns of the rotation)
    V3 origin;               // scanner frame origin in the common frame

    // A point of the scanner frame in the common frame.
    V3 toCommon(V3 p) const { return origin + p.x * axisX + p.y * axisY + p.z * axisZ; }
    // A point of the common frame in the scanner frame.
    V3 toScanner(V3 p) const {
        const V3 d = p - origin;
        return {dot(d, axisX), dot(d, axisY), dot(d, axisZ)};
    }
};

// The scanner looks from direction `from` (a unit vector from the object
// towards the scanner) with the given up direction.
inline Pose poseLookingFrom(V3 from, V3 up, V3 origin) {
    Pose p;
    p.axisZ = unit(from);
    p.axisX = unit(cross(up, p.axisZ));
    p.axisY = cross(p.axisZ, p.axisX);
    p.origin = origin;
    return p;
}

// The quaternion (x, y, z, w) whose configuration matrix, with rows
//   (w2+x2-y2-z2, 2(wz+xy), 2(xz-wy)), (2(xy-wz), w2-x2+y2-z2, 2(wx+yz)),
//   (2(xz+wy), 2(yz-wx), w2-x2-y2+z2),
// is the pose's rotation. That matrix is the usual rotation matrix of the
// conjugate quaternion, so this takes the usual quaternion of the transpose.
inline void poseQuaternion(const Pose& p, double q[4]) {
    // Transpose of R: rows of R^T are the columns of R.
    const double m[3][3] = {{p.axisX.x, p.axisX.y, p.axisX.z},
                            {p.axisY.x, p.axisY.y, p.axisY.z},
                            {p.axisZ.x, p.axisZ.y, p.axisZ.z}};
    const double trace = m[0][0] + m[1][1] + m[2][2];
    double x, y, z, w;
    if (trace > 0) {
        const double s = 0.5 / std::sqrt(trace + 1.0);
        w = 0.25 / s;
        x = (m[2][1] - m[1][2]) * s;
        y = (m[0][2] - m[2][0]) * s;
        z = (m[1][0] - m[0][1]) * s;
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const double s = 2.0 * std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]);
        w = (m[2][1] - m[1][2]) / s;
        x = 0.25 * s;
        y = (m[0][1] + m[1][0]) / s;
        z = (m[0][2] + m[2][0]) / s;
    } else if (m[1][1] > m[2][2]) {
        const double s = 2.0 * std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]);
        w = (m[0][2] - m[2][0]) / s;
        x = (m[0][1] + m[1][0]) / s;
        y = 0.25 * s;
        z = (m[1][2] + m[2][1]) / s;
    } else {
        const double s = 2.0 * std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]);
        w = (m[1][0] - m[0][1]) / s;
        x = (m[0][2] + m[2][0]) / s;
        y = (m[1][2] + m[2][1]) / s;
        z = 0.25 * s;
    }
    q[0] = x;
    q[1] = y;
    q[2] = z;
    q[3] = w;
}

// Checks that the quaternion reproduces the rotation through the
// configuration's matrix; a wrong convention would misplace every scan.
inline bool quaternionMatches(const Pose& p, const double q[4]) {
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double m[3][3] = {
        {w * w + x * x - y * y - z * z, 2 * (w * z + x * y), 2 * (x * z - w * y)},
        {2 * (x * y - w * z), w * w - x * x + y * y - z * z, 2 * (w * x + y * z)},
        {2 * (x * z + w * y), 2 * (y * z - w * x), w * w - x * x - y * y + z * z}};
    const V3 cols[3] = {p.axisX, p.axisY, p.axisZ};
    for (int c = 0; c < 3; ++c) {
        const double col[3] = {cols[c].x, cols[c].y, cols[c].z};
        for (int r = 0; r < 3; ++r)
            if (std::fabs(m[r][c] - col[r]) > 1e-9) return false;
    }
    return true;
}

}  // namespace sim
