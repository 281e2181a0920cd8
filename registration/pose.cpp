#include "registration/pose.h"

#include <algorithm>
#include <cmath>

namespace registration {

Pose movedAbout(const Pose& pose, const Eigen::Vector3d& centre, const Eigen::Vector3d& omega,
                const Eigen::Vector3d& tau) {
    const double angle = omega.norm();
    const Eigen::Quaterniond turn =
        angle > 0 ? Eigen::Quaterniond(Eigen::AngleAxisd(angle, omega / angle))
                  : Eigen::Quaterniond::Identity();
    Pose moved;
    moved.rotation = (turn * pose.rotation).normalized();
    moved.translation = turn * (pose.translation - centre) + centre + tau;
    return moved;
}

double rotationDegreesBetween(const Eigen::Quaterniond& a, const Eigen::Quaterniond& b) {
    const Eigen::Quaterniond d = b * a.conjugate();
    // atan2 of the vector part's length and the scalar part: exact near 0 too.
    const double angle = 2 * std::atan2(d.vec().norm(), std::fabs(d.w()));
    return angle * 180 / M_PI;
}

}  // namespace registration
