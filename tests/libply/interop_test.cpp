// Interoperability with an independent PLY implementation (the assimp
// command-line tool): files this library writes are read there with the
// right counts and bounds, and files it exports are read here with the
// right values. Skipped when the tool is not installed.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <string>
#include <vector>

#include "ply_test_util.h"
#include "test_support.h"

namespace {

bool haveAssimp() {
    return plytest::runCommand("command -v assimp >/dev/null 2>&1").status == 0;
}

// The value after "<label>" on the line that starts with it in assimp's report.
std::string reportValue(const std::string& report, const std::string& label) {
    size_t at = report.find("\n" + label);
    if (at == std::string::npos) return "";
    size_t start = report.find_first_not_of(' ', at + 1 + label.size());
    return report.substr(start, report.find('\n', start) - start);
}

struct Vertex {
    float x, y, z;
};
struct Face {
    unsigned char n;
    int* verts;
};
const ply_property_def kXyz[] = {
    {"x", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, x), 0, 0, 0, 0},
    {"y", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, y), 0, 0, 0, 0},
    {"z", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, z), 0, 0, 0, 0},
};

// A square pyramid: four triangles and the quad it stands on.
const Vertex kPyramid[] = {
    {-1.5f, 0, -1.5f}, {1.5f, 0, -1.5f}, {1.5f, 0, 1.5f}, {-1.5f, 0, 1.5f}, {0.125f, 2.25f, 0}};
int kTriangles[4][3] = {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}};
int kQuad[4] = {0, 3, 2, 1};

void writePyramid(const std::string& path, int file_type) {
    const char* names[] = {"vertex", "face"};
    float version;
    ply_handle* ply = ply_open_write(path.c_str(), 2, names, file_type, &version);
    ASSERT_NE(ply, nullptr);
    ply_describe_element(ply, "vertex", 5, 3, kXyz);
    const ply_property_def list = {
        "vertex_indices", PLY_INT,   PLY_INT,          offsetof(Face, verts), 1,
        PLY_UCHAR,        PLY_UCHAR, offsetof(Face, n)};
    ply_describe_element(ply, "face", 5, 1, &list);
    append_comment(ply, "square pyramid");
    ply_header_complete(ply);
    ply_elements_setup(ply, "vertex");
    for (const Vertex& v : kPyramid) ply_write_element(ply, &v);
    ply_elements_setup(ply, "face");
    for (auto& t : kTriangles) {
        Face f{3, t};
        ply_write_element(ply, &f);
    }
    Face quad{4, kQuad};
    ply_write_element(ply, &quad);
    ply_close_file(ply);
}

TEST(Interop, FilesWrittenHereAreReadByAssimp) {
    if (!haveAssimp()) GTEST_SKIP() << "assimp command not installed";
    std::string dir = testing_support::makeTempDir("interop-write");
    const std::pair<int, const char*> encodings[] = {
        {PLY_ASCII, "ascii"}, {PLY_BINARY_LE, "le"}, {PLY_BINARY_BE, "be"}};
    for (const auto& [file_type, tag] : encodings) {
        std::string path = dir + "/pyramid_" + tag + ".ply";
        writePyramid(path, file_type);
        plytest::CommandResult r = plytest::runCommand("assimp info '" + path + "' -r 2>/dev/null");
        ASSERT_EQ(r.status, 0) << tag << "\n" << r.out;
        EXPECT_EQ(reportValue(r.out, "Vertices:"), "5") << tag;
        EXPECT_EQ(reportValue(r.out, "Faces:"), "5") << tag;
        EXPECT_EQ(reportValue(r.out, "Minimum point"), "(-1.500000 0.000000 -1.500000)") << tag;
        EXPECT_EQ(reportValue(r.out, "Maximum point"), "(1.500000 2.250000 1.500000)") << tag;
        std::remove(path.c_str());
    }
    std::remove(dir.c_str());
}

// A mesh assimp exports, given as an OBJ file.
const char* kObj =
    "v -0.5 0.25 1.75\nv 3.125 -2 0\nv 0 0.0625 -8.5\nv 1e-3 100 -0.75\n"
    "f 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n";
const Vertex kObjVertices[] = {
    {-0.5f, 0.25f, 1.75f}, {3.125f, -2, 0}, {0, 0.0625f, -8.5f}, {1e-3f, 100, -0.75f}};
const int kObjFaces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};

// Reads an exported file: every face's corners must be the OBJ face's
// corners in order (the exporter writes the corners of each face apart).
void expectExportedPyramid(const std::string& path, int expected_type) {
    int nelems, file_type;
    char** elist;
    float version;
    ply_handle* ply = ply_open_read(path.c_str(), &nelems, &elist, &file_type, &version);
    ASSERT_NE(ply, nullptr) << path;
    EXPECT_EQ(file_type, expected_type);
    int nverts = 0, nfaces = 0, nprops = 0;
    ply_free_properties(nprops, ply_element_properties(ply, "vertex", &nverts, &nprops));
    ply_select_properties(ply, "vertex", 3, kXyz);
    std::vector<Vertex> vertices(static_cast<size_t>(nverts));
    for (Vertex& v : vertices) ply_get_element(ply, &v);
    ply_property_def** face_props = ply_element_properties(ply, "face", &nfaces, &nprops);
    ASSERT_NE(face_props, nullptr);
    ASSERT_EQ(nprops, 1);
    ASSERT_EQ(nfaces, 4);
    ply_property_def list = {
        face_props[0]->name, PLY_INT,   PLY_INT,          offsetof(Face, verts), 1,
        PLY_UCHAR,           PLY_UCHAR, offsetof(Face, n)};
    ply_select_property(ply, "face", &list);
    for (int f = 0; f < nfaces; ++f) {
        Face face;
        ply_get_element(ply, &face);
        ASSERT_EQ(face.n, 3);
        for (int k = 0; k < 3; ++k) {
            ASSERT_GE(face.verts[k], 0);
            ASSERT_LT(face.verts[k], nverts);
            const Vertex& got = vertices[size_t(face.verts[k])];
            const Vertex& want = kObjVertices[kObjFaces[f][k]];
            EXPECT_EQ(got.x, want.x) << "face " << f << " corner " << k;
            EXPECT_EQ(got.y, want.y) << "face " << f << " corner " << k;
            EXPECT_EQ(got.z, want.z) << "face " << f << " corner " << k;
        }
        std::free(face.verts);
    }
    ply_free_properties(nprops, face_props);
    ply_free_element_list(nelems, elist);
    ply_close_file(ply);
}

TEST(Interop, FilesExportedByAssimpAreReadHereWithTheirValues) {
    if (!haveAssimp()) GTEST_SKIP() << "assimp command not installed";
    std::string dir = testing_support::makeTempDir("interop-read");
    std::string obj = dir + "/mesh.obj";
    testing_support::writeFile(obj, kObj);
    // The tool exports text ("ply") and little-endian binary ("plyb").
    const std::pair<const char*, int> formats[] = {{"ply", PLY_ASCII}, {"plyb", PLY_BINARY_LE}};
    for (const auto& [format, file_type] : formats) {
        std::string out = dir + "/mesh_" + format + ".ply";
        plytest::CommandResult r = plytest::runCommand("assimp export '" + obj + "' '" + out +
                                                       "' -f" + format + " >/dev/null 2>&1");
        ASSERT_EQ(r.status, 0) << format;
        expectExportedPyramid(out, file_type);
        std::remove(out.c_str());
    }
    std::remove(obj.c_str());
    std::remove(dir.c_str());
}

}  // namespace
