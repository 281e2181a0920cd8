#include "scene/mesh_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

#include "mesh_fixtures.h"
#include "test_support.h"

namespace {

// Writes text to a fresh .m file and returns its path.
std::string meshFile(const std::string& text) {
    const std::string path = testing_support::makeTempDir("mreader") + "/mesh.m";
    testing_support::writeFile(path, text);
    return path;
}

// Loads a file (mesh null when it is not read), capturing everything the
// load prints.
std::string loadPrinting(Mesh*& mesh, const std::string& path, LoadStatus* status = nullptr) {
    MeshFileLoad loaded;
    const std::string out = testing_support::stdoutOf([&] { loaded = loadMeshFile(1, path); });
    mesh = loaded.mesh.release();
    if (status != nullptr) *status = loaded.status;
    return out;
}

// Reads .m text from memory into a fresh mesh, capturing the output.
std::string readPrinting(Mesh& mesh, const std::string& text, MeshReadReport* report = nullptr) {
    std::istringstream in(text);
    MeshReadReport r;
    const std::string out = testing_support::stdoutOf([&] { r = readMeshLines(mesh, in); });
    if (report) *report = r;
    return out;
}

std::vector<int32_t> corners(const Face& f) {
    return {f.vertexIndices.begin(), f.vertexIndices.end()};
}

}  // namespace

TEST(MReader, TriangleLoadsCentredWithItsReport) {
    const std::string path =
        meshFile("Vertex 1 0 0 0\nVertex 2 1 0 0\nVertex 3 0 1 0\nFace 1 1 2 3\n");
    Mesh* mesh = nullptr;
    EXPECT_EQ(loadPrinting(mesh, path), "Reading coordinates from " + path +
                                            "\n"
                                            "max_extent 1 max_x 1 min_x 0\n"
                                            "max_y 1 min_y 0 max_z 0 min_z 0\n"
                                            "center 0.333333 0.333333 0\n"
                                            "scale by 1\n"
                                            "processed 0 edges in map3\n");
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->faces.size(), 1u);
    EXPECT_EQ(corners(mesh->faces[0]), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(mesh->faces[0].owner, mesh);
    EXPECT_FLOAT_EQ(mesh->centroid.x, 1.0f / 3.0f);
    EXPECT_EQ(mesh->position.x, -mesh->centroid.x);
    EXPECT_EQ(mesh->position.z, 0.0f);
    EXPECT_EQ(mesh->vertexNormals.size(), 3u);
    EXPECT_EQ(mesh->faces[0].normal.z, -1.0f);
    delete mesh;
}

TEST(MReader, ExtentComesFromXAndYAndFirstElementsFromFiveVertices) {
    // A pyramid 4 wide, 2 deep and 10 high.
    const std::string text = "Vertex 1 0 0 0\nVertex 2 4 0 0\nVertex 3 4 2 0\nVertex 4 0 2 0\n";
    const std::string faces =
        "Face 1 1 4 3 2\nFace 2 1 2 5\nFace 3 2 3 5\nFace 4 3 4 5\nFace 5 4 1 5\n";
    Mesh* mesh = nullptr;
    const std::string four = meshFile(text + faces);
    EXPECT_EQ(loadPrinting(mesh, four).find("first vertex"), std::string::npos);
    delete mesh;

    const std::string path = meshFile(text + "Vertex 5 2 1 10\n" + faces);
    EXPECT_EQ(loadPrinting(mesh, path), "Reading coordinates from " + path +
                                            "\n"
                                            "first vertex: 0.000000 0.000000 0.000000 \n"
                                            "first face: 0 3 2 \n"
                                            "second vertex: 4.000000 0.000000 0.000000 \n"
                                            "second face: 0 1 4 \n"
                                            "third vertex: 4.000000 2.000000 0.000000 \n"
                                            "third face: 1 2 4 \n"
                                            "max_extent 4 max_x 4 min_x 0\n"
                                            "max_y 2 min_y 0 max_z 10 min_z 0\n"
                                            "center 2 1 2\n"
                                            "scale by 0.25\n"
                                            "processed 8 edges in map8\n");
    EXPECT_EQ(mesh->scaleFactors.x, 0.25f);
    EXPECT_EQ(mesh->scaleFactors.z, 0.25f);
    EXPECT_EQ(mesh->inverseExtent.y, 0.25f);
    EXPECT_EQ(mesh->genus(), 0);
    delete mesh;
}

