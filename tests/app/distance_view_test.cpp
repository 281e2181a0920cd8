// The viewer's distance tools: the legend's numbers and drawing, picking a
// point with a known camera and its line, framing, the text histogram, and
// saving the window (against the recording GL stand-in).
#include <GL/glut.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>

#include "app/legend.h"
#include "app/snapshot.h"
#include "app/value_histogram.h"
#include "app_fixture.h"
#include "scene/range_grid.h"
#include "test_support.h"

namespace {

std::vector<std::string> labels(const std::vector<LegendTick>& ticks) {
    std::vector<std::string> out;
    for (const LegendTick& t : ticks) out.push_back(t.label);
    return out;
}

// The text drawn with bitmap characters, one string per glRasterPos2f.
std::vector<std::string> drawnTexts() {
    std::vector<std::string> out;
    for (const GLCall& c : glCalls()) {
        if (c.fn == "glRasterPos2f") out.emplace_back();
        if (c.fn == "glutBitmapCharacter" && !out.empty()) out.back() += c.text;
    }
    return out;
}

// A flat 10 x 4 range image in the plane z, points 0.001 apart from (x0, 0),
// baked, with values given per point.
Mesh* addFlatScan(const std::string& name, float x0, float z, std::vector<float> values) {
    auto* m = new Mesh(static_cast<int>(sceneList.size()) + 1);
    m->clearGeometry();
    m->fileName = name;
    m->isRangeGrid = true;
    m->gridCols = 10;
    m->gridRows = 4;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 10; ++col) {
            m->gridIndex.push_back(static_cast<int32_t>(m->vertices.size()));
            m->addVertex(Point3(x0 + 0.001f * col, 0.001f * row, z));
        }
    triangulateRangeGrid(*m, 1);
    m->computeNormals();
    m->bakeWorldPositions();
    m->vertexValues = std::move(values);
    sceneList.push_back(m);
    visibilityFlags.set(sceneList.size() - 1, true);
    return m;
}

// The window pixel of a world point seen by the start-up camera (eye at
// (0, 0, 0.3) looking down -z, 75 degrees, 700 x 700): x_ndc = f x / 0.3 with
// f = 1 / tan(37.5 degrees).
double pixelOf(double coordinate, double depth) {
    const double f = 1.0 / std::tan(37.5 * M_PI / 180.0);
    return (f * coordinate / depth + 1.0) / 2.0 * 700.0;
}

}  // namespace

using DistanceView = AppTest;

TEST_F(DistanceView, LegendTicksAreFourToSixRoundValuesUpToTheMaximum) {
    EXPECT_EQ(labels(legendTicks(0.00142924f)),
              (std::vector<std::string>{"0.00000", "0.00025", "0.00050", "0.00075", "0.00100",
                                        "0.00125"}));
    EXPECT_EQ(labels(legendTicks(0.004f)),
              (std::vector<std::string>{"0.000", "0.001", "0.002", "0.003", "0.004"}));
    // A step of 0.0002 would give seven values: 0.00025 gives five.
    EXPECT_EQ(labels(legendTicks(0.0012f)),
              (std::vector<std::string>{"0.00000", "0.00025", "0.00050", "0.00075", "0.00100"}));
    EXPECT_EQ(labels(legendTicks(7.0f)), (std::vector<std::string>{"0", "2", "4", "6"}));
    EXPECT_TRUE(legendTicks(0.0f).empty());
    EXPECT_TRUE(legendTicks(-1.0f).empty());
    for (float m = 1e-6f; m < 1e4f; m *= 1.37f) {
        const std::vector<LegendTick> t = legendTicks(m);
        EXPECT_GE(t.size(), 4u) << m;
        EXPECT_LE(t.size(), 6u) << m;
        EXPECT_LE(t.back().value, m * (1 + 1e-6)) << m;
    }
}

TEST_F(DistanceView, LegendDrawsTheMapTicksThresholdAndSwatchesAtTheWindowsRightEdge) {
    const DistanceScale scale{0.002f, 0.004f, true};
    drawLegend(scale, 700, 500);
    // Window coordinates, restored afterwards.
    EXPECT_EQ(callsTo("glOrtho")[0].args, (std::vector<double>{0, 700, 0, 500, -1, 1}));
    EXPECT_EQ(callsTo("glPushMatrix").size(), callsTo("glPopMatrix").size());
    EXPECT_EQ(callsTo("glPushAttrib").size(), 1u);
    EXPECT_EQ(callsTo("glPopAttrib").size(), 1u);
    // One band per map entry, bottom (first entry) to top (last).
    const std::vector<GLCall> colours = callsTo("glColor4ubv");
    ASSERT_GE(colours.size(), std::size_t(kColourMapSize));
    for (int i : {0, 128, kColourMapSize - 1}) {
        const ColourRGBA c = colourMapEntry(i);
        EXPECT_EQ(colours[i].args,
                  (std::vector<double>{double(c.r), double(c.g), double(c.b), 255}));
    }
    const LegendLayout l = legendLayout(700, 500);
    EXPECT_EQ(l.barRight, 700 - 90);
    EXPECT_EQ(l.barTop, 500 - 40);
    EXPECT_EQ(legendRow(l, 0.002, 0.004), (l.barBottom + l.barTop + 1) / 2);
    EXPECT_EQ(drawnTexts(),
              (std::vector<std::string>{"distance", "0.000", "0.001", "0.002", "0.003", "0.004",
                                        "threshold 0.002", "unmeasured", "tossed"}));
    // Resized: the bar follows the right edge; tossed points unmarked: no swatch.
    resetFakeGL();
    drawLegend(DistanceScale{0.002f, 0.004f, false}, 1000, 800);
    EXPECT_EQ(callsTo("glOrtho")[0].args[1], 1000.0);
    EXPECT_EQ(drawnTexts().back(), "unmeasured");
    EXPECT_EQ(callsTo("glRasterPos2f")[1].args[0], legendLayout(1000, 800).labelLeft);
}

