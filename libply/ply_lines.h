// Reading text lines for the PLY library: the line splitter's line fetch and
// the line view used to read text instances without copying.
#pragma once

#include <cstddef>
#include <cstdio>

// A line as the word splitter sees it: its characters without the line end,
// tabs not yet turned into blanks. Valid until the thread reads its next line.
struct PlyLine {
    const char* text;  // first character
    int length;        // number of characters
};

// Reads the next line of the stream; false at end of file (or a read error)
// before any character. The stream continues right after the line end: a
// line feed, a carriage return followed by a line feed, or a lone carriage
// return. A line holds at most 4095 characters; a longer one is cut there,
// with its 4095th character read as a blank, and the rest is the next line.
bool ply_next_line(FILE* fp, PlyLine* line);

// Index of the first line feed, carriage return or NUL in p[0..n), or n.
size_t ply_find_line_stop(const char* p, size_t n);
