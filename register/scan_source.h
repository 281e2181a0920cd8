// The one place where registration meets the loaders: the scans of a
// configuration, loaded with the viewer's PLY loader or taken from scans the
// configuration reader already loaded, handed to the registration as light
// views with the poses of the configuration's records; and a scan placed
// again from new record numbers.
#pragma once

#include <cstdint>
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

// What the registration reads of a configuration's scans.
struct ScanSource {
    std::vector<std::string> paths;  // per scan, the file it was read from
    // Per scan, its model points (x y z each) when the loaded scan was not
    // kept (loadScanSource), else empty: the views point into the scans.
    std::vector<std::vector<float>> points;
    std::vector<std::vector<uint32_t>> triangles;  // per scan, the faces as triangles
    std::vector<registration::ScanPoints> views;   // per scan, poses from the records
};

// Loads the scan of every scan record of `config` (whose text gave `records`)
// with the viewer's PLY loader on `threads` threads (0: one per processor),
// keeping only each scan's points and triangles: the meshes are freed as
// soon as they are copied, so that memory holds the copies and one mesh per
// thread. False, with the reasons (one line each), when a scan cannot be
// read or the configuration names none, or when a record names a PTX or E57
// file (whose scans one record cannot move apart); then nothing is loaded
// after the check of the records. With `transcript`, the loaders' console
// report of every scan read, in record order.
bool loadScanSource(const std::string& config, const std::vector<ConfigRecord>& records,
                    int threads, ScanSource* source, std::vector<std::string>* problems,
                    std::string* transcript = nullptr);

// The views of scans the configuration reader loaded, in record order, one
// per scan record of `records`, with the records' poses: points are the
// scans' model positions (not copied; the scans must outlive the source).
// False, with why, when they are not one scan per record (a record naming a
// PTX or E57 file, or a scan that was not read).
bool scanSourceOf(const std::vector<const PlyMesh*>& scans,
                  const std::vector<ConfigRecord>& records, ScanSource* source,
                  std::string* problem);

// Places a scan of a configuration anew as the configuration reader places a
// PLY scan whose record holds `values` (tx ty tz qx qy qz qw): its rotation,
// then its translation, baked into world positions, every value unmeasured
// and the normals from the world positions, bit for bit what loading a
// configuration with that record gives. Material and display mode stay.
void placeByRecord(PlyMesh& scan, const float values[7]);
