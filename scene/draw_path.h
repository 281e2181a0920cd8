// How meshes reach OpenGL. Every path draws the same picture: the same
// vertices, normals, colours, materials, order and state.
// - Immediate: one call per vertex, every frame (the old way, kept for
//   comparison and for the tests).
// - ClientArrays: arrays prepared in the program's memory once per change,
//   drawn with glDrawArrays/glDrawElements (OpenGL 1.1).
// - BufferObjects: the same arrays uploaded once into buffer objects
//   (OpenGL 1.5 and later).
#pragma once

#include <string>

enum class DrawPath { Immediate, ClientArrays, BufferObjects };

// The environment variable that picks a path: immediate, arrays or buffers.
constexpr const char* kDrawPathVariable = "RANGELOOM_DRAWING";

// The path meshes are drawn with. Chosen at the first call, which needs a
// current GL context: the path RANGELOOM_DRAWING names, otherwise buffer
// objects when the context's version is 1.5 or later, client arrays before,
// and the immediate drawing when the context names no version. Buffer
// objects asked for on a context without them are client arrays. An unknown
// value of the variable is reported once on standard error and the path is
// chosen as without it.
DrawPath drawPath();
// Fixes the path from now on (tests, benchmarks); resetDrawPath() makes the
// next drawPath() choose again.
void setDrawPath(DrawPath path);
void resetDrawPath();

// "immediate", "arrays", "buffers" to a path; false for anything else.
bool parseDrawPath(const std::string& text, DrawPath* path);
const char* drawPathName(DrawPath path);
// Whether a GL_VERSION string ("4.5 (Compatibility Profile) Mesa 22.3.6")
// names version 1.5 or later.
bool versionHasBufferObjects(const char* version);
