// The PLY mesh loader on damaged and hostile files: what is read, what is
// reported, and that nothing is read or allocated that the file does not hold.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "libply/ply_internal.h"
#include "libply/plyfile.h"
#include "scan/ply_mesh.h"
#include "test_support.h"

namespace {

// An exit handler the loader must neither call nor lose.
[[noreturn]] void markerHandler(int status) {
    std::exit(100 + status);
}

struct LoadResult {
    LoadStatus status;  // how the load ended
    std::string out;    // standard output of the load
    std::string err;    // standard error (the library's warnings)
    bool loaded = false;
    int vertices = 0, faces = 0, cells = 0;
    std::vector<int32_t> grid;
    std::vector<std::vector<int32_t>> faceCorners;
};

LoadResult load(const std::string& bytes) {
    const std::string dir = testing_support::makeTempDir("ply-input");
    const std::string path = dir + "/in.ply";
    testing_support::writeFile(path, bytes);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    LoadResult r;
    const Loaded<PlyMesh> loaded = PlyMesh::load(1, path);
    r.status = loaded.status;
    if (loaded.mesh != nullptr) {
        const PlyMesh& mesh = *loaded.mesh;
        r.loaded = true;
        r.vertices = mesh.vertexCount();
        r.faces = mesh.faceCount();
        r.cells = static_cast<int>(mesh.gridIndex.size());
        r.grid = mesh.gridIndex;
        for (const Face& f : mesh.faces)
            r.faceCorners.emplace_back(f.vertexIndices.begin(), f.vertexIndices.end());
    }
    r.err = testing::internal::GetCapturedStderr();
    r.out = testing::internal::GetCapturedStdout();
    std::remove(path.c_str());
    std::remove(dir.c_str());
    return r;
}

const std::string kText = "ply\nformat ascii 1.0\n";
const std::string kBinary = "ply\nformat binary_little_endian 1.0\n";
const std::string kXyz = "property float x\nproperty float y\nproperty float z\n";
const std::string kPoints = "0 0 0\n1 0 0\n0 1 0\n";

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A file that cannot be opened, an empty one and one that is not PLY at
// all: named, not loaded (the caller drops the mesh).
TEST(PlyMeshInput, MissingEmptyAndGarbageFilesAreNamedAndNotLoaded) {
    testing::internal::CaptureStdout();
    const Loaded<PlyMesh> missing = PlyMesh::load(1, "/nonexistent/scan.ply");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Reading coordinates from /nonexistent/scan.ply\nCould not open file "
              "/nonexistent/scan.ply\n");
    EXPECT_EQ(missing.mesh, nullptr);
    EXPECT_EQ(missing.status.failure, LoadFailure::CannotOpen);

    const LoadResult empty = load("");
    EXPECT_FALSE(empty.loaded);
    EXPECT_EQ(empty.status.failure, LoadFailure::HeaderNotAccepted);
    EXPECT_TRUE(has(empty.out, "Could not read file ")) << empty.out;
    const LoadResult garbage =
        load(std::string("\x7f"
                         "ELF\x02\x01\0\0\xff\xfe\nply\n\r\0",
                         15));
    EXPECT_FALSE(garbage.loaded);
    EXPECT_TRUE(has(garbage.out, "Could not read file ")) << garbage.out;
    EXPECT_EQ(garbage.err, "");
}

// A header that never ends is no header: a file cut in its header (after 3
// or 100 bytes, or with "end_header" only inside a comment) is unreadable,
// not an empty scan, and no header is read beyond 1 MiB.
TEST(PlyMeshInput, HeadersThatNeverEndAreUnreadable) {
    const std::string header = kText + "obj_info num_cols 2\nelement vertex 3\n" + kXyz +
                               "comment see end_header below\nend_header\n" + kPoints;
    for (const std::string& cut : {header.substr(0, 3), header.substr(0, 100),
                                   header.substr(0, header.rfind("end_header"))}) {
        const LoadResult r = load(cut);
        EXPECT_FALSE(r.loaded) << cut;
        EXPECT_EQ(r.status.failure, LoadFailure::HeaderNotAccepted) << cut;
        // (Cut at 100 bytes, its last line is also one the library rejects.)
        if (cut.size() != 100) {
            EXPECT_TRUE(has(r.out,
                            "/in.ply: its header has no end_header line (the file ends "
                            "inside it)\n"))
                << r.out;
        }
    }
    EXPECT_TRUE(load(header).loaded);
    // Lone carriage returns end lines, on the library's plain path too
    // (which steps back in the stream after one).
    const std::string loneCr =
        "ply\rformat ascii 1.0\relement vertex 1\rproperty float x\r"
        "property float y\rproperty float z\rend_header\r0 0 0\r";
    for (int plain : {0, 1}) {
        ply_set_plain_paths(plain);
        EXPECT_TRUE(load(loneCr).loaded) << plain;
    }
    ply_set_plain_paths(0);
    std::string endless = kText;
    while (endless.size() <= (1u << 20)) endless += "comment " + std::string(100, 'c') + "\n";
    const LoadResult r = load(endless + "end_header\n");
    EXPECT_FALSE(r.loaded);
    EXPECT_EQ(r.status.reason,
              "its header does not end within its first 1048576 bytes (no end_header line)");
}

