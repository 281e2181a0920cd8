#include "scan/ply_mesh.h"

#include <cmath>
#include <filesystem>

#include "scan_test_support.h"

namespace {

const char* kTetrahedron =
    "ply\n"
    "format ascii 1.0\n"
    "comment a closed tetrahedron\n"
    "element vertex 4\n"
    "property float x\n"
    "property float y\n"
    "property float z\n"
    "element face 4\n"
    "property list uchar int vertex_indices\n"
    "end_header\n"
    "0 0 0\n"
    "1 0 0\n"
    "0 1 0\n"
    "0 0 1\n"
    "3 0 2 1\n"
    "3 0 1 3\n"
    "3 1 2 3\n"
    "3 0 3 2\n";

}  // namespace

using PlyMeshTest = ScanTest;

TEST_F(PlyMeshTest, OrdinaryMeshPrintsItsWholeReport) {
    const std::string file = write("tetra.ply", kTetrahedron);
    PlyMesh* mesh = nullptr;
    testing::internal::CaptureStderr();
    const std::string out = stdoutOf([&] { mesh = loadPly(1, file); });
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "Reading coordinates from " + file +
                       "\n"
                       "version 1.000000\n"
                       "type 1\n"
                       "element vertex 4\n"
                       "property x\n"
                       "property y\n"
                       "property z\n"
                       "element face 4\n"
                       "property vertex_indices\n"
                       "comment = 'a closed tetrahedron'\n"
                       "first vertex: 0.000000 0.000000 0.000000 \n"
                       "first face: 0 2 1 \n"
                       "second vertex: 1.000000 0.000000 0.000000 \n"
                       "second face: 0 1 3 \n"
                       "third vertex: 0.000000 1.000000 0.000000 \n"
                       "third face: 1 2 3 \n"
                       "max_extent 1 max_x 1 min_x 0\n"
                       "max_y 1 min_y 0 max_z 1 min_z 0\n"
                       "center 0.25 0.25 0.25\n"
                       "scale by 1\n"
                       "Finding normals...\n"
                       "Finding edges...\n"
                       "processed 6 edges in map6\n"
                       "Vertices: 4\n"
                       "Edges: 6\n"
                       "Faces: 4\n"
                       "Genus: 0 (2-(V - E + F))/2\n");
    // Ordinary meshes have no intensity: the library warns once.
    EXPECT_EQ(err, "Warning:  Can't find property 'intensity' in element 'face'\n");
    ASSERT_NE(mesh, nullptr);
    EXPECT_FALSE(mesh->isRangeGrid);
    // A scan of a configuration keeps its scanner coordinates.
    EXPECT_EQ(mesh->position.x, 0.0f);
    EXPECT_EQ(mesh->scaleFactors.x, 1.0f);
    delete mesh;
}

TEST_F(PlyMeshTest, LoneFileIsScaledAndCentredWhenDrawn) {
    const std::string file = write("tetra.ply", kTetrahedron);
    testing::internal::CaptureStderr();
    PlyMesh* mesh = nullptr;
    stdoutOf([&] { mesh = loadPly(1, file, true); });
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(mesh->scaleFactors.x, 1.0f);  // extent 1
    EXPECT_EQ(mesh->position.x, -0.25f);
    EXPECT_EQ(mesh->position.z, -0.25f);
    delete mesh;
}

TEST_F(PlyMeshTest, RangeImageIsTriangulatedFromItsRaster) {
    // A 3 x 2 raster, one cell empty; spacing 0.0005 so that triangles survive.
    const std::string file = write(
        "grid.ply",
        rangeImage(
            3, 2,
            {{0, 0, 0}, {0.0005f, 0, 0}, {0.001f, 0, 0}, {0, 0.0005f, 0}, {0.0005f, 0.0005f, 0}},
            {0, 1, 2, 3, 4, -1}));
    PlyMesh* mesh = nullptr;
    const std::string out = stdoutOf([&] { mesh = loadPly(1, file); });
    EXPECT_NE(out.find("obj_info = 'num_cols 3'\nobj_info = 'num_rows 2'\n"), std::string::npos);
    EXPECT_NE(out.find("Finding faces...\nFinding normals...\nFinding edges...\n"),
              std::string::npos);
    EXPECT_NE(out.find("Vertices: 5\nEdges: 2\nFaces: 3\nGenus: -2 (2-(V - E + F))/2\n"),
              std::string::npos)
        << out;
    EXPECT_TRUE(mesh->isRangeGrid);
    EXPECT_EQ(mesh->gridCols, 3);
    EXPECT_EQ(mesh->gridRows, 2);
    EXPECT_EQ(mesh->gridIndex, (std::vector<int32_t>{0, 1, 2, 3, 4, -1}));
    // The header is kept around its vertex line, for the cleaned copy.
    EXPECT_EQ(
        mesh->headerHead(),
        "ply\nformat ascii 1.0\ncomment test raster\nobj_info num_cols 3\nobj_info num_rows 2\n");
    EXPECT_EQ(mesh->headerTail(),
              "property float x\nproperty float y\nproperty float z\nelement range_grid 6\n"
              "property list uchar int vertex_indices\nend_header\n");
    EXPECT_TRUE(mesh->headerRewritable());
    delete mesh;
}

