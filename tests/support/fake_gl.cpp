#include "fake_gl.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <GL/glut.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

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

// The state that decides what a vertex is drawn with.
struct ArrayPointer {
    bool enabled = false;
    int size = 0;
    GLenum type = GL_FLOAT;
    std::size_t stride = 0;  // bytes between elements (0 given: tightly packed)
    const void* pointer = nullptr;
    GLuint buffer = 0;  // buffer object bound when the pointer was given, or 0
};
struct DrawState {
    std::array<float, 3> normal{0.0f, 0.0f, 1.0f};
    std::array<float, 4> colour{1.0f, 1.0f, 1.0f, 1.0f};
    std::array<float, 4> diffuse{0.8f, 0.8f, 0.8f, 1.0f};
    float pointSize = 1.0f;
    float lineWidth = 1.0f;
    GLenum shadeModel = GL_SMOOTH;
    bool colourMaterial = false;
    bool pointSmooth = false;
    GLenum beginMode = 0;
    bool inBegin = false;
    std::vector<DrawnVertex> begun;                  // vertices since glBegin
    std::vector<std::array<float, 4>> begunDiffuse;  // and the material of each
    ArrayPointer vertexArray, normalArray, colourArray;
    GLuint arrayBuffer = 0, elementBuffer = 0, nextBuffer = 1;
    std::map<GLuint, std::vector<unsigned char>> buffers;
    std::vector<DrawnPrimitive> drawn;
    std::map<GLuint, std::vector<GLCall>> lists;  // display lists by name
    GLuint nextList = 1;
    GLuint compiling = 0;  // the list glNewList opened, or 0
    int replaying = 0;     // inside glCallList: calls are not recorded
};

DrawState& draw() {
    static DrawState s;
    return s;
}

// Cuts the vertices of one glBegin/glEnd or array draw into primitives.
// `diffuse`: the material of each vertex sent between glBegin and glEnd
// (glMaterial may come between its vertices), else null: the current one.
void assemble(GLenum mode, const std::vector<DrawnVertex>& v,
              const std::vector<std::array<float, 4>>* diffuse = nullptr) {
    DrawState& d = draw();
    const auto add = [&](GLenum kind, std::initializer_list<std::size_t> corners) {
        DrawnPrimitive p;
        p.kind = kind;
        for (std::size_t c : corners) p.vertices.push_back(v[c]);
        // The provoking vertex's: the last of the corners as listed.
        p.diffuse = diffuse != nullptr ? (*diffuse)[*(corners.end() - 1)] : d.diffuse;
        p.pointSize = d.pointSize;
        p.lineWidth = d.lineWidth;
        p.shadeModel = d.shadeModel;
        p.colourMaterial = d.colourMaterial;
        p.pointSmooth = d.pointSmooth;
        d.drawn.push_back(p);
    };
    const std::size_t n = v.size();
    switch (mode) {
        case GL_POINTS:
            for (std::size_t i = 0; i < n; ++i) add(GL_POINTS, {i});
            break;
        case GL_LINES:
            for (std::size_t i = 1; i < n; i += 2) add(GL_LINES, {i - 1, i});
            break;
        case GL_LINE_STRIP:
        case GL_LINE_LOOP:
            for (std::size_t i = 1; i < n; ++i) add(GL_LINES, {i - 1, i});
            if (mode == GL_LINE_LOOP && n >= 2) add(GL_LINES, {n - 1, 0});
            break;
        case GL_TRIANGLES:
            for (std::size_t i = 2; i < n; i += 3) add(GL_TRIANGLES, {i - 2, i - 1, i});
            break;
        case GL_POLYGON:
            for (std::size_t i = 2; i < n; ++i) add(GL_TRIANGLES, {i - 1, i, 0});
            break;
        default: {
            DrawnPrimitive p;
            p.kind = mode;
            p.vertices = v;
            d.drawn.push_back(p);
        }
    }
}

[[noreturn]] void misuse(const char* what) {
    std::fprintf(stderr, "recording GL stand-in: %s\n", what);
    std::abort();
}

// The address of element `i` of an array, checked against its buffer object.
const unsigned char* element(const ArrayPointer& a, std::size_t elementBytes, std::size_t i) {
    const std::size_t stride = a.stride != 0 ? a.stride : elementBytes;
    if (a.buffer == 0) return static_cast<const unsigned char*>(a.pointer) + i * stride;
    const auto found = draw().buffers.find(a.buffer);
    if (found == draw().buffers.end()) misuse("an array names a deleted buffer object");
    const std::size_t offset = reinterpret_cast<std::size_t>(a.pointer) + i * stride;
    if (offset + elementBytes > found->second.size()) misuse("an array is read past its end");
    return found->second.data() + offset;
}

