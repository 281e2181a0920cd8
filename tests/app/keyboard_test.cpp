#include <GL/glut.h>

#include <sstream>

#include "app_fixture.h"
#include "scene/materials.h"
#include "test_support.h"

namespace {

std::string press(const std::string& keys) {
    return testing_support::stdoutOf([&] {
        for (char k : keys) onKeyboard(static_cast<unsigned char>(k), 0, 0);
    });
}

}  // namespace

using KeyboardTest = AppTest;

TEST_F(KeyboardTest, ThresholdStepsByATenthOfItsValueAtTheFirstKeyPress) {
    EXPECT_EQ(press("T"), "Toss threshold is 0.002200\n");
    EXPECT_EQ(press("t"), "Toss threshold is 0.002000\n");
    // The step stays fixed: three more steps up, still 0.0002 each.
    EXPECT_EQ(
        press("TTT"),
        "Toss threshold is 0.002200\nToss threshold is 0.002400\nToss threshold is 0.002600\n");
}

TEST_F(KeyboardTest, StepIsFixedByWhateverKeyComesFirst) {
    tossThreshold = 0.005f;
    press("j");  // no action, but it fixes the step
    tossThreshold = 1.0f;
    EXPECT_EQ(press("T"), "Toss threshold is 1.000500\n");
    // It may go below zero.
    tossThreshold = 0.0002f;
    EXPECT_EQ(press("tt"), "Toss threshold is -0.000300\nToss threshold is -0.000800\n");
}

TEST_F(KeyboardTest, DisplayModeKeyCyclesAllObjectsButTheLatticeStaysWireframe) {
    Mesh* scan = addTriangleMesh(1);
    Mesh* lattice = addTriangleMesh(10);
    gridMesh = lattice;
    std::vector<int> modes;
    for (int i = 0; i < 5; ++i) {
        press("e");
        modes.push_back(scan->getDisplayMode());
        EXPECT_EQ(lattice->getDisplayMode(), Wireframe);
    }
    EXPECT_EQ(modes, (std::vector<int>{4, 0, 1, 2, 3}));
}

TEST_F(KeyboardTest, KeysWithoutActionStillResetTheLatticeAndRedraw) {
    Mesh* lattice = addTriangleMesh(10);
    gridMesh = lattice;
    lattice->setDisplayMode(SparsePoints);
    press(" ");
    EXPECT_EQ(lattice->getDisplayMode(), Wireframe);
    EXPECT_EQ(callsTo("glutPostRedisplay").size(), 1u);
}

TEST_F(KeyboardTest, MaterialKeyAlternatesPerIndexAndSharedMaterials) {
    std::vector<Mesh*> objects;
    for (int i = 0; i < 10; ++i) objects.push_back(addTriangleMesh(i + 1));
    press("c");
    EXPECT_FALSE(uniformMaterial);
    EXPECT_EQ(objects[0]->material.diffuse.x, materialPalette[0].diffuse.x);
    EXPECT_EQ(objects[3]->material.diffuse.y, materialPalette[3].diffuse.y);
    EXPECT_EQ(objects[9]->material.shininess, materialPalette[8].shininess);
    // The faces carry the material they are drawn with.
    EXPECT_EQ(objects[9]->faces[0].material.shininess, materialPalette[8].shininess);
    press("C");
    for (Mesh* m : objects) EXPECT_EQ(m->material.shininess, materialPalette[0].shininess);
}

TEST_F(KeyboardTest, NumberKeysToggleTheFirstTenFlagsWithOrWithoutObjects) {
    addTriangleMesh();
    press("1");
    EXPECT_TRUE(visibilityFlags.isVisible(0));
    press("1");
    EXPECT_FALSE(visibilityFlags.isVisible(0));
    press("90");
    EXPECT_TRUE(visibilityFlags.isVisible(8));
    EXPECT_TRUE(visibilityFlags.isVisible(9));
}

TEST_F(KeyboardTest, CameraKeysOrbitAndZoom) {
    const float az = camera.azimuth, el = camera.elevation, dist = camera.distance;
    press("a");
    EXPECT_FLOAT_EQ(camera.azimuth, az - 0.1f);
    press("SS");
    EXPECT_FLOAT_EQ(camera.azimuth, az + 0.1f);
    press("w");
    EXPECT_FLOAT_EQ(camera.elevation, el - 0.1f);
    press("Z");
    EXPECT_FLOAT_EQ(camera.elevation, el);
    press("d");
    EXPECT_FLOAT_EQ(camera.distance, dist + 0.1f);
    press("D");
    EXPECT_FLOAT_EQ(camera.distance, dist + 0.11f);
    press("x");
    EXPECT_FLOAT_EQ(camera.distance, dist + 0.01f);
    press("X");
    EXPECT_FLOAT_EQ(camera.distance, dist);
}

TEST_F(KeyboardTest, ProjectionKeySwitchesAtOnce) {
    onReshape(700, 400);
    resetFakeGL();
    press("v");
    EXPECT_TRUE(viewState.orthographic);
    ASSERT_EQ(callsTo("glOrtho").size(), 1u);
    EXPECT_EQ(callsTo("glOrtho")[0].args[0], -3.5);
    press("V");
    EXPECT_EQ(callsTo("gluPerspective").size(), 1u);
}

TEST_F(KeyboardTest, ResetAndHighlightKeys) {
    Mesh* m = addTriangleMesh();
    m->translate(1, 2, 3);
    m->scale(2, 2, 2);
    press("r");
    EXPECT_EQ(m->position.x, 0.0f);
    EXPECT_EQ(m->scaleFactors.y, 1.0f);
    press("b");
    EXPECT_FALSE(showTossedPoints);
    press("B");
    EXPECT_TRUE(showTossedPoints);
}

TEST_F(KeyboardTest, QuitEndsWithStatusZero) {
    EXPECT_EXIT(onKeyboard('q', 0, 0), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(onKeyboard('Q', 0, 0), testing::ExitedWithCode(0), "");
}

TEST_F(KeyboardTest, HelpTextMatchesItsGoldenCopyAndLineWidths) {
    const std::string text = press("h");
    EXPECT_EQ(text, testing_support::readFile(testing_support::testDataPath("app/data/help.txt")));
    std::istringstream lines(text);
    std::string line;
    int n = 0, headings = 0;
    while (std::getline(lines, line)) {
        ++n;
        if (n == 6) {
            EXPECT_EQ(line, "") << "the banner is followed by an empty line";
            continue;
        }
        if (line.find("// * ") != std::string::npos) {
            ++headings;
            EXPECT_EQ(line.size(), 59u) << line;
            EXPECT_EQ(line.compare(0, 20, std::string(20, ' ')), 0) << line;
            EXPECT_EQ(line.substr(line.find_last_not_of(' ') - 1, 2), "\\\\") << line;
        } else {
            EXPECT_EQ(line.size(), 61u) << "line " << n << ": '" << line << "'";
        }
    }
    EXPECT_EQ(headings, 4);
    // Banner and empty line, the 27 original lines, then the 9 of the keys added since.
    EXPECT_EQ(n, 6 + 27 + 9);
}
