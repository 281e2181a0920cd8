#include "app/startup.h"

#include <GL/glut.h>
#include <gtest/gtest.h>

#include "app/view.h"
#include "app/viewer_state.h"
#include "fake_gl.h"
#include "scene/scene_state.h"

namespace {

// Runs the start-up as `rangeloom args...` against the recording stand-in
// and returns what it printed.
std::string runWith(std::vector<std::string> args) {
    resetFakeGL();
    resetViewerState();
    args.insert(args.begin(), "rangeloom");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    testing::internal::CaptureStdout();
    runStartup(static_cast<int>(argv.size()), argv.data());
    return testing::internal::GetCapturedStdout();
}

std::vector<std::string> namesUpTo(const std::string& last) {
    std::vector<std::string> out;
    for (const std::string& n : callNames()) {
        out.push_back(n);
        if (n == last) break;
    }
    return out;
}

}  // namespace

TEST(Extension, LastDotCountsAndCaseIsIgnored) {
    EXPECT_EQ(fileExtension("model.part.m"), ".m");
    EXPECT_EQ(fileExtension("noextension"), "");
    EXPECT_EQ(inputKindOf("scan.PLY"), InputKind::PlyFile);
    EXPECT_EQ(inputKindOf("scan.Ply"), InputKind::PlyFile);
    EXPECT_EQ(inputKindOf("part.M"), InputKind::MeshFile);
    EXPECT_EQ(inputKindOf("set.CONF"), InputKind::ScanConfig);
    EXPECT_EQ(inputKindOf("site.PTX"), InputKind::ScanFile);
    EXPECT_EQ(inputKindOf("site.e57"), InputKind::ScanFile);
    EXPECT_EQ(inputKindOf("site.e57.ply"), InputKind::PlyFile);
    EXPECT_EQ(inputKindOf("model.part.m"), InputKind::MeshFile);
    EXPECT_EQ(inputKindOf("model.obj"), InputKind::None);
    EXPECT_EQ(inputKindOf("model"), InputKind::None);
    EXPECT_EQ(inputKindOf("scan.ply.bak"), InputKind::None);
    EXPECT_EQ(inputKindOf(".m"), InputKind::MeshFile);
}

TEST(Startup, WithoutArgumentPrintsExactlyTheUsageLines) {
    EXPECT_EQ(runWith({}),
              "format is: rangeloom filename\n"
              "Accepts .m, .ply, and .conf files\n");
    EXPECT_TRUE(sceneList.empty());
}

TEST(Startup, UnknownExtensionsLoadNothingAndPrintNothing) {
    EXPECT_EQ(runWith({"model.obj"}), "");
    EXPECT_EQ(runWith({"README"}), "");
    EXPECT_TRUE(sceneList.empty());
}

TEST(Startup, OpensTheWindowAndRegistersCallbacksInOrder) {
    runWith({});
    const std::vector<std::string> expected = {
        "glutInit",         "glutInitDisplayMode", "glutInitWindowSize", "glutInitWindowPosition",
        "glutCreateWindow", "glClearColor",        "glutDisplayFunc",    "glutKeyboardFunc",
        "glutReshapeFunc",  "glutMouseFunc",       "glutMotionFunc",     "glutCreateMenu",
        "glutAddMenuEntry", "glutAddMenuEntry",    "glutAttachMenu",     "glEnable"};
    EXPECT_EQ(namesUpTo("glEnable"), expected);

    EXPECT_EQ(callsTo("glutInitDisplayMode")[0].args[0], 18.0);
    EXPECT_EQ(callsTo("glutInitWindowSize")[0].args, (std::vector<double>{700, 700}));
    EXPECT_EQ(callsTo("glutInitWindowPosition")[0].args, (std::vector<double>{100, 100}));
    EXPECT_EQ(callsTo("glutCreateWindow")[0].text, "Mesh display");
    EXPECT_EQ(callsTo("glClearColor")[0].args, (std::vector<double>{0, 0, 0, 1}));
    EXPECT_EQ(callsTo("glEnable")[0].args[0], GL_DEPTH_TEST);
    const auto menu = callsTo("glutAddMenuEntry");
    EXPECT_EQ(menu[0].text, "Translate");
    EXPECT_EQ(menu[0].args[0], 1.0);
    EXPECT_EQ(menu[1].text, "Rotate");
    EXPECT_EQ(menu[1].args[0], 2.0);
    EXPECT_EQ(callsTo("glutAttachMenu")[0].args[0], GLUT_RIGHT_BUTTON);
}

TEST(Startup, SetsViewVolumeLightsCameraAndEntersTheLoop) {
    runWith({});
    EXPECT_EQ(viewState.width, 500);
    EXPECT_EQ(viewState.height, 500);
    EXPECT_EQ(viewState.left, -2.0f);
    EXPECT_EQ(viewState.right, 2.0f);
    EXPECT_EQ(viewState.bottom, -2.0f);
    EXPECT_EQ(viewState.top, 2.0f);
    EXPECT_EQ(viewState.zNear, 0.001f);
    EXPECT_EQ(viewState.zFar, 15.0f);
    EXPECT_FALSE(viewState.orthographic);
    EXPECT_EQ(camera.distance, 1.5f + -1.2f);
    EXPECT_NEAR(camera.distance, 0.3f, 1e-6f);

    // After the depth test: lights 1 and 2, their colours and positions,
    // lighting, then the main loop.
    std::vector<std::string> tail;
    bool afterDepth = false;
    for (const GLCall& c : glCalls()) {
        if (afterDepth) tail.push_back(c.fn);
        if (c.fn == "glEnable" && c.args[0] == GL_DEPTH_TEST) afterDepth = true;
    }
    const std::vector<std::string> expected = {
        "glEnable",  "glEnable",  "glLightfv", "glLightfv", "glLightfv", "glLightfv",
        "glLightfv", "glLightfv", "glLightfv", "glLightfv", "glEnable",  "glutMainLoop"};
    EXPECT_EQ(tail, expected);

    const auto enables = callsTo("glEnable");
    EXPECT_EQ(enables[1].args[0], GL_LIGHT1);
    EXPECT_EQ(enables[2].args[0], GL_LIGHT2);
    EXPECT_EQ(enables[3].args[0], GL_LIGHTING);

    const auto lights = callsTo("glLightfv");
    ASSERT_EQ(lights.size(), 8u);
    const std::vector<double> ambient = {0.4f, 0.4f, 0.4f, 1.0f};
    const std::vector<double> diffuse = {0.6f, 0.6f, 0.6f, 1.0f};
    const std::vector<double> specular = {0.3f, 0.3f, 0.3f, 1.0f};
    for (int light = 0; light < 2; ++light) {
        const double id = light == 0 ? GL_LIGHT1 : GL_LIGHT2;
        const GLCall* c = &lights[4 * light];
        EXPECT_EQ(c[0].args,
                  (std::vector<double>{id, GL_AMBIENT, ambient[0], ambient[1], ambient[2], 1}));
        EXPECT_EQ(c[1].args,
                  (std::vector<double>{id, GL_DIFFUSE, diffuse[0], diffuse[1], diffuse[2], 1}));
        EXPECT_EQ(c[2].args,
                  (std::vector<double>{id, GL_SPECULAR, specular[0], specular[1], specular[2], 1}));
        const double x = light == 0 ? 1.0 : -1.0;
        EXPECT_EQ(c[3].args, (std::vector<double>{id, GL_POSITION, x, 1, -1, 1}));
    }
}
