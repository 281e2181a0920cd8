#include <GL/glut.h>

#include "app_fixture.h"

namespace {

void drag(int button, int x0, int y0, int x1, int y1) {
    onMouse(button, GLUT_DOWN, x0, y0);
    onMotion(x0, y0);
    onMotion(x1, y1);
    onMouse(button, GLUT_UP, x1, y1);
}

}  // namespace

class MouseTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        onReshape(700, 700);  // the window as GLUT first shows it
        resetFakeGL();
    }
};

TEST_F(MouseTest, PixelsMapLinearlyOntoTheViewPlane) {
    const Point3 corner = planeProject(0, 0);
    EXPECT_NEAR(corner.x, -2.0029f, 1e-4f);
    EXPECT_NEAR(corner.y, -2.0029f, 1e-4f);
    EXPECT_EQ(corner.z, 0.0f);
    const Point3 far = planeProject(700, 700);
    EXPECT_NEAR(far.x, 2.0f - 4.0f / 700.0f / 2.0f, 1e-5f);
    const Point3 outside = planeProject(-700, 1400);
    EXPECT_NEAR(outside.x, -6.0029f, 1e-4f);
}

TEST_F(MouseTest, TranslateDragMovesEveryObjectByThePlaneDelta) {
    Mesh* a = addTriangleMesh(1);
    Mesh* hidden = addTriangleMesh(2);
    drag(GLUT_LEFT_BUTTON, 100, 300, 170, 300);
    EXPECT_NEAR(a->position.x, 0.4f, 1e-5f);
    EXPECT_NEAR(hidden->position.x, 0.4f, 1e-5f);
    EXPECT_EQ(a->position.y, 0.0f);
    EXPECT_FALSE(dragStarted);
}

TEST_F(MouseTest, CameraDragOrbitsRightAndUp) {
    onMenu(2);
    EXPECT_EQ(interactionMode, ModeCameraRotate);
    const float az = camera.azimuth, el = camera.elevation;
    drag(GLUT_LEFT_BUTTON, 100, 300, 170, 300);
    EXPECT_NEAR(camera.azimuth, az + 0.4f, 1e-5f);
    drag(GLUT_LEFT_BUTTON, 100, 300, 100, 230);  // up: GLUT's y shrinks
    EXPECT_NEAR(camera.elevation, el - 0.4f, 1e-5f);
    onMenu(7);
    EXPECT_EQ(interactionMode, ModeCameraRotate);
    onMenu(1);
    EXPECT_EQ(interactionMode, ModeTranslate);
    EXPECT_TRUE(callsTo("glutPostRedisplay").size() >= 4u);
}

TEST_F(MouseTest, ClickSwitchesToSparsePointsAndBackToTheCounterMode) {
    Mesh* m = addTriangleMesh(1);
    Mesh* lattice = addTriangleMesh(10);
    gridMesh = lattice;
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 10);
    EXPECT_EQ(m->getDisplayMode(), SparsePoints);
    EXPECT_EQ(lattice->getDisplayMode(), SparsePoints);
    EXPECT_TRUE(callsTo("glutPostRedisplay").empty());
    onMouse(GLUT_LEFT_BUTTON, GLUT_UP, 10, 10);
    EXPECT_EQ(m->getDisplayMode(), Flat);  // counter 3 at start
    EXPECT_EQ(lattice->getDisplayMode(), Wireframe);

    onKeyboard('e', 0, 0);
    onKeyboard('e', 0, 0);
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 10);
    onMouse(GLUT_LEFT_BUTTON, GLUT_UP, 10, 10);
    EXPECT_EQ(m->getDisplayMode(), Points);
}

TEST_F(MouseTest, MiddleDragMovesButKeepsModesAndTheDragOpen) {
    Mesh* m = addTriangleMesh(1);
    drag(GLUT_MIDDLE_BUTTON, 100, 300, 170, 300);
    EXPECT_EQ(m->getDisplayMode(), Smooth);
    EXPECT_NEAR(m->position.x, 0.4f, 1e-5f);
    EXPECT_TRUE(dragStarted);
    // The next left drag continues from the middle drag's last point.
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 240, 300);
    onMotion(240, 300);
    EXPECT_NEAR(m->position.x, 0.8f, 1e-5f);
}
