#include <gtest/gtest.h>

#include <cfloat>
#include <sstream>

#include "mesh_fixtures.h"
#include "scene/load_report.h"
#include "scene/mesh.h"
#include "scene/mesh_reader.h"
#include "scene/unmeasured.h"
#include "test_support.h"

namespace {

using fixtures::fill;

void expectVec(const Vec3& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

using testing_support::stdoutOf;

bool sameEdges(const std::vector<Edge>& a, const std::vector<Edge>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].face0 != b[i].face0 || a[i].face1 != b[i].face1 ||
            a[i].lowVertex != b[i].lowVertex || a[i].highVertex != b[i].highVertex ||
            a[i].owner != b[i].owner) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(ComputeNormals, OrientationFollowsCornerOrderAndQuadsUseThreeCorners) {
    Mesh mesh(1);
    // Counter-clockwise seen from +z: the normal points away from that viewer.
    fill(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 9}}, {{0, 1, 2}, {0, 2, 1}, {0, 1, 2, 3}});
    mesh.computeNormals();
    expectVec(mesh.faces[0].normal, 0, 0, -1);
    expectVec(mesh.faces[1].normal, 0, 0, 1);
    // The lifted fourth corner of the quad does not tilt its normal.
    expectVec(mesh.faces[2].normal, 0, 0, -1);
}

TEST(ComputeNormals, VertexNormalsAreUnweightedAndIgnoreDegenerateFaces) {
    Mesh mesh(1);
    // Vertex 0 is shared by a large face facing -z, a tiny face facing +x,
    // a collinear face and two short faces.
    fill(mesh, {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0.001f, 0}, {0, 0, 0.001f}, {0, 0, 5}},
         {{0, 1, 2}, {0, 3, 4}, {0, 1, 1}, {0, 5}, {0}, {}});
    mesh.computeNormals();
    expectVec(mesh.faces[1].normal, -1, 0, 0);
    for (std::size_t f = 2; f < mesh.faces.size(); ++f) expectVec(mesh.faces[f].normal, 0, 0, 0);
    // Area plays no part: both faces count once.
    expectVec(mesh.vertexNormals[0], -0.70710677f, 0, -0.70710677f);
    // Only the short face touches vertex 5: its normal stays zero.
    expectVec(mesh.vertexNormals[5], 0, 0, 0);
    ASSERT_EQ(mesh.vertexNormals.size(), mesh.vertices.size());
}

TEST(ComputeNormals, FaceNormalsAreUnitAndPerpendicularOnATorus) {
    Mesh mesh(1);
    std::istringstream text(fixtures::torusText(12, 9));
    readMeshLines(mesh, text);
    mesh.computeNormals();
    for (const Face& f : mesh.faces) {
        EXPECT_NEAR(f.normal.length(), 1.0f, 1e-6f);
        const Point3& a = mesh.vertices[f.vertexIndices[0]];
        const Point3& b = mesh.vertices[f.vertexIndices[1]];
        const Point3& c = mesh.vertices[f.vertexIndices[2]];
        EXPECT_NEAR(f.normal.dot(b - a), 0.0f, 1e-6f);
        EXPECT_NEAR(f.normal.dot(c - b), 0.0f, 1e-6f);
    }
    for (const Vec3& n : mesh.vertexNormals) EXPECT_NEAR(n.length(), 1.0f, 1e-6f);
}

