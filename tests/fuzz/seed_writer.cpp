// Writes the seed corpora of the fuzz targets: small valid files generated
// with the PLY library in every encoding, and damaged files made by hand,
// each named <stage>.<defect>.<extension> after what is wrong with it.
//
//   fuzz_seed_writer <corpus folder>
//
// Files are (re)written into <corpus folder>/<target>/; inputs that once
// crashed a target live there too and are left alone.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e57_test_writer.h"
#include "libply/plyfile.h"
#include "seed_files.h"

namespace {

enum Target : unsigned {
    kHeader = 1,      // ply_header
    kRead = 2,        // ply_read
    kMesh = 4,        // ply_mesh
    kM = 8,           // m_reader
    kConf = 16,       // scan_config
    kPtx = 32,        // ptx_reader
    kE57 = 64,        // e57_reader
    kScanFile = 128,  // scan_file
};
constexpr unsigned kPly = kHeader | kRead | kMesh;
constexpr unsigned kBody = kRead | kMesh;

struct Seed {
    unsigned targets;
    std::string name;
    std::string bytes;
};

const char* kTargetNames[] = {"ply_header",  "ply_read",   "ply_mesh",   "m_reader",
                              "scan_config", "ptx_reader", "e57_reader", "scan_file"};
constexpr unsigned kTargetCount = sizeof kTargetNames / sizeof kTargetNames[0];

std::string encodingName(int fileType) {
    return fileType == PLY_ASCII ? "ascii" : fileType == PLY_BINARY_BE ? "binary-be" : "binary-le";
}

// Every line end of a text replaced.
std::string withLineEnds(const std::string& text, const std::string& end) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += end;
        else
            out += c;
    }
    return out;
}

std::string cut(const std::string& s, std::size_t dropped) {
    return s.substr(0, s.size() > dropped ? s.size() - dropped : 0);
}

void addValidPly(std::vector<Seed>& seeds) {
    const int types[] = {PLY_ASCII, PLY_BINARY_BE, PLY_BINARY_LE};
    for (int type : types) {
        const std::string enc = encodingName(type);
        seeds::RangeImageShape plain;
        seeds.push_back(
            {kPly, "valid.range-image." + enc + ".ply", seeds::rangeImage(type, plain)});
        seeds::RangeImageShape extras;
        extras.confidence = true;
        extras.cameraFirst = true;
        extras.faces = true;
        seeds.push_back(
            {kBody, "valid.range-image-extras." + enc + ".ply", seeds::rangeImage(type, extras)});
        seeds.push_back(
            {kBody, "valid.tetrahedron." + enc + ".ply", seeds::tetrahedron(type, true)});
    }
    seeds.push_back(
        {kBody, "valid.tetrahedron-no-intensity.ascii.ply", seeds::tetrahedron(PLY_ASCII, false)});
    const std::string ascii = seeds::rangeImage(PLY_ASCII, seeds::RangeImageShape());
    seeds.push_back({kPly, "valid.range-image.crlf.ply", withLineEnds(ascii, "\r\n")});
    seeds.push_back({kPly, "valid.range-image.lone-cr.ply", withLineEnds(ascii, "\r")});
    // A binary body right after a header ended by a lone carriage return.
    std::string binary = seeds::rangeImage(PLY_BINARY_LE, seeds::RangeImageShape());
    const std::size_t end = binary.find("end_header\n") + 10;
    binary[end] = '\r';
    seeds.push_back({kPly, "valid.range-image.binary-after-lone-cr.ply", binary});
}

const char kTextHead[] = "ply\nformat ascii 1.0\n";
const char kLeHead[] = "ply\nformat binary_little_endian 1.0\n";
const char kRangeProps[] =
    "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
    "element range_grid 4\nproperty list uchar int vertex_indices\nend_header\n";
const char kFaceProps[] =
    "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
    "element face 2\nproperty list uchar int vertex_indices\nend_header\n";