// Devices and folders are named for what they are and never read.
TEST(PlyMeshInput, FilesThatAreNotRegularAreNotRead) {
    for (const std::string& path :
         {std::string("/dev/null"), testing_support::makeTempDir("ply-dir")}) {
        testing::internal::CaptureStdout();
        const Loaded<PlyMesh> special = PlyMesh::load(1, path);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(special.status.failure, LoadFailure::CannotOpen) << path;
        EXPECT_TRUE(has(out, "Could not open file " + path + ": it is a ")) << out;
        EXPECT_TRUE(has(out, ", not a regular file\n")) << out;
    }
}

// The sized type names of many writers are the same types.
TEST(PlyMeshInput, SizedTypeNamesAreReadAsTheirTypes) {
    const LoadResult r = load(kText +
                              "obj_info num_cols 2\nobj_info num_rows 2\nelement vertex 3\n"
                              "property float32 x\nproperty float32 y\nproperty float32 z\n"
                              "property uint8 confidence\nelement range_grid 4\n"
                              "property list uint8 int32 vertex_indices\nend_header\n"
                              "0 0 0 9\n0.0005 0 0 9\n0 0.0005 0 9\n1 0\n1 1\n1 2\n0\n");
    EXPECT_TRUE(r.loaded) << r.out << r.err;
    EXPECT_EQ(r.vertices, 3);
    EXPECT_EQ(r.grid, (std::vector<int32_t>{0, 1, 2, -1}));
    EXPECT_EQ(r.faces, 1);
}

// Element counts come from header text: a negative one reads nothing, and a
// huge one reads what is there and then meets the end of the data (the
// library's fatal end, a damaged load) without allocating for the count.
TEST(PlyMeshInput, NegativeAndHugeElementCounts) {
    const LoadResult negative =
        load(kText + "element vertex -5\n" + kXyz + "end_header\n" + kPoints);
    EXPECT_TRUE(negative.loaded);
    EXPECT_EQ(negative.vertices, 0);

    const LoadResult text =
        load(kText + "element vertex 2000000000\n" + kXyz + "end_header\n" + kPoints);
    const LoadResult binary = load(kBinary + "element vertex 2000000000\n" + kXyz + "end_header\n" +
                                   std::string(40, '\0'));
    EXPECT_EQ(text.status.fatalStatus, -1);
    EXPECT_EQ(text.err, "ply_get_element: unexpected end of file\n");
    EXPECT_EQ(binary.status.fatalStatus, 1);
    EXPECT_EQ(binary.err, "PLY ERROR: fread() failed -- aborting.\n");
}

// Indices outside the vertex list never reach the mesh: faces naming one
// are left out, raster cells naming one are empty, each counted once.
TEST(PlyMeshInput, OutOfRangeIndicesAreLeftOutAndCounted) {
    const LoadResult mesh =
        load(kText + "element vertex 3\n" + kXyz +
             "element face 3\nproperty list uchar int vertex_indices\nend_header\n" + kPoints +
             "3 0 1 2\n3 0 1 3\n3 -1 1 2\n");
    EXPECT_EQ(mesh.faceCorners, (std::vector<std::vector<int32_t>>{{0, 1, 2}}));
    EXPECT_TRUE(has(mesh.out, "2 faces of ")) << mesh.out;
    EXPECT_TRUE(has(mesh.out, " name vertices outside the 3 read; they are left out\n"))
        << mesh.out;

    const LoadResult raster =
        load(kText + "obj_info num_cols 2\nobj_info num_rows 2\nelement vertex 3\n" + kXyz +
             "element range_grid 4\nproperty list uchar int vertex_indices\nend_header\n" +
             kPoints + "1 0\n1 3\n1 -7\n1 2\n");
    EXPECT_EQ(raster.grid, (std::vector<int32_t>{0, -1, -1, 2}));
    EXPECT_TRUE(has(raster.out, "2 range_grid cells of ")) << raster.out;
    EXPECT_TRUE(has(raster.out, " name no vertex; they are treated as empty\n")) << raster.out;
}