TEST(MReader, UnreadableFileGivesNoMesh) {
    const std::string path = testing_support::makeTempDir("mreader") + "/missing.m";
    Mesh* mesh = nullptr;
    LoadStatus status;
    EXPECT_EQ(loadPrinting(mesh, path, &status),
              "Reading coordinates from " + path + "\nCould not open file " + path + "\n");
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(status.failure, LoadFailure::CannotOpen);
    EXPECT_EQ(status.reason, "No such file or directory");
    // A device (/dev/zero would never end) is named for what it is and not read.
    EXPECT_EQ(loadPrinting(mesh, "/dev/null", &status),
              "Reading coordinates from /dev/null\nCould not open file /dev/null: it is a "
              "character device, not a regular file\n");
    EXPECT_EQ(mesh, nullptr);
}

TEST(MReader, FaceListsAndAttributeBlocks) {
    Mesh mesh(1);
    const std::string out = readPrinting(mesh,
                                         "Vertex 1 0 0 0\nVertex 2 1 0 0\nVertex 3 0 1 0\n"
                                         "Face 7 3 1 2\n"
                                         "Face 1 1 2 3 {rgb=(1 0 0) matid=2}\n"
                                         "Face 2 1 2 3{rgb=(0.25 0.5 1) matid=7}\n"
                                         "Face 3 1 2 3 {normal=(0 0 1)}\n"
                                         "Face 4 1 2 3 {rgbx}\n"
                                         "Face 5 1 2 3 {rgb=(1 0) matid=2}\n"
                                         "Face 6\t1  2\t 3   \n");
    EXPECT_EQ(out,
              "trying to parse color 1\nset color to: 1 0 0\n"
              "trying to parse color 1\nset color to: 0.25 0.5 1\n"
              "trying to parse color 0\n"
              "trying to parse color 1\n"
              "trying to parse color 1\n");
    ASSERT_EQ(mesh.faces.size(), 7u);
    EXPECT_EQ(corners(mesh.faces[0]), (std::vector<int32_t>{2, 0, 1}));
    const Vec4& red = mesh.faces[1].colour;
    EXPECT_EQ(std::vector<float>({red.x, red.y, red.z, red.w}), std::vector<float>({1, 0, 0, 1}));
    EXPECT_EQ(mesh.faces[2].colour.y, 0.5f);
    EXPECT_EQ(corners(mesh.faces[2]), (std::vector<int32_t>{0, 1, 2}));
    for (std::size_t f = 3; f < 6; ++f) {
        const Vec4& c = mesh.faces[f].colour;
        EXPECT_EQ(c.x + c.y + c.z, 0.0f) << "face " << f;
    }
    EXPECT_EQ(corners(mesh.faces[6]), (std::vector<int32_t>{0, 1, 2}));
}

TEST(MReader, LineGrammar) {
    Mesh mesh(1);
    MeshReadReport report;
    const std::string out =
        readPrinting(mesh,
                     "# a comment with Vertex 9 9 9 9\n"
                     "\n   \t\n"
                     "   Vertex 1 1 2 3\n"
                     "vertex 2 5 5 5\n"
                     "Vertex\t2 5 5 5\n"
                     "Vertex 2 4 5\n"  // too few fields: skipped, numbering shifts
                     "Vertex x 4 5 6\n"
                     "Vertex 3 . 2 3\n"
                     "Vertex 4 -1.5e1 2 3junk\n"
                     "Vertex 5 0 0 1\r\n"
                     "Face 1 1 2 3\r\n"
                     "Edge 1 2\n"
                     "Face 2 3 2 1",  // last line without newline
                     &report);
    EXPECT_EQ(out, "");
    EXPECT_EQ(report.droppedFaces, 0u);
    ASSERT_EQ(mesh.vertices.size(), 3u);
    EXPECT_EQ(mesh.vertices[1].x, -15.0f);
    EXPECT_EQ(mesh.vertices[2].z, 1.0f);
    ASSERT_EQ(mesh.faces.size(), 2u);
    EXPECT_EQ(corners(mesh.faces[1]), (std::vector<int32_t>{2, 1, 0}));
    EXPECT_EQ(mesh.bboxMax.z, 3.0f);
    EXPECT_EQ(mesh.bboxMin.x, -15.0f);
}

