// Cleaning in slabs against cleaning in memory: a generated campaign whose
// scans straddle many slab borders gives the same values (the exports hold
// them as float bits), the same cleaned files and the same table, on one
// thread and on two; damaged work files are named, never trusted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "clean/clean_run.h"
#include "scan/ply_mesh.h"
#include "scene/scene_state.h"
#include "slab/slab_files.h"
#include "slab/slab_ops.h"
#include "test_support.h"

namespace {

using testing_support::filesIn;
using testing_support::makeTempDir;
using testing_support::readFile;
using testing_support::writeFile;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

class Slabs : public testing::Test {
protected:
    // Five overlapping scans of 60 x 60 points of a room, each about a dozen
    // lattice layers long along the path.
    static void SetUpTestSuite() {
        campaign_ = new std::string(makeTempDir("slab-campaign"));
        const std::string command = std::string(RANGELOOM_BINARY_DIR) +
                                    "/tools/campaign/rangeloom-campaign " + *campaign_ +
                                    " --stations 5 --raster 60x60 --scene room --threads 1 "
                                    ">/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite() { delete campaign_; }
    void SetUp() override { resetSceneState(); }
    void TearDown() override { resetSceneState(); }

    static CleanOptions options(const std::string& out) {
        CleanOptions o;
        o.config = *campaign_ + "/campaign.conf";
        o.outFolder = out;
        o.exportValues = true;
        o.histogramFile = out + "/histogram.csv";
        return o;
    }

    // The three steps; the table said on out.
    static CleanStatus inSlabs(const CleanOptions& o, const std::string& work, int threads,
                               std::string* table, int* slabs) {
        SlabPlan plan;
        plan.slabCells = 2;
        const SlabOutcome parts = partitionCampaign(o, work, plan, threads);
        EXPECT_EQ(parts.status, kSuccess) << parts.message;
        *slabs = parts.slabs;
        for (int s = 0; s < parts.slabs; ++s) {
            const SlabOutcome done = analyseSlab(work, s, threads);
            EXPECT_EQ(done.status, kSuccess) << done.message;
        }
        CleanConsole console;
        console.out = std::tmpfile();
        const CleanStatus status = gatherAndWrite(o, work, console);
        std::rewind(console.out);
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, console.out)) > 0)
            table->append(buffer, n);
        std::fclose(console.out);
        return status;
    }

    static std::string* campaign_;
};

std::string* Slabs::campaign_ = nullptr;

TEST_F(Slabs, GiveTheInMemoryValuesFilesAndTableOnOneAndTwoThreads) {
    const std::string memory = makeTempDir("slab-in");
    std::string expected;
    {
        CleanOptions o = options(memory);
        o.threads = 2;
        CleanStatus status = kUnreadable;
        expected = testing_support::stdoutOf([&] { status = runClean(o); });
        ASSERT_EQ(status, kSuccess);
    }
    const std::vector<std::string> written = filesIn(memory);
    ASSERT_EQ(written.size(), 11u);  // five cleaned files, five exports, the histogram
    for (int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        resetSceneState();
        const std::string out = makeTempDir("slab-of");
        std::string table;
        int slabs = 0;
        ASSERT_EQ(inSlabs(options(out), makeTempDir("slab-work"), threads, &table, &slabs),
                  kSuccess);
        // Every scan spans several slabs.
        EXPECT_GE(slabs, 15);
        // Folder names of one length, so that the columns line up alike.
        EXPECT_EQ(replaced(table, out, memory), expected);
        ASSERT_EQ(filesIn(out), written);
        for (const std::string& name : written)
            EXPECT_EQ(readFile(out + "/" + name), readFile(memory + "/" + name)) << name;
    }
}