TEST_F(DistanceView, LegendIsDrawnOnlyWhileColouringByDistance) {
    addTriangleMesh();
    onDisplay();
    EXPECT_TRUE(callsTo("glutBitmapCharacter").empty());
    onKeyboard('m', 0, 0);
    resetFakeGL();
    onDisplay();
    EXPECT_FALSE(callsTo("glutBitmapCharacter").empty());
    EXPECT_EQ(callNames().back(), "glutSwapBuffers");
}

TEST_F(DistanceView, MiddleClickPicksTheNearestShownPointAndPrintsItsLine) {
    // Two scans of a synthetic configuration side by side in the plane z = 0,
    // seen from (0, 0, 0.3); values known per point.
    std::vector<float> a(40, 0.0001f), b(40, -FLT_MAX);
    a[12] = 0.000412f;  // row 1, column 2
    b[3] = 0.00002f;
    addFlatScan("a.ply", -0.01f, 0.0f, a);
    addFlatScan("b.ply", 0.002f, 0.0f, b);
    tossThreshold = 0.0003f;
    camera.zoom(-1.2f);
    onReshape(700, 700);
    camera.applyCamera();

    const double x = pixelOf(-0.01 + 0.002, 0.3), y = pixelOf(0.001, 0.3);
    const PickHit hit = pickPoint(currentPickView(), sceneList, x, y, 1.0, 10.0);
    ASSERT_TRUE(hit.found);
    EXPECT_EQ(hit.object, 0u);
    EXPECT_EQ(hit.vertex, 12u);
    // Through the mouse callback (GLUT's y grows downwards).
    const int gx = static_cast<int>(x), gy = 699 - static_cast<int>(y);
    const std::string line = testing_support::stdoutOf([&] {
        onMouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, gx, gy);
        onMouse(GLUT_MIDDLE_BUTTON, GLUT_UP, gx + 1, gy);
    });
    EXPECT_EQ(line, "scan a.ply point 12 (row 1, column 2): 0.000412 (tossed at 0.000300)\n");
    EXPECT_EQ(pickedPoint.vertex, 12u);
    EXPECT_EQ(testing_support::stdoutOf(
                  [&] { pickAt(static_cast<int>(pixelOf(0.002 + 0.003, 0.3)), 699 - 350); }),
              "scan b.ply point 3 (row 0, column 3): 0.000020 (kept at 0.000300)\n");
    EXPECT_EQ(testing_support::stdoutOf(
                  [&] { pickAt(static_cast<int>(pixelOf(0.002 + 0.005, 0.3)), 699 - 350); }),
              "scan b.ply point 5 (row 0, column 5): unmeasured\n");
    // A dragged middle button picks nothing; a click far from every point clears the mark.
    EXPECT_EQ(testing_support::stdoutOf([&] {
                  onMouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 10, 10);
                  onMouse(GLUT_MIDDLE_BUTTON, GLUT_UP, 40, 10);
              }),
              "");
    EXPECT_EQ(testing_support::stdoutOf([&] { pickAt(10, 10); }), "No point near the pointer\n");
    EXPECT_FALSE(pickedPoint.found);
}

TEST_F(DistanceView, PickPrefersThePointOnTheSurfaceOverOneHiddenBehindIt) {
    addFlatScan("front.ply", 0.0f, 0.0f, std::vector<float>(40, 0.0f));
    addFlatScan("back.ply", 0.0005f, -0.05f, std::vector<float>(40, 0.0f));
    camera.zoom(-1.2f);
    onReshape(700, 700);
    camera.applyCamera();
    const PickView view = currentPickView();
    // Right over a back point, a few pixels from the nearest front point.
    const WindowPoint back = projectToWindow(view, Point3(0.0005f, 0.0f, -0.05f));
    PickHit hit = pickPoint(view, sceneList, back.x, back.y, 1.0, 10.0);
    EXPECT_EQ(hit.object, 1u);  // nothing drawn there: the nearest on screen
    // The front scan's depth under the pointer (z = 0 at distance 0.3).
    const double depth = (15.001 - 2 * 15 * 0.001 / 0.3) / 14.999 / 2 + 0.5;
    hit = pickPoint(view, sceneList, back.x, back.y, depth, 10.0);
    EXPECT_EQ(hit.object, 0u);
    EXPECT_EQ(hit.vertex, 0u);
}

