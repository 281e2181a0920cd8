// Selecting properties and reading element instances into caller records.
//
// An instance is read property by property: each value goes through its
// three forms and is stored in the caller's record when wanted, in the raw
// block of other properties when the element keeps one, or dropped. The
// same walk serves text and binary data; an item source supplies the
// values, from the words of one line or from the binary stream.

#include <cstdlib>
#include <cstring>

#include "libply/ply_internal.h"
#include "libply/ply_item.h"
#include "libply/ply_lines.h"
#include "libply/ply_numbers.h"
#include "libply/ply_stream.h"

namespace {

constexpr int kFirstListRoom = 1024;  // items allocated before a binary list proves longer

void select_one(ply_element_def* elem, const ply_property_def* prop) {
    int index;
    ply_property_def* found = lookup_property(elem, prop->name, &index);
    if (found == nullptr) {
        std::fprintf(stderr, "Warning:  Can't find property '%s' in element '%s'\n", prop->name,
                     elem->name);
        return;
    }
    found->memory_type = prop->memory_type;
    found->memory_offset = prop->memory_offset;
    found->count_memory_type = prop->count_memory_type;
    found->count_offset = prop->count_offset;
    elem->wanted[index] = 1;
}

ply_element_def* element_to_select(ply_handle* plyfile, const char* elem_name,
                                   const char* function) {
    ply_element_def* elem = lookup_element(plyfile, elem_name);
    if (elem == nullptr) {
        std::fprintf(stderr, "%s: can't find element '%s'\n", function, elem_name);
    }
    return elem;
}

[[noreturn]] void text_ended() {
    std::fprintf(stderr, "ply_get_element: unexpected end of file\n");
    ply_exit(-1);
}

[[noreturn]] void text_too_short(const ply_element_def* elem) {
    std::fprintf(stderr, "ply_get_element: too few values in a line of element '%s'\n", elem->name);
    ply_exit(-1);
}

void store(char* dest, int type, const PlyItem& it) {
    if (!encode_item(dest, type, it)) ply_bad_type("store_item", type);
}

void store_pointer(char* dest, void* pointer) {
    std::memcpy(dest, &pointer, sizeof(void*));
}

// Storage being filled that the caller does not own yet. A fatal end may
// unwind through an exit handler that throws; the storage goes with it.
struct PendingStorage {
    void* block;  // malloc'd, or null once handed over
    ~PendingStorage() { std::free(block); }
};

// Items from the words of one text line, taken in order. The line's
// characters are read in place; a word ends at a blank or a tab. Ordinary
// numbers are read straight from the line, anything else through the word
// conversions.
class LineSource {
public:
    LineSource(const PlyLine& line, const ply_element_def* elem)
        : p_(line.text), end_(line.text + line.length), elem_(elem) {}

    void get(int type, PlyItem& it) {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t')) ++p_;
        if (p_ == end_) text_too_short(elem_);
        const char* first = p_;
        bool done = read_number(type, it);
        while (p_ < end_ && *p_ != ' ' && *p_ != '\t') ++p_;
        if (!done && !ascii_to_item(first, p_, type, dot_is_decimal_point(), it)) {
            ply_bad_type("get_ascii_item", type);
        }
    }
    // A list count: negative ends the read; one beyond what the rest of the
    // line can hold (a word and a blank per item) is a line with too few values.
    void check_count(int count) const {
        if (count < 0) text_ended();
        if (count > (end_ - p_ + 1) / 2) text_too_short(elem_);
    }
    int first_list_room(int count) const { return count; }

private:
    // The number at p_ when it is an ordinary one; p_ moves past it.
    bool read_number(int type, PlyItem& it) {
        const char* stop;
        if (type == PLY_FLOAT || type == PLY_DOUBLE) {
            double v;
            if (!dot_is_decimal_point() || !plynum::double_prefix(p_, end_, &v, &stop)) {
                return false;
            }
            item_from_double(v, it);
        } else if (type >= PLY_CHAR && type <= PLY_UINT) {
            int64_t v;
            if (!plynum::long_prefix(p_, end_, &v, &stop)) return false;
            if (type == PLY_UINT) {
                item_from_uint(uint32_t(plynum::strtol32_result(v)), it);
            } else {
                item_from_int(plynum::atoi_result(v), it);
            }
        } else {
            return false;
        }
        p_ = stop;
        return true;
    }
    // Looked up once per line, when the line holds a floating-point value.
    bool dot_is_decimal_point() {
        if (dot_ < 0) dot_ = plynum::decimal_point_is_dot() ? 1 : 0;
        return dot_ == 1;
    }

