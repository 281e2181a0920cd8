// Whether a source's captured header text can be written back around a new
// vertex count (the cleaned writer's fast path) and still say what it did.
#pragma once

#include <string>

struct ply_handle;

// True when head + "element vertex <n>" + tail, read by the PLY library,
// describes exactly what the source header (read through source) describes,
// bar the vertex count, and ends exactly at the end of tail. Text the
// capture cannot carry over line for line (a carriage return alone as a line
// end, a NUL inside a line, an "end_header" inside a comment, a split that
// is not at the real element line) fails the test.
bool headerReadsAlike(const std::string& head, const std::string& tail, ply_handle* source);
