// Reading text lines for the PLY library: the line splitter's line fetch and
// the line view used to read text instances without copying.
#pragma once

#include <cstddef>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "libply/ply_internal.h"
#include "libply/ply_stream.h"

// A line as the word splitter sees it: its characters without the line end,
// tabs not yet turned into blanks. Valid until the thread reads its next line.
struct PlyLine {
    const char* text;  // first character
    int length;        // number of characters
};

// Index of the first line feed, carriage return or NUL in p[0..n), or n.
inline size_t ply_find_line_stop(const char* p, size_t n) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)),
                                   _mm_cmpeq_epi8(v, zero));
        int mask = _mm_movemask_epi8(hit);
        if (mask != 0) return i + size_t(__builtin_ctz(unsigned(mask)));
    }
#endif
    while (i < n && p[i] != '\n' && p[i] != '\r' && p[i] != '\0') ++i;
    return i;
}

// The next line when it lies whole in the stream's buffer: the view points
// into the buffer and the line is consumed. False when the line must go
// through the line buffer (it crosses the buffer's end, is long, or holds a
// NUL); nothing is consumed then.
inline bool ply_take_buffered_line(FILE* fp, PlyLine* line) {
    constexpr size_t kCutPosition = 4094;  // a line this long goes through the line buffer
    size_t avail = plyio::buffered(fp);
    if (avail == 0) return false;
    const char* p = plyio::buffer_at(fp);
    size_t limit = avail < kCutPosition ? avail : kCutPosition;
    size_t k = ply_find_line_stop(p, limit);
    if (k == limit || p[k] == '\0') return false;
    size_t consumed = k + 1;
    if (p[k] == '\r') {
        if (k + 1 >= avail) return false;
        if (p[k + 1] == '\n' && k + 1 < kCutPosition) consumed = k + 2;
    }
    plyio::consume(fp, consumed);
    line->text = p;
    line->length = int(k);
    return true;
}

// Reads the next line through the line buffer (see ply_next_line).
bool ply_next_line_buffered(FILE* fp, PlyLine* line);

// Reads the next line of the stream; false at end of file (or a read error)
// before any character. The stream continues right after the line end: a
// line feed, a carriage return followed by a line feed, or a lone carriage
// return. A line holds at most 4095 characters; a longer one is cut there,
// with its 4095th character read as a blank, and the rest is the next line.
inline bool ply_next_line(FILE* fp, PlyLine* line) {
    if (!ply_plain_paths() && ply_take_buffered_line(fp, line)) return true;
    return ply_next_line_buffered(fp, line);
}