std::array<float, 3> readFloat3(const ArrayPointer& a, std::size_t i) {
    if (a.type != GL_FLOAT || (a.size != 0 && a.size != 3)) misuse("unexpected array type");
    std::array<float, 3> out;
    std::memcpy(out.data(), element(a, sizeof out, i), sizeof out);
    return out;
}

// Expands array elements `indices` into the vertices they give.
void drawFromArrays(GLenum mode, const std::vector<std::size_t>& indices) {
    DrawState& d = draw();
    if (!d.vertexArray.enabled) misuse("arrays drawn without a vertex array");
    std::vector<DrawnVertex> v;
    for (std::size_t i : indices) {
        DrawnVertex x;
        x.position = readFloat3(d.vertexArray, i);
        x.normal = d.normalArray.enabled ? readFloat3(d.normalArray, i) : d.normal;
        if (d.colourArray.enabled) {
            if (d.colourArray.type != GL_UNSIGNED_BYTE || d.colourArray.size != 4)
                misuse("unexpected colour array type");
            const unsigned char* c = element(d.colourArray, 4, i);
            for (int k = 0; k < 4; ++k) x.colour[k] = c[k] / 255.0f;
        } else {
            x.colour = d.colour;
        }
        v.push_back(x);
    }
    assemble(mode, v);
    // GL leaves the current values of the arrays used undefined.
    const float unknown = std::nanf("");
    if (d.normalArray.enabled) d.normal.fill(unknown);
    if (d.colourArray.enabled) d.colour.fill(unknown);
}

ArrayPointer* arrayOf(GLenum cap) {
    DrawState& d = draw();
    if (cap == GL_VERTEX_ARRAY) return &d.vertexArray;
    if (cap == GL_NORMAL_ARRAY) return &d.normalArray;
    if (cap == GL_COLOR_ARRAY) return &d.colourArray;
    return nullptr;
}

void setEnabled(GLenum cap, bool on) {
    if (cap == GL_COLOR_MATERIAL) draw().colourMaterial = on;
    if (cap == GL_POINT_SMOOTH) draw().pointSmooth = on;
}

void rec(const char* fn, std::vector<double> args = {}, std::string text = {}) {
    if (draw().compiling != 0)
        misuse((std::string(fn) + " while a display list is compiled").c_str());
    if (draw().replaying == 0) glCalls().push_back({fn, std::move(args), std::move(text)});
}

// While a display list is compiled, a call that may go into one is kept in
// it instead of taking effect: true then.
bool keptInList(const char* fn, std::vector<double> args) {
    DrawState& d = draw();
    if (d.compiling == 0) return false;
    d.lists[d.compiling].push_back({fn, std::move(args), {}});
    return true;
}

}  // namespace

std::vector<GLCall>& glCalls() {
    static std::vector<GLCall> calls;
    return calls;
}

const std::vector<DrawnPrimitive>& drawnPrimitives() {
    return draw().drawn;
}

void clearDrawnPrimitives() {
    draw().drawn.clear();
}

std::size_t liveBufferObjects() {
    return draw().buffers.size();
}

std::size_t liveDisplayLists() {
    return draw().lists.size();
}

