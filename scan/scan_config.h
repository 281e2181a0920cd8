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

// One bmesh record of a configuration, before its scan is loaded.
struct ScanRecord {
    std::string name;                      // the file name as the record writes it
    std::string path;                      // where it is read from (resolveScanPath)
    long long line = 0;                    // the configuration's line that holds its keyword
    float tx = 0, ty = 0, tz = 0;          // translation
    float qx = 0, qy = 0, qz = 0, qw = 0;  // rotation quaternion, vector part first
    // Why the pose cannot place the scan ("its rotation quaternion is zero
    // (0 0 0 0)": a zero or non-finite quaternion, a non-finite
    // translation), or "". A quaternion of another length only scales it.
    std::string poseProblem;
};

// The second word of the comment line that rangeloom-register writes first
// into a refined configuration ("# rangeloom-register: poses refined ...").
constexpr const char* kRefinedConfigMarker = "rangeloom-register:";

// What a configuration file holds, read without loading a scan.
struct ScanConfigRecords {
    std::string fileName;
    // CannotOpen: it cannot be opened, or is no regular file ("it is a FIFO,
    // not a regular file"); HeaderNotAccepted: a word of more than 4096
    // characters (no file name is that long), which ends the reading.
    LoadStatus config;
    std::vector<ScanRecord> records;  // the bmesh records, in order
    // The words of records with a keyword other than camera or bmesh, which
    // no record uses (an extra number on a line, a "# comment"): one line
    // each, "CONF, line 3: words not used by any record: # first scan", at
    // most 20 lines and one that counts the rest.
    // The first line of a configuration rangeloom-register wrote,
    // "# rangeloom-register: ...", is not named as long as its records end
    // on it (the records after it are then read as without it).
    std::vector<std::string> unusedWords;
    int bmeshWords = 0;  // words "bmesh" (any letter case), whether they start a record or not
};

// What readScanConfig loaded.
struct ScanConfigLoad {
    LoadStatus config;                        // as ScanConfigRecords::config
    std::vector<ConfigScan> scans;            // read, in record order
    std::vector<ConfigScanFailure> failures;  // not read, in record order
    int bmeshRecords = 0;       // files the configuration names, read or not (each uses up an
                                // id, and each further scan of a PTX or E57 file one more)
    int unread = 0;             // bmesh records after a damaged scan: neither read nor reported
    float threshold = 0.0f;     // the default removal threshold
    std::string thresholdNote;  // thresholdNote() of the first scan, when one is said

    // The scan whose damaged data ended the reading, or null.
    const ConfigScanFailure* damaged() const {
        return !failures.empty() && failures.back().status.failure == LoadFailure::DataDamaged
                   ? &failures.back()
                   : nullptr;
    }
};

// Reads the configuration's records and checks their poses, loading no
// scan and printing nothing. Words of at most 4096 characters are read.
ScanConfigRecords readScanRecords(const std::string& fileName);

// "CONF, line L: bmesh NAME: PROBLEM" for a record whose pose cannot place
// its scan.
std::string poseFailureLine(const ScanConfigRecords& config, const ScanRecord& record);

// Loads the scan of every bmesh record (on all cores, see workerThreads()),
// each with the scan material, its pose baked into world positions and
// display mode Smooth, ids from nextScanId in record order. The console gets
// the lines naming unused words first, then, as if the scans were read one
// after the other, each scan's report followed by "Adding PLY mesh from
// PATH" (a record whose pose cannot place its scan: its poseFailureLine and
// "; the scan is left out", and it is not read), then the threshold note and
// line. A scan whose data is damaged ends the reading: its report up to
// where it ended is printed, and neither the records after it nor the
// threshold line are. The threshold is the spacing of the first scan's
// raster (defaultTossThreshold) when two or more scans were read, else
// tossThreshold as it is. Nothing is added to the scene: the caller takes
// the scans. A configuration that could not be read is named ("Could not
// open file NAME", with the reason when it is no regular file) and loads
// nothing.
//
// A PTX or E57 file is read scan by scan, one scan's points in memory at a
// time: each scan's report (PlyMesh::fromScan) is followed by "Adding scan N
// of PATH" ("Adding unstructured scan N of PATH" for one without a raster).
// A file that cannot be opened is reported as "Could not open file PATH"; a
// damaged one as "Could not read PATH: ..." after the scans before the
// damage, which are kept; a scan whose transform is not rigid as "Could not
// place PATH: scan N: ...". Such failures do not end the reading.
//
// With lean the scans are loaded lean (PlyLoadOptions::lean: range images
// keep their triangles in their rasters, no normals, no edges).
ScanConfigLoad loadScanRecords(const ScanConfigRecords& config, bool lean = false);

// readScanRecords, then loadScanRecords.
ScanConfigLoad readScanConfig(const std::string& fileName, bool lean = false);

// A lone scan file (a PTX or E57 file, or a PLY range image) as a
// configuration by itself: its scans with their own poses, loaded and
// reported as readScanConfig does for a configuration whose only record names
// the file with the identity pose.
ScanConfigLoad readScanFileAsConfig(const std::string& path, bool lean = false);

// What the viewer does with a configuration it has read: appends the scans
// to the scene (each visible; the scene owns them from then on) and makes the
// default threshold tossThreshold.
void addScansToScene(ScanConfigLoad& load);

// The distance between the first two horizontally adjacent raster cells that
// both hold a point (model positions), passing over pairs whose distance is
// zero (a point measured twice) or not finite; tossThreshold as it is when
// the scan has no such pair.
float defaultTossThreshold(const PlyMesh& scan);

// The median of the distances of all such pairs of the scan (0 without one).
float medianRasterSpacing(const PlyMesh& scan);

// One line when the threshold differs from the scan's median raster spacing
// by more than a factor of ten (its first pair of points is no fair sample
// of its spacing), else "".
std::string thresholdNote(const PlyMesh& scan, float threshold);

// Where a scan named in a configuration is read from: the name as written
// when such a file exists (relative names are relative to the current
// folder), else the same name beside the configuration file, else the name
// as written.
std::string resolveScanPath(const std::string& scanName, const std::string& configName);
