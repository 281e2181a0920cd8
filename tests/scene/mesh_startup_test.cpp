// Start-up with a .m file on the command line, against the recording GL
// stand-in: the console transcript is the end-to-end golden file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/startup.h"
#include "app/viewer_state.h"
#include "fake_gl.h"
#include "scene/scene_state.h"
#include "test_support.h"

namespace {

// Runs `rangeloom name` from the folder dir and returns what it printed.
std::string runIn(const std::string& dir, std::string name) {
    resetFakeGL();
    resetViewerState();
    char cwd[4096];
    EXPECT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(chdir(dir.c_str()), 0);
    std::string program = "rangeloom";
    char* argv[] = {program.data(), name.data()};
    testing::internal::CaptureStdout();
    runStartup(2, argv);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(chdir(cwd), 0);
    return out;
}

}  // namespace

TEST(MeshStartup, LoadsTheMeshHiddenInSmoothModeWithTheGoldenTranscript) {
    const std::string dir = testing_support::testDataPath("e2e/data");
    EXPECT_EQ(runIn(dir, "tetra.m"), testing_support::readFile(dir + "/tetra.m.stdout"));
    ASSERT_EQ(sceneList.size(), 1u);
    Mesh* mesh = sceneList[0];
    EXPECT_EQ(mesh->getId(), 1);
    EXPECT_EQ(mesh->getDisplayMode(), Smooth);
    EXPECT_FALSE(visibilityFlags.isVisible(0));
    // Centring the scene cancels the loader's own translation.
    EXPECT_EQ(mesh->position.x, 0.0f);
    EXPECT_EQ(mesh->position.z, 0.0f);
    resetViewerState();
}

TEST(MeshStartup, UnreadableFileIsReportedAndNotAdded) {
    const std::string dir = testing_support::makeTempDir("startup");
    EXPECT_EQ(runIn(dir, "absent.M"),
              "Reading coordinates from absent.M\n"
              "Could not open file absent.M\n"
              "file absent.M\n");
    EXPECT_TRUE(sceneList.empty());
}