TEST_F(PlyMeshTest, TheSameRangeImageInEveryEncodingGivesTheSameMesh) {
    // Written by hand in binary: 2 points and a 2-cell raster.
    auto binary = [&](bool big) {
        std::string t =
            std::string("ply\nformat ") + (big ? "binary_big_endian" : "binary_little_endian") +
            " 1.0\nobj_info num_cols 2\nobj_info num_rows 1\nelement vertex 2\n"
            "property float x\nproperty float y\nproperty float z\n"
            "property uchar confidence\n"
            "element range_grid 2\nproperty list uchar int vertex_indices\nend_header\n";
        auto put = [&](const void* p, int n) {
            const char* c = static_cast<const char*>(p);
            for (int i = 0; i < n; ++i) t += c[big ? n - 1 - i : i];
        };
        const float coords[6] = {0.25f, -1.5f, 3.0f, 1e-3f, 2e-3f, -7.0f};
        for (int v = 0; v < 2; ++v) {
            for (int a = 0; a < 3; ++a) put(&coords[3 * v + a], 4);
            t += char(200);  // confidence, not requested
        }
        for (int32_t k = 1; k >= 0; --k) {
            t += char(1);
            put(&k, 4);
        }
        return t;
    };
    std::vector<std::vector<Point3>> seen;
    for (const std::string& text :
         {binary(false), binary(true),
          std::string("ply\nformat ascii 1.0\nobj_info num_cols 2\nobj_info num_rows 1\n"
                      "element vertex 2\nproperty float x\nproperty float y\nproperty float z\n"
                      "property uchar confidence\nelement range_grid 2\n"
                      "property list uchar int vertex_indices\nend_header\n"
                      "0.25 -1.5 3 200\n0.001 0.002 -7 200\n1 1\n1 0\n")}) {
        const std::string file = write("scan.ply", text);
        PlyMesh* mesh = nullptr;
        stdoutOf([&] { mesh = loadPly(1, file); });
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->gridIndex, (std::vector<int32_t>{1, 0}));
        EXPECT_FALSE(mesh->headerRewritable());  // extra vertex property
        seen.push_back(mesh->vertices);
        delete mesh;
    }
    for (const auto& v : seen) {
        ASSERT_EQ(v.size(), 2u);
        EXPECT_EQ(v[0].x, 0.25f);
        EXPECT_EQ(v[0].y, -1.5f);
        EXPECT_EQ(v[1].x, 1e-3f);
        EXPECT_EQ(v[1].z, -7.0f);
    }
}

