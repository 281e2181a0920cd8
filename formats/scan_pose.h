// Poses of structured scans: a quaternion and a translation (E57) or a 4x4
// matrix (PTX), and the pose a scan configuration's bmesh record gives them.
#pragma once

#include "formats/scan_stream.h"

namespace formats {

// Fills pose->matrix from pose->rotation and pose->translation (the
// quaternion's usual rotation matrix, normalised by its length).
void setMatrixFromQuaternion(ScanPose* pose);

// Fills pose->rotation and pose->translation from pose->matrix: the
// quaternion of the matrix's rotation part (the nearest one when the part
// is not exactly a rotation), w >= 0.
void setQuaternionFromMatrix(ScanPose* pose);

// How far the matrix is from a rigid motion: the largest deviation of
// R^T R from the identity and of the bottom row from (0, 0, 0, 1); +inf
// for a mirroring (det R < 0) or a matrix that is not finite.
double rigidDefect(const ScanPose& pose);

// The largest rigidDefect of a pose that a configuration can place: beyond
// it the transform scales, shears or mirrors, which a bmesh record's
// quaternion and translation cannot express.
inline constexpr double kRigidTolerance = 1e-4;

// A pose as a bmesh record writes it: "tx ty tz qx qy qz qw" in single
// precision. A configuration's quaternion (qx, qy, qz, qw) is turned into
// the matrix of math's Quaternion::toMatrix, which is the usual rotation
// matrix of the conjugate quaternion, so qx qy qz are the negated vector
// part of the pose's rotation.
struct ConfigPose {
    float translation[3] = {0, 0, 0};
    float quaternion[4] = {0, 0, 0, 1};  // qx, qy, qz, qw
    // The record places the scan exactly where the file's pose does in
    // single precision. E57: always (its values are the file's rounded to
    // floats, as any single-precision reader takes them). PTX: when
    // Quaternion::toMatrix of `quaternion` equals the file's rotation rounded
    // to floats, element by element, bit for bit.
    bool exact = false;
    // Largest difference between the rotation the record applies and the
    // file's rotation, element by element.
    double deviation = 0.0;
};

// The record for the pose. For a PTX pose the quaternion is searched near
// the matrix's own for one that reproduces the matrix's single-precision
// elements exactly (always found for matrices written from a configuration
// quaternion by Quaternion::toMatrix, in the tests' experience; otherwise
// the nearest one tried, with exact false).
ConfigPose configPose(const ScanPose& pose);

}  // namespace formats
