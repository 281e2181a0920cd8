// The fast analysis must give the values of the plain, cell-by-cell one bit
// for bit, whatever the geometry: these configurations put points exactly on
// corners and sides of the other scans' polygons, add degenerate polygons,
// noise, holes and scans that do not overlap at all.
#include <gtest/gtest.h>

#include <cstring>

#include "scan/overlap_analysis.h"
#include "scan_fixtures.h"
#include "scene/range_grid.h"
#include "scene/unmeasured.h"
#include "test_support.h"

using namespace scan_fixtures;

namespace {

std::vector<std::unique_ptr<Mesh>> configuration(uint64_t seed) {
    Random random(seed);
    std::vector<std::unique_ptr<Mesh>> scans;
    const int n = 3 + static_cast<int>(seed % 2);
    for (int i = 0; i < n; ++i) {
        ScanShape s;
        s.cols = 20 + static_cast<int>(random.uniform(0, 12));
        s.rows = 16 + static_cast<int>(random.uniform(0, 12));
        s.originX = random.uniform(-0.003f, 0.003f);
        s.originY = random.uniform(-0.003f, 0.003f);
        s.height = random.uniform(-0.0004f, 0.0004f);
        s.noise = i % 2 ? 0.00005f : 0.0f;
        s.holes = i == 1 ? 0.1f : 0.0f;
        Quaternion q(random.uniform(-0.05f, 0.05f), random.uniform(-0.05f, 0.05f),
                     random.uniform(-0.2f, 0.2f), 1.0f);
        q.normalise();
        const Vec3 t(random.uniform(-0.001f, 0.001f), random.uniform(-0.001f, 0.001f), 0.0f);
        scans.push_back(makeScan(i + 1, s, random, q, t));
    }
    // Points placed exactly on the corners and on the sides of another scan's
    // polygons, written straight into the world positions.
    Mesh& target = *scans[0];
    const Mesh& base = *scans[1];
    for (std::size_t f = 0; f < base.faces.size() && f < 60; f += 3) {
        const Face& face = base.faces[f];
        const Point3& a = base.worldVertices[face.vertexIndices[0]];
        const Point3& b = base.worldVertices[face.vertexIndices[1]];
        const std::size_t k = (f * 7) % target.worldVertices.size();
        if (f % 2 == 0) {
            target.worldVertices[k] = a;
        } else {
            Point3 mid = a;
            mid += (b - a).scaled(0.5f);
            target.worldVertices[k] = mid;
        }
    }
    // Degenerate polygons: a repeated corner, collinear corners, two corners.
    Mesh& other = *scans[2];
    for (int i = 0; i + 2 < static_cast<int>(other.worldVertices.size()) && i < 30; i += 5) {
        Face f(&other, Vec4(0, 0, 0, 1));
        f.vertexIndices = {i, i, i + 1};
        other.faces.push_back(f);
        f.vertexIndices = {i, i + 1};
        other.faces.push_back(f);
        f.vertexIndices = {i, i + 1, i + 2, i + 1};
        other.faces.push_back(f);
    }
    // A scan far away from the others.
    ScanShape lonely;
    lonely.originX = 0.05f;
    scans.push_back(makeScan(n + 1, lonely, random));
    return scans;
}

std::string run(const std::vector<std::unique_ptr<Mesh>>& scans, AnalysisOptions o) {
    return testing_support::stdoutOf([&] { analyzeOverlap(raw(scans), nullptr, o); });
}

void expectSameValues(const std::vector<std::unique_ptr<Mesh>>& a,
                      const std::vector<std::unique_ptr<Mesh>>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto& va = a[i]->vertexValues;
        const auto& vb = b[i]->vertexValues;
        ASSERT_EQ(va.size(), vb.size());
        for (std::size_t k = 0; k < va.size(); ++k) {
            uint32_t ba, bb;
            std::memcpy(&ba, &va[k], 4);
            std::memcpy(&bb, &vb[k], 4);
            ASSERT_EQ(ba, bb) << "scan " << i << " point " << k << ": " << va[k] << " vs " << vb[k];
        }
    }
}

}  // namespace

TEST(OverlapEquality, FastPathGivesThePlainValuesAndOutputBitForBit) {
    for (uint64_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        auto plain = configuration(seed);
        auto fast = configuration(seed);
        auto single = configuration(seed);
        AnalysisOptions p;
        p.plain = true;
        AnalysisOptions f;
        f.threads = 2;
        AnalysisOptions one;
        one.threads = 1;
        const std::string plainOut = run(plain, p);
        EXPECT_EQ(run(fast, f), plainOut);
        EXPECT_EQ(run(single, one), plainOut);
        expectSameValues(plain, fast);
        expectSameValues(plain, single);

        int measured = 0, zeros = 0;
        for (float v : plain[0]->vertexValues) {
            measured += isMeasured(v);
            zeros += v == 0.0f;
        }
        EXPECT_GT(measured, 50);
        EXPECT_GT(zeros, 0) << "some points sit exactly on corners";
        for (float v : plain.back()->vertexValues) EXPECT_EQ(v, kUnmeasured);
    }
}

TEST(OverlapEquality, RasterTrianglesGiveTheValuesAndNormalsOfBuiltFaces) {
    // The batch cleaner's lean scans keep their triangles in their rasters:
    // the same configurations, with every pure range image stripped of its
    // faces and normals (the scan with extra polygons keeps them), give the
    // same values bit for bit, and the normals made from the raster are
    // those of the built faces.
    for (uint64_t seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        auto built = configuration(seed);
        auto lean = configuration(seed);
        for (std::size_t i = 0; i < lean.size(); ++i) {
            // Normals of the world positions as they now are (points were
            // moved onto corners), as a loader would have made them.
            built[i]->computeNormals();
            lean[i]->computeNormals();
            if (i == 2) continue;  // it has polygons of its own
            lean[i]->faces.clear();
            lean[i]->vertexNormals.clear();
            ASSERT_TRUE(trianglesInRaster(*lean[i]));
        }
        AnalysisOptions o;
        o.threads = 2;
        EXPECT_EQ(run(lean, o), run(built, o));
        expectSameValues(built, lean);
        for (std::size_t i = 0; i < lean.size(); ++i) {
            if (i == 2) continue;
            rasterVertexNormals(*lean[i]);
            ASSERT_EQ(lean[i]->vertexNormals.size(), built[i]->vertexNormals.size());
            EXPECT_EQ(0, std::memcmp(lean[i]->vertexNormals.data(), built[i]->vertexNormals.data(),
                                     built[i]->vertexNormals.size() * sizeof(Vec3)));
        }
    }
}