TEST_F(PlyMeshTest, ShortPolygonsAreReportedAndStillCounted) {
    const std::string file =
        write("short.ply",
              "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
              "property float z\nelement face 2\nproperty uchar intensity\n"
              "property list uchar int vertex_indices\nend_header\n"
              "0 0 0\n1 0 0\n0 1 0\n7 3 0 1 2\n7 2 0 1\n");
    PlyMesh* mesh = nullptr;
    const std::string out = stdoutOf([&] { mesh = loadPly(1, file); });
    EXPECT_NE(out.find("element face 2\nInvalid Polygon\nproperty intensity\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("Faces: 2\n"), std::string::npos);
    // A mesh with faces needs no triangulation.
    EXPECT_EQ(out.find("Finding faces..."), std::string::npos);
    delete mesh;
}

TEST_F(PlyMeshTest, IndicesOutsideTheVertexListNeverReachTheMesh) {
    const std::string file =
        write("bad.ply",
              "ply\nformat ascii 1.0\nobj_info num_cols 2\nobj_info num_rows 2\nelement vertex 3\n"
              "property float x\nproperty float y\nproperty float z\n"
              "element face 3\nproperty list uchar int vertex_indices\n"
              "element range_grid 4\nproperty list uchar int vertex_indices\nend_header\n"
              "0 0 0\n0.0005 0 0\n0 0.0005 0\n"
              "3 0 1 2\n3 0 1 7\n3 -1 1 2\n"
              "1 0\n1 9\n1 -5\n1 2\n");
    PlyMesh* mesh = nullptr;
    const std::string out = stdoutOf([&] { mesh = loadPly(1, file); });
    EXPECT_EQ(mesh->gridIndex, (std::vector<int32_t>{0, -1, -1, 2}));
    for (const Face& f : mesh->faces)
        for (int32_t vi : f.vertexIndices) {
            EXPECT_GE(vi, 0);
            EXPECT_LT(vi, 3);
        }
    EXPECT_NE(
        out.find("2 range_grid cells of " + file + " name no vertex; they are treated as empty\n"),
        std::string::npos)
        << out;
    EXPECT_NE(
        out.find("2 faces of " + file + " name vertices outside the 3 read; they are left out\n"),
        std::string::npos);
    delete mesh;
}

TEST_F(PlyMeshTest, UnhandledElementBeforeTheVerticesIsReadPast) {
    const std::string file = write(
        "extra.ply",
        "ply\nformat ascii 1.0\nelement camera 2\nproperty float f\nproperty list uchar int l\n"
        "element vertex 2\nproperty float x\nproperty float y\nproperty float z\n"
        "element material 1\nproperty float broken\nend_header\n"
        "1.5 2 7 8\n2.5 0\n"
        "1 2 3\n4 5 6\n");  // the trailing element has no data at all
    PlyMesh* mesh = nullptr;
    const std::string out = stdoutOf([&] { mesh = loadPly(1, file); });
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->vertices.size(), 2u);
    EXPECT_EQ(mesh->vertices[0].x, 1.0f);
    EXPECT_EQ(mesh->vertices[1].z, 6.0f);
    EXPECT_NE(out.find("element camera 2\nproperty f\nproperty l\nelement vertex 2\n"),
              std::string::npos);
    delete mesh;
}

TEST_F(PlyMeshTest, FileWithoutVerticesReportsFiniteNumbers) {
    const std::string file = write("empty.ply",
                                   "ply\nformat ascii 1.0\nelement vertex 0\n"
                                   "property float x\nend_header\n");
    PlyMesh* mesh = nullptr;
    const std::string out = stdoutOf([&] { mesh = loadPly(1, file); });
    ASSERT_NE(mesh, nullptr);
    EXPECT_NE(out.find("max_extent 1 "), std::string::npos) << out;
    EXPECT_NE(out.find("center 0 0 0\nscale by 1\n"), std::string::npos);
    EXPECT_EQ(out.find("nan"), std::string::npos);
    EXPECT_EQ(out.find("inf"), std::string::npos);
    delete mesh;
}

TEST_F(PlyMeshTest, UnreadableFilesAreNamedAndLeftUnloaded) {
    const std::string missing = path("missing.ply");
    LoadStatus status;
    EXPECT_EQ(stdoutOf([&] { EXPECT_EQ(loadPly(1, missing, false, &status), nullptr); }),
              "Reading coordinates from " + missing + "\nCould not open file " + missing + "\n");
    EXPECT_EQ(status.failure, LoadFailure::CannotOpen);
    EXPECT_EQ(status.reason, "No such file or directory");

    const std::string notPly = write("text.ply", "hello\n");
    EXPECT_EQ(stdoutOf([&] { EXPECT_EQ(loadPly(1, notPly, false, &status), nullptr); }),
              "Reading coordinates from " + notPly + "\nCould not read file " + notPly + "\n");
    EXPECT_EQ(status.failure, LoadFailure::HeaderNotAccepted);
}

TEST_F(PlyMeshTest, LongNamesAndHeadersAreKeptWhole) {
    // A path of over 300 characters, in folders whose names the file system accepts.
    const std::string folder = path(std::string(150, 'a') + "/" + std::string(150, 'b'));
    std::filesystem::create_directories(folder);
    const std::string longName = folder.substr(dir_.size() + 1) + "/scan.ply";
    std::string header = "ply\nformat ascii 1.0\n";
    for (int i = 0; i < 100; ++i) header += "comment " + std::string(60, 'c') + "\n";
    const std::string text = header +
                             "element vertex 1\nproperty float x\nproperty float y\n"
                             "property float z\nelement range_grid 1\n"
                             "property list uchar int vertex_indices\nend_header\n1 2 3\n1 0\n";
    const std::string file = write(longName, text);
    ASSERT_GT(file.size(), 300u);
    PlyMesh* mesh = nullptr;
    stdoutOf([&] { mesh = loadPly(1, file); });
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->fileName, file);
    EXPECT_EQ(mesh->headerHead(), header);
    EXPECT_GT(mesh->headerHead().size(), 4096u);
    delete mesh;
}