const char kPoints[] = "0 0 0.5\n0.0005 0 0.5\n0 0.0005 0.5\n";

std::string le32(uint32_t v) {
    return std::string{char(v & 255), char((v >> 8) & 255), char((v >> 16) & 255), char(v >> 24)};
}

void addBrokenHeaders(std::vector<Seed>& seeds) {
    const std::string element = "element vertex 1\nproperty float x\nend_header\n1\n";
    seeds.push_back({kPly, "header.empty.ply", ""});
    seeds.push_back({kPly, "header.binary-garbage.ply",
                     std::string("\x7f\x45\x4c\x46\x02\x01\x01\0\0\0\xff\xfe\n\r\0ply", 18)});
    seeds.push_back({kPly, "header.no-ply-line.ply", "format ascii 1.0\n" + element});
    seeds.push_back({kPly, "header.uppercase-ply.ply", "PLY\nformat ascii 1.0\n" + element});
    seeds.push_back({kPly, "header.missing-format.ply", "ply\n" + element});
    seeds.push_back(
        {kPly, "header.format-four-words.ply", "ply\nformat ascii 1.0 extra\n" + element});
    seeds.push_back({kPly, "header.format-two-words.ply", "ply\nformat ascii\n" + element});
    seeds.push_back(
        {kPly, "header.format-unknown.ply", "ply\nformat binary_middle_endian 1.0\n" + element});
    seeds.push_back({kPly, "header.element-without-count.ply",
                     std::string(kTextHead) + "element vertex\nend_header\n"});
    seeds.push_back(
        {kPly, "header.element-alone.ply", std::string(kTextHead) + "element\nend_header\n"});
    seeds.push_back({kPly, "header.property-before-element.ply",
                     std::string(kTextHead) + "property float x\n" + element});
    seeds.push_back(
        {kPly, "header.property-list-short.ply",
         std::string(kTextHead) + "element face 1\nproperty list uchar int\nend_header\n0\n"});
    seeds.push_back({kPly, "header.unknown-type.ply",
                     std::string(kTextHead) + "element vertex 1\nproperty flt x\nend_header\n1\n"});
    seeds.push_back({kPly, "header.no-end-header.ply",
                     std::string(kTextHead) + "element vertex 1\nproperty float x\n"});
    seeds.push_back(
        {kPly, "header.line-longer-than-buffer.ply",
         std::string(kTextHead) + "comment " + std::string(5000, 'c') + "\n" + element});
    seeds.push_back({kPly, "header.nul-in-line.ply",
                     std::string("ply\nformat ascii 1.0\ncomment a\0b\n", 30) + element});
    seeds.push_back({kPly, "header.negative-count.ply",
                     std::string(kTextHead) + "element vertex -5\nproperty float x\nend_header\n"});
    seeds.push_back(
        {kPly, "header.count-not-a-number.ply",
         std::string(kTextHead) + "element vertex many\nproperty float x\nend_header\n"});
    seeds.push_back({kPly, "header.duplicate-element.ply",
                     std::string(kTextHead) + "element vertex 1\nproperty float x\nelement vertex "
                                              "2\nproperty float y\nend_header\n1\n2\n3\n"});
    seeds.push_back(
        {kPly, "header.comment-positions.ply",
         std::string(kTextHead) +
             "comment\ncomment    a  b\tc\n  comment x\nComment no\nobj_info num_cols 3\n" +
             element});
    seeds.push_back({kPly, "header.comment-holds-end-header.ply",
                     std::string(kTextHead) + "obj_info num_cols 2\nobj_info num_rows 2\n" +
                         "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                         "element range_grid 4\nproperty list uchar int vertex_indices\n"
                         "comment end_header is not here\nend_header\n" +
                         kPoints + "1 0\n1 1\n1 2\n0\n"});
    seeds.push_back({kPly, "header.cut-after-ply.ply", "ply"});
    seeds.push_back(
        {kPly, "header.end-header-only-in-comment.ply",
         std::string(kTextHead) + "element vertex 1\nproperty float x\ncomment end_header\n"});
    seeds.push_back(
        {kPly, "valid.sized-type-names.ply",
         std::string(kTextHead) +
             "obj_info num_cols 2\nobj_info num_rows 2\nelement vertex 3\n"
             "property float32 x\nproperty float32 y\nproperty float32 z\nproperty uint8 c\n"
             "element range_grid 4\nproperty list uint8 int32 vertex_indices\nend_header\n"
             "0 0 0 1\n0.0005 0 0 1\n0 0.0005 0 1\n1 0\n1 1\n1 2\n0\n"});
}