TEST_F(Slabs, KeepFinishedWorkAndNameDamagedFiles) {
    const std::string work = makeTempDir("slab-damage");
    const std::string out = makeTempDir("slab-damage-out");
    CleanOptions o = options(out);
    o.summaryOnly = true;
    o.exportValues = false;
    o.histogramFile.clear();
    SlabPlan plan;
    plan.slabCells = 3;
    const SlabOutcome first = partitionCampaign(o, work, plan, 1);
    ASSERT_EQ(first.status, kSuccess) << first.message;
    ASSERT_GE(first.slabs, 3);
    const SlabOutcome again = partitionCampaign(o, work, plan, 1);
    EXPECT_TRUE(again.reused);
    EXPECT_EQ(again.slabs, first.slabs);

    // A manifest whose numbers are fractions, too large or negative where a
    // count belongs: damaged, not cast into a count.
    const std::string manifestFile = work + "/manifest.json";
    const std::string manifest = readFile(manifestFile);
    for (const auto& [field, bad] : {std::pair<std::string, std::string>{"\"axis\": ", "1e300"},
                                     {"\"segments\": ", "-1"},
                                     {"\"points\": ", "2.5"}}) {
        std::string text = manifest;
        const std::size_t at = text.find(field);
        ASSERT_NE(at, std::string::npos) << field;
        const std::size_t from = at + field.size();
        text.replace(from, text.find_first_of(",\n}", from) - from, bad);
        writeFile(manifestFile, text);
        slab::Manifest m;
        std::string error;
        EXPECT_FALSE(slab::readManifest(work, &m, &error)) << field << bad;
        EXPECT_NE(error.find("manifest.json is damaged"), std::string::npos) << error;
    }
    // Nor may it have a scan written under another name than its own.
    std::string elsewhere = manifest;
    const std::size_t output = elsewhere.find("\"output\": \"") + 11;
    elsewhere.replace(output, elsewhere.find('"', output) - output, "/tmp/elsewhere.ply");
    writeFile(manifestFile, elsewhere);
    slab::Manifest m;
    std::string error;
    EXPECT_FALSE(slab::readManifest(work, &m, &error));
    EXPECT_NE(error.find("damaged: bad output"), std::string::npos) << error;
    writeFile(manifestFile, manifest);

    // A slab whose first segment claims more vertices than the file holds,
    // and one cut short: named, not measured.
    const std::string slab0 = slab::slabPath(work, 0);
    const std::string bytes = readFile(slab0);
    std::string huge = bytes;
    huge.replace(32 + 8, 4, "\xff\xff\xff\x0f");
    writeFile(slab0, huge);
    SlabOutcome damaged = analyseSlab(work, 0, 1);
    EXPECT_EQ(damaged.status, kUnreadable);
    EXPECT_NE(damaged.message.find("slab-00000.bin is damaged"), std::string::npos)
        << damaged.message;
    writeFile(slab0, bytes.substr(0, bytes.size() - 8));
    EXPECT_EQ(analyseSlab(work, 0, 1).status, kUnreadable);
    EXPECT_EQ(analyseSlab(work, first.slabs, 1).status, kUnreadable);  // no such slab
    // The partition sees the change and makes its slabs again.
    EXPECT_FALSE(partitionCampaign(o, work, plan, 1).reused);

    for (int s = 0; s < first.slabs; ++s) ASSERT_EQ(analyseSlab(work, s, 1).status, kSuccess);
    EXPECT_TRUE(analyseSlab(work, 1, 1).reused);
    // A values file from elsewhere, cut short: the gathering stops, writing nothing.
    const std::string values = slab::valuesPath(work, 1);
    writeFile(values, readFile(values).substr(0, 30));
    CleanConsole console;
    console.out = std::tmpfile();
    console.err = std::tmpfile();
    EXPECT_EQ(gatherAndWrite(o, work, console), kUnreadable);
    std::rewind(console.err);
    char said[512] = {};
    EXPECT_GT(std::fread(said, 1, sizeof said - 1, console.err), 0u);
    EXPECT_NE(std::string(said).find("slab-00001.values is damaged"), std::string::npos) << said;
    EXPECT_EQ(std::ftell(console.out), 0);
    // Another configuration's options with this folder: refused.
    const std::string other = makeTempDir("slab-other") + "/other.conf";
    writeFile(other, readFile(o.config) + "\n");
    o.config = other;
    EXPECT_EQ(gatherAndWrite(o, work, console), kUnreadable);
    // What needs every scan in memory is refused, not silently left out.
    o.mergeFile = out + "/merged.ply";
    EXPECT_EQ(gatherAndWrite(o, work, console), kBadUsage);
    EXPECT_FALSE(std::ifstream(o.mergeFile).good());
    std::fclose(console.out);
    std::fclose(console.err);
}

// Names may be any bytes and counts span their whole type: the manifest gives
// back exactly what it was given, whether the JSON text can hold it or not.
TEST(SlabManifest, GivesBackEveryTextAndCountExactly) {
    const std::vector<std::string> texts = {"plain",
                                            "caf\xc3\xa9",
                                            "bad\xff",
                                            "overlong\xc0\xaf",
                                            "surrogate\xed\xa0\x80",
                                            std::string("nul\0", 4)};
    slab::Manifest m;
    m.config = texts[2];
    m.warnings = texts;
    m.why = texts[4];
    for (const std::string& t : texts) {
        slab::ManifestScan s;
        s.name = s.label = t;
        s.path = "dir/" + t + ".ptx";
        s.output = PlyMesh::outputSourceOf(s.path, 7);
        s.size = UINT64_MAX;
        s.mtimeNs = INT64_MIN;
        m.scans.push_back(s);
    }
    const std::string work = makeTempDir("slab-manifest");
    writeFile(slab::manifestPath(work), slab::manifestJson(m));
    slab::Manifest back;
    std::string error;
    ASSERT_TRUE(slab::readManifest(work, &back, &error)) << error;
    EXPECT_EQ(back.config, m.config);
    EXPECT_EQ(back.warnings, texts);
    EXPECT_EQ(back.why, m.why);
    ASSERT_EQ(back.scans.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(back.scans[i].name, texts[i]);
        EXPECT_EQ(back.scans[i].path, m.scans[i].path);
        EXPECT_EQ(back.scans[i].output, m.scans[i].output);
        EXPECT_EQ(back.scans[i].size, UINT64_MAX);
        EXPECT_EQ(back.scans[i].mtimeNs, INT64_MIN);
    }
}

}  // namespace