// A property whose file form is a list where the loader's record holds a
// single value, or the other way round, must not be stored: a list's pointer
// over a float, or an integer over the pointer the loader frees.
TEST(PlyMeshInput, PropertiesOfTheWrongShapeAreNotRead) {
    LoadResult faces =
        load(kText + "element vertex 3\n" + kXyz +
             "element face 2\nproperty int vertex_indices\nend_header\n" + kPoints + "5\n7\n");
    EXPECT_TRUE(faces.loaded);
    EXPECT_EQ(faces.faces, 2);  // faces without corners, still counted
    EXPECT_EQ(faces.faceCorners, (std::vector<std::vector<int32_t>>{{}, {}}));
    EXPECT_TRUE(has(faces.out,
                    "property vertex_indices of element face is a single value, not a list: "
                    "it is not read\nInvalid Polygon\nInvalid Polygon\n"))
        << faces.out;

    LoadResult cells = load(
        kText + "obj_info num_cols 2\nobj_info num_rows 1\nelement vertex 3\n" + kXyz +
        "element range_grid 2\nproperty int vertex_indices\nend_header\n" + kPoints + "1\n2\n");
    EXPECT_EQ(cells.grid, (std::vector<int32_t>{-1, -1}));

    LoadResult x = load(kText +
                        "element vertex 1\nproperty list uchar float x\nproperty float y\n"
                        "property float z\nend_header\n2 5 6 7 8\n");
    EXPECT_TRUE(x.loaded);
    EXPECT_EQ(x.vertices, 1);
    EXPECT_TRUE(
        has(x.out, "property x of element vertex is a list, not a single value: it is not read\n"));
    EXPECT_TRUE(has(x.out, "max_y 7 min_y 7 max_z 8 min_z 8\n")) << x.out;
}

// In a binary file the instances of an element without properties occupy
// no bytes, so a header can declare billions of them with no data at all:
// they are not read (nor stored one by one).
TEST(PlyMeshInput, BinaryElementsWithoutPropertiesAreNotReadInstanceByInstance) {
    LoadResult empty = load(kBinary +
                            "element vertex 2000000000\nelement range_grid 2000000000\n"
                            "element face 2000000000\nend_header\n");
    EXPECT_TRUE(empty.loaded);
    EXPECT_EQ(empty.vertices, 0);
    EXPECT_EQ(empty.cells, 0);
    EXPECT_EQ(empty.faces, 0);
    EXPECT_TRUE(has(empty.out, "element vertex 2000000000\nelement vertex of "));
    EXPECT_TRUE(has(empty.out,
                    "has no properties: its 2000000000 instances hold no data and are not read\n"));

    // An unknown element of that kind before the vertices costs nothing either.
    const std::string point("\0\0\x80\x3f\0\0\0\x40\0\0\x40\x40", 12);  // 1, 2, 3
    LoadResult skipped = load(kBinary + "element nothing 2000000000\nelement vertex 1\n" + kXyz +
                              "end_header\n" + point);
    EXPECT_EQ(skipped.vertices, 1);
    EXPECT_TRUE(has(skipped.out, "max_extent 1 max_x 1 min_x 1\nmax_y 2 min_y 2 max_z 3 min_z 3\n"))
        << skipped.out;
}

// A raster size read from obj_info text can be anything; the triangulation
// costs only what the raster entries hold.
TEST(PlyMeshInput, HugeRasterSizesAreHarmless) {
    LoadResult huge = load(kText +
                           "obj_info num_cols 2000000000\nobj_info num_rows 2000000000\n"
                           "element vertex 3\n" +
                           kXyz +
                           "element range_grid 4\n"
                           "property list uchar int vertex_indices\nend_header\n" +
                           kPoints + "1 0\n1 1\n1 2\n0\n");
    EXPECT_TRUE(huge.loaded);
    EXPECT_EQ(huge.cells, 4);
    EXPECT_EQ(huge.faces, 0);
    EXPECT_TRUE(has(huge.out, "Finding faces...\n"));
}

// A fatal end of the library is a damaged load, whatever exit handler the
// process has: the loader unwinds, and its handle, names, property copies and
// the list of the face being read go with it (the leak checker of the
// sanitizer build watches this). The process goes on.
TEST(PlyMeshInput, AFatalEndIsADamagedLoadThatLeavesNothingBehind) {
    const std::string listThenShortValue = kBinary + "element vertex 0\n" + kXyz +
                                           "element face 1\nproperty list uchar int "
                                           "vertex_indices\nproperty int intensity\nend_header\n" +
                                           std::string("\x01\x07\0\0\0\x01", 6);
    const std::string textCutShort = kText + "element vertex 3\n" + kXyz + "end_header\n0 0 0\n";
    const ply_exit_handler_fn before = ply_set_exit_handler(markerHandler);
    const LoadResult binary = load(listThenShortValue);
    const LoadResult text = load(textCutShort);
    // The process's own handler is back once the load is over.
    EXPECT_EQ(ply_set_exit_handler(before), markerHandler);
    EXPECT_FALSE(binary.loaded);
    EXPECT_EQ(binary.status.failure, LoadFailure::DataDamaged);
    EXPECT_EQ(binary.status.fatalStatus, 1);
    EXPECT_EQ(binary.err, "PLY ERROR: fread() failed -- aborting.\n");
    EXPECT_EQ(text.status.failure, LoadFailure::DataDamaged);
    EXPECT_EQ(text.status.fatalStatus, -1);
    EXPECT_EQ(text.err, "ply_get_element: unexpected end of file\n");
}

}  // namespace
