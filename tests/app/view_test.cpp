#include <GL/glut.h>

#include <cmath>

#include "app_fixture.h"
#include "scene/materials.h"

using ViewTest = AppTest;

TEST_F(ViewTest, CameraStartsOnThePositiveZAxis) {
    EXPECT_EQ(camera.elevation, 0.0f);
    EXPECT_EQ(camera.azimuth, static_cast<float>(M_PI / 2));
    EXPECT_EQ(camera.distance, 1.5f);
    EXPECT_FALSE(camera.flipped);

    camera.zoom(-1.2f);
    camera.applyCamera();
    const auto look = callsTo("gluLookAt");
    ASSERT_EQ(look.size(), 1u);
    EXPECT_NEAR(look[0].args[0], 0.0, 1e-7);
    EXPECT_EQ(look[0].args[1], 0.0);
    EXPECT_NEAR(look[0].args[2], 0.3, 1e-6);
    EXPECT_EQ(std::vector<double>(look[0].args.begin() + 3, look[0].args.end()),
              (std::vector<double>{0, 0, 0, 0, 1, 0}));
}

TEST_F(ViewTest, UpVectorFlipsOnlyBeyondAQuarterTurnAndBack) {
    for (int i = 0; i < 15; ++i) camera.rotateVertical(0.1f);
    camera.applyCamera();
    EXPECT_EQ(callsTo("gluLookAt").back().args[7], 1.0);
    camera.rotateVertical(0.1f);  // 1.6 > pi/2
    camera.applyCamera();
    EXPECT_EQ(callsTo("gluLookAt").back().args[7], -1.0);
    EXPECT_TRUE(camera.flipped);
    camera.applyCamera();  // stays flipped while outside
    EXPECT_EQ(callsTo("gluLookAt").back().args[7], -1.0);
    camera.rotateVertical(-0.1f);
    camera.applyCamera();
    EXPECT_EQ(callsTo("gluLookAt").back().args[7], 1.0);
    EXPECT_FALSE(camera.flipped);
}

TEST_F(ViewTest, AnglesWrapIntoMinusPiToPi) {
    camera.azimuth = 3.1f;
    camera.rotateHorizontal(0.1f);
    EXPECT_FLOAT_EQ(camera.azimuth, 3.2f - 2.0f * static_cast<float>(M_PI));
    camera.elevation = -3.1f;
    camera.rotateVertical(-0.1f);
    EXPECT_FLOAT_EQ(camera.elevation, -3.2f + 2.0f * static_cast<float>(M_PI));
}

TEST_F(ViewTest, NegativeDistanceLooksFromTheOtherSide) {
    camera.zoom(-2.0f);  // 1.5 - 2 = -0.5
    camera.applyCamera();
    EXPECT_NEAR(callsTo("gluLookAt")[0].args[2], -0.5, 1e-6);
}

TEST_F(ViewTest, ReshapeBuildsPerspectiveOrOrthographicFromTheWindowSize) {
    onReshape(700, 400);
    EXPECT_EQ(viewState.left, -3.5f);
    EXPECT_EQ(viewState.right, 3.5f);
    EXPECT_EQ(viewState.bottom, -2.0f);
    EXPECT_EQ(viewState.top, 2.0f);
    std::vector<std::string> expected = {"glMatrixMode", "glLoadIdentity", "gluPerspective",
                                         "glMatrixMode", "glViewport",     "glutPostRedisplay"};
    EXPECT_EQ(callNames(), expected);
    const auto persp = callsTo("gluPerspective")[0].args;
    EXPECT_EQ(persp[0], 75.0);
    EXPECT_EQ(persp[1], 1.75);
    EXPECT_EQ(persp[2], 0.001f);
    EXPECT_EQ(persp[3], 15.0);
    EXPECT_EQ(callsTo("glMatrixMode")[0].args[0], GL_PROJECTION);
    EXPECT_EQ(callsTo("glMatrixMode")[1].args[0], GL_MODELVIEW);
    EXPECT_EQ(callsTo("glViewport")[0].args, (std::vector<double>{0, 0, 700, 400}));

    resetFakeGL();
    viewState.orthographic = true;
    onReshape(700, 400);
    EXPECT_EQ(callsTo("glOrtho")[0].args, (std::vector<double>{-3.5, 3.5, -2, 2, 0.001f, 15}));
    EXPECT_TRUE(callsTo("gluPerspective").empty());
}

TEST_F(ViewTest, ReshapeToZeroHeightKeepsTheLastProjection) {
    onReshape(700, 400);
    resetFakeGL();
    onReshape(700, 0);
    EXPECT_TRUE(glCalls().empty());
    EXPECT_EQ(viewState.height, 400);
    EXPECT_EQ(viewState.left, -3.5f);
    EXPECT_TRUE(std::isfinite(viewState.right));
}

TEST_F(ViewTest, DisplayClearsPlacesTheCameraDrawsAndSwaps) {
    onDisplay();
    const std::vector<std::string> expected = {"glClear",        "glMatrixMode", "glLoadIdentity",
                                               "glPushMatrix",   "gluLookAt",    "glPopMatrix",
                                               "glutSwapBuffers"};
    EXPECT_EQ(callNames(), expected);
    EXPECT_EQ(callsTo("glClear")[0].args[0], GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

TEST_F(ViewTest, CornerMarkersAreShiftedByTheFirstObjectAndDrawnEvenWhenAllAreHidden) {
    Mesh* m = addTriangleMesh();
    m->worldVertices = {Point3(-1, 2, 3), Point3(4, -5, 6)};
    sceneBounds.extendBy(*m);
    m->translate(0.5f, 0.0f, 0.0f);
    drawScene();
    // Hidden object: only the markers.
    EXPECT_EQ(callsTo("glBegin").size(), 1u);
    EXPECT_EQ(callsTo("glBegin")[0].args[0], GL_POINTS);
    EXPECT_EQ(callsTo("glPointSize")[0].args[0], 20.0);
    EXPECT_EQ(callsTo("glTranslatef")[0].args, (std::vector<double>{0.5, 0, 0}));
    const auto corners = callsTo("glVertex3f");
    ASSERT_EQ(corners.size(), 8u);
    EXPECT_EQ(corners[0].args, (std::vector<double>{-1, 2, 3}));
    EXPECT_EQ(corners[5].args, (std::vector<double>{4, 2, 6}));
    EXPECT_EQ(corners[7].args, (std::vector<double>{-1, -5, 6}));
    const auto mat = callsTo("glMaterialfv");
    EXPECT_EQ(mat[1].args[2], cornerMaterial.diffuse.x);
    EXPECT_EQ(callsTo("glPushMatrix").size(), callsTo("glPopMatrix").size());
}

TEST_F(ViewTest, OnlyObjectsWithTheirFlagSetAreDrawn) {
    addTriangleMesh(1);
    addTriangleMesh(2);
    visibilityFlags.set(1, true);
    drawScene();
    // Markers, then one polygon of the second object only.
    EXPECT_EQ(callsTo("glBegin").size(), 2u);
    EXPECT_EQ(callsTo("glBegin")[1].args[0], GL_POLYGON);
}

TEST_F(ViewTest, ObjectsBeyondTheTenKeyedIndicesAreDrawnWhenFlagged) {
    for (int i = 0; i < 12; ++i) addTriangleMesh(i + 1);
    visibilityFlags.set(11, true);
    drawScene();
    EXPECT_EQ(callsTo("glBegin").size(), 2u);
    EXPECT_FALSE(visibilityFlags.isVisible(10));
    EXPECT_FALSE(visibilityFlags.isVisible(1000));
}
