#include "scan/overlap_analysis.h"

#include <gtest/gtest.h>

#include <cstring>

#include "scan/lattice_mesh.h"
#include "scan_fixtures.h"
#include "scene/unmeasured.h"
#include "test_support.h"

using namespace scan_fixtures;

namespace {

std::string analyse(const std::vector<std::unique_ptr<Mesh>>& scans, Mesh** lattice,
                    AnalysisOptions options = AnalysisOptions()) {
    return testing_support::stdoutOf([&] { analyzeOverlap(raw(scans), lattice, options); });
}

// A one-point "scan" (no faces) at p.
std::unique_ptr<Mesh> pointScan(int id, const Point3& p) {
    auto m = std::make_unique<Mesh>(id);
    m->clearGeometry();
    m->addVertex(p);
    m->bakeWorldPositions();
    return m;
}

std::vector<std::unique_ptr<Mesh>> targetAndSquare(const Point3& target) {
    std::vector<std::unique_ptr<Mesh>> scans;
    scans.push_back(pointScan(1, target));
    auto square = std::make_unique<Mesh>(2);
    square->clearGeometry();
    for (const Point3& p :
         {Point3(0, 0, 0), Point3(0.002f, 0, 0), Point3(0.002f, 0.002f, 0), Point3(0, 0.002f, 0)})
        square->addVertex(p);
    Face f(square.get(), Vec4(0, 0, 0, 1));
    f.vertexIndices = {0, 1, 2, 3};
    square->faces.push_back(f);
    square->bakeWorldPositions();
    scans.push_back(std::move(square));
    return scans;
}

}  // namespace

TEST(OverlapAnalysis, OneScanHasNoPassButGetsItsLattice) {
    Random random(1);
    std::vector<std::unique_ptr<Mesh>> scans;
    scans.push_back(makeScan(1, ScanShape(), random));
    Mesh* lattice = nullptr;
    EXPECT_EQ(analyse(scans, &lattice), "");
    for (float v : scans[0]->vertexValues) EXPECT_EQ(v, kUnmeasured);
    ASSERT_NE(lattice, nullptr);
    EXPECT_EQ(lattice->getId(), 10);
    EXPECT_EQ(lattice->getDisplayMode(), Wireframe);
    delete lattice;
}

TEST(OverlapAnalysis, PassesComeInPairsForEveryTwoScans) {
    Random random(2);
    std::vector<std::unique_ptr<Mesh>> scans;
    for (int i = 0; i < 3; ++i) scans.push_back(makeScan(i + 1, ScanShape(), random));
    const std::string out = analyse(scans, nullptr);
    std::vector<std::string> headings;
    for (std::size_t at = out.find("Analyzing image"); at != std::string::npos;
         at = out.find("Analyzing image", at + 1))
        headings.push_back(out.substr(at, out.find('\n', at) - at));
    const std::vector<std::string> expected = {
        "Analyzing image 0 based on image 1", "Analyzing image 1 based on image 0",
        "Analyzing image 0 based on image 2", "Analyzing image 2 based on image 0",
        "Analyzing image 1 based on image 2", "Analyzing image 2 based on image 1"};
    EXPECT_EQ(headings, expected);
}

TEST(OverlapAnalysis, ProgressRewritesTheFigurePerLayer) {
    EXPECT_EQ(passProgressText(0, 1, 3),
              "\nAnalyzing image 0 based on image 1\n"
              "Analyzing buckets...00%\b\b\b00%\b\b\b50%\b\b\b100%");
    // A single layer has no fraction to show: it reports completion.
    EXPECT_EQ(passProgressText(1, 0, 1),
              "\nAnalyzing image 1 based on image 0\nAnalyzing buckets...00%\b\b\b100%");
    // Figures are truncated: 1/6 of the way is 16, not 17.
    EXPECT_NE(passProgressText(0, 1, 7).find("\b\b\b16%"), std::string::npos);
}

