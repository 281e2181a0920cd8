#include "fake_gl.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glut.h>

#include <array>
#include <cstring>

namespace {

using Mat = std::array<float, 16>;

Mat identity() {
    Mat m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    return m;
}

Mat multiply(const Mat& a, const Mat& b) {  // column-major a x b
    Mat r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) s += a[4 * k + row] * b[4 * c + k];
            r[4 * c + row] = s;
        }
    return r;
}

struct MatrixState {
    GLenum mode = GL_MODELVIEW;
    std::vector<Mat> modelview{identity()};
    std::vector<Mat> projection{identity()};
    std::vector<Mat>& current() { return mode == GL_PROJECTION ? projection : modelview; }
};

MatrixState& matrices() {
    static MatrixState s;
    return s;
}

void rec(const char* fn, std::vector<double> args = {}, std::string text = {}) {
    glCalls().push_back({fn, std::move(args), std::move(text)});
}

}  // namespace

std::vector<GLCall>& glCalls() {
    static std::vector<GLCall> calls;
    return calls;
}

void resetFakeGL() {
    glCalls().clear();
    fakeGlut() = FakeGlutCallbacks{};
    matrices() = MatrixState{};
}

std::vector<GLCall> callsTo(const std::string& fn) {
    std::vector<GLCall> out;
    for (const GLCall& c : glCalls())
        if (c.fn == fn) out.push_back(c);
    return out;
}

std::vector<std::string> callNames() {
    std::vector<std::string> out;
    for (const GLCall& c : glCalls()) out.push_back(c.fn);
    return out;
}

FakeGlutCallbacks& fakeGlut() {
    static FakeGlutCallbacks callbacks;
    return callbacks;
}