void addBrokenBodies(std::vector<Seed>& seeds) {
    const std::string rangeText =
        std::string(kTextHead) + "obj_info num_cols 2\nobj_info num_rows 2\n" + kRangeProps;
    const std::string meshText = std::string(kTextHead) + kFaceProps;
    const std::string le = seeds::rangeImage(PLY_BINARY_LE, seeds::RangeImageShape());
    const std::string be = seeds::rangeImage(PLY_BINARY_BE, seeds::RangeImageShape());
    seeds.push_back({kBody, "body.truncated.ascii.ply", rangeText + kPoints + "1 0\n1 1\n"});
    seeds.push_back({kBody, "body.truncated.binary-le.ply", cut(le, 5)});
    seeds.push_back({kBody, "body.truncated.binary-be.ply", cut(be, 3)});
    seeds.push_back({kBody, "body.empty.ascii.ply", rangeText});
    seeds.push_back({kBody, "body.too-few-values.ascii.ply",
                     rangeText + "0 0\n0.0005 0 0.5\n0 0.0005 0.5\n1 0\n0\n0\n0\n"});
    seeds.push_back(
        {kBody, "body.list-count-negative.ascii.ply",
         std::string(kTextHead) +
             "element face 1\nproperty list char int vertex_indices\nend_header\n-3 0 1 2\n"});
    seeds.push_back({kBody, "body.list-count-negative.binary-le.ply",
                     std::string(kLeHead) +
                         "element face 1\nproperty list int int vertex_indices\nend_header\n" +
                         le32(0xfffffffd) + le32(0) + le32(1) + le32(2)});
    seeds.push_back({kBody, "body.list-count-huge.binary-le.ply",
                     std::string(kLeHead) +
                         "element face 1\nproperty list uint int vertex_indices\nend_header\n" +
                         le32(0x7ffffffe) + le32(0) + le32(1)});
    seeds.push_back(
        {kBody, "body.list-count-beyond-line.ascii.ply",
         std::string(kTextHead) +
             "element face 1\nproperty list uchar int vertex_indices\nend_header\n200 0 1 2\n"});
    seeds.push_back(
        {kBody, "body.list-count-fraction.ascii.ply",
         std::string(kTextHead) +
             "element face 2\nproperty list float int vertex_indices\n"
             "property list double uchar l\nend_header\n2.99999999 0 1 1.5 7\n0.5 0\n"});
    seeds.push_back(
        {kBody, "body.index-out-of-range.ascii.ply", meshText + kPoints + "3 0 1 99\n3 -5 1 2\n"});
    seeds.push_back({kBody, "body.grid-index-out-of-range.ascii.ply",
                     rangeText + kPoints + "1 0\n1 7\n1 -2\n1 2\n"});
    seeds.push_back({kBody, "body.face-two-corners.ascii.ply", meshText + kPoints + "2 0 1\n0\n"});
    seeds.push_back({kBody, "body.huge-raster.ascii.ply",
                     std::string(kTextHead) +
                         "obj_info num_cols 2000000000\nobj_info num_rows 2000000000\n" +
                         kRangeProps + kPoints + "1 0\n1 1\n1 2\n0\n"});
    seeds.push_back({kBody, "body.negative-raster.ascii.ply",
                     std::string(kTextHead) + "obj_info num_cols -2\nobj_info num_rows 2\n" +
                         kRangeProps + kPoints + "1 0\n1 1\n1 2\n0\n"});
    seeds.push_back({kBody, "body.raster-without-size.ascii.ply",
                     std::string(kTextHead) + kRangeProps + kPoints + "1 0\n1 1\n1 2\n0\n"});
    seeds.push_back({kBody, "body.element-count-huge.binary-le.ply",
                     std::string(kLeHead) +
                         "element nothing 2000000000\nelement vertex 1\nproperty float x\nproperty "
                         "float y\nproperty float z\nend_header\n" +
                         std::string(12, '\0')});
    seeds.push_back({kBody, "body.vertex-count-huge-no-properties.binary-le.ply",
                     std::string(kLeHead) + "element vertex 2000000000\nelement range_grid "
                                            "2000000000\nelement face 2000000000\nend_header\n"});
    seeds.push_back({kBody, "body.vertex-count-huge.ascii.ply",
                     std::string(kTextHead) +
                         "element vertex 2000000000\nproperty float x\nproperty float y\nproperty "
                         "float z\nend_header\n" +
                         kPoints});
    seeds.push_back(
        {kBody, "body.unknown-type.binary-le.ply",
         std::string(kLeHead) + "element vertex 1\nproperty flt x\nend_header\n" + le32(0)});
    seeds.push_back({kBody, "body.x-is-a-list.ascii.ply",
                     std::string(kTextHead) +
                         "element vertex 1\nproperty list uchar float x\nproperty float "
                         "y\nproperty float z\nend_header\n1 5 6 7\n"});
    seeds.push_back({kBody, "body.indices-not-a-list.ascii.ply",
                     meshText.substr(0, meshText.find("property list")) +
                         "property int vertex_indices\nend_header\n" + kPoints + "5\n0\n"});
    seeds.push_back({kBody, "body.nan-coordinates.ascii.ply",
                     rangeText + "nan inf -inf\n1e39 -1e39 0\n0x1p3 1e-45 0\n1 0\n1 1\n1 2\n0\n"});
    seeds.push_back({kBody, "body.unknown-element-before-vertex.ascii.ply",
                     std::string(kTextHead) +
                         "element camera 2\nproperty float f\nproperty list uchar int l\n" +
                         kFaceProps + "1 2 3 4\n5 0\n" + kPoints + "3 0 1 2\n3 2 1 0\n"});
    seeds.push_back({kBody, "body.damaged-trailing-element.ascii.ply",
                     std::string(kTextHead) +
                         "element vertex 3\nproperty float x\nproperty float y\nproperty float "
                         "z\nelement extra 5\nproperty float q\nend_header\n" +
                         kPoints + "1\n"});
}

