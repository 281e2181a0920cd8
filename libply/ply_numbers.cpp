// Text-to-number and number-to-text conversions that equal the C library's.
//
// Reading: a word of optional '-' and up to 18 decimal digits (then anything
// that is not a digit) is converted directly; a decimal floating-point word
// goes through an exactly rounding parser, whose results equal strtod's in
// round-to-nearest mode. Everything else (a leading '+' or white space, hex,
// infinities and NaNs, overflow, more digits) is handed to the C library.
//
// Writing: integers are formatted directly; finite doubles with the
// standard library's exact shortest-form formatter in printf's %g style.

#include "libply/ply_numbers.h"

#include <fast_float/fast_float.h>
#include <langinfo.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace plynum {

namespace {

bool is_digit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

// A NUL-terminated copy of a word, for the C library.
struct WordCopy {
    char text[4096];
    WordCopy(const char* first, const char* last) {
        size_t n = size_t(last - first);
        if (n > sizeof(text) - 1) n = sizeof(text) - 1;
        std::memcpy(text, first, n);
        text[n] = '\0';
    }
};

}  // namespace

int32_t atoi_word_plain(const char* first, const char* last) {
    WordCopy w(first, last);
    return std::atoi(w.text);
}

int32_t strtol32_word_plain(const char* first, const char* last) {
    WordCopy w(first, last);
    return strtol32_result(std::strtol(w.text, nullptr, 10));
}

double atof_word_plain(const char* first, const char* last) {
    WordCopy w(first, last);
    return std::atof(w.text);
}

bool double_prefix_general(const char* first, const char* last, double* value, const char** end) {
    const char* p = first;
    if (p < last && *p == '-') ++p;
    if (p == last || !(is_digit(*p) || *p == '.')) return false;
    if (p[0] == '0' && p + 1 < last && (p[1] == 'x' || p[1] == 'X')) return false;
    auto result = fast_float::from_chars(first, last, *value);
    if (result.ec != std::errc() || !std::isfinite(*value)) return false;
    *end = result.ptr;
    return true;
}

int32_t atoi_word(const char* first, const char* last) {
    int64_t v;
    const char* end;
    if (long_prefix(first, last, &v, &end)) return atoi_result(v);
    return atoi_word_plain(first, last);
}

int32_t strtol32_word(const char* first, const char* last) {
    int64_t v;
    const char* end;
    if (long_prefix(first, last, &v, &end)) return strtol32_result(v);
    return strtol32_word_plain(first, last);
}

double atof_word(const char* first, const char* last) {
    double v;
    const char* end;
    if (double_prefix(first, last, &v, &end)) return v;
    return atof_word_plain(first, last);
}

bool decimal_point_is_dot() {
    const char* radix = nl_langinfo(RADIXCHAR);
    return radix != nullptr && radix[0] == '.' && radix[1] == '\0';
}

char* format_uint(char* out, uint32_t value) {
    char digits[10];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) *out++ = digits[--n];
    return out;
}

char* format_int(char* out, int32_t value) {
    if (value < 0) {
        *out++ = '-';
        return format_uint(out, uint32_t(0) - uint32_t(value));
    }
    return format_uint(out, uint32_t(value));
}

char* format_g(char* out, double value) {
    if (std::isfinite(value)) {
        auto result = std::to_chars(out, out + 32, value, std::chars_format::general, 6);
        if (result.ec == std::errc()) return result.ptr;
    }
    int n = std::snprintf(out, 32, "%g", value);
    return out + (n > 0 ? n : 0);
}

}  // namespace plynum