TEST(MReader, LinesAreCutAt255CharactersAndSkippedUpTo9999More) {
    // A Face line whose fourth vertex number straddles character 255.
    std::string face = "Face 1 1 2 3";
    face += std::string(254 - face.size(), ' ') + "23";
    ASSERT_EQ(face[254], '2');
    // A comment so long that its text after 255 + 9999 characters is read
    // as a line of its own.
    const std::string longComment = "#" + std::string(10253, 'x') + "Vertex 3 0 1 0";
    Mesh mesh(1);
    readPrinting(
        mesh, "Vertex 1 0 0 0\nVertex 2 1 0 0\n" + face + "\n" + longComment + "\nFace 2 1 2 3\n");
    ASSERT_EQ(mesh.vertices.size(), 3u);
    EXPECT_EQ(mesh.vertices[2].y, 1.0f);
    ASSERT_EQ(mesh.faces.size(), 2u);
    EXPECT_EQ(corners(mesh.faces[0]), (std::vector<int32_t>{0, 1, 2, 1}));
}

TEST(MReader, VertexLinesAcceptExactlyWhatScanfAccepts) {
    // Fields glued from number-like pieces, separated by varied white space.
    const char* const pieces[] = {
        "1",  "-2", "+3",    ".5",  "7",      "9.",    "1e3",  "-0.25", "3E-2", "0x1p2", "e",
        "E5", "e-", "x",     "0x1", "p2",     "in",    "f",    "nan",   "(",    ")",     "a",
        "-",  ".",  "nan()", "inf", "0x1p-2", "1e-45", "1e39", "-0",    "+.",   "1e-39"};
    const std::size_t numbers = 10;  // the first ten pieces are numbers on their own
    const char* const separators[] = {" ", " ", "\t", "  ", ""};
    std::mt19937 random(7);
    int accepted = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        std::string line = "Vertex ";
        const int fields = 3 + static_cast<int>(random() % 3);
        for (int k = 0; k < fields; ++k) {
            const int glued = random() % 3 == 0 ? 2 : 1;
            for (int g = 0; g < glued; ++g) {
                const bool odd = random() % 4 == 0;
                line +=
                    pieces[odd ? random() % (sizeof pieces / sizeof *pieces) : random() % numbers];
            }
            line += separators[random() % (sizeof separators / sizeof *separators)];
        }
        int number = 0;
        float x = 0, y = 0, z = 0;
        const bool scanned =
            std::sscanf(line.c_str(), "Vertex %d %g %g %g", &number, &x, &y, &z) == 4;
        Mesh mesh(1);
        applyMeshLine(mesh, line.c_str());
        ASSERT_EQ(mesh.vertices.size(), scanned ? 1u : 0u) << line;
        accepted += scanned;
        if (scanned) {
            const Point3& p = mesh.vertices[0];
            EXPECT_EQ(
                std::memcmp(&p.x, &x, 4) | std::memcmp(&p.y, &y, 4) | std::memcmp(&p.z, &z, 4), 0)
                << line;
        }
    }
    EXPECT_GT(accepted, 1000);
}