// Binary bodies read in runs by the block calls. The element reader takes its
// options from a file's last two bytes: two bytes appended after the data
// (never read) choose runs (0x20), converted memory types (0x10) and a stdio
// buffer that lists straddle (3 or 7 bytes).
void addBlockRuns(std::vector<Seed>& seeds) {
    const std::string le = seeds::rangeImage(PLY_BINARY_LE, seeds::RangeImageShape());
    const std::string be = seeds::rangeImage(PLY_BINARY_BE, seeds::RangeImageShape());
    const std::string runs = "\x20\x03", converted = "\x30\x04";
    seeds.push_back({kRead, "valid.range-image-in-runs.binary-le.ply", le + runs});
    seeds.push_back({kRead, "valid.range-image-converted-in-runs.binary-be.ply", be + converted});
    seeds.push_back({kRead, "body.truncated-in-runs.binary-le.ply", cut(le, 7) + runs});
    seeds.push_back({kRead, "body.list-count-negative-in-runs.binary-le.ply",
                     std::string(kLeHead) +
                         "element face 1\nproperty list int int vertex_indices\nend_header\n" +
                         le32(0xfffffffd) + le32(0) + runs});
    seeds.push_back({kRead, "body.list-count-huge-in-runs.binary-le.ply",
                     std::string(kLeHead) +
                         "element face 1\nproperty list uint int vertex_indices\nend_header\n" +
                         le32(0x7ffffffe) + le32(0) + runs});
}

