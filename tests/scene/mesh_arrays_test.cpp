// Drawing from arrays and display lists against the recording GL stand-in:
// every display mode sends the primitives the one-call-per-vertex drawing
// sends, with the same attributes, materials and state, leaves the same
// current normal and colour, and a frame after the first prepares nothing.
#include "scene/mesh_arrays.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <memory>

#include "fake_gl.h"
#include "scene/draw_path.h"
#include "scene/materials.h"
#include "scene/mesh.h"
#include "scene/scene_state.h"

namespace {

// A baked scan whose faces hold what the drawing must take care of: a
// triangle, a quad and a pentagon (fans), faces of two and one corners, a
// face naming a position that does not exist, and two runs of materials;
// normals only for some positions (as the lattice, which has none), a normal
// scale, and values below, above and without a measure.
std::unique_ptr<Mesh> awkwardMesh() {
    auto mesh = std::make_unique<Mesh>(1);
    for (int i = 0; i < 8; ++i)
        mesh->addVertex(Point3(float(i % 3), float(i / 3), 0.25f * float(i * i % 5)));
    const std::vector<std::vector<int32_t>> corners = {
        {0, 1, 4}, {1, 2, 5, 4}, {3, 4, 7, 6, 5}, {2, 5}, {7}, {0, 9, 1}, {6, 7, 3}};
    Material other = scanMaterial;
    other.diffuse = Vec4(0.1f, 0.7f, 0.2f, 1.0f);
    for (std::size_t f = 0; f < corners.size(); ++f) {
        Face face(mesh.get(), Vec4());
        for (int32_t c : corners[f]) face.vertexIndices.push_back(c);
        face.material = f < 2 ? scanMaterial : other;
        mesh->faces.push_back(face);
    }
    mesh->bakeWorldPositions();
    for (std::size_t f = 0; f < corners.size(); ++f)
        mesh->faces[f].material = f < 2 ? scanMaterial : other;  // bakeWorldPositions kept them
    mesh->vertexNormals.resize(5);
    mesh->scale(0.5f, 0.5f, 0.5f);
    mesh->vertexValues = {0.0f, 0.004f, -FLT_MAX, 0.003f, 0.001f, 0.0025f, 0.0f, 0.0039f};
    return mesh;
}

// One frame of `mesh` on `path`, between a current normal and colour set
// before it and a point drawn after it without its own (which shows what the
// frame left current).
std::vector<DrawnPrimitive> frame(Mesh& mesh, DrawPath path) {
    setDrawPath(path);
    glCalls().clear();
    clearDrawnPrimitives();
    glNormal3f(0.0f, 0.6f, 0.8f);
    const GLubyte before[4] = {9, 8, 7, 255};
    glColor4ubv(before);
    mesh.draw();
    glBegin(GL_POINTS);
    glVertex3f(5.0f, 5.0f, 5.0f);
    glEnd();
    return drawnPrimitives();
}

class ArrayDrawing : public testing::Test {
protected:
    void SetUp() override {
        resetFakeGL();
        resetSceneState();
        tossThreshold = 0.002f;
    }
    void TearDown() override {
        resetSceneState();
        resetDrawPath();
    }
};

}  // namespace

TEST_F(ArrayDrawing, EveryModeSendsTheImmediatePrimitivesWithoutPerVertexCalls) {
    for (DrawPath path : {DrawPath::ClientArrays, DrawPath::BufferObjects})
        for (int mode : {Points, SparsePoints, Wireframe, Flat, Smooth})
            for (int variant = 0; variant < 4; ++variant) {
                colourByDistance = variant & 1;
                showTossedPoints = variant & 2;
                std::unique_ptr<Mesh> mesh = awkwardMesh();
                mesh->setDisplayMode(mode);
                const std::vector<DrawnPrimitive> immediate = frame(*mesh, DrawPath::Immediate);
                const std::vector<DrawnPrimitive> arrays = frame(*mesh, path);
                const std::string what = std::string(drawPathName(path)) + " mode " +
                                         std::to_string(mode) + " variant " +
                                         std::to_string(variant);
                EXPECT_GE(immediate.size(), 2u) << what;
                EXPECT_TRUE(immediate == arrays) << what;
                // Only the probe point is sent one vertex at a time (faces of
                // one normal each in their material: a display list,
                // compiled in this first frame and replayed).
                EXPECT_EQ(callsTo("glVertex3f").size(), 1u) << what;
                EXPECT_LE(callsTo("glNormal3f").size() + callsTo("glColor4ubv").size(), 4u) << what;
            }
}

