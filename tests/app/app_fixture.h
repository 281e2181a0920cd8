// Resets every process-wide global of the shell between tests, so that each
// test starts from the state the program has before main.
#pragma once

#include <gtest/gtest.h>

#include "app/keyboard.h"
#include "app/mouse.h"
#include "app/view.h"
#include "app/viewer_state.h"
#include "fake_gl.h"
#include "scene/mesh.h"
#include "scene/scene_state.h"

class AppTest : public testing::Test {
protected:
    void SetUp() override {
        resetFakeGL();
        resetViewerState();
    }
    void TearDown() override { resetViewerState(); }

    // A mesh of one triangle appended to the scene (which owns it), in display mode 4.
    Mesh* addTriangleMesh(int id = 1) {
        auto* m = new Mesh(id);
        m->vertices = {Point3(0, 0, 0), Point3(1, 0, 0), Point3(0, 1, 0)};
        Face f(m, Vec4(0, 0, 0, 1));
        f.vertexIndices = {0, 1, 2};
        m->faces.push_back(f);
        m->vertexNormals.assign(3, Vec3(0, 0, 1));
        m->setDisplayMode(Smooth);
        sceneList.push_back(m);
        return m;
    }
};