extern "C" {

// ---- GL ----
void GLAPIENTRY glBegin(GLenum mode) {
    rec("glBegin", {double(mode)});
}
void GLAPIENTRY glEnd() {
    rec("glEnd");
}
void GLAPIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    rec("glVertex3f", {x, y, z});
}
void GLAPIENTRY glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    rec("glNormal3f", {x, y, z});
}
void GLAPIENTRY glEnable(GLenum cap) {
    rec("glEnable", {double(cap)});
}
void GLAPIENTRY glDisable(GLenum cap) {
    rec("glDisable", {double(cap)});
}
void GLAPIENTRY glPointSize(GLfloat size) {
    rec("glPointSize", {size});
}
void GLAPIENTRY glLineWidth(GLfloat width) {
    rec("glLineWidth", {width});
}
void GLAPIENTRY glShadeModel(GLenum mode) {
    rec("glShadeModel", {double(mode)});
}
void GLAPIENTRY glClear(GLbitfield mask) {
    rec("glClear", {double(mask)});
}
void GLAPIENTRY glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
    rec("glClearColor", {r, g, b, a});
}
void GLAPIENTRY glViewport(GLint x, GLint y, GLsizei w, GLsizei h) {
    rec("glViewport", {double(x), double(y), double(w), double(h)});
}
void GLAPIENTRY glFlush() {
    rec("glFlush");
}
void GLAPIENTRY glFinish() {
    rec("glFinish");
}
void GLAPIENTRY glMaterialfv(GLenum face, GLenum pname, const GLfloat* v) {
    if (pname == GL_SHININESS)
        rec("glMaterialfv", {double(face), double(pname), v[0]});
    else
        rec("glMaterialfv", {double(face), double(pname), v[0], v[1], v[2], v[3]});
}
void GLAPIENTRY glMaterialf(GLenum face, GLenum pname, GLfloat v) {
    rec("glMaterialf", {double(face), double(pname), v});
}
void GLAPIENTRY glLightfv(GLenum light, GLenum pname, const GLfloat* v) {
    rec("glLightfv", {double(light), double(pname), v[0], v[1], v[2], v[3]});
}
void GLAPIENTRY glMatrixMode(GLenum mode) {
    matrices().mode = mode;
    rec("glMatrixMode", {double(mode)});
}
void GLAPIENTRY glLoadIdentity() {
    matrices().current().back() = identity();
    rec("glLoadIdentity");
}
void GLAPIENTRY glPushMatrix() {
    auto& stack = matrices().current();
    stack.push_back(stack.back());
    rec("glPushMatrix");
}
void GLAPIENTRY glPopMatrix() {
    auto& stack = matrices().current();
    if (stack.size() > 1) stack.pop_back();
    rec("glPopMatrix");
}
void GLAPIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    Mat t = identity();
    t[12] = x;
    t[13] = y;
    t[14] = z;
    auto& top = matrices().current().back();
    top = multiply(top, t);
    rec("glTranslatef", {x, y, z});
}
void GLAPIENTRY glMultMatrixf(const GLfloat* m) {
    Mat b;
    std::memcpy(b.data(), m, sizeof(float) * 16);
    auto& top = matrices().current().back();
    top = multiply(top, b);
    rec("glMultMatrixf", std::vector<double>(m, m + 16));
}
void GLAPIENTRY glLoadMatrixf(const GLfloat* m) {
    std::memcpy(matrices().current().back().data(), m, sizeof(float) * 16);
    rec("glLoadMatrixf", std::vector<double>(m, m + 16));
}
void GLAPIENTRY glGetFloatv(GLenum pname, GLfloat* out) {
    if (pname == GL_MODELVIEW_MATRIX) {
        std::memcpy(out, matrices().modelview.back().data(), sizeof(float) * 16);
    } else if (pname == GL_PROJECTION_MATRIX) {
        std::memcpy(out, matrices().projection.back().data(), sizeof(float) * 16);
    } else {
        out[0] = 0.0f;
    }
    rec("glGetFloatv", {double(pname)});
}
void GLAPIENTRY glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    rec("glOrtho", {l, r, b, t, n, f});
}
void GLAPIENTRY glReadPixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type,
                             GLvoid* pixels) {
    // RGB bytes (pack alignment 1): red = column, green = row counted from
    // the bottom, blue = 7, so that tests can tell rows and columns apart.
    if (format == GL_RGB && type == GL_UNSIGNED_BYTE && pixels != nullptr) {
        auto* out = static_cast<unsigned char*>(pixels);
        for (GLint row = 0; row < h; ++row)
            for (GLint col = 0; col < w; ++col) {
                unsigned char* p = out + 3 * (static_cast<std::size_t>(row) * w + col);
                p[0] = static_cast<unsigned char>(x + col);
                p[1] = static_cast<unsigned char>(y + row);
                p[2] = 7;
            }
    }
    rec("glReadPixels", {double(x), double(y), double(w), double(h), double(format), double(type)});
}
void GLAPIENTRY glPixelStorei(GLenum pname, GLint param) {
    rec("glPixelStorei", {double(pname), double(param)});
}
void GLAPIENTRY glColor4ubv(const GLubyte* v) {
    rec("glColor4ubv", {double(v[0]), double(v[1]), double(v[2]), double(v[3])});
}
void GLAPIENTRY glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    rec("glColor3f", {r, g, b});
}
void GLAPIENTRY glColorMaterial(GLenum face, GLenum mode) {
    rec("glColorMaterial", {double(face), double(mode)});
}
void GLAPIENTRY glVertex2f(GLfloat x, GLfloat y) {
    rec("glVertex2f", {x, y});
}
void GLAPIENTRY glRasterPos2f(GLfloat x, GLfloat y) {
    rec("glRasterPos2f", {x, y});
}
void GLAPIENTRY glScalef(GLfloat x, GLfloat y, GLfloat z) {
    Mat b = identity();
    b[0] = x;
    b[5] = y;
    b[10] = z;
    auto& top = matrices().current().back();
    top = multiply(top, b);
    rec("glScalef", {x, y, z});
}
void GLAPIENTRY glDepthFunc(GLenum func) {
    rec("glDepthFunc", {double(func)});
}
void GLAPIENTRY glPushAttrib(GLbitfield mask) {
    rec("glPushAttrib", {double(mask)});
}
void GLAPIENTRY glPopAttrib() {
    rec("glPopAttrib");
}
void GLAPIENTRY glReadBuffer(GLenum mode) {
    rec("glReadBuffer", {double(mode)});
}
const GLubyte* GLAPIENTRY glGetString(GLenum name) {
    rec("glGetString", {double(name)});
    static const GLubyte text[] = "recording stand-in";
    return text;
}
GLenum GLAPIENTRY glGetError() {
    return GL_NO_ERROR;
}

