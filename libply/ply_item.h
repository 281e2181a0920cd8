// One item in its three forms, and the conversions between the forms, bytes
// in memory and type codes. Shared by the reading and writing paths.
#pragma once

#include <cstdint>
#include <cstring>

#include "libply/plyfile.h"

struct PlyItem {
    int i;       // signed 32-bit form
    unsigned u;  // unsigned 32-bit form
    double d;    // double form
};

// Truncation toward zero into 32 bits; out of range (or NaN) gives INT32_MIN,
// as the x86-64 conversion instruction does.
inline int32_t ply_trunc_int(double d) {
    if (d > -2147483649.0 && d < 2147483648.0) return int32_t(d);
    return INT32_MIN;
}

// Low 32 bits of the value truncated toward zero into 64 bits; out of range
// (or NaN) gives 0, the low half of INT64_MIN.
inline uint32_t ply_trunc_uint(double d) {
    if (d > -9223372036854775808.0 && d < 9223372036854775808.0) {
        return uint32_t(uint64_t(int64_t(d)));
    }
    return 0;
}

inline void item_from_int(int32_t v, PlyItem& it) {
    it.i = v;
    it.u = uint32_t(v);
    it.d = double(v);
}

inline void item_from_uint(uint32_t v, PlyItem& it) {
    it.u = v;
    it.i = int32_t(v);
    it.d = double(v);
}

inline void item_from_double(double v, PlyItem& it) {
    it.d = v;
    it.i = ply_trunc_int(v);
    it.u = ply_trunc_uint(v);
}

// Fills the three forms from a value of the type at bytes (machine order).
// False for a type code outside 1..8.
inline bool decode_item(const void* bytes, int type, PlyItem& it) {
    switch (type) {
        case PLY_CHAR: {
            int8_t v;
            std::memcpy(&v, bytes, 1);
            item_from_int(v, it);
            return true;
        }
        case PLY_SHORT: {
            int16_t v;
            std::memcpy(&v, bytes, 2);
            item_from_int(v, it);
            return true;
        }
        case PLY_INT: {
            int32_t v;
            std::memcpy(&v, bytes, 4);
            item_from_int(v, it);
            return true;
        }
        case PLY_UCHAR: {
            uint8_t v;
            std::memcpy(&v, bytes, 1);
            item_from_uint(v, it);
            return true;
        }
        case PLY_USHORT: {
            uint16_t v;
            std::memcpy(&v, bytes, 2);
            item_from_uint(v, it);
            return true;
        }
        case PLY_UINT: {
            uint32_t v;
            std::memcpy(&v, bytes, 4);
            item_from_uint(v, it);
            return true;
        }
        case PLY_FLOAT: {
            float v;
            std::memcpy(&v, bytes, 4);
            item_from_double(v, it);
            return true;
        }
        case PLY_DOUBLE: {
            double v;
            std::memcpy(&v, bytes, 8);
            item_from_double(v, it);
            return true;
        }
        default:
            return false;
    }
}

// Writes the form that fits the type at dest (machine order): the low bits
// of the signed or unsigned form, or the double rounded to the type.
// False for a type code outside 1..8.
inline bool encode_item(void* dest, int type, const PlyItem& it) {
    switch (type) {
        case PLY_CHAR: {
            int8_t v = int8_t(it.i);
            std::memcpy(dest, &v, 1);
            return true;
        }
        case PLY_SHORT: {
            int16_t v = int16_t(it.i);
            std::memcpy(dest, &v, 2);
            return true;
        }
        case PLY_INT: {
            std::memcpy(dest, &it.i, 4);
            return true;
        }
        case PLY_UCHAR: {
            uint8_t v = uint8_t(it.u);
            std::memcpy(dest, &v, 1);
            return true;
        }
        case PLY_USHORT: {
            uint16_t v = uint16_t(it.u);
            std::memcpy(dest, &v, 2);
            return true;
        }
        case PLY_UINT: {
            std::memcpy(dest, &it.u, 4);
            return true;
        }
        case PLY_FLOAT: {
            float v = float(it.d);
            std::memcpy(dest, &v, 4);
            return true;
        }
        case PLY_DOUBLE: {
            std::memcpy(dest, &it.d, 8);
            return true;
        }
        default:
            return false;
    }
}

inline bool valid_type(int type) {
    return type >= PLY_CHAR && type <= PLY_DOUBLE;
}

// Reverses n bytes in place (whole words for items, so a load of the
// reversed item does not wait on single-byte stores).
inline void swap_bytes(unsigned char* b, int n) {
    switch (n) {
        case 2: {
            uint16_t v;
            std::memcpy(&v, b, 2);
            v = __builtin_bswap16(v);
            std::memcpy(b, &v, 2);
            return;
        }
        case 4: {
            uint32_t v;
            std::memcpy(&v, b, 4);
            v = __builtin_bswap32(v);
            std::memcpy(b, &v, 4);
            return;
        }
        case 8: {
            uint64_t v;
            std::memcpy(&v, b, 8);
            v = __builtin_bswap64(v);
            std::memcpy(b, &v, 8);
            return;
        }
        default:
            for (int k = 0; k < n / 2; ++k) {
                unsigned char t = b[k];
                b[k] = b[n - 1 - k];
                b[n - 1 - k] = t;
            }
    }
}

// Stores at dest the float at src (machine order) as the conversion through
// double stores it: the same bits, except that a signalling NaN comes back
// quiet, with its quiet bit set, as the hardware conversion leaves it. Done on
// the bits because a compiler may drop a float-double-float round trip as an
// identity, which would keep the signalling NaN on one path and not on another.
inline void copy_float_via_double(void* dest, const void* src) {
    uint32_t u;
    std::memcpy(&u, src, 4);
    if ((u & 0x7fffffffu) > 0x7f800000u) u |= 0x00400000u;
    std::memcpy(dest, &u, 4);
}

// Copies an item of 1, 2, 4 or 8 bytes (any other size byte by byte).
inline void copy_item_bytes(void* dest, const void* src, int n) {
    switch (n) {
        case 1:
            std::memcpy(dest, src, 1);
            return;
        case 2:
            std::memcpy(dest, src, 2);
            return;
        case 4:
            std::memcpy(dest, src, 4);
            return;
        case 8:
            std::memcpy(dest, src, 8);
            return;
        default:
            std::memcpy(dest, src, size_t(n));
    }
}

// Converts the word [first, last) as the type (atoi, strtol or atof rules),
// fast or through the C library only; false for a type code outside 1..8.
bool ascii_to_item(const char* first, const char* last, int type, bool fast, PlyItem& it);

// Fatal ends shared by the item readers and writers.
[[noreturn]] void ply_bad_type(const char* function, int type);  // "<function>: bad type = %d"
[[noreturn]] void ply_fread_failed();
[[noreturn]] void ply_fwrite_failed();
[[noreturn]] void ply_fprintf_failed();
