// The colour of a value (pure) and a scan drawn in its values' colours in
// every display mode (against the recording GL stand-in).
#include "scene/distance_colours.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "fake_gl.h"
#include "scene/mesh.h"
#include "scene/scene_state.h"

namespace {

double luminance(const ColourRGBA& c) {
    return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
}

std::vector<double> colourArgs(const ColourRGBA& c) {
    return {double(c.r), double(c.g), double(c.b), 255.0};
}

}  // namespace

TEST(DistanceColour, MapRunsFromDarkBlueToYellowWithRisingLightness) {
    const ColourRGBA first = colourMapEntry(0), last = colourMapEntry(kColourMapSize - 1);
    EXPECT_GT(first.b, first.r);
    EXPECT_GT(first.b, first.g);
    EXPECT_GT(last.r, 200);
    EXPECT_GT(last.g, 200);
    EXPECT_LT(last.b, 80);
    // Lightness rises over every few entries (single entries differ by less
    // than the rounding to bytes).
    for (int i = 4; i < kColourMapSize; ++i)
        EXPECT_GT(luminance(colourMapEntry(i)), luminance(colourMapEntry(i - 4))) << i;
}

TEST(DistanceColour, ValuesClampUnmeasuredAreGreyTossedAreMarkedOnlyWhenAsked) {
    DistanceScale scale{0.002f, 0.004f, false};
    EXPECT_EQ(distanceColour(-FLT_MAX, scale), kUnmeasuredColour);
    EXPECT_EQ(distanceColour(NAN, scale), kUnmeasuredColour);
    EXPECT_EQ(distanceColour(0.0f, scale), colourMapEntry(0));
    EXPECT_EQ(distanceColour(0.002f, scale), colourMapAt(0.5f));
    EXPECT_EQ(distanceColour(0.004f, scale), colourMapEntry(kColourMapSize - 1));
    EXPECT_EQ(distanceColour(7.0f, scale), colourMapEntry(kColourMapSize - 1));  // clamped
    scale.markTossed = true;
    EXPECT_EQ(distanceColour(0.002f, scale), colourMapAt(0.5f));  // at the threshold: kept
    EXPECT_EQ(distanceColour(0.0021f, scale), kTossedColour);
    EXPECT_EQ(distanceColour(-FLT_MAX, scale), kUnmeasuredColour);
    // A threshold stepped below zero: no maximum, every measured value tossed.
    scale = DistanceScale{-0.001f, -0.002f, false};
    EXPECT_EQ(distanceColour(0.0f, scale), colourMapEntry(0));
    EXPECT_EQ(distanceColour(0.5f, scale), colourMapEntry(kColourMapSize - 1));
}

TEST(DistanceColour, FillingAgainForTheSameCountKeepsTheArray) {
    std::vector<ColourRGBA> colours;
    const DistanceScale scale{0.1f, 0.2f, false};
    fillDistanceColours({0.0f, 0.2f}, 3, scale, &colours);
    ASSERT_EQ(colours.size(), 3u);
    EXPECT_EQ(colours[2], kUnmeasuredColour);  // beyond the values: not measured
    const ColourRGBA* data = colours.data();
    fillDistanceColours({0.2f, 0.0f, 0.1f}, 3, scale, &colours);
    EXPECT_EQ(colours.data(), data);
    EXPECT_EQ(colours[0], colourMapEntry(kColourMapSize - 1));
}

class DistanceDrawing : public testing::Test {
protected:
    void SetUp() override {
        resetFakeGL();
        resetSceneState();
        // Two triangles over four baked points with values 0, max, unmeasured, above.
        mesh.clearGeometry();
        for (const Point3& p : {Point3(0, 0, 0), Point3(1, 0, 0), Point3(0, 1, 0), Point3(1, 1, 0)})
            mesh.addVertex(p);
        for (const std::vector<int32_t>& corners : {std::vector<int32_t>{0, 1, 2}, {1, 3, 2}}) {
            Face f(&mesh, Vec4());
            for (int32_t c : corners) f.vertexIndices.push_back(c);
            mesh.faces.push_back(f);
        }
        mesh.computeNormals();
        mesh.bakeWorldPositions();
        mesh.vertexValues = {0.0f, 0.004f, -FLT_MAX, 0.003f};
        tossThreshold = 0.002f;
        showTossedPoints = false;
    }
    void TearDown() override { resetSceneState(); }

    // The colour sent before each vertex of the mesh's own geometry.
    std::vector<std::vector<double>> coloursBeforeVertices() {
        std::vector<std::vector<double>> out;
        const std::vector<GLCall>& calls = glCalls();
        for (std::size_t i = 1; i < calls.size(); ++i)
            if (calls[i].fn == "glVertex3f" && calls[i - 1].fn == "glColor4ubv")
                out.push_back(calls[i - 1].args);
        return out;
    }

    Mesh mesh{1};
};

TEST_F(DistanceDrawing, EveryDisplayModeSendsEachVertexItsColourWithColourMaterialOnlyAroundIt) {
    colourByDistance = true;
    const std::vector<double> low = colourArgs(colourMapEntry(0));
    const std::vector<double> high = colourArgs(colourMapEntry(kColourMapSize - 1));
    const std::vector<double> grey = colourArgs(kUnmeasuredColour);
    const std::vector<double> above = colourArgs(colourMapAt(0.75f));  // 0.003 of 0.004
    const std::vector<std::vector<double>> faces = {low, high, grey, high, above, grey};
    const std::vector<std::vector<std::vector<double>>> expected = {
        {low, high, grey, above}, {low}, faces, faces, faces};
    for (int mode : {Points, SparsePoints, Wireframe, Flat, Smooth}) {
        resetFakeGL();
        mesh.setDisplayMode(mode);
        mesh.draw();
        EXPECT_EQ(coloursBeforeVertices(), expected[mode]) << "mode " << mode;
        const std::vector<std::string> names = callNames();
        const auto on = std::find(names.begin(), names.end(), "glEnable") - names.begin();
        EXPECT_EQ(callsTo("glColorMaterial")[0].args,
                  (std::vector<double>{GL_FRONT, GL_AMBIENT_AND_DIFFUSE}));
        EXPECT_EQ(callsTo("glEnable")[0].args[0], GL_COLOR_MATERIAL);
        EXPECT_EQ(callsTo("glDisable").back().args[0], GL_COLOR_MATERIAL);
        EXPECT_LT(on, std::find(names.begin(), names.end(), "glBegin") - names.begin());
    }
    // With the marks on, the tossed points (0.004 and 0.003 above 0.002) are red.
    showTossedPoints = true;
    resetFakeGL();
    mesh.setDisplayMode(Points);
    mesh.draw();
    EXPECT_EQ(coloursBeforeVertices(),
              (std::vector<std::vector<double>>{low, colourArgs(kTossedColour), grey,
                                                colourArgs(kTossedColour)}));
}

TEST_F(DistanceDrawing, MaterialColoursWhenOffAndForMeshesWithoutValues) {
    mesh.draw();
    EXPECT_TRUE(callsTo("glColor4ubv").empty());
    EXPECT_TRUE(callsTo("glColorMaterial").empty());
    colourByDistance = true;
    mesh.vertexValues.clear();  // a lone mesh, or the lattice
    resetFakeGL();
    mesh.draw();
    EXPECT_TRUE(callsTo("glColor4ubv").empty());
}
