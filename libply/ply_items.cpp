// Item conversion: one value between its text or binary form in a file, its
// three forms (signed, unsigned, double) and its type in memory.

#include <cstdio>
#include <cstring>

#include "libply/ply_internal.h"
#include "libply/ply_item.h"
#include "libply/ply_numbers.h"
#include "libply/ply_stream.h"

void ply_bad_type(const char* function, int type) {
    std::fprintf(stderr, "%s: bad type = %d\n", function, type);
    ply_exit(-1);
}

void ply_fread_failed() {
    std::fprintf(stderr, "PLY ERROR: fread() failed -- aborting.\n");
    ply_exit(1);
}

void ply_fwrite_failed() {
    std::fprintf(stderr, "PLY ERROR: fwrite() failed -- aborting.\n");
    ply_exit(1);
}

void ply_fprintf_failed() {
    std::fprintf(stderr, "PLY ERROR: fprintf() failed -- aborting.\n");
    ply_exit(1);
}

bool ascii_to_item(const char* first, const char* last, int type, bool fast, PlyItem& it) {
    switch (type) {
        case PLY_CHAR:
        case PLY_SHORT:
        case PLY_INT:
        case PLY_UCHAR:
        case PLY_USHORT:
            item_from_int(
                fast ? plynum::atoi_word(first, last) : plynum::atoi_word_plain(first, last), it);
            return true;
        case PLY_UINT: {
            int32_t v = fast ? plynum::strtol32_word(first, last)
                             : plynum::strtol32_word_plain(first, last);
            item_from_uint(uint32_t(v), it);
            return true;
        }
        case PLY_FLOAT:
        case PLY_DOUBLE:
            item_from_double(
                fast ? plynum::atof_word(first, last) : plynum::atof_word_plain(first, last), it);
            return true;
        default:
            return false;
    }
}

void get_ascii_item(const char* word, int type, int* int_val, unsigned int* uint_val,
                    double* double_val) {
    bool fast = !ply_plain_paths() && plynum::decimal_point_is_dot();
    PlyItem it;
    if (!ascii_to_item(word, word + std::strlen(word), type, fast, it)) {
        ply_bad_type("get_ascii_item", type);
    }
    *int_val = it.i;
    *uint_val = it.u;
    *double_val = it.d;
}

void get_binary_item(FILE* fp, int file_type, int type, int* int_val, unsigned int* uint_val,
                     double* double_val) {
    if (native_format.load(std::memory_order_relaxed) == -1) ply_run_machine_checks();
    unsigned char bytes[8];
    int size = ply_type_size(type);
    bool ok = ply_plain_paths() ? (size > 0 && std::fread(bytes, size_t(size), 1, fp) == 1)
                                : plyio::read_exact(fp, bytes, size_t(size));
    if (!ok) ply_fread_failed();
    if (file_type != native_format.load(std::memory_order_relaxed) && size >= 2) {
        swap_bytes(bytes, size);
    }
    PlyItem it;
    if (!decode_item(bytes, type, it)) ply_bad_type("get_binary_item", type);
    *int_val = it.i;
    *uint_val = it.u;
    *double_val = it.d;
}

void store_item(void* item, int type, int int_val, unsigned int uint_val, double double_val) {
    PlyItem it{int_val, uint_val, double_val};
    if (!encode_item(item, type, it)) ply_bad_type("store_item", type);
}

void get_stored_item(const void* ptr, int type, int* int_val, unsigned int* uint_val,
                     double* double_val) {
    PlyItem it;
    if (!decode_item(ptr, type, it)) ply_bad_type("get_stored_item", type);
    *int_val = it.i;
    *uint_val = it.u;
    *double_val = it.d;
}

double get_item_value(const void* item, int type) {
    PlyItem it;
    if (!decode_item(item, type, it)) ply_bad_type("get_item_value", type);
    return it.d;
}

void reverse_bytes(void* bytes, int size) {
    swap_bytes(static_cast<unsigned char*>(bytes), size);
}