void addMFiles(std::vector<Seed>& seeds) {
    seeds.push_back({kM, "valid.tetrahedron.m", seeds::tetrahedronM()});
    seeds.push_back(
        {kM, "valid.indented-crlf.m",
         withLineEnds("  Vertex 1 0 0 0\n\n\tVertex 2 1 0 0\nVertex 3 0 1 0\nFace 1 1 2 3\n",
                      "\r\n")});
    seeds.push_back({kM, "file.empty.m", ""});
    seeds.push_back({kM, "file.binary-garbage.m",
                     std::string("\0\x01\xff\xfe Face \0Vertex 1 2\n\x80\x81", 23)});
    seeds.push_back({kM, "file.no-vertices.m", "Face 1 1 2 3\n# only faces\n"});
    seeds.push_back(
        {kM, "face.zero-index.m",
         "Vertex 1 0 0 0\nVertex 2 1 0 0\nVertex 3 0 1 0\nFace 1 0 1 2\nFace 2 1 2 3\n"});
    seeds.push_back({kM, "face.index-beyond-vertices.m",
                     "Vertex 1 0 0 0\nVertex 2 1 0 0\nVertex 3 0 1 0\nFace 1 1 2 4\n"});
    seeds.push_back({kM, "face.huge-number.m",
                     "Vertex 1 0 0 0\nVertex 2 1 0 0\nFace 1 1 2 99999999999999999999\nFace 2 1 2 "
                     "2147483648\n"});
    seeds.push_back(
        {kM, "face.sign-in-list.m",
         "Vertex 1 0 0 0\nVertex 2 1 0 0\nVertex 3 0 1 0\nFace 1 1 -2 3\nFace 2 1 +2 3\n"});
    seeds.push_back({kM, "face.later-vertices.m",
                     "Face 1 1 2 3\nVertex 1 0 0 0\nVertex 2 1 0 0\nVertex 3 0 1 0\n"});
    seeds.push_back(
        {kM, "face.two-corners.m", "Vertex 1 0 0 0\nVertex 2 1 0 0\nFace 1 1 2\nFace 2\n"});
    seeds.push_back({kM, "face.colour-cut-short.m",
                     "Vertex 1 0 0 0\nVertex 2 1 0 0\nVertex 3 0 1 0\nFace 1 1 2 3 {rgb=(1 0\nFace "
                     "2 1 2 3 {rgb\n"});
    seeds.push_back(
        {kM, "vertex.too-few-fields.m",
         "Vertex 1 0 0\nVertex 2 1 0 0\nVertex x 0 1 0\nVertex 3 0 1 0\nFace 1 1 2 3\n"});
    seeds.push_back(
        {kM, "vertex.nan-inf.m",
         "Vertex 1 nan 0 0\nVertex 2 inf -inf 0\nVertex 3 0x1p3 1e39 0\nFace 1 1 2 3\n"});
    seeds.push_back({kM, "line.longer-than-255.m",
                     "Vertex 1 0 0 0\nVertex 2 1 0 0\nVertex 3 0 1 0\nFace 1 1 2 3" +
                         std::string(300, ' ') + "4\n" + "# " + std::string(12000, '#') +
                         "\nFace 2 1 2 3\n"});
}

