// The line splitter: reads one line of a PLY header (or of text instance
// data) and cuts it into words.
//
// Line ends are a line feed, a carriage return followed by a line feed, or a
// lone carriage return; the stream always continues right after the line end,
// because binary data may follow a header line directly. The line buffer
// holds 4095 characters: a longer line is cut there, its 4095th character is
// read as a blank and the rest of it is read as the next line. A NUL
// character ends the line's text (the rest up to the line feed is consumed).
//
// Two ways of getting the characters give the same lines and the same stream
// positions: the plain one reads with fgets and, after a carriage return,
// repositions the stream (a system call per such line); the fast one takes
// the characters straight from the stream's buffer and stops consuming at
// the line end, so it never repositions.

#include "libply/ply_lines.h"

#include <cstdlib>
#include <cstring>

#include "libply/ply_internal.h"
#include "libply/ply_stream.h"

namespace {

constexpr int kLineSize = 4096;     // the line buffer, terminator included
constexpr int kMaxChars = 4095;     // characters one fgets call reads at most
constexpr int kCutPosition = 4094;  // position read as a blank in a full buffer
constexpr int kWordsGrowth = 10;    // word array room, and its growth

// Per-thread line buffers: the raw line cut into words, and the kept copy.
thread_local char raw_line[kLineSize];
thread_local char orig_line_buf[kLineSize];

bool is_stop(char c) {
    return c == '\n' || c == '\r' || c == '\0';
}

// Stores the fgets terminator and the cut marks, and returns the length of
// the text the word walk sees: up to the first line feed, carriage return or
// NUL of the buffer.
int finish_raw_line(int n) {
    raw_line[n] = '\0';
    raw_line[kCutPosition] = ' ';
    raw_line[kMaxChars] = '\0';
    return int(ply_find_line_stop(raw_line, kLineSize));
}

// The straightforward line fetch: fgets, then after a carriage return the
// stream goes back to the line start and forward past the line end.
bool fetch_line_plain(FILE* fp, int* length) {
    fpos_t start;
    bool have_start = std::fgetpos(fp, &start) == 0;
    if (std::fgets(raw_line, kLineSize, fp) == nullptr) return false;
    raw_line[kCutPosition] = ' ';
    raw_line[kMaxChars] = '\0';
    int k = 0;
    while (!is_stop(raw_line[k])) ++k;
    if (raw_line[k] == '\r') {
        long consumed = k + 1 + (raw_line[k + 1] == '\n' ? 1 : 0);
        if (have_start) std::fsetpos(fp, &start);
        std::fseek(fp, consumed, SEEK_CUR);
    }
    *length = k;
    return true;
}

// Handles a carriage return just stored at raw_line[n - 1] while no NUL came
// before it: the line ends here, and a line feed right after it is consumed
// too unless it would fall on the cut position.
void finish_at_carriage_return(FILE* fp, int* n) {
    int c = plyio::getc_fast(fp);
    if (c == '\n' && *n < kCutPosition) {
        raw_line[(*n)++] = '\n';
    } else if (c != EOF) {
        std::ungetc(c, fp);
    } else if (!std::ferror(fp)) {
        // Looking ahead met the end of the file; the line itself did not.
        std::clearerr(fp);
    }
}

// The fast line fetch into raw_line: the characters fgets would read, except
// that consumption stops after a carriage return that ends the line.
// Returns the number of characters stored, or -1 when fgets would fail.
int fetch_line_fast(FILE* fp) {
    bool error_before = std::ferror(fp) != 0;
    bool seen_nul = false;  // after a NUL only a line feed ends the read
    int n = 0;
    while (n < kMaxChars) {
        char c;
        size_t avail = plyio::buffered(fp);
        if (avail > 0) {
            const char* p = plyio::buffer_at(fp);
            size_t span = avail < size_t(kMaxChars - n) ? avail : size_t(kMaxChars - n);
            size_t i = seen_nul ? span : ply_find_line_stop(p, span);
            if (seen_nul) {
                const void* lf = std::memchr(p, '\n', span);
                if (lf != nullptr) i = size_t(static_cast<const char*>(lf) - p);
            }
            size_t take = i < span ? i + 1 : span;
            std::memcpy(raw_line + n, p, take);
            plyio::consume(fp, take);
            n += int(take);
            if (i == span) continue;
            c = p[i];
        } else {
            int got = plyio::getc_fast(fp);
            if (got == EOF) break;
            c = char(got);
            raw_line[n++] = c;
            if (!is_stop(c)) continue;
        }
        if (c == '\n') break;
        if (c == '\0') {
            seen_nul = true;
            continue;
        }
        if (seen_nul || n - 1 == kCutPosition) continue;  // not a line end for the walk
        finish_at_carriage_return(fp, &n);
        break;
    }
    if (!error_before && std::ferror(fp)) return -1;
    return n == 0 ? -1 : n;
}

bool fetch_raw_line(FILE* fp, int* length) {
    if (ply_plain_paths()) return fetch_line_plain(fp, length);
    int n = fetch_line_fast(fp);
    if (n < 0) return false;
    *length = finish_raw_line(n);
    return true;
}

}  // namespace

bool ply_next_line_buffered(FILE* fp, PlyLine* line) {
    int length;
    if (!fetch_raw_line(fp, &length)) return false;
    line->text = raw_line;
    line->length = length;
    return true;
}

char** split_line_words(FILE* fp, int* nwords, char** orig_line) {
    int length;
    if (!fetch_raw_line(fp, &length)) {
        *nwords = 0;
        *orig_line = nullptr;
        return nullptr;
    }
    // The kept copy, tabs turned into blanks.
    for (int k = 0; k < length; ++k) {
        char c = raw_line[k];
        if (c == '\t') c = raw_line[k] = ' ';
        orig_line_buf[k] = c;
    }
    orig_line_buf[length] = '\0';
    raw_line[length] = '\0';

    int room = kWordsGrowth;
    auto** words = static_cast<char**>(PLY_ALLOC(sizeof(char*) * size_t(room)));
    int count = 0;
    int k = 0;
    while (k < length) {
        while (k < length && raw_line[k] == ' ') ++k;
        if (k >= length) break;
        if (count == room) {
            room += kWordsGrowth;
            words = static_cast<char**>(PLY_REALLOC(words, size_t(room), sizeof(char*)));
        }
        words[count++] = raw_line + k;
        while (k < length && raw_line[k] != ' ') ++k;
        raw_line[k++] = '\0';
    }
    *nwords = count;
    *orig_line = orig_line_buf;
    return words;
}