    const char* p_;
    const char* end_;
    const ply_element_def* elem_;
    int dot_ = -1;  // the locale's decimal point is '.': -1 not known yet, 0 no, 1 yes
};

// Items from the word array of one text line, through the C library (the
// straightforward reference path).
class WordSource {
public:
    WordSource(char** words, int nwords, const ply_element_def* elem)
        : words_(words), nwords_(nwords), elem_(elem) {}

    void get(int type, PlyItem& it) {
        if (next_ >= nwords_) text_too_short(elem_);
        const char* word = words_[next_++];
        if (!ascii_to_item(word, word + std::strlen(word), type, false, it)) {
            ply_bad_type("get_ascii_item", type);
        }
    }
    void check_count(int count) const {
        if (count < 0) text_ended();
        if (count > nwords_ - next_) text_too_short(elem_);
    }
    int first_list_room(int count) const { return count; }

private:
    char** words_;
    int nwords_;
    const ply_element_def* elem_;
    int next_ = 0;
};

// Items from a binary stream, in the file's byte order.
class BinarySource {
public:
    BinarySource(FILE* fp, int file_type, bool plain)
        : fp_(fp),
          swap_(file_type != native_format.load(std::memory_order_relaxed)),
          plain_(plain) {}

    void get(int type, PlyItem& it) {
        unsigned char bytes[8];
        int size = ply_type_size(type);
        read(bytes, size);
        if (swap_ && size >= 2) swap_bytes(bytes, size);
        if (!decode_item(bytes, type, it)) ply_bad_type("get_binary_item", type);
    }
    // A value stored in its own file type needs no conversion: its bytes go
    // straight to dest. A float NaN is still stored as the way through double
    // stores it (quiet). False when the value needs converting.
    bool copy_same_type(int disk_type, int memory_type, char* dest) {
        if (plain_ || disk_type != memory_type) return false;
        unsigned char bytes[8];
        int size = ply_type_size(disk_type);
        if (size == 0) return false;
        read(bytes, size);
        if (swap_ && size >= 2) swap_bytes(bytes, size);
        if (disk_type == PLY_FLOAT) {
            copy_float_via_double(dest, bytes);
            return true;
        }
        copy_item_bytes(dest, bytes, size);
        return true;
    }
    // A negative count cannot be read: it ends as a short file does.
    void check_count(int count) const {
        if (count < 0) ply_fread_failed();
    }
    // The items are not known to be in the file yet: the array grows as
    // they arrive, so a corrupt count meets the end of the file instead of
    // a huge allocation.
    int first_list_room(int count) const { return count < kFirstListRoom ? count : kFirstListRoom; }

private:
    // Reads one item of the size; an item of size 0 (a type not in the
    // table) fails as a read of nothing does.
    void read(unsigned char* bytes, int size) {
        if (size <= 0 || size > 8) ply_fread_failed();
        bool ok;
        if (plain_) {
            ok = std::fread(bytes, size_t(size), 1, fp_) == 1;
        } else if (plyio::buffered(fp_) >= size_t(size)) {
            copy_item_bytes(bytes, plyio::buffer_at(fp_), size);
            plyio::consume(fp_, size_t(size));
            ok = true;
        } else {
            ok = plyio::read_exact(fp_, bytes, size_t(size));
        }
        if (!ok) ply_fread_failed();
    }

