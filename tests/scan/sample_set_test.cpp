// The generated sample set through the whole pipeline: load, analyse, clean.
// Its stray points were lifted off the surface where neighbouring views
// overlap, so the analysis must toss most of them and keep the surface.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "scan/cleaned_writer.h"
#include "scan/overlap_analysis.h"
#include "scan/scan_config.h"
#include "scan_test_support.h"

class SampleSetTest : public ScanTest {
protected:
    void SetUp() override {
        ScanTest::SetUp();
        const std::string command = std::string(RANGELOOM_SAMPLE_TOOL) + " --out " + dir_;
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    // Stray vertex indices per scan file, from the generator's list.
    std::vector<std::set<int>> strays() const {
        std::ifstream in(path("sample.strays"));
        std::vector<std::set<int>> out;
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string name;
            words >> name;
            std::set<int> s;
            for (int v; words >> v;) s.insert(v);
            out.push_back(s);
        }
        return out;
    }
};

TEST_F(SampleSetTest, StraysAreTossedAndTheSurfaceIsKept) {
    const std::string conf = path("sample.conf");
    stdoutOf([&] {
        readIntoScene(conf);
        analyzeOverlap(sceneList, &gridMesh);
    });
    const auto lifted = strays();
    ASSERT_EQ(lifted.size(), sceneList.size());
    int straysTossed = 0, straysTotal = 0;
    for (std::size_t s = 0; s < sceneList.size(); ++s) {
        const Mesh& scan = *sceneList[s];
        int tossed = 0;
        for (std::size_t k = 0; k < scan.vertexValues.size(); ++k) {
            const bool isTossed = scan.vertexValues[k] > tossThreshold;
            tossed += isTossed;
            if (lifted[s].count(static_cast<int>(k))) straysTossed += isTossed;
        }
        straysTotal += static_cast<int>(lifted[s].size());
        EXPECT_LT(tossed, static_cast<int>(scan.vertices.size()) / 10) << "scan " << s;
    }
    EXPECT_GE(straysTossed * 3, straysTotal * 2) << straysTossed << " of " << straysTotal;

    // The cleaned files load back as range images without the tossed points.
    stdoutOf([] { EXPECT_EQ(writeAllCleaned(), 0); });
    for (std::size_t s = 0; s < sceneList.size(); ++s) {
        const auto* scan = static_cast<const PlyMesh*>(sceneList[s]);
        int kept = 0;
        for (float v : scan->vertexValues) kept += !(v > tossThreshold);
        PlyMesh* back = nullptr;
        const std::string cleaned = PlyMesh::cleanedName(scan->fileName);
        stdoutOf([&] { back = loadPly(99, cleaned); });
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(static_cast<int>(back->vertices.size()), kept);
        EXPECT_EQ(back->gridIndex.size(), scan->gridIndex.size());
        EXPECT_EQ(back->gridCols, scan->gridCols);
        delete back;
    }
}

// The fast analysis against the plain, pass-by-pass one on scans that come
// through the whole loader (range images in PLY, placed by a configuration):
// the same values bit for bit and the same transcript.
TEST_F(SampleSetTest, FastAnalysisGivesThePlainValuesAndTranscript) {
    const std::string conf = path("sample.conf");
    std::string transcript[2];
    std::vector<std::vector<float>> values[2];
    for (bool plain : {true, false}) {
        resetScene();
        AnalysisOptions o;
        o.plain = plain;
        o.threads = 2;
        transcript[plain] = stdoutOf([&] {
            readIntoScene(conf);
            analyzeOverlap(sceneList, nullptr, o);
        });
        for (const Mesh* m : sceneList) values[plain].push_back(m->vertexValues);
    }
    EXPECT_EQ(transcript[false], transcript[true]);
    ASSERT_EQ(values[false].size(), values[true].size());
    ASSERT_GE(values[true].size(), 2u);
    for (std::size_t s = 0; s < values[true].size(); ++s) {
        ASSERT_EQ(values[false][s].size(), values[true][s].size());
        EXPECT_EQ(0, std::memcmp(values[false][s].data(), values[true][s].data(),
                                 values[true][s].size() * sizeof(float)))
            << "scan " << s;
    }
}