void addConfigurations(std::vector<Seed>& seeds) {
    seeds.push_back({kConf, "valid.two-scans.conf",
                     "bmesh a.ply 0 0 0 0 0 0 1\nbmesh b.ply 0.0001 0 0 0 0 0 1\n"});
    seeds.push_back({kConf, "valid.camera-and-mixed-case.conf",
                     "camera 0 0 1 0 0 0 1\nBMesh a.ply 0 0 0 0 0 0 1\nBMESH b.ply 0 0 0 0 0 1 "
                     "0\nmesh a.ply 1 2 3 0 0 0 1\n"});
    seeds.push_back({kConf, "valid.beside-config.conf",
                     "bmesh c.ply 0 0 0 0 0 0 1\nbmesh a.ply 0 0 0.0002 0 0 0 1\n"});
    seeds.push_back({kConf, "file.empty.conf", ""});
    seeds.push_back(
        {kConf, "file.binary-garbage.conf", std::string("\0\xff bmesh\0a.ply \x80\x01 1 2", 22)});
    seeds.push_back(
        {kConf, "record.cut-short.conf", "bmesh a.ply 0 0 0 0 0 0 1\nbmesh b.ply 0.5 0\n"});
    seeds.push_back(
        {kConf, "record.camera-seven-numbers.conf",
         "camera 1 2 3 4 5 6 7\nbmesh a.ply 0 0 0 0 0 0 1\nbmesh b.ply 0 0 0 0 0 0 1\n"});
    seeds.push_back({kConf, "record.non-numbers.conf",
                     "bmesh a.ply x y z 0 0 0 1\nbmesh b.ply 0 0 0 0 0 0 1\n"});
    seeds.push_back(
        {kConf, "record.long-file-name.conf",
         "bmesh " + std::string(600, 'n') + ".ply 0 0 0 0 0 0 1\nbmesh a.ply 0 0 0 0 0 0 1\n"});
    seeds.push_back(
        {kConf, "scan.missing-file.conf",
         "bmesh none.ply 0 0 0 0 0 0 1\nbmesh a.ply 0 0 0 0 0 0 1\nbmesh b.ply 0 0 0 0 0 0 1\n"});
    seeds.push_back(
        {kConf, "scan.cut-short.conf", "bmesh a.ply 0 0 0 0 0 0 1\nbmesh t.ply 0 0 0 0 0 0 1\n"});
    seeds.push_back({kConf, "scan.mesh-not-range-image.conf",
                     "bmesh m.ply 0 0 0 0 0 0 1\nbmesh a.ply 0 0 0 0 0 0 1\n"});
    seeds.push_back(
        {kConf, "scan.same-twice.conf", "bmesh a.ply 0 0 0 0 0 0 1\nbmesh a.ply 0 0 0 0 0 0 1\n"});
    seeds.push_back({kConf, "pose.huge-translation.conf",
                     "bmesh a.ply 0 0 0 0 0 0 1\nbmesh b.ply 1e30 -1e30 3e38 0 0 0 1\n"});
    seeds.push_back({kConf, "pose.far-apart.conf",
                     "bmesh a.ply 0 0 0 0 0 0 1\nbmesh b.ply 1000 1000 1000 0 0 0 1\n"});
    seeds.push_back({kConf, "pose.nan-quaternion.conf",
                     "bmesh a.ply 0 0 0 nan 0 0 1\nbmesh b.ply inf 0 0 0 0 0 0\n"});
    seeds.push_back({kConf, "pose.zero-quaternion.conf",
                     "bmesh a.ply 0 0 0 0 0 0 0\nbmesh b.ply 0 0 0 0 0 0 1\n"});
    seeds.push_back({kConf, "record.extra-word.conf",
                     "bmesh a.ply 0 0 0 0 0 0 1 1.0\nbmesh b.ply 0 0 0 0 0 0 1\n"});
    seeds.push_back({kConf, "record.trailing-comment.conf",
                     "bmesh a.ply 0 0 0 0 0 0 1 #a\nbmesh b.ply 0 0 0 0 0 0 1 # b\n"});
    seeds.push_back(
        {kConf, "record.word-longer-than-4096.conf",
         "bmesh a.ply 0 0 0 0 0 0 1\nbmesh " + std::string(4097, 'n') + " 0 0 0 0 0 0 1\n"});
}

