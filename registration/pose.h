// Pose: the rigid motion that places a scan in the common frame,
// world = rotation * model + translation, in double precision.
#pragma once

#include <Eigen/Core>
#include <Eigen/Geometry>

namespace registration {

struct Pose {
    Eigen::Quaterniond rotation = Eigen::Quaterniond::Identity();  // unit quaternion
    Eigen::Vector3d translation = Eigen::Vector3d::Zero();         // scene units

    Eigen::Vector3d apply(const Eigen::Vector3d& model) const {
        return rotation * model + translation;
    }
    // The model position that this pose places at `world`.
    Eigen::Vector3d inverseApply(const Eigen::Vector3d& world) const {
        return rotation.conjugate() * (world - translation);
    }
};

// The pose moved by a small rigid motion about `centre` (world): a rotation
// by the vector omega (axis times angle, radians) about centre, then the
// translation tau. The rotation is exact (not linearised) and stays unit.
Pose movedAbout(const Pose& pose, const Eigen::Vector3d& centre, const Eigen::Vector3d& omega,
                const Eigen::Vector3d& tau);

// The angle, in degrees, of the rotation that takes a's orientation to b's.
double rotationDegreesBetween(const Eigen::Quaterniond& a, const Eigen::Quaterniond& b);

}  // namespace registration