    FILE* fp_;
    bool swap_;
    bool plain_;
};

// Text items always go through the three forms.
template <class Source>
bool copy_same_type(Source&, int, int, char*) {
    return false;
}
bool copy_same_type(BinarySource& src, int disk_type, int memory_type, char* dest) {
    return src.copy_same_type(disk_type, memory_type, dest);
}

template <class Source>
void read_list_items(const ply_property_def* prop, char* base, int count, Source& src) {
    int item_size = ply_type_size(prop->memory_type);
    size_t slot = size_t(item_size > 0 ? item_size : 1);
    int room = src.first_list_room(count);
    auto* items = static_cast<char*>(PLY_ALLOC(slot * size_t(room)));
    PendingStorage pending{items};
    PlyItem it;
    for (int j = 0; j < count; ++j) {
        if (j == room) {
            room = room > count / 2 ? count : 2 * room;
            items = static_cast<char*>(PLY_REALLOC(items, size_t(room), slot));
            pending.block = items;
        }
        char* dest = items + size_t(j) * size_t(item_size);
        if (copy_same_type(src, prop->disk_type, prop->memory_type, dest)) continue;
        src.get(prop->disk_type, it);
        store(dest, prop->memory_type, it);
    }
    pending.block = nullptr;
    store_pointer(base + prop->memory_offset, items);
}

// Stores a list's count. A count read from text in a floating-point type
// may round up when stored as "float" ("2.99999999" gives 3.0 over two
// items): whoever walks the array by the stored count (the caller, or the
// writer of a raw block) would read past it. Such a count is stored as the
// number of items read instead.
void store_count(char* dest, int type, const PlyItem& it) {
    store(dest, type, it);
    PlyItem back;
    if (it.i >= 0 && decode_item(dest, type, back) && back.i > it.i) {
        PlyItem items;
        item_from_int(it.i, items);
        store(dest, type, items);
    }
}

template <class Source>
void read_list(const ply_property_def* prop, char* base, Source& src) {
    PlyItem it;
    src.get(prop->count_disk_type, it);
    if (base != nullptr) store_count(base + prop->count_offset, prop->count_memory_type, it);
    int count = it.i;
    src.check_count(count);
    if (base == nullptr) {
        for (int j = 0; j < count; ++j) src.get(prop->disk_type, it);
    } else if (count == 0) {
        store_pointer(base + prop->memory_offset, nullptr);
    } else {
        read_list_items(prop, base, count, src);
    }
}

template <class Source>
void read_instance(const ply_element_def* elem, char* record, char* block, Source& src) {
    for (int k = 0; k < elem->property_count; ++k) {
        const ply_property_def* prop = elem->properties[k];
        char* base = elem->wanted[k] ? record : block;  // null: read and dropped
        if (prop->is_list) {
            read_list(prop, base, src);
            continue;
        }
        char* dest = base != nullptr ? base + prop->memory_offset : nullptr;
        if (dest != nullptr && copy_same_type(src, prop->disk_type, prop->memory_type, dest)) {
            continue;
        }
        PlyItem it;
        src.get(prop->disk_type, it);
        if (dest != nullptr) store(dest, prop->memory_type, it);
    }
}

void read_text_instance(ply_handle* plyfile, const ply_element_def* elem, char* record,
                        char* block) {
    if (ply_plain_paths()) {
        int nwords;
        char* orig;
        char** words = split_line_words(plyfile->stream, &nwords, &orig);
        if (words == nullptr) text_ended();
        PendingStorage pending{words};
        WordSource src(words, nwords, elem);
        read_instance(elem, record, block, src);
        return;
    }
    PlyLine line;
    if (!ply_next_line(plyfile->stream, &line)) text_ended();
    LineSource src(line, elem);
    read_instance(elem, record, block, src);
}

}  // namespace

void ply_select_properties(ply_handle* plyfile, const char* elem_name, int nprops,
                           const ply_property_def* prop_list) {
    ply_element_def* elem = element_to_select(plyfile, elem_name, "ply_select_properties");
    if (elem == nullptr) return;
    plyfile->current_element = elem;
    for (int i = 0; i < nprops; ++i) select_one(elem, &prop_list[i]);
}

void ply_select_property(ply_handle* plyfile, const char* elem_name, const ply_property_def* prop) {
    ply_element_def* elem = element_to_select(plyfile, elem_name, "ply_select_property");
    if (elem == nullptr) return;
    plyfile->current_element = elem;
    select_one(elem, prop);
}

void ply_get_element(ply_handle* plyfile, void* elem_ptr) {
    ply_element_def* elem = plyfile->current_element;
    if (elem == nullptr) {
        std::fprintf(stderr, "ply_get_element: no element selected\n");
        ply_exit(-1);
    }
    auto* record = static_cast<char*>(elem_ptr);
    char* block = nullptr;
    if (elem->other_offset != -1) {
        block = static_cast<char*>(PLY_ALLOC(size_t(elem->other_size)));
        std::memset(block, 0, size_t(elem->other_size));
        store_pointer(record + elem->other_offset, block);
    }
    if (plyfile->file_type == PLY_ASCII) {
        read_text_instance(plyfile, elem, record, block);
    } else {
        BinarySource src(plyfile->stream, plyfile->file_type, ply_plain_paths() != 0);
        read_instance(elem, record, block, src);
    }
}
