// A recording stand-in for the GL, GLU and GLUT functions the program calls.
// Linked into test executables instead of the real libraries: every call is
// appended to glCalls() with its arguments, GLUT callbacks are kept so that
// tests can fire them, and the model-view stack is simulated so that
// glGetFloatv(GL_MODELVIEW_MATRIX) answers like a real context.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

struct GLCall {
    std::string fn;            // function name, e.g. "glVertex3f"
    std::vector<double> args;  // numeric arguments in order (arrays flattened)
    std::string text;          // string argument (window title, menu entry), if any
};

std::vector<GLCall>& glCalls();
// Forgets recorded calls, callbacks and the simulated matrix stack.
void resetFakeGL();
// The recorded calls of one function, in order.
std::vector<GLCall> callsTo(const std::string& fn);
// Just the function names, in order.
std::vector<std::string> callNames();

// What reaches the rasteriser, from either way of drawing: vertices sent one
// call at a time between glBegin and glEnd (a polygon as the triangles
// (v[i-1], v[i], v0), a line loop or strip as its sides) or arrays drawn with
// glDrawArrays/glDrawElements, from client memory or buffer objects. A
// vertex without its own normal or colour takes the current one; after an
// array draw the current values of the arrays used are unknown (NaN, equal to
// nothing) until set again, as in GL. Reading an array past the end of its
// buffer object ends the test program with a message.
struct DrawnVertex {
    std::array<float, 3> position{};
    std::array<float, 3> normal{};
    std::array<float, 4> colour{};  // glColor4ubv and byte colour arrays: byte / 255
    bool operator==(const DrawnVertex& o) const {
        return position == o.position && normal == o.normal && colour == o.colour;
    }
};
struct DrawnPrimitive {
    unsigned kind = 0;  // GL_POINTS, GL_LINES, GL_TRIANGLES (others: as sent)
    std::vector<DrawnVertex> vertices;
    std::array<float, 4> diffuse{};  // front diffuse material of its provoking vertex
    float pointSize = 1.0f;
    float lineWidth = 1.0f;
    unsigned shadeModel = 0;      // GL_SMOOTH or GL_FLAT
    bool colourMaterial = false;  // GL_COLOR_MATERIAL enabled
    bool pointSmooth = false;     // GL_POINT_SMOOTH enabled
    bool operator==(const DrawnPrimitive& o) const {
        return kind == o.kind && vertices == o.vertices && diffuse == o.diffuse &&
               pointSize == o.pointSize && lineWidth == o.lineWidth && shadeModel == o.shadeModel &&
               colourMaterial == o.colourMaterial && pointSmooth == o.pointSmooth;
    }
};
// Primitives drawn since resetFakeGL (which also forgets the current values,
// arrays and buffer objects) or since clearDrawnPrimitives.
const std::vector<DrawnPrimitive>& drawnPrimitives();
void clearDrawnPrimitives();
// Buffer objects that exist (made and not deleted).
std::size_t liveBufferObjects();
// Display lists: glNewList(GL_COMPILE) keeps the calls that may go into a
// list (glBegin, glEnd, glVertex3f, glNormal3f, glMaterialfv, glMaterialf,
// glShadeModel, glLineWidth) without effect or record, any other call then
// ends the test program with a message; glCallList records itself and
// replays them, drawn as if sent. The lists that exist:
std::size_t liveDisplayLists();

// GLUT callbacks as registered by the program (null until registered).
struct FakeGlutCallbacks {
    void (*display)() = nullptr;
    void (*reshape)(int, int) = nullptr;
    void (*keyboard)(unsigned char, int, int) = nullptr;
    void (*mouse)(int, int, int, int) = nullptr;
    void (*motion)(int, int) = nullptr;
    void (*menu)(int) = nullptr;
    // glutTimerFunc: the callbacks asked for, with their values, in order;
    // a test fires them.
    std::vector<std::pair<void (*)(int), int>> timers;
    int elapsedMs = 0;  // what glutGet(GLUT_ELAPSED_TIME) answers
};
FakeGlutCallbacks& fakeGlut();