// ---- GLU ----
void GLAPIENTRY gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble n, GLdouble f) {
    rec("gluPerspective", {fovy, aspect, n, f});
}
void GLAPIENTRY gluLookAt(GLdouble ex, GLdouble ey, GLdouble ez, GLdouble cx, GLdouble cy,
                          GLdouble cz, GLdouble ux, GLdouble uy, GLdouble uz) {
    rec("gluLookAt", {ex, ey, ez, cx, cy, cz, ux, uy, uz});
}

// ---- GLUT ----
void FGAPIENTRY glutInit(int* argc, char** argv) {
    (void)argv;
    rec("glutInit", {double(*argc)});
}
void FGAPIENTRY glutInitDisplayMode(unsigned int mode) {
    rec("glutInitDisplayMode", {double(mode)});
}
void FGAPIENTRY glutInitWindowSize(int w, int h) {
    rec("glutInitWindowSize", {double(w), double(h)});
}
void FGAPIENTRY glutInitWindowPosition(int x, int y) {
    rec("glutInitWindowPosition", {double(x), double(y)});
}
int FGAPIENTRY glutCreateWindow(const char* title) {
    rec("glutCreateWindow", {}, title);
    return 1;
}
void FGAPIENTRY glutDisplayFunc(void (*f)()) {
    fakeGlut().display = f;
    rec("glutDisplayFunc");
}
void FGAPIENTRY glutReshapeFunc(void (*f)(int, int)) {
    fakeGlut().reshape = f;
    rec("glutReshapeFunc");
}
void FGAPIENTRY glutKeyboardFunc(void (*f)(unsigned char, int, int)) {
    fakeGlut().keyboard = f;
    rec("glutKeyboardFunc");
}
void FGAPIENTRY glutMouseFunc(void (*f)(int, int, int, int)) {
    fakeGlut().mouse = f;
    rec("glutMouseFunc");
}
void FGAPIENTRY glutMotionFunc(void (*f)(int, int)) {
    fakeGlut().motion = f;
    rec("glutMotionFunc");
}
int FGAPIENTRY glutCreateMenu(void (*f)(int)) {
    fakeGlut().menu = f;
    rec("glutCreateMenu");
    return 1;
}
void FGAPIENTRY glutAddMenuEntry(const char* label, int value) {
    rec("glutAddMenuEntry", {double(value)}, label);
}
void FGAPIENTRY glutAttachMenu(int button) {
    rec("glutAttachMenu", {double(button)});
}
void FGAPIENTRY glutPostRedisplay() {
    rec("glutPostRedisplay");
}
void FGAPIENTRY glutSwapBuffers() {
    rec("glutSwapBuffers");
}
void FGAPIENTRY glutMainLoop() {
    rec("glutMainLoop");
}
// The bitmap font: every character is 7 pixels wide; characters drawn are
// recorded one call each.
void* glutBitmapHelvetica12 = nullptr;
void FGAPIENTRY glutBitmapCharacter(void* font, int character) {
    (void)font;
    rec("glutBitmapCharacter", {double(character)}, std::string(1, static_cast<char>(character)));
}
int FGAPIENTRY glutBitmapLength(void* font, const unsigned char* text) {
    (void)font;
    return 7 * static_cast<int>(std::strlen(reinterpret_cast<const char*>(text)));
}
int FGAPIENTRY glutBitmapWidth(void* font, int character) {
    (void)font;
    (void)character;
    return 7;
}
int FGAPIENTRY glutGet(GLenum query) {
    rec("glutGet", {double(query)});
    return 0;
}

}  // extern "C"
