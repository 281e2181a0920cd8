#include "scan/bounding_box.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <memory>

#include "scene/mesh.h"

namespace {

Mesh* meshWithWorld(std::initializer_list<Point3> points) {
    Mesh* mesh = new Mesh(1);
    mesh->worldVertices = points;
    return mesh;
}

void expectPoint(const Point3& p, float x, float y, float z) {
    EXPECT_EQ(p.x, x);
    EXPECT_EQ(p.y, y);
    EXPECT_EQ(p.z, z);
}

}  // namespace

TEST(BoundingBox, EmptyBoxHoldsTheExtremeFloats) {
    BoundingBox box;
    EXPECT_TRUE(box.isEmpty());
    EXPECT_EQ(box.minX(), FLT_MAX);
    EXPECT_EQ(box.maxY(), -FLT_MAX);
    expectPoint(box.corner(0), FLT_MAX, -FLT_MAX, FLT_MAX);
    expectPoint(box.corner(6), -FLT_MAX, FLT_MAX, -FLT_MAX);

    // A mesh without world positions (a lone .m or .ply mesh) changes nothing.
    Mesh model(1);
    model.addVertex({1, 2, 3});
    box.extendBy(model);
    EXPECT_TRUE(box.isEmpty());
}

TEST(BoundingBox, CornersFollowTheTableAfterGrowing) {
    std::unique_ptr<Mesh> mesh(meshWithWorld({{-1, 2, 3}, {4, -5, 6}}));
    BoundingBox box;
    box.extendBy(*mesh);
    expectPoint(box.corner(0), -1, 2, 3);
    expectPoint(box.corner(1), 4, 2, 3);
    expectPoint(box.corner(2), 4, -5, 3);
    expectPoint(box.corner(3), -1, -5, 3);
    expectPoint(box.corner(4), -1, 2, 6);
    expectPoint(box.corner(5), 4, 2, 6);
    expectPoint(box.corner(6), 4, -5, 6);
    expectPoint(box.corner(7), -1, -5, 6);
    EXPECT_EQ(box.extentX(), 5.0f);
    EXPECT_EQ(box.extentY(), 7.0f);
    EXPECT_EQ(box.extentZ(), 3.0f);

    Mesh empty(2);
    box.extendBy(empty);
    expectPoint(box.corner(5), 4, 2, 6);
}

TEST(BoundingBox, SinglePointAndOrderOfGrowth) {
    std::unique_ptr<Mesh> one(meshWithWorld({{0.5f, -0.25f, 7}}));
    BoundingBox point;
    point.extendBy(*one);
    for (int c = 0; c < 8; ++c) expectPoint(point.corner(c), 0.5f, -0.25f, 7);
    EXPECT_EQ(point.extentX() + point.extentY() + point.extentZ(), 0.0f);

    std::unique_ptr<Mesh> a(meshWithWorld({{1, 1, 1}, {-3, 0, 2}}));
    std::unique_ptr<Mesh> b(meshWithWorld({{0, 9, -4}}));
    BoundingBox ab, ba;
    ab.extendBy(*a);
    ab.extendBy(*b);
    ba.extendBy(*b);
    ba.extendBy(*a);
    for (int c = 0; c < 8; ++c) {
        expectPoint(ab.corner(c), ba.corner(c).x, ba.corner(c).y, ba.corner(c).z);
    }
    expectPoint(ab.corner(3), -3, 0, -4);
    expectPoint(ab.corner(5), 1, 9, 2);
}
