#include "files/printable_name.h"

#include <cstdio>

namespace files {

namespace {

void escapeByte(unsigned char b, std::string* out) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02x", b);
    *out += hex;
}

// Length of the valid UTF-8 sequence at s[i] (2 to 4), or 0.
std::size_t utf8Length(const std::string& s, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = at(i);
    std::size_t n = 0;
    unsigned lowest = 0;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2, lowest = 0x80;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3, lowest = 0x800;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4, lowest = 0x10000;
    else
        return 0;
    if (i + n > s.size()) return 0;
    unsigned code = b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        if ((at(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (at(i + k) & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

bool isUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = utf8Length(text, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string printableName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const unsigned char b = static_cast<unsigned char>(name[i]);
        if (b < 0x80) {
            if (b < 0x20 || b == 0x7F)
                escapeByte(b, &out);
            else
                out += static_cast<char>(b);
            ++i;
            continue;
        }
        const std::size_t n = utf8Length(name, i);
        // U+0080 to U+009F (C2 80 to C2 9F) are control characters too.
        const bool control = n == 2 && b == 0xC2 && static_cast<unsigned char>(name[i + 1]) < 0xA0;
        if (n == 0 || control) {
            for (std::size_t k = 0; k < (n == 0 ? 1 : n); ++k)
                escapeByte(static_cast<unsigned char>(name[i + k]), &out);
            i += n == 0 ? 1 : n;
            continue;
        }
        out.append(name, i, n);
        i += n;
    }
    return out;
}

}  // namespace files
