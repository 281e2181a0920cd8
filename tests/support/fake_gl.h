// A recording stand-in for the GL, GLU and GLUT functions the program calls.
// Linked into test executables instead of the real libraries: every call is
// appended to glCalls() with its arguments, GLUT callbacks are kept so that
// tests can fire them, and the model-view stack is simulated so that
// glGetFloatv(GL_MODELVIEW_MATRIX) answers like a real context.
#pragma once

#include <string>
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

// GLUT callbacks as registered by the program (null until registered).
struct FakeGlutCallbacks {
    void (*display)() = nullptr;
    void (*reshape)(int, int) = nullptr;
    void (*keyboard)(unsigned char, int, int) = nullptr;
    void (*mouse)(int, int, int, int) = nullptr;
    void (*motion)(int, int) = nullptr;
    void (*menu)(int) = nullptr;
};
FakeGlutCallbacks& fakeGlut();