TEST(BakeWorldPositions, AppliesRotationThenPositionAndResetsTheTransform) {
    Mesh mesh(1);
    fill(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    mesh.rotate(Quaternion(1, 0, 0, 0));  // half turn about x: (x, y, z) -> (x, -y, -z)
    mesh.translate(1, 0, 0);
    mesh.scale(2, 2, 2);
    mesh.bakeWorldPositions();

    ASSERT_EQ(mesh.worldVertices.size(), 3u);
    EXPECT_EQ(mesh.worldVertices[2].x, 1.0f);
    EXPECT_EQ(mesh.worldVertices[2].y, -1.0f);
    EXPECT_EQ(mesh.worldVertices[1].x, 2.0f);
    EXPECT_EQ(mesh.vertexValues, std::vector<float>(3, kUnmeasured));
    // Normals now come from the world positions: the face turned over.
    expectVec(mesh.faces[0].normal, 0, 0, 1);
    expectVec(mesh.position, 0, 0, 0);
    expectVec(mesh.scaleFactors, 1, 1, 1);
    EXPECT_EQ(mesh.rotation(1, 1), 1.0f);
    // Model positions are untouched.
    EXPECT_EQ(mesh.vertices[2].y, 1.0f);
}

TEST(FaceCentroid, MeansTheWorldPositionsOfItsCorners) {
    Mesh mesh(1);
    fill(mesh, {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 4}}, {{0, 1, 2, 3}, {}});
    // Before baking there are no world positions to average.
    EXPECT_EQ(mesh.faces[0].computeCentroid().x, 0.0f);
    mesh.translate(1, 0, 0);
    mesh.bakeWorldPositions();
    const Point3 c = mesh.faces[0].computeCentroid();
    EXPECT_EQ(c.x, 2.0f);
    EXPECT_EQ(c.y, 1.0f);
    EXPECT_EQ(c.z, 1.0f);
    const Point3 none = mesh.faces[1].computeCentroid();  // a face without corners
    EXPECT_EQ(none.x + none.y + none.z, 0.0f);
}

TEST(PrintFirstElements, PrintsThreeVerticesAndFacesOnlyWhenBothExist) {
    Mesh mesh(1);
    fill(mesh, {{0.5f, 0, 0}, {1, 2, 3}, {0, 1, 0}}, {{0, 1, 2}, {2, 1}, {}});
    EXPECT_EQ(stdoutOf([&] { printFirstElements(mesh); }),
              "first vertex: 0.500000 0.000000 0.000000 \n"
              "first face: 0 1 2 \n"
              "second vertex: 1.000000 2.000000 3.000000 \n"
              "second face: 2 1 -1 \n"
              "third vertex: 0.000000 1.000000 0.000000 \n"
              "third face: -1 -1 -1 \n");
    mesh.faces.pop_back();
    EXPECT_EQ(stdoutOf([&] { printFirstElements(mesh); }), "");
}

TEST(BuildEdges, SingleTriangleHasOnlyBoundaryEdges) {
    Mesh mesh(1);
    fill(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    EXPECT_EQ(stdoutOf([&] { mesh.buildEdges(); }), "processed 0 edges in map3\n");
    EXPECT_TRUE(mesh.edges.empty());
}

TEST(BuildEdges, FirstFaceTakesTheFieldOfItsDirection) {
    Mesh mesh(1);
    fill(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {2, 1, 0}});
    EXPECT_EQ(stdoutOf([&] { mesh.buildEdges(); }), "processed 3 edges in map3\n");
    // In the order of the second face's half-edges 2-1, 1-0, 0-2.
    const std::vector<Edge> expected = {
        {0, 1, 1, 2, &mesh}, {0, 1, 0, 1, &mesh}, {1, 0, 0, 2, &mesh}};
    EXPECT_TRUE(sameEdges(mesh.edges, expected));
}

TEST(BuildEdges, EdgeSharedByThreeFacesPairsFirstWithEach) {
    Mesh mesh(1);
    fill(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 1, 1}},
         {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}});
    EXPECT_EQ(stdoutOf([&] { mesh.buildEdges(); }), "processed 2 edges in map7\n");
    const std::vector<Edge> expected = {{0, 1, 0, 1, &mesh}, {0, 2, 0, 1, &mesh}};
    EXPECT_TRUE(sameEdges(mesh.edges, expected));
}

