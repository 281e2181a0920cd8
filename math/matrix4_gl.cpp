// The OpenGL side of Matrix4, kept in its own translation unit so that code
// using only the arithmetic never needs GL symbols at link time.
#include <GL/gl.h>

#include "math/matrix4.h"

void Matrix4::multiplyModelView() const {
    glMatrixMode(GL_MODELVIEW);
    glMultMatrixf(m_);
}

void Matrix4::loadModelView() const {
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(m_);
}

void Matrix4::readModelView() {
    glGetFloatv(GL_MODELVIEW_MATRIX, m_);
}