void resetFakeGL() {
    glCalls().clear();
    draw() = DrawState{};
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
    if (keptInList("glBegin", {double(mode)})) return;
    draw().beginMode = mode;
    draw().inBegin = true;
    draw().begun.clear();
    draw().begunDiffuse.clear();
    rec("glBegin", {double(mode)});
}
void GLAPIENTRY glEnd() {
    if (keptInList("glEnd", {})) return;
    if (draw().inBegin) assemble(draw().beginMode, draw().begun, &draw().begunDiffuse);
    draw().inBegin = false;
    rec("glEnd");
}
void GLAPIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (keptInList("glVertex3f", {x, y, z})) return;
    if (draw().inBegin) {
        draw().begun.push_back({{x, y, z}, draw().normal, draw().colour});
        draw().begunDiffuse.push_back(draw().diffuse);
    }
    rec("glVertex3f", {x, y, z});
}
void GLAPIENTRY glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    if (keptInList("glNormal3f", {x, y, z})) return;
    draw().normal = {x, y, z};
    rec("glNormal3f", {x, y, z});
}
void GLAPIENTRY glEnable(GLenum cap) {
    setEnabled(cap, true);
    rec("glEnable", {double(cap)});
}
void GLAPIENTRY glDisable(GLenum cap) {
    setEnabled(cap, false);
    rec("glDisable", {double(cap)});
}
void GLAPIENTRY glPointSize(GLfloat size) {
    draw().pointSize = size;
    rec("glPointSize", {size});
}
void GLAPIENTRY glLineWidth(GLfloat width) {
    if (keptInList("glLineWidth", {width})) return;
    draw().lineWidth = width;
    rec("glLineWidth", {width});
}
void GLAPIENTRY glShadeModel(GLenum mode) {
    if (keptInList("glShadeModel", {double(mode)})) return;
    draw().shadeModel = mode;
    rec("glShadeModel", {double(mode)});
}
void GLAPIENTRY glEnableClientState(GLenum cap) {
    if (ArrayPointer* a = arrayOf(cap)) a->enabled = true;
    rec("glEnableClientState", {double(cap)});
}
void GLAPIENTRY glDisableClientState(GLenum cap) {
    if (ArrayPointer* a = arrayOf(cap)) a->enabled = false;
    rec("glDisableClientState", {double(cap)});
}
void GLAPIENTRY glVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* ptr) {
    ArrayPointer& a = draw().vertexArray;
    a = {a.enabled, size, type, std::size_t(stride), ptr, draw().arrayBuffer};
    rec("glVertexPointer", {double(size), double(type), double(stride)});
}
void GLAPIENTRY glNormalPointer(GLenum type, GLsizei stride, const GLvoid* ptr) {
    ArrayPointer& a = draw().normalArray;
    a = {a.enabled, 3, type, std::size_t(stride), ptr, draw().arrayBuffer};
    rec("glNormalPointer", {double(type), double(stride)});
}
void GLAPIENTRY glColorPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* ptr) {
    ArrayPointer& a = draw().colourArray;
    a = {a.enabled, size, type, std::size_t(stride), ptr, draw().arrayBuffer};
    rec("glColorPointer", {double(size), double(type), double(stride)});
}
void GLAPIENTRY glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    std::vector<std::size_t> indices;
    for (GLsizei i = 0; i < count; ++i) indices.push_back(std::size_t(first) + std::size_t(i));
    drawFromArrays(mode, indices);
    rec("glDrawArrays", {double(mode), double(first), double(count)});
}
void GLAPIENTRY glDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* ptr) {
    if (type != GL_UNSIGNED_INT) misuse("glDrawElements: indices other than GL_UNSIGNED_INT");
    ArrayPointer list{true, 1, type, 0, ptr, draw().elementBuffer};
    std::vector<std::size_t> indices;
    for (GLsizei i = 0; i < count; ++i) {
        GLuint index;
        std::memcpy(&index, element(list, sizeof index, std::size_t(i)), sizeof index);
        indices.push_back(index);
    }
    drawFromArrays(mode, indices);
    rec("glDrawElements", {double(mode), double(count)});
}
void GLAPIENTRY glGenBuffers(GLsizei n, GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) {
        names[i] = draw().nextBuffer++;
        draw().buffers[names[i]];
    }
    rec("glGenBuffers", {double(n)});
}
void GLAPIENTRY glDeleteBuffers(GLsizei n, const GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) draw().buffers.erase(names[i]);
    rec("glDeleteBuffers", {double(n)});
}
void GLAPIENTRY glBindBuffer(GLenum target, GLuint name) {
    if (name != 0 && draw().buffers.count(name) == 0) misuse("binding a buffer object never made");
    (target == GL_ELEMENT_ARRAY_BUFFER ? draw().elementBuffer : draw().arrayBuffer) = name;
    rec("glBindBuffer", {double(target), double(name)});
}
void GLAPIENTRY glBufferData(GLenum target, GLsizeiptr size, const GLvoid* data, GLenum usage) {
    const GLuint name =
        target == GL_ELEMENT_ARRAY_BUFFER ? draw().elementBuffer : draw().arrayBuffer;
    if (name == 0) misuse("glBufferData without a bound buffer object");
    const auto* bytes = static_cast<const unsigned char*>(data);
    draw().buffers[name].assign(bytes, bytes + size);
    rec("glBufferData", {double(target), double(size), double(usage)});
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
    if (pname == GL_SHININESS
            ? keptInList("glMaterialfv", {double(face), double(pname), v[0]})
            : keptInList("glMaterialfv", {double(face), double(pname), v[0], v[1], v[2], v[3]}))
        return;
    if (pname == GL_DIFFUSE || pname == GL_AMBIENT_AND_DIFFUSE)
        draw().diffuse = {v[0], v[1], v[2], v[3]};
    if (pname == GL_SHININESS)
        rec("glMaterialfv", {double(face), double(pname), v[0]});
    else
        rec("glMaterialfv", {double(face), double(pname), v[0], v[1], v[2], v[3]});
}
void GLAPIENTRY glMaterialf(GLenum face, GLenum pname, GLfloat v) {
    if (keptInList("glMaterialf", {double(face), double(pname), v})) return;
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
    draw().colour = {v[0] / 255.0f, v[1] / 255.0f, v[2] / 255.0f, v[3] / 255.0f};
    rec("glColor4ubv", {double(v[0]), double(v[1]), double(v[2]), double(v[3])});
}
void GLAPIENTRY glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    draw().colour = {r, g, b, 1.0f};
    rec("glColor3f", {r, g, b});
}
void GLAPIENTRY glColorMaterial(GLenum face, GLenum mode) {
    rec("glColorMaterial", {double(face), double(mode)});
}
void GLAPIENTRY glVertex2f(GLfloat x, GLfloat y) {
    if (draw().inBegin) {
        draw().begun.push_back({{x, y, 0.0f}, draw().normal, draw().colour});
        draw().begunDiffuse.push_back(draw().diffuse);
    }
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
GLuint GLAPIENTRY glGenLists(GLsizei range) {
    rec("glGenLists", {double(range)});
    const GLuint first = draw().nextList;
    for (GLsizei i = 0; i < range; ++i) draw().lists[first + GLuint(i)];
    draw().nextList += GLuint(range);
    return first;
}
void GLAPIENTRY glDeleteLists(GLuint list, GLsizei range) {
    rec("glDeleteLists", {double(list), double(range)});
    for (GLsizei i = 0; i < range; ++i) draw().lists.erase(list + GLuint(i));
}
void GLAPIENTRY glNewList(GLuint list, GLenum mode) {
    rec("glNewList", {double(list), double(mode)});
    if (mode != GL_COMPILE) misuse("glNewList: only GL_COMPILE is kept");
    draw().lists[list].clear();
    draw().compiling = list;
}
void GLAPIENTRY glEndList() {
    draw().compiling = 0;
    rec("glEndList");
}
void GLAPIENTRY glCallList(GLuint list) {
    rec("glCallList", {double(list)});
    const auto found = draw().lists.find(list);
    if (found == draw().lists.end()) return;
    const std::vector<GLCall> calls = found->second;
    ++draw().replaying;
    for (const GLCall& c : calls) {
        const std::vector<double>& a = c.args;
        if (c.fn == "glBegin") {
            glBegin(GLenum(a[0]));
        } else if (c.fn == "glEnd") {
            glEnd();
        } else if (c.fn == "glVertex3f") {
            glVertex3f(GLfloat(a[0]), GLfloat(a[1]), GLfloat(a[2]));
        } else if (c.fn == "glNormal3f") {
            glNormal3f(GLfloat(a[0]), GLfloat(a[1]), GLfloat(a[2]));
        } else if (c.fn == "glMaterialfv") {
            GLfloat v[4] = {};
            for (std::size_t i = 2; i < a.size(); ++i) v[i - 2] = GLfloat(a[i]);
            glMaterialfv(GLenum(a[0]), GLenum(a[1]), v);
        } else if (c.fn == "glMaterialf") {
            glMaterialf(GLenum(a[0]), GLenum(a[1]), GLfloat(a[2]));
        } else if (c.fn == "glShadeModel") {
            glShadeModel(GLenum(a[0]));
        } else if (c.fn == "glLineWidth") {
            glLineWidth(GLfloat(a[0]));
        }
    }
    --draw().replaying;
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
    return query == GLUT_ELAPSED_TIME ? fakeGlut().elapsedMs : 0;
}
void FGAPIENTRY glutTimerFunc(unsigned int ms, void (*f)(int), int value) {
    fakeGlut().timers.emplace_back(f, value);
    rec("glutTimerFunc", {double(ms), double(value)});
}

}  // extern "C"
