// Scan configurations: a stream of "keyword file tx ty tz qx qy qz qw" records.
// "bmesh" records name a range image and the rigid pose (rotation quaternion,
// vector part first, then translation) that places it in the common frame;
// "camera" records and any other keyword are ignored.
#pragma once

#include <string>

class PlyMesh;

// Loads every scan of the configuration into the scene (each with the scan
// material, its pose baked into world positions, visible, display mode 4),
// sets tossThreshold from the first scan's raster spacing when more than one
// scan was loaded, and prints the threshold line.
void readScanConfig(const char* fileName);

// Creates the scan with the next scan id and appends it to the scene; returns
// it, or null (after its loader's messages) when it could not be read.
PlyMesh* addScan(const char* fileName);

// The distance between the first two horizontally adjacent raster cells that
// both hold a point (model positions); tossThreshold as it is when the scan
// has no such pair.
float defaultTossThreshold(const PlyMesh& scan);

// Where a scan named in a configuration is read from: the name as written
// when such a file exists (relative names are relative to the current
// folder), else the same name beside the configuration file, else the name
// as written.
std::string resolveScanPath(const std::string& scanName, const std::string& configName);