TEST_F(DistanceView, FramingFitsTheShownObjectsInBothProjections) {
    Mesh* m = addFlatScan("s.ply", 0.3f, 0.1f, std::vector<float>(40, 0.0f));
    m->translate(0.01f, 0.0f, 0.0f);
    onReshape(700, 400);
    EXPECT_EQ(testing_support::stdoutOf([] {
                  onKeyboard('f', 0, 0);
              }).rfind("Framed the shown objects", 0),
              0u);
    for (bool ortho : {false, true}) {
        viewState.orthographic = ortho;
        camera.applyCamera();
        const PickView view = currentPickView();
        double lo = 1e9, hi = -1e9;
        for (const Point3& p : m->worldVertices) {
            const WindowPoint w = projectToWindow(view, offsetBy(p, m->position));
            ASSERT_TRUE(w.inside);
            EXPECT_GT(w.x, 0);
            EXPECT_LT(w.x, 700);
            EXPECT_GT(w.y, 0);
            EXPECT_LT(w.y, 400);
            lo = std::min(lo, w.x);
            hi = std::max(hi, w.x);
        }
        EXPECT_GT(hi - lo, 300) << "the scan fills the window, orthographic " << ortho;
    }
    // Nothing shown: nothing changes.
    visibilityFlags.clear();
    const SceneFrame before = sceneFrame;
    EXPECT_EQ(testing_support::stdoutOf([] { onKeyboard('F', 0, 0); }),
              "Nothing to frame: no object is shown\n");
    EXPECT_EQ(sceneFrame.scale, before.scale);
}

TEST_F(DistanceView, TextHistogramCountsTheScansInBinsUpToTheScaleAndMarksTheThreshold) {
    std::vector<float> values = {0.0f, 0.00005f, 0.00015f, 0.00015f, 0.00025f, 0.0009f, -FLT_MAX};
    const Mesh* scan = addFlatScan("a.ply", 0.0f, 0.0f, std::vector<float>(40, -FLT_MAX));
    sceneList[0]->vertexValues.assign(values.begin(), values.end());
    sceneList[0]->vertexValues.resize(40, -FLT_MAX);
    EXPECT_EQ(
        textHistogram({scan}, DistanceScale{0.00015f, 0.0004f, true}, 4),
        "Distances of 6 measured points of 40 (34 unmeasured), threshold 0.000150:\n"
        "  0.000000 - 0.000100          2  ########################################\n"
        "  0.000100 - 0.000200          2  ########################################  <- threshold\n"
        "  0.000200 - 0.000300          1  ####################\n"
        "  0.000300 - 0.000400          0\n"
        "  above 0.000400               1  ####################\n");
}

TEST_F(DistanceView, SavedPicturesTakeTheNextFreeNumberAndAreTheWindowUpsideUp) {
    const std::vector<uint8_t> rows = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};  // 2 x 2, bottom first
    EXPECT_EQ(imageFromWindowRows(rows, 2, 2).bytes(),
              (std::vector<uint8_t>{3, 3, 3, 4, 4, 4, 1, 1, 1, 2, 2, 2}));
    const std::string dir = testing_support::makeTempDir("snapshot");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    testing_support::writeFile("rangeloom-001.png", "someone else's");
    onReshape(300, 200);
    const std::string out = testing_support::stdoutOf([] { onKeyboard('i', 0, 0); });
    const std::string png = testing_support::readFile("rangeloom-002.png");
    const std::string other = testing_support::readFile("rangeloom-001.png");
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(out, "Saved the window as rangeloom-002.png (300 x 200 pixels)\n");
    EXPECT_EQ(other, "someone else's");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\x01\x2c\0\0\0\xc8", 8));  // 300 x 200
    EXPECT_EQ(callsTo("glReadPixels")[0].args,
              (std::vector<double>{0, 0, 300, 200, GL_RGB, GL_UNSIGNED_BYTE}));

    // A folder that is gone: the reason, and nothing written.
    const std::string gone = testing_support::makeTempDir("snapshot-gone");
    ASSERT_EQ(chdir(gone.c_str()), 0);
    ASSERT_EQ(rmdir(gone.c_str()), 0);
    const std::string failed = testing_support::stdoutOf([] { onKeyboard('i', 0, 0); });
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(failed,
              "Could not save the window as rangeloom-001.png: No such file or directory\n");
}

TEST_F(DistanceView, PickIgnoresPositionsThatAreNotNumbers) {
    Mesh* m = addFlatScan("n.ply", 0.0f, 0.0f, std::vector<float>(40, 0.0f));
    for (Point3& p : m->worldVertices) p = Point3(NAN, NAN, NAN);
    camera.zoom(-1.2f);
    onReshape(700, 700);
    camera.applyCamera();
    EXPECT_FALSE(pickPoint(currentPickView(), sceneList, 350, 350, 1.0, 1e9).found);
    EXPECT_EQ(testing_support::stdoutOf([] { onKeyboard('f', 0, 0); }),
              "Nothing to frame: no object is shown\n");
}
