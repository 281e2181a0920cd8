// Drawing while the camera moves, against the recording GL stand-in: a held
// key or a drag over a scene above the limit draws every k-th face or point on every
// path, and the still picture comes back unchanged after the pause or the
// release.
#include "app/motion.h"

#include <GL/glut.h>

#include <cstdlib>

#include "app_fixture.h"
#include "scene/draw_path.h"

namespace {

// A 10 x 10 grid of positions and its 162 triangles.
Mesh* addGrid() {
    auto* m = new Mesh(1);
    for (int i = 0; i < 100; ++i) m->addVertex(Point3(float(i % 10), float(i / 10), 0.0f));
    for (int a = 0; a < 89; ++a) {
        if (a % 10 == 9) continue;
        Face f(m, Vec4(0, 0, 1, 1)), g(m, Vec4(0, 0, 1, 1));
        f.vertexIndices = {a, a + 1, a + 11};
        g.vertexIndices = {a, a + 11, a + 10};
        m->faces.push_back(f);
        m->faces.push_back(g);
    }
    m->computeNormals();
    sceneList.push_back(m);
    visibilityFlags.set(0, true);
    return m;
}

// The mesh's primitives of one frame (the corner markers left out).
std::vector<DrawnPrimitive> frame() {
    clearDrawnPrimitives();
    onDisplay();
    std::vector<DrawnPrimitive> out;
    for (const DrawnPrimitive& p : drawnPrimitives())
        if (!(p.kind == GL_POINTS && p.pointSize == 20.0f)) out.push_back(p);
    return out;
}

// The points of a frame, by x + 10 y of each position.
std::vector<int> pointsOf(const std::vector<DrawnPrimitive>& primitives) {
    std::vector<int> out;
    for (const DrawnPrimitive& p : primitives) {
        if (p.kind != GL_POINTS) return {-1};  // anything but points
        out.push_back(int(p.vertices[0].position[0] + 10 * p.vertices[0].position[1]));
    }
    return out;
}

void key(unsigned char k, int atMs) {
    fakeGlut().elapsedMs = atMs;
    onKeyboard(k, 0, 0);
}

// Fires the timers asked for so far; true when one asked for a frame.
bool firePauses() {
    const std::size_t before = callsTo("glutPostRedisplay").size();
    const auto timers = fakeGlut().timers;
    fakeGlut().timers.clear();
    for (const auto& t : timers) t.first(t.second);
    return callsTo("glutPostRedisplay").size() > before;
}

class MotionTest : public AppTest {
protected:
    void TearDown() override {
        resetDrawPath();
        AppTest::TearDown();
    }
};

}  // namespace

TEST_F(MotionTest, HeldKeyDrawsEveryKthFaceUntilThePause) {
    Mesh* grid = addGrid();
    decimateAbove = 40;  // 162 triangles: every 5th
    std::vector<DrawnPrimitive> thinned[2];
    for (int mode : {Smooth, Wireframe})
        for (DrawPath path : {DrawPath::Immediate, DrawPath::BufferObjects}) {
            const std::string what =
                std::string(drawPathName(path)) + " mode " + std::to_string(mode);
            resetMotion();
            setDrawPath(path);
            grid->setDisplayMode(mode);
            const std::vector<DrawnPrimitive> still = frame();
            key('a', 1000);  // one press: the full picture
            EXPECT_TRUE(frame() == still) << what;
            EXPECT_TRUE(fakeGlut().timers.empty());
            key('a', 1030);  // its repeats
            key('a', 1060);
            // Faces 0, 5, ... 160, the same on both paths.
            thinned[path == DrawPath::BufferObjects] = frame();
            EXPECT_EQ(thinned[path == DrawPath::BufferObjects].size(), mode == Smooth ? 33u : 99u)
                << what;
            if (path == DrawPath::BufferObjects) {
                EXPECT_TRUE(thinned[0] == thinned[1]) << what;
            }
            // The pause after the first repeat is stale; the last one redraws in full.
            ASSERT_EQ(fakeGlut().timers.size(), 2u);
            EXPECT_TRUE(firePauses());
            EXPECT_TRUE(frame() == still) << what;
        }
    // Within the limit, motion changes nothing.
    decimateAbove = 162;
    const std::vector<DrawnPrimitive> still = frame();
    key('w', 5000);
    key('w', 5010);
    EXPECT_TRUE(frame() == still);
}

TEST_F(MotionTest, DragOverALargeSceneThinsTheSparsePointsUntilRelease) {
    addGrid();
    displayModeCounter = 4;  // the release restores Smooth
    const std::vector<DrawnPrimitive> still = frame();
    decimateAbove = 2;  // the drag's 5 sparse points: every 3rd of them
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
    onMotion(110, 100);
    EXPECT_EQ(pointsOf(frame()), (std::vector<int>{0, 60}));
    onMouse(GLUT_LEFT_BUTTON, GLUT_UP, 110, 100);
    EXPECT_TRUE(frame() == still);
    // Picking and saving draw full frames: only the displayed frame thins.
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
    clearDrawnPrimitives();
    drawFrame();
    EXPECT_EQ(drawnPrimitives().size(), 8u + 5u);
    onMouse(GLUT_LEFT_BUTTON, GLUT_UP, 100, 100);
}

TEST_F(MotionTest, LimitFromTheEnvironment) {
    std::size_t limit = 7;
    EXPECT_TRUE(parseDecimateAbove("0", &limit) && limit == 0u);
    for (const char* bad : {"", "-1", "2e6", "1 000", "9999999999999999999"})
        EXPECT_FALSE(parseDecimateAbove(bad, &limit)) << bad;
    setenv(kDecimateVariable, "lots", 1);
    testing::internal::CaptureStderr();
    readDecimateSetting();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "RANGELOOM_DECIMATE_ABOVE=lots is not a whole number: scenes over 2000000 "
              "triangles or points are drawn decimated while the camera moves\n");
    setenv(kDecimateVariable, "300", 1);
    readDecimateSetting();
    EXPECT_EQ(decimateAbove, 300u);
    unsetenv(kDecimateVariable);
}