const char* const kPtxHeader =
    "3\n2\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n0 1 0 0\n-1 0 0 0\n0 0 1 0\n0.5 0 2 1\n";

void addPtx(std::vector<Seed>& seeds) {
    const std::string points =
        "1 2 3 0.5\n0 0 0 0.5\n1.5 2 3 0.25 10 20 30\n2 2 3 0.1\n2.5 2 3 1\n3 2 3 0\n";
    const std::string scan = kPtxHeader + points;
    seeds.push_back({kPtx | kScanFile, "valid.two-scans.ptx", scan + "\n" + scan});
    seeds.push_back({kPtx, "valid.crlf-trailing-blanks.ptx", withLineEnds(scan, " \r\n")});
    seeds.push_back({kPtx, "file.empty.ptx", ""});
    seeds.push_back({kPtx, "file.binary-garbage.ptx", std::string("3\n2\n\0\xff\x80 1 2\n", 11)});
    seeds.push_back({kPtx | kScanFile, "points.truncated.ptx", cut(scan, 20)});
    seeds.push_back({kPtx, "points.cut-mid-number.ptx", cut(scan, 3)});
    seeds.push_back(
        {kPtx, "points.not-a-number.ptx", kPtxHeader + std::string("1 2 x 0.5\n") + points});
    seeds.push_back(
        {kPtx, "points.five-numbers.ptx", kPtxHeader + std::string("1 2 3 4 5\n") + points});
    seeds.push_back({kPtx, "points.nan-and-huge.ptx",
                     kPtxHeader + std::string("nan 2 3 1\n1e999 0 0 1\n") + points});
    seeds.push_back({kPtx, "header.huge-size.ptx",
                     "2147483648\n2147483647\n" + std::string(kPtxHeader).substr(4) + points});
    seeds.push_back(
        {kPtx, "header.negative-size.ptx", "-3\n2\n" + std::string(kPtxHeader).substr(4)});
    seeds.push_back(
        {kPtx, "header.short-matrix-row.ptx", "1\n1\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n1 0 0\n"});
    seeds.push_back(
        {kPtx, "line.longer-than-4096.ptx", kPtxHeader + std::string(5000, '7') + "\n"});
    // A scan scaled by its transform, which no pose can express, before a good one.
    seeds.push_back({kScanFile, "pose.scaled-scan-first.ptx",
                     "3\n2\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n2 0 0 0\n0 2 0 0\n0 0 2 0\n0 0 0 1\n" +
                         points + "\n" + scan});
}

// A small file of two scans: a structured one (cartesian floats, invalid
// states, row and column indices, scaled intensity) and an unstructured
// spherical one in scaled integers with a nested extension.
std::string smallE57(bool indexPacket, bool emptyPackets) {
    using e57test::Field;
    std::vector<e57test::Scan> scans(2);
    e57test::Scan& a = scans[0];
    a.name = "structured";
    a.rotation[0] = 0.6;
    a.rotation[3] = 0.8;
    a.rowMaximum = 3;
    a.columnMaximum = 4;
    const char* names[7] = {"cartesianX", "cartesianY",  "cartesianZ", "cartesianInvalidState",
                            "rowIndex",   "columnIndex", "intensity"};
    for (int k = 0; k < 7; ++k) {
        Field f;
        f.name = names[k];
        f.type = k < 3 ? Field::FloatSingle : (k == 6 ? Field::ScaledInteger : Field::Integer);
        f.maximum = k == 3 ? 2 : k == 4 ? 3 : k == 5 ? 4 : 1000;
        f.scale = k == 6 ? 0.001 : 1.0;
        a.fields.push_back(f);
    }
    for (int i = 0; i < 20; ++i) {
        const double v[7] = {i * 0.1,       i * -0.05,     2.0,     i % 7 == 3 ? 2.0 : 0.0,
                             double(i % 4), double(i / 4), i * 0.05};
        for (int k = 0; k < 7; ++k) a.fields[k].values.push_back(v[k]);
    }
    e57test::Scan& b = scans[1];
    const char* spherical[4] = {"sphericalRange", "sphericalAzimuth", "sphericalElevation",
                                "stamp"};
    for (int k = 0; k < 4; ++k) {
        Field f;
        f.name = spherical[k];
        f.type = Field::ScaledInteger;
        f.minimum = -3000;
        f.maximum = 3000;
        f.scale = 0.001;
        f.group = k == 3 ? "extras" : "";
        b.fields.push_back(f);
    }
    for (int i = 0; i < 30; ++i)
        for (int k = 0; k < 4; ++k)
            b.fields[k].values.push_back(k == 0 ? 1.0 + i * 0.01 : (i - 15) * 0.1);
    e57test::Layout layout;
    layout.maxBufferBytes = 9;
    layout.indexPacket = indexPacket;
    layout.emptyPackets = emptyPackets;
    return e57test::writeE57(scans, layout);
}

