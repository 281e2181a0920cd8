// Scan configurations: a stream of "keyword file tx ty tz qx qy qz qw" records.
// "bmesh" records name a range image and the rigid pose (rotation quaternion,
// vector part first, then translation) that places it in the common frame;
// "camera" records and any other keyword are ignored. A record may also name
// a PTX or E57 file (by its extension, any letter case): each of its scans
// becomes a scan of the configuration, in file order, placed by the file's
// pose and then the record's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scan/ply_mesh.h"
#include "scene/load_status.h"

// A scan of a configuration that was read.
struct ConfigScan {
    std::string name;               // the file name as its record writes it (for a scan of a
                                    // PTX or E57 file, mesh->scanNumber() says which scan)
    std::string path;               // where it was read from (resolveScanPath)
    std::unique_ptr<PlyMesh> mesh;  // posed and baked; the caller takes it
};

// A scan of a configuration that could not be read.
struct ConfigScanFailure {
    std::string name;   // the file name as its record writes it
    std::string path;   // where it was looked for
    LoadStatus status;  // CannotOpen, HeaderNotAccepted or DataDamaged, with the reason; for a
                        // PTX or E57 file CannotOpen or ScanFileDamaged (the reason names the
                        // scan, and the line or page)
};

// What readScanConfig loaded.
struct ScanConfigLoad {
    LoadStatus config;              // CannotOpen when the configuration could not be opened
    std::vector<ConfigScan> scans;  // read, in record order
    std::vector<ConfigScanFailure> failures;  // not read, in record order
    int bmeshRecords = 0;    // files the configuration names, read or not (each uses up an
                             // id, and each further scan of a PTX or E57 file one more)
    int unread = 0;          // bmesh records after a damaged scan: neither read nor reported
    float threshold = 0.0f;  // the default removal threshold

    // The scan whose damaged data ended the reading, or null.
    const ConfigScanFailure* damaged() const {
        return !failures.empty() && failures.back().status.failure == LoadFailure::DataDamaged
                   ? &failures.back()
                   : nullptr;
    }
};

// Reads the configuration and loads the scan of every bmesh record (on all
// cores, see workerThreads()), each with the scan material, its pose baked
// into world positions and display mode Smooth, ids from nextScanId in record
// order. The console gets, as if the scans were read one after the other,
// each scan's report followed by "Adding PLY mesh from PATH", then the
// threshold line. A scan whose data is damaged ends the reading: its report
// up to where it ended is printed, and neither the records after it nor the
// threshold line are. The threshold is the spacing of the first scan's raster
// (defaultTossThreshold) when two or more scans were read, else tossThreshold
// as it is. Nothing is added to the scene: the caller takes the scans.
//
// A PTX or E57 file is read scan by scan, one scan's points in memory at a
// time: each scan's report (PlyMesh::fromScan) is followed by "Adding scan N
// of PATH" ("Adding unstructured scan N of PATH" for one without a raster).
// A file that cannot be opened is reported as "Could not open file PATH"; a
// damaged one as "Could not read PATH: ..." after the scans before the
// damage, which are kept; a scan whose transform is not rigid as "Could not
// place PATH: scan N: ...". Such failures do not end the reading.
ScanConfigLoad readScanConfig(const std::string& fileName);

// A lone scan file (a PTX or E57 file, or a PLY range image) as a
// configuration by itself: its scans with their own poses, loaded and
// reported as readScanConfig does for a configuration whose only record names
// the file with the identity pose.
ScanConfigLoad readScanFileAsConfig(const std::string& path);

// What the viewer does with a configuration it has read: appends the scans
// to the scene (each visible; the scene owns them from then on) and makes the
// default threshold tossThreshold.
void addScansToScene(ScanConfigLoad& load);

// The distance between the first two horizontally adjacent raster cells that
// both hold a point (model positions); tossThreshold as it is when the scan
// has no such pair.
float defaultTossThreshold(const PlyMesh& scan);

// Where a scan named in a configuration is read from: the name as written
// when such a file exists (relative names are relative to the current
// folder), else the same name beside the configuration file, else the name
// as written.
std::string resolveScanPath(const std::string& scanName, const std::string& configName);