TEST(BuildEdges, NegativeIndicesReportAnOrderProblemPerHalfEdge) {
    Mesh mesh(1);
    fill(mesh, {{0, 0, 0}, {1, 0, 0}}, {{-1, 0, 1}});
    EXPECT_EQ(stdoutOf([&] { mesh.buildEdges(); }),
              "order problem!!!\norder problem!!!\nprocessed 0 edges in map3\n");
}

TEST(BuildEdges, MatchesTheOrderedMapOnGeneratedMeshes) {
    struct Case {
        uint32_t seed;
        int vertices;
        int faces;
        bool negative;
    };
    for (const Case c : {Case{1, 4, 50, false}, Case{2, 30, 400, false}, Case{3, 6, 300, true},
                         Case{4, 300, 3000, true}, Case{5, 1, 20, false}}) {
        Mesh fast(1), reference(1);
        fixtures::randomSoup(fast, c.seed, c.vertices, c.faces, c.negative);
        fixtures::randomSoup(reference, c.seed, c.vertices, c.faces, c.negative);
        const std::string fastOut = stdoutOf([&] { fast.buildEdges(); });
        const std::string referenceOut =
            stdoutOf([&] { fixtures::buildEdgesReference(reference); });
        EXPECT_EQ(fastOut, referenceOut) << "seed " << c.seed;
        for (Edge& e : reference.edges) e.owner = &fast;
        EXPECT_TRUE(sameEdges(fast.edges, reference.edges)) << "seed " << c.seed;
    }
    // Large indices exercise every byte of the packed keys.
    Mesh fast(1), reference(1);
    fill(fast, {}, {{0x7FFFFFF0, 0x10203040, 5}, {5, 0x10203040, 0x7FFFFFF0}, {-7, 5, 0x10203040}});
    fill(reference, {},
         {{0x7FFFFFF0, 0x10203040, 5}, {5, 0x10203040, 0x7FFFFFF0}, {-7, 5, 0x10203040}});
    EXPECT_EQ(stdoutOf([&] { fast.buildEdges(); }),
              stdoutOf([&] { fixtures::buildEdgesReference(reference); }));
    for (Edge& e : reference.edges) e.owner = &fast;
    EXPECT_TRUE(sameEdges(fast.edges, reference.edges));
}

TEST(ReportCounts, GenusOfClosedMeshes) {
    Mesh tetra(1), cube(1), torus(1);
    fixtures::tetrahedron(tetra);
    fixtures::cubeOfQuads(cube);
    std::istringstream text(fixtures::torusText(10, 7));
    readMeshLines(torus, text);
    stdoutOf([&] {
        for (Mesh* m : {&tetra, &cube, &torus}) m->buildEdges();
    });

    EXPECT_EQ(tetra.edgeCount(), 6);
    EXPECT_EQ(tetra.genus(), 0);
    EXPECT_EQ(cube.vertexCount() - cube.edgeCount() + cube.faceCount(), 2);
    EXPECT_EQ(cube.genus(), 0);
    EXPECT_EQ(torus.faceCount(), 140);
    EXPECT_EQ(torus.edgeCount(), 210);
    EXPECT_EQ(torus.genus(), 1);
    // Every paired edge lies in both of its faces.
    for (const Edge& e : torus.edges) {
        for (int32_t f : {e.face0, e.face1}) {
            const IndexList& c = torus.faces[f].vertexIndices;
            int found = 0;
            for (int32_t v : c) found += (v == e.lowVertex) + (v == e.highVertex);
            EXPECT_EQ(found, 2);
        }
    }
}

TEST(ReportCounts, GenusTruncatesTowardZero) {
    Mesh mesh(1);
    // One triangle: V - E + F = 3 - 0 + 1 = 4, (2 - 4) / 2 = -1.
    fill(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    EXPECT_EQ(mesh.genus(), -1);
    // V - E + F = 5: (2 - 5) / 2 truncates to -1, not -2.
    fill(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}});
    EXPECT_EQ(mesh.genus(), -1);
}
