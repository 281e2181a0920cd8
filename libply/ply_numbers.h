// Conversions between words of text and numbers with exactly the results of
// the C library's atoi, strtol, atof and printf, done without its overhead
// where the word or value is an ordinary one, and by the C library itself
// otherwise.
#pragma once

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

// True when the current locale writes and reads the decimal point as '.'.
bool decimal_point_is_dot();

// Writers: append the text of the value to out and return the end. Room for
// 32 characters is enough for each.
char* format_int(char* out, int32_t value);      // printf "%d"
char* format_uint(char* out, uint32_t value);    // printf "%u"
char* format_g(char* out, double value);         // printf "%g" (C locale)

}  // namespace plynum