// Up to a thousand layers every layer shows its figure; beyond (scans
// kilometres apart make millions), only the figures that change.
TEST(OverlapAnalysis, ProgressOfADeepLatticeShowsOnlyFiguresThatChange) {
    auto figures = [](const std::string& text) {
        std::vector<std::string> shown;
        for (std::size_t at = text.find("\b\b\b"); at != std::string::npos;
             at = text.find("\b\b\b", at + 3))
            shown.push_back(text.substr(at + 3, text.find('%', at) - at - 3));
        return shown;
    };
    EXPECT_EQ(figures(passProgressText(0, 1, 1000)).size(), 1000u);
    const std::vector<std::string> deep = figures(passProgressText(0, 1, 5000000));
    ASSERT_EQ(deep.size(), 100u);  // 01 to 100: 00 is on the line already
    EXPECT_EQ(deep.front(), "01");
    EXPECT_EQ(deep.back(), "100");
    for (std::size_t i = 1; i < deep.size(); ++i) EXPECT_NE(deep[i], deep[i - 1]);
}

TEST(OverlapAnalysis, PointOnACornerOfTheOtherScanGetsZero) {
    auto scans = targetAndSquare(Point3(0.002f, 0, 0));
    analyse(scans, nullptr);
    EXPECT_EQ(scans[0]->vertexValues[0], 0.0f);
}

TEST(OverlapAnalysis, PointOverAPolygonIsMeasuredToItsOutlineNotItsPlane) {
    auto scans = targetAndSquare(Point3(0.001f, 0.0005f, 0.0003f));
    analyse(scans, nullptr);
    const float toSide = Vec3(0, 0.0005f, 0.0003f).length();
    EXPECT_FLOAT_EQ(scans[0]->vertexValues[0], toSide);
    EXPECT_GT(scans[0]->vertexValues[0], 0.0003f);
}

TEST(OverlapAnalysis, PolygonsCountOnlyInTheCellOfTheirCentroid) {
    // The big triangle's centroid lies in cell 0; the point lies on it in cell 1.
    std::vector<std::unique_ptr<Mesh>> scans;
    scans.push_back(pointScan(1, Point3(0.0026f, 0.0001f, 0)));
    scans.push_back(
        makeTriangles(2, {Point3(0, 0, 0), Point3(0.004f, 0, 0), Point3(0, 0.002f, 0)}));
    analyse(scans, nullptr);
    EXPECT_EQ(scans[0]->vertexValues[0], kUnmeasured);
    // The triangle's own corners lie in cells without other-scan polygons.
    for (float v : scans[1]->vertexValues) EXPECT_EQ(v, kUnmeasured);
}

TEST(OverlapAnalysis, LatticeMeshHasOutlinesInPlanesOfConstantZAndX) {
    // Extents 0.004 x 0.006 x 0: 2 x 3 x 1 cells.
    std::vector<std::unique_ptr<Mesh>> scans;
    scans.push_back(pointScan(1, Point3(0, 0, 0)));
    scans.push_back(pointScan(2, Point3(0.004f, 0.006f, 0)));
    Mesh* out = nullptr;
    analyse(scans, &out);
    auto* lattice = dynamic_cast<LatticeMesh*>(out);
    ASSERT_NE(lattice, nullptr);
    ASSERT_TRUE(lattice->buildGeometry());
    EXPECT_EQ(lattice->worldVertices.size(), 24u);
    ASSERT_EQ(lattice->faces.size(), 21u);
    EXPECT_TRUE(lattice->vertices.empty());
    EXPECT_TRUE(lattice->edges.empty());
    int constantZ = 0, constantX = 0;
    for (const Face& f : lattice->faces) {
        ASSERT_EQ(f.vertexIndices.size(), 4u);
        EXPECT_EQ(f.owner, lattice);
        const Point3& a = lattice->worldVertices[f.vertexIndices[0]];
        const Point3& c = lattice->worldVertices[f.vertexIndices[2]];
        if (a.z == c.z) ++constantZ;
        if (a.x == c.x) ++constantX;
    }
    EXPECT_EQ(constantZ, 12);
    EXPECT_EQ(constantX, 9);
    EXPECT_FLOAT_EQ(lattice->worldVertices[23].x, 0.005f);
    EXPECT_FLOAT_EQ(lattice->worldVertices[23].z, 0.0025f);
    delete out;
}

