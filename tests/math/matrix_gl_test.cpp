#include <GL/gl.h>
#include <gtest/gtest.h>

#include "fake_gl.h"
#include "math/geometry.h"

TEST(Matrix4Gl, ReadBackAfterATranslationHoldsItInTheLastColumn) {
    resetFakeGL();
    Matrix4 identity;
    identity.loadModelView();
    glTranslatef(1, 2, 3);
    Matrix4 m;
    m(0, 0) = 9.0f;
    m.readModelView();
    EXPECT_EQ(m.data()[12], 1.0f);
    EXPECT_EQ(m.data()[13], 2.0f);
    EXPECT_EQ(m.data()[14], 3.0f);
    EXPECT_EQ(m(0, 0), 1.0f);
    ASSERT_EQ(callsTo("glMatrixMode").size(), 1u);
    EXPECT_EQ(callsTo("glMatrixMode")[0].args[0], GL_MODELVIEW);
}

TEST(Matrix4Gl, MultiplyModelViewHandsOverTheColumnMajorArray) {
    resetFakeGL();
    Matrix4 t;
    t(0, 3) = 5.0f;
    t.multiplyModelView();
    const auto mult = callsTo("glMultMatrixf");
    ASSERT_EQ(mult.size(), 1u);
    EXPECT_EQ(mult[0].args[12], 5.0f);
    Point3 p(1, 1, 1);
    Matrix4 back;
    back.readModelView();
    p.transform(back);
    EXPECT_EQ(p.x, 6.0f);
}
