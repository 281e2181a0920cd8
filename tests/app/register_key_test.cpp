// The viewer's registration key on a generated scan set moved off its poses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "app/input.h"
#include "app_fixture.h"
#include "scan/scan_config.h"
#include "test_support.h"

namespace {

std::string press(char key) {
    return testing_support::stdoutOf([&] { onKeyboard(static_cast<unsigned char>(key), 0, 0); });
}

std::size_t tossedPoints() {
    std::size_t tossed = 0;
    for (const Mesh* object : sceneList)
        if (object != gridMesh)
            for (float v : object->vertexValues) tossed += v > tossThreshold ? 1 : 0;
    return tossed;
}

}  // namespace

using RegisterKeyTest = AppTest;

TEST_F(RegisterKeyTest, RefinesThePosesAnalysesAgainAndWritesTheConfiguration) {
    EXPECT_EQ(press('g'), "Nothing to register: the viewer did not load a scan configuration\n");

    const std::string dir = testing_support::makeTempDir("register-key");
    const std::string command =
        std::string(RANGELOOM_SAMPLE_TOOL) + " --out " + dir + " --cols 64 --rows 64 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    // Every scan but the first moved 2 mm along x (the threshold is 1.3 mm).
    std::istringstream sample(testing_support::readFile(dir + "/sample.conf"));
    std::string line, start;
    for (int scan = 0; std::getline(sample, line);) {
        std::istringstream words(line);
        std::string keyword, file;
        double tx;
        if (words >> keyword >> file >> tx && keyword == "bmesh" && scan++ > 0) {
            std::ostringstream moved;
            moved << "bmesh " << file << " " << tx + 0.002 << words.rdbuf();
            line = moved.str();
        }
        start += line + "\n";
    }
    testing_support::writeFile(dir + "/start.conf", start);
    testing_support::stdoutOf([&] { loadInput(dir + "/start.conf"); });
    ASSERT_NE(gridMesh, nullptr);
    const std::size_t scans = sceneList.size() - 1;
    const std::size_t before = tossedPoints();
    sceneList[1]->translate(0.5f, 0, 0);  // a drag, which the new pose must keep

    const std::string report = press('g');
    EXPECT_NE(report.find("registered 6 scans of " + dir + "/start.conf in "), std::string::npos)
        << report;
    EXPECT_NE(report.find("Wrote " + dir + "/start.registered.conf\n"), std::string::npos);
    EXPECT_LT(tossedPoints(), before / 2);
    ASSERT_EQ(sceneList.size(), scans + 1);
    EXPECT_EQ(sceneList.back(), gridMesh);
    EXPECT_FALSE(visibilityFlags.isVisible(scans));
    EXPECT_EQ(sceneList[1]->position.x, 0.5f);

    // The scans stand where loading the written configuration places them.
    ScanConfigLoad written;
    testing_support::stdoutOf([&] { written = readScanConfig(dir + "/start.registered.conf"); });
    ASSERT_EQ(written.scans.size(), scans);
    for (std::size_t k = 0; k < scans; ++k) {
        const std::vector<Point3>& a = sceneList[k]->worldVertices;
        const std::vector<Point3>& b = written.scans[k].mesh->worldVertices;
        ASSERT_EQ(a.size(), b.size());
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(Point3)), 0) << k;
    }
}