TEST(OverlapAnalysis, LatticeFacesKeepTheDefaultMaterialUntilTheWholeMeshGetsOne) {
    std::vector<std::unique_ptr<Mesh>> scans;
    scans.push_back(pointScan(1, Point3(0, 0, 0)));
    Mesh* out = nullptr;
    analyse(scans, &out);
    auto* lattice = static_cast<LatticeMesh*>(out);
    lattice->buildGeometry();
    EXPECT_EQ(lattice->faces[0].material.shininess, Material().shininess);
    EXPECT_NE(lattice->material.shininess, Material().shininess);
    delete out;

    // A material given before the faces exist reaches them when they are built.
    analyse(scans, &out);
    Material red(Vec4(1, 0, 0, 1), Vec4(1, 0, 0, 1), Vec4(1, 0, 0, 1), 42.0f);
    out->setMaterial(red);
    static_cast<LatticeMesh*>(out)->buildGeometry();
    EXPECT_EQ(out->faces[0].material.shininess, 42.0f);
    delete out;
}

TEST(OverlapAnalysis, ScansWithoutPointsAreNotAnalysed) {
    std::vector<std::unique_ptr<Mesh>> scans;
    scans.push_back(std::make_unique<Mesh>(1));
    scans.push_back(std::make_unique<Mesh>(2));
    Mesh* lattice = nullptr;
    EXPECT_EQ(analyse(scans, &lattice), "No scan has points: nothing to analyse.\n");
    EXPECT_EQ(lattice, nullptr);
}

TEST(OverlapAnalysis, AnAbsurdlyLargeSceneIsReportedAndSkipped) {
    std::vector<std::unique_ptr<Mesh>> scans;
    scans.push_back(pointScan(1, Point3(-1e30f, 0, 0)));
    scans.push_back(pointScan(2, Point3(1e30f, 0, 0)));
    Mesh* lattice = nullptr;
    const std::string out = analyse(scans, &lattice);
    EXPECT_NE(out.find("too large for the analysis lattice"), std::string::npos) << out;
    EXPECT_EQ(lattice, nullptr);
    EXPECT_EQ(scans[0]->vertexValues[0], kUnmeasured);
}

TEST(OverlapAnalysis, ScansMetresApartRunInOccupiedCellsOnly) {
    // A dense lattice here would be 800 x 800 x 800 cells per grid per scan.
    Random random(3);
    std::vector<std::unique_ptr<Mesh>> scans;
    ScanShape near;
    scans.push_back(makeScan(1, near, random));
    scans.push_back(makeScan(2, near, random, Quaternion(), Vec3(0, 0, 0.0002f)));
    ScanShape far = near;
    far.originX = far.originY = 2.0f;
    far.bend = 0.0f;
    far.height = 2.0f;
    scans.push_back(makeScan(3, far, random));
    Mesh* out = nullptr;
    analyse(scans, &out);
    int measured = 0;
    for (float v : scans[0]->vertexValues) measured += isMeasured(v);
    EXPECT_GT(measured, 0);
    for (float v : scans[2]->vertexValues) EXPECT_EQ(v, kUnmeasured);
    // Its lattice would be too large to draw: declined once, with a message.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(static_cast<LatticeMesh*>(out)->buildGeometry());
    EXPECT_FALSE(static_cast<LatticeMesh*>(out)->buildGeometry());
    const std::string msg = testing::internal::GetCapturedStdout();
    EXPECT_EQ(msg.rfind("The lattice of 80", 0), 0u) << msg;
    EXPECT_EQ(msg.find("too large to draw; it is not shown.\n"), msg.size() - 36) << msg;
    EXPECT_TRUE(out->faces.empty());
    delete out;
}