TEST(MReader, FacesWithInvalidVertexNumbersAreDroppedAndReportedOnce) {
    const std::string path = meshFile(
        "Face 1 1 2 3\n"  // names vertices listed later: kept
        "Face 2 0 1 2 {rgb=(1 1 1) matid=0}\n"
        "Vertex 1 0 0 0\nVertex 2 1 0 0\nVertex 3 0 1 0\n"
        "Face 3 1 2 4\n"  // beyond the last vertex
        "Face 4 1 -2 3\n"
        "Face 5 1 2 3x\n"
        "Face 6 1 2 99999999999999999999\n"
        "Face 7 3 2 1\n");
    Mesh* mesh = nullptr;
    EXPECT_EQ(loadPrinting(mesh, path),
              "Reading coordinates from " + path +
                  "\n"
                  "trying to parse color 1\nset color to: 1 1 1\n"
                  "max_extent 1 max_x 1 min_x 0\n"
                  "max_y 1 min_y 0 max_z 0 min_z 0\n"
                  "center 0.333333 0.333333 0\n"
                  "scale by 1\n"
                  "processed 3 edges in map3\n"
                  "dropped 5 Face lines with invalid vertex numbers (the file has 3 vertices); "
                  "first: Face 2 0 1 2 {rgb=(1 1 1) matid=0}\n");
    ASSERT_EQ(mesh->faces.size(), 2u);
    EXPECT_EQ(corners(mesh->faces[0]), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(corners(mesh->faces[1]), (std::vector<int32_t>{2, 1, 0}));
    delete mesh;

    // A face naming a vertex that never comes is reported by its own line.
    Mesh late(1);
    MeshReadReport report;
    readPrinting(late, "Face 1 1 2 9\nVertex 1 0 0 0\nFace 2 1 1 0\n", &report);
    EXPECT_EQ(report.droppedFaces, 2u);
    EXPECT_EQ(report.firstDroppedLine, "Face 1 1 2 9");
    EXPECT_TRUE(late.faces.empty());

    // One line at a time, a face may only name vertices already read.
    Mesh single(1);
    EXPECT_FALSE(applyMeshLine(single, "Face 1 1 2 3"));
    EXPECT_TRUE(applyMeshLine(single, "Vertex 1 0 0 0"));
    EXPECT_TRUE(applyMeshLine(single, "Face 1 1 1"));
    EXPECT_EQ(single.faces.size(), 1u);
}

TEST(MReader, ShortFacesAreKeptWithZeroNormals) {
    const std::string path = meshFile(
        "Vertex 1 0 0 0\nVertex 2 2 0 0\nVertex 3 0 1 0\nVertex 4 0 0 1\nVertex 5 1 1 1\n"
        "Face 1 1 2\nFace 2 5\nFace 3\nFace 4 1 2 3\n");
    Mesh* mesh = nullptr;
    EXPECT_EQ(loadPrinting(mesh, path), "Reading coordinates from " + path +
                                            "\n"
                                            "first vertex: 0.000000 0.000000 0.000000 \n"
                                            "first face: 0 1 -1 \n"
                                            "second vertex: 2.000000 0.000000 0.000000 \n"
                                            "second face: 4 -1 -1 \n"
                                            "third vertex: 0.000000 1.000000 0.000000 \n"
                                            "third face: -1 -1 -1 \n"
                                            "max_extent 2 max_x 2 min_x 0\n"
                                            "max_y 1 min_y 0 max_z 1 min_z 0\n"
                                            "center 0.6 0.4 0.4\n"
                                            "scale by 0.5\n"
                                            "processed 2 edges in map4\n");
    ASSERT_EQ(mesh->faceCount(), 4);
    for (int f = 0; f < 3; ++f) EXPECT_EQ(mesh->faces[f].normal.length(), 0.0f);
    EXPECT_EQ(mesh->vertexNormals[4].length(), 0.0f);
    delete mesh;
}

TEST(MReader, FilesWithoutExtentAreNotScaled) {
    Mesh* mesh = nullptr;
    const std::string empty = meshFile("# nothing here\n");
    EXPECT_EQ(loadPrinting(mesh, empty),
              "Reading coordinates from " + empty +
                  "\n"
                  "max_extent 1 max_x -3.40282e+38 min_x 3.40282e+38\n"
                  "max_y -3.40282e+38 min_y 3.40282e+38 max_z -3.40282e+38 min_z 3.40282e+38\n"
                  "center 0 0 0\n"
                  "scale by 1\n"
                  "processed 0 edges in map0\n");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->scaleFactors.x, 1.0f);
    EXPECT_EQ(mesh->position.x, 0.0f);
    delete mesh;

    // Points on a line along z have no x or y extent.
    const std::string line = meshFile("Vertex 1 2 3 0\nVertex 2 2 3 5\n");
    const std::string out = loadPrinting(mesh, line);
    EXPECT_NE(out.find("max_extent 1 max_x 2 min_x 2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("center 2 3 2.5\nscale by 1\n"), std::string::npos) << out;
    EXPECT_EQ(mesh->scaleFactors.y, 1.0f);
    delete mesh;
}

namespace {

// An empty file and one of binary garbage (NULs, bytes above 127, carriage
// returns, words that almost are keywords) load as empty meshes: nothing
// in them is a Vertex or Face line, and the report has no "nan" or "inf".
TEST(MReader, EmptyAndGarbageFilesLoadAsEmptyMeshes) {
    static const char kGarbage[] =
        "\0\x01\xff\xfe Face \0Vertex 1 2\n\x80\x81\rFace\tx\nVertexx 1 2 3\n";
    const std::string garbage(kGarbage, sizeof kGarbage - 1);
    for (const std::string& text : {std::string(), garbage}) {
        Mesh* mesh = nullptr;
        const std::string out = loadPrinting(mesh, meshFile(text));
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->vertexCount(), 0);
        EXPECT_EQ(mesh->faceCount(), 0);
        EXPECT_EQ(out.find("nan"), std::string::npos) << out;
        EXPECT_NE(out.find("center 0 0 0\nscale by 1\n"), std::string::npos) << out;
        delete mesh;
    }
}

}  // namespace
