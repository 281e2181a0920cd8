// The one place where registration meets today's loaders: the scans of a
// configuration loaded with the viewer's reader (which fills the process-wide
// scene list) and handed to the registration as light views, with the poses
// of the configuration's records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "register/config_records.h"
#include "registration/registration.h"

class Mesh;

// The pose of a configuration record's numbers. The configuration's
// quaternion (qx, qy, qz, qw) places points by the matrix of its conjugate
// (see Quaternion::toMatrix), so the rotation here is (qw, -qx, -qy, -qz),
// normalised: a quaternion whose length is not 1 also scaled the scan by the
// square of its length in the viewer, which a rigid pose cannot.
registration::Pose poseOfRecord(const float values[7]);

// The record numbers of a pose, the quaternion of the same sign as `given`'s
// (the numbers the record holds now) so that an unmoved scan keeps them.
ConfigPose recordOfPose(const registration::Pose& pose, const float given[7]);

// Loaded scans and what the registration reads of them.
struct ScanSource {
    std::vector<const Mesh*> scans;                // in record order (owned by the scene list)
    std::vector<std::string> paths;                // the files they were read from
    std::vector<std::vector<uint32_t>> triangles;  // per scan, the faces as triangles
    std::vector<registration::ScanView> views;     // per scan, poses from the records

    ScanSource() = default;
    ScanSource(const ScanSource&) = delete;
    ScanSource& operator=(const ScanSource&) = delete;
    ~ScanSource();  // releases the scans
};

// Loads every scan record of `config` (whose text gave `records`) with
// `threads` loader threads (0: one per processor). False, with the reasons
// (one line each), when a scan cannot be read or the configuration names
// none; a scan whose data is damaged ends the process with status 2 and a
// message on standard error, before anything is written.
bool loadScanSource(const std::string& config, const std::vector<ConfigRecord>& records,
                    int threads, ScanSource* source, std::vector<std::string>* problems);