void addE57(std::vector<Seed>& seeds) {
    const std::string valid = smallE57(true, false);
    seeds.push_back({kE57 | kScanFile, "valid.two-scans.e57", valid});
    seeds.push_back({kE57 | kScanFile, "valid.empty-packets-no-index.e57", smallE57(false, true)});
    seeds.push_back({kE57, "file.empty.e57", ""});
    seeds.push_back({kE57, "file.truncated.e57", cut(valid, 1024)});
    seeds.push_back({kE57, "file.cut-mid-page.e57", cut(valid, 300)});
    for (std::size_t page = 0; page * 1024 < valid.size(); ++page) {
        std::string damaged = valid;
        damaged[page * 1024 + 517] ^= 0x04;
        seeds.push_back({page == 1 ? kE57 | kScanFile : kE57,
                         "page.flipped-byte-in-page-" + std::to_string(page) + ".e57", damaged});
    }
    seeds.push_back({kE57, "xml.record-count-too-large.e57",
                     e57test::replaceInXml(valid, "recordCount=\"20\"", "recordCount=\"21\"")});
    seeds.push_back(
        {kE57, "xml.unclosed-root.e57", e57test::replaceInXml(valid, "</e57Root>", "")});
    seeds.push_back({kE57, "xml.row-outside-bounds.e57",
                     e57test::replaceInXml(valid, "<rowMaximum type=\"Integer\">3<",
                                           "<rowMaximum type=\"Integer\">2<")});
    seeds.push_back({kE57, "xml.huge-bounds.e57",
                     e57test::replaceInXml(valid, "<rowMaximum type=\"Integer\">3<",
                                           "<rowMaximum type=\"Integer\">2000000000<")});
    seeds.push_back({kE57, "xml.field-of-64-bits.e57",
                     e57test::replaceInXml(
                         valid, "maximum=\"4\"",
                         "maximum=\"9223372036854775807\" minimum=\"-9223372036854775808\"")});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    std::vector<Seed> seeds;
    addValidPly(seeds);
    addBrokenHeaders(seeds);
    addBrokenBodies(seeds);
    addBlockRuns(seeds);
    addMFiles(seeds);
    addConfigurations(seeds);
    addPtx(seeds);
    addE57(seeds);
    const std::filesystem::path root(argv[1]);
    int written = 0;
    for (const Seed& s : seeds) {
        for (unsigned t = 0; t < kTargetCount; ++t) {
            if ((s.targets & (1u << t)) == 0) continue;
            const std::filesystem::path dir = root / kTargetNames[t];
            std::filesystem::create_directories(dir);
            std::ofstream out(dir / s.name, std::ios::binary | std::ios::trunc);
            out << s.bytes;
            if (!out) {
                std::fprintf(stderr, "cannot write %s\n", (dir / s.name).c_str());
                return 1;
            }
            ++written;
        }
    }
    std::printf("%d seed files written under %s\n", written, root.c_str());
    return 0;
}