TEST_F(ArrayDrawing, LaterFramesPrepareNothingUntilWhatTheyShowChanges) {
    std::unique_ptr<Mesh> mesh = awkwardMesh();
    colourByDistance = true;
    showTossedPoints = true;
    const auto uploads = [&] {
        frame(*mesh, DrawPath::BufferObjects);
        return callsTo("glBufferData").size();
    };
    EXPECT_EQ(uploads(), 5u);  // positions, colours, normals, triangles, tossed points
    EXPECT_EQ(uploads(), 0u);
    tossThreshold = 0.0035f;
    EXPECT_EQ(uploads(), 2u);    // the tossed points, and the colours that mark them
    mesh->setDisplayMode(Flat);  // coloured: drawn from arrays too
    EXPECT_EQ(uploads(), 4u);    // corner positions, normals, colours, triangles
    mesh->setDisplayMode(Smooth);
    EXPECT_EQ(uploads(), 0u);  // what Smooth was drawn from is kept
    mesh->vertexValues[0] = 0.0038f;
    mesh->valuesChanged();
    EXPECT_EQ(uploads(), 2u);
    const std::vector<DrawnPrimitive> arrays = frame(*mesh, DrawPath::BufferObjects);
    EXPECT_TRUE(arrays == frame(*mesh, DrawPath::Immediate));
    // Faces of one normal each in their material: one display list per
    // change of mode, material or geometry, and one for moving.
    colourByDistance = false;
    const auto compiled = [&](std::size_t stride = 0) {
        movingStride = stride;
        frame(*mesh, DrawPath::BufferObjects);
        movingStride = 0;
        return callsTo("glNewList").size();
    };
    mesh->setDisplayMode(Wireframe);
    EXPECT_EQ(compiled(), 1u);
    EXPECT_EQ(compiled(), 0u);
    EXPECT_EQ(compiled(3), 1u);  // every 3rd face; the full list is kept
    EXPECT_EQ(compiled(), 0u);
    mesh->setMaterial(materialPalette[3]);
    EXPECT_EQ(compiled(), 1u);
    mesh->setDisplayMode(Flat);
    EXPECT_EQ(compiled(), 1u);
    EXPECT_GT(liveBufferObjects(), 0u);
    EXPECT_EQ(liveDisplayLists(), 2u);
    mesh.reset();
    EXPECT_EQ(liveBufferObjects(), 0u);
    EXPECT_EQ(liveDisplayLists(), 0u);
}

TEST(DrawPathChoice, NamesAndVersions) {
    DrawPath path = DrawPath::Immediate;
    EXPECT_TRUE(parseDrawPath("buffers", &path));
    EXPECT_EQ(path, DrawPath::BufferObjects);
    EXPECT_TRUE(parseDrawPath("arrays", &path));
    EXPECT_EQ(path, DrawPath::ClientArrays);
    EXPECT_FALSE(parseDrawPath("Buffers", &path));
    EXPECT_EQ(path, DrawPath::ClientArrays);
    EXPECT_TRUE(versionHasBufferObjects("4.5 (Compatibility Profile) Mesa 22.3.6"));
    EXPECT_TRUE(versionHasBufferObjects("1.5"));
    EXPECT_FALSE(versionHasBufferObjects("1.4.1"));
    EXPECT_FALSE(versionHasBufferObjects("recording stand-in"));
    EXPECT_FALSE(versionHasBufferObjects(nullptr));
}

TEST(DrawPathChoice, UnknownValueIsNamedAndIgnored) {
    setenv(kDrawPathVariable, "fast", 1);
    resetDrawPath();
    testing::internal::CaptureStderr();
    // The stand-in names no GL version: without the variable, the immediate drawing.
    EXPECT_EQ(drawPath(), DrawPath::Immediate);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "RANGELOOM_DRAWING=fast is not one of immediate, arrays, buffers: the drawing path "
              "is chosen as without it\n");
    setenv(kDrawPathVariable, "buffers", 1);
    resetDrawPath();
    EXPECT_EQ(drawPath(), DrawPath::ClientArrays);  // no buffer objects without a version
    unsetenv(kDrawPathVariable);
    resetDrawPath();
}
