// Matrix4: a 4x4 float matrix stored in OpenGL's column-major order, so that
// data() can go straight to glLoadMatrixf / glMultMatrixf / glGetFloatv.
// Element (row, column) is data()[4 * column + row]. Copies own their own
// storage.
#pragma once

class Matrix4 {
public:
    Matrix4() { setIdentity(); }  // the identity

    void setIdentity();

    float& operator()(int row, int column) { return m_[4 * column + row]; }
    float operator()(int row, int column) const { return m_[4 * column + row]; }

    float* data() { return m_; }
    const float* data() const { return m_; }

    // this := this x b, so b acts first on column vectors. Element (r, c)
    // accumulates a(r, k) * b(k, c) for k = 0..3 in that order, where a is the
    // value of this matrix before the product.
    Matrix4& operator*=(const Matrix4& b);

    // OpenGL access; these are the only members that need a GL context.
    void multiplyModelView() const;  // glMatrixMode(GL_MODELVIEW); glMultMatrixf
    void loadModelView() const;      // glMatrixMode(GL_MODELVIEW); glLoadMatrixf
    void readModelView();            // glGetFloatv(GL_MODELVIEW_MATRIX); mode unchanged

    // Prints the matrix row by row inside a box (see matrix4.cpp) on standard output.
    void print() const;

private:
    float m_[16];
};
