// The on-disk form of an out-of-core clean: the manifest (manifest.json), the
// slab files (slab-NNNNN.bin) and the values files (slab-NNNNN.values) of a
// work folder. Numbers are little-endian; floats are IEEE single precision,
// stored as their bits so that a slab measured on another machine gives the
// same values.
//
// slab-NNNNN.bin: a 32-byte header
//     char magic[8] "RLSLAB\0\0", u32 version (1), u32 slab number,
//     i32 first layer, i32 end layer (one past the last), u32 axis (0 x,
//     1 y, 2 z), u32 segments
// then one segment per scan with points or triangles in the slab, in the
// order they were written:
//     char tag[4] "SCAN", u32 scan (index in the manifest's scans),
//     u32 vertices, u32 points, u64 triangles,
//     u32 index[vertices]  (the vertex's index in its scan)
//     f32 x[vertices], f32 y[vertices], f32 z[vertices]  (world position)
//     u32 corners[3 * triangles]  (into the segment's vertices, corner order)
//     zero bytes up to a multiple of 8
// The first `points` vertices are the scan's points in the slab (in
// increasing index), the others only corners of its triangles whose points
// lie in other slabs. A triangle belongs to the slab of its centroid's cell.
//
// slab-NNNNN.values: a 24-byte header
//     char magic[8] "RLVALS\0\0", u32 version (1), u32 slab number,
//     u64 segments
// then per segment: u32 scan, u32 count, u32 index[count], f32 value[count]
// (the measured points of that scan in the slab; the others stay unmeasured).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan/lattice.h"
#include "scan/overlap_analysis.h"

namespace slab {

constexpr std::uint32_t kFormatVersion = 1;

// One scan of the campaign as the manifest lists it.
struct ManifestScan {
    std::string name;             // the record's file name
    std::string path;             // where it was read from
    std::string label;            // how reports name it
    std::string output;           // what its written files are named after
    std::uint64_t size = 0;       // the file's size when surveyed
    std::int64_t mtimeNs = 0;     // and its modification time, in nanoseconds
    std::uint64_t points = 0;     // its points
    std::uint64_t triangles = 0;  // its triangles that lie in a cell
};

struct ManifestSlab {
    int firstLayer = 0, endLayer = 0;  // layers [first, end) along the axis
    std::uint64_t bytes = 0;           // the slab file's size
    std::uint32_t segments = 0;
    std::uint64_t points = 0, triangles = 0;
};

struct Manifest {
    std::string config;                 // the configuration, as given
    std::string configDigest;           // a digest of its text (hex)
    std::string planKey;                // the options that shaped the slabs
    std::vector<std::string> warnings;  // said when the campaign was read
    std::string thresholdNote;          // the default threshold's note, or ""
    float defaultThreshold = 0.0f;
    bool analysed = false;  // false: nothing to measure (see why)
    std::string why;        // the analysis's line why not, when not analysed
    Lattice lattice;
    float magnitude = 0.0f;
    int axis = 0;
    std::vector<ManifestScan> scans;
    std::vector<ManifestSlab> slabs;
};

// The file names in a work folder.
std::string manifestPath(const std::string& workDir);
std::string slabPath(const std::string& workDir, int slab);
std::string valuesPath(const std::string& workDir, int slab);

// The manifest as JSON text, and back. readManifest: false, with *error,
// when the file is missing, not JSON or not a manifest of this version.
std::string manifestJson(const Manifest& m);
bool readManifest(const std::string& workDir, Manifest* m, std::string* error);

// The segment of one scan in one slab, as read back or about to be written.
struct Segment {
    std::uint32_t scan = 0;
    std::vector<std::uint32_t> index;  // per vertex
    std::vector<Point3> positions;     // per vertex
    std::uint32_t points = 0;
    std::vector<std::int32_t> corners;  // three per triangle, into the vertices
};

// Appends a segment's bytes to out.
void appendSegment(const Segment& s, std::string* out);

// The 32-byte header of a slab file.
std::string slabHeader(int slab, const ManifestSlab& s, int axis);

// Reads and checks a whole slab file against the manifest: header, every
// count within the file, every corner and scan in range, the size and the
// segment count as recorded. False, with *error naming the file and what is
// wrong, otherwise.
bool readSlab(const std::string& workDir, int slab, const Manifest& m,
              std::vector<Segment>* segments, std::string* error);

// The measured values of one scan in one slab.
struct SlabValues {
    std::uint32_t scan = 0;
    std::vector<std::uint32_t> index;
    std::vector<float> values;
};

std::string valuesBytes(int slab, const std::vector<SlabValues>& v);

// Reads and checks a values file: header, counts within the file, scans and
// indices in range of the manifest. False, with *error, otherwise.
bool readValues(const std::string& workDir, int slab, const Manifest& m, std::vector<SlabValues>* v,
                std::string* error);

}  // namespace slab
