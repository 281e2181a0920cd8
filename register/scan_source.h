// The one place where registration meets the loaders: the scans of a
// configuration loaded with the viewer's reader and handed to the
// registration as light views, with the poses of the configuration's records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "register/config_records.h"
#include "registration/registration.h"
#include "scan/ply_mesh.h"

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
    std::vector<std::unique_ptr<PlyMesh>> owned;   // the loaded scans
    std::vector<const Mesh*> scans;                // in record order (the owned scans)
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
// none, or when a record names a PTX or E57 file (whose scans one record
// cannot move apart).
bool loadScanSource(const std::string& config, const std::vector<ConfigRecord>& records,
                    int threads, ScanSource* source, std::vector<std::string>* problems);
