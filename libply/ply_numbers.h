// Conversions between words of text and numbers with exactly the results of
// the C library's atoi, strtol, atof and printf, done without its overhead
// where the word or value is an ordinary one, and by the C library itself
// otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plynum {

// The word is [first, last): no blank or tab inside, not necessarily
// NUL-terminated; at most 4095 characters.

// atoi: (int)strtol(word, NULL, 10), the long's low 32 bits.
int32_t atoi_word(const char* first, const char* last);
// strtol(word, NULL, 10) limited to the 32-bit signed range.
int32_t strtol32_word(const char* first, const char* last);
// atof(word).
double atof_word(const char* first, const char* last);

// The same through the C library only (the reference the fast paths equal).
int32_t atoi_word_plain(const char* first, const char* last);
int32_t strtol32_word_plain(const char* first, const char* last);
double atof_word_plain(const char* first, const char* last);

// Prefix readers for the common words: the number that starts at first as
// strtol (base 10) or strtod reads it, and *end just past it. [first, last)
// may run past the word: the number stops at the first character that
// cannot continue it. False (nothing set) when the word needs the C library:
// a sign other than one '-', white space, more than 18 digits, hex, an
// infinity or NaN, overflow, or no digits at all.
inline bool long_prefix(const char* first, const char* last, int64_t* value, const char** end) {
    const char* p = first;
    bool negative = p < last && *p == '-';
    if (negative) ++p;
    const char* digits = p;
    uint64_t v = 0;
    while (p < last && static_cast<unsigned char>(*p - '0') < 10) {
        v = v * 10 + uint64_t(*p - '0');
        ++p;
    }
    if (p == digits || p - digits > 18) return false;
    *value = negative ? -int64_t(v) : int64_t(v);
    *end = p;
    return true;
}
// The general decimal reader behind double_prefix.
bool double_prefix_general(const char* first, const char* last, double* value, const char** end);

// A plain decimal ([-]digits[.digits], no exponent) whose digits make an
// integer of at most 2^53 with at most 22 decimals is the quotient of two
// exactly represented doubles: one correctly rounded division gives the
// nearest double, as strtod does. Others go to the general reader.
inline bool double_prefix(const char* first, const char* last, double* value, const char** end) {
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = first;
    bool negative = p < last && *p == '-';
    if (negative) ++p;
    const char* integer = p;
    uint64_t m = 0;
    while (p < last && static_cast<unsigned char>(*p - '0') < 10) {
        m = m * 10 + uint64_t(*p - '0');
        ++p;
    }
    ptrdiff_t integer_digits = p - integer;
    ptrdiff_t decimals = 0;
    if (p < last && *p == '.') {
        const char* fraction = ++p;
        while (p < last && static_cast<unsigned char>(*p - '0') < 10) {
            m = m * 10 + uint64_t(*p - '0');
            ++p;
        }
        decimals = p - fraction;
    }
    ptrdiff_t digits = integer_digits + decimals;
    bool plain = digits > 0 && digits <= 19 && decimals <= 22 && m <= (uint64_t(1) << 53) &&
                 !(p < last && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X'));
    if (!plain) return double_prefix_general(first, last, value, end);
    double v = double(m) / kPowersOfTen[decimals];
    *value = negative ? -v : v;
    *end = p;
    return true;
}

// The 32-bit results of atoi and of the saturating strtol from a long.
inline int32_t atoi_result(int64_t v) {
    return int32_t(uint32_t(uint64_t(v)));
}
inline int32_t strtol32_result(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

// True when the current locale writes and reads the decimal point as '.'.
bool decimal_point_is_dot();

// Writers: append the text of the value to out and return the end. Room for
// 32 characters is enough for each.
char* format_int(char* out, int32_t value);    // printf "%d"
char* format_uint(char* out, uint32_t value);  // printf "%u"
char* format_g(char* out, double value);       // printf "%g" (C locale)

}  // namespace plynum
