// Writing PLY files: the write handle, element descriptions, the header and
// the instances in text or binary.
//
// An instance is written property by property from the caller's record (or,
// for properties kept raw, from the raw block the record points to). Values
// go to an item sink: the plain sinks write each value with its own fprintf
// or fwrite call; the fast sinks format the instance into a local buffer and
// hand it to the stream in one call, with byte-identical output. An
// instance whose types are not all valid goes through the plain sinks, so
// its partial output and messages are exactly those of the value-by-value
// path.

#include <cstdlib>
#include <cstring>

#include "libply/ply_internal.h"
#include "libply/ply_item.h"
#include "libply/ply_numbers.h"
#include "libply/ply_stream.h"

namespace {

constexpr size_t kWriteBufferSize = 1 << 16;  // stdio buffer for files the library opens
constexpr size_t kSinkBufferSize = 4096;      // one instance, or a piece of a long one
constexpr size_t kMaxItemText = 40;           // longest text of one value and its blank
constexpr char kExtension[] = ".ply";
constexpr size_t kExtensionLength = 4;

ply_element_def* element_or_exit(ply_handle* plyfile, const char* elem_name, const char* function) {
    ply_element_def* elem = lookup_element(plyfile, elem_name);
    if (elem == nullptr) {
        std::fprintf(stderr, "%s: can't find element '%s'\n", function, elem_name);
        ply_exit(-1);
    }
    return elem;
}

void free_properties_of(ply_element_def* elem) {
    for (int i = 0; i < elem->property_count; ++i) {
        std::free(const_cast<char*>(elem->properties[i]->name));
        std::free(elem->properties[i]);
    }
    std::free(elem->properties);
    std::free(elem->wanted);
    elem->properties = nullptr;
    elem->wanted = nullptr;
    elem->property_count = 0;
}

ply_property_def* copy_of(const ply_property_def* prop) {
    auto* copy = static_cast<ply_property_def*>(PLY_ALLOC(sizeof(ply_property_def)));
    clone_property(copy, prop);
    return copy;
}

// Writes "property [list <count type> ]<type> <name>\n".
void write_property_line(FILE* fp, const ply_property_def* prop) {
    if (prop->is_list) {
        std::fprintf(fp, "property list ");
        write_scalar_type(fp, prop->count_disk_type);
        std::fprintf(fp, " ");
        write_scalar_type(fp, prop->disk_type);
        std::fprintf(fp, " %s\n", prop->name);
    } else {
        std::fprintf(fp, "property ");
        write_scalar_type(fp, prop->disk_type);
        std::fprintf(fp, " %s\n", prop->name);
    }
}

void fetch(const char* src, int type, PlyItem& it) {
    if (!decode_item(src, type, it)) ply_bad_type("get_stored_item", type);
}

// Value by value: write_ascii_item, and a line feed after the instance.
class PlainTextSink {
public:
    explicit PlainTextSink(FILE* fp) : fp_(fp) {}
    void put(const PlyItem& it, int type) { write_ascii_item(fp_, it.i, it.u, it.d, type); }
    void finish() { std::fprintf(fp_, "\n"); }

private:
    FILE* fp_;
};

// Value by value: write_binary_item.
class PlainBinarySink {
public:
    PlainBinarySink(FILE* fp, int file_type) : fp_(fp), file_type_(file_type) {}
    void put(const PlyItem& it, int type) {
        write_binary_item(fp_, file_type_, it.i, it.u, it.d, type);
    }
    void finish() {}

private:
    FILE* fp_;
    int file_type_;
};

// Collects the instance's bytes and hands them to the stream at once.
class BufferedSink {
public:
    BufferedSink(FILE* fp, bool text) : fp_(fp), text_(text) {}
    void flush() {
        size_t n = size_t(end_ - buffer_);
        if (n > 0 && plyio::write_unlocked(buffer_, n, fp_) != n) {
            text_ ? ply_fprintf_failed() : ply_fwrite_failed();
        }
        end_ = buffer_;
    }

protected:
    char* room_for_item() {
        if (size_t(buffer_ + kSinkBufferSize - end_) < kMaxItemText) flush();
        return end_;
    }

    char buffer_[kSinkBufferSize];
    char* end_ = buffer_;

private:
    FILE* fp_;
    bool text_;
};

// printf's "%d ", "%u " or "%g " per value (types already checked).
class FastTextSink : public BufferedSink {
public:
    explicit FastTextSink(FILE* fp) : BufferedSink(fp, true) {}
    void put(const PlyItem& it, int type) {
        char* out = room_for_item();
        switch (type) {
            case PLY_CHAR:
            case PLY_SHORT:
            case PLY_INT:
                out = plynum::format_int(out, it.i);
                break;
            case PLY_UCHAR:
            case PLY_USHORT:
            case PLY_UINT:
                out = plynum::format_uint(out, it.u);
                break;
            default:
                out = plynum::format_g(out, it.d);
                break;
        }
        *out++ = ' ';
        end_ = out;
    }
    void finish() {
        *room_for_item() = '\n';
        ++end_;
        flush();
    }
};

// The value's bytes in the file's byte order (types already checked).
class FastBinarySink : public BufferedSink {
public:
    FastBinarySink(FILE* fp, int file_type)
        : BufferedSink(fp, false),
          swap_(file_type != native_format.load(std::memory_order_relaxed)) {}
    void put(const PlyItem& it, int type) {
        char* out = room_for_item();
        encode_item(out, type, it);
        int size = type_sizes[type];
        if (swap_ && size >= 2) swap_bytes(reinterpret_cast<unsigned char*>(out), size);
        end_ = out + size;
    }
    void finish() { flush(); }

private:
    bool swap_;
};

[[noreturn]] void missing_source(const ply_property_def* prop) {
    std::fprintf(stderr, "ply_write_element: no data for property '%s'\n", prop->name);
    ply_exit(-1);
}

template <class Sink>
void write_list(const ply_property_def* prop, const char* src, Sink& sink) {
    PlyItem it;
    fetch(src + prop->count_offset, prop->count_memory_type, it);
    sink.put(it, prop->count_disk_type);
    unsigned count = it.u;
    if (count == 0) return;
    const char* items;
    std::memcpy(&items, src + prop->memory_offset, sizeof(items));
    if (items == nullptr) missing_source(prop);
    size_t step = size_t(ply_type_size(prop->memory_type));
    for (unsigned j = 0; j < count; ++j) {
        fetch(items + step * j, prop->memory_type, it);
        sink.put(it, prop->disk_type);
    }
}

template <class Sink>
void write_instance(const ply_element_def* elem, const char* record, const char* other,
                    Sink& sink) {
    for (int k = 0; k < elem->property_count; ++k) {
        const ply_property_def* prop = elem->properties[k];
        const char* src = elem->wanted[k] ? record : other;
        if (src == nullptr) missing_source(prop);
        if (prop->is_list) {
            write_list(prop, src, sink);
            continue;
        }
        PlyItem it;
        fetch(src + prop->memory_offset, prop->memory_type, it);
        sink.put(it, prop->disk_type);
    }
    sink.finish();
}

// True when every type the instance's values pass through is valid.
bool types_all_valid(const ply_element_def* elem) {
    for (int k = 0; k < elem->property_count; ++k) {
        const ply_property_def* prop = elem->properties[k];
        if (!valid_type(prop->disk_type) || !valid_type(prop->memory_type)) return false;
        if (prop->is_list &&
            (!valid_type(prop->count_disk_type) || !valid_type(prop->count_memory_type))) {
            return false;
        }
    }
    return true;
}

}  // namespace

ply_handle* ply_open_write(const char* filename, int nelems, const char* const* elem_names,
                           int file_type, float* version) {
    size_t length = std::strlen(filename);
    auto* name = static_cast<char*>(PLY_ALLOC(length + kExtensionLength + 1));
    std::memcpy(name, filename, length + 1);
    if (length < kExtensionLength || !words_equal(name + length - kExtensionLength, kExtension)) {
        std::memcpy(name + length, kExtension, kExtensionLength + 1);
    }
    // Binary mode: the bytes reach the file exactly as written.
    FILE* fp = std::fopen(name, "wb");
    std::free(name);
    if (fp == nullptr) return nullptr;
    auto* buffer = static_cast<char*>(std::malloc(kWriteBufferSize));
    if (buffer != nullptr) std::setvbuf(fp, buffer, _IOFBF, kWriteBufferSize);
    ply_handle* plyfile = ply_begin_write(fp, nelems, elem_names, file_type);
    plyfile->io_buffer = buffer;
    *version = plyfile->version;
    return plyfile;
}

ply_handle* ply_begin_write(FILE* fp, int nelems, const char* const* elem_names, int file_type) {
    if (fp == nullptr) return nullptr;
    ply_run_machine_checks();
    ply_handle* plyfile = ply_new_handle(fp);
    plyfile->is_writing = 1;
    plyfile->file_type = file_type == PLY_BINARY_NATIVE ? native_format.load() : file_type;
    plyfile->version = 1.0f;
    for (int i = 0; i < nelems; ++i) {
        int n = plyfile->element_count;
        plyfile->elements = static_cast<ply_element_def**>(
            ply_grow_array(plyfile->elements, n, sizeof(ply_element_def*)));
        plyfile->elements[n] = ply_new_element(elem_names[i], 0);
        plyfile->element_count = n + 1;
    }
    return plyfile;
}

void ply_describe_element(ply_handle* plyfile, const char* elem_name, int nelems, int nprops,
                          const ply_property_def* prop_list) {
    ply_element_def* elem = element_or_exit(plyfile, elem_name, "ply_describe_element");
    elem->instance_count = nelems;
    free_properties_of(elem);
    for (int i = 0; i < nprops; ++i) ply_append_property(elem, copy_of(&prop_list[i]), 1);
}

void ply_describe_property(ply_handle* plyfile, const char* elem_name,
                           const ply_property_def* prop) {
    ply_element_def* elem = lookup_element(plyfile, elem_name);
    if (elem == nullptr) {
        std::fprintf(stderr, "ply_describe_property: can't find element '%s'\n", elem_name);
        return;
    }
    ply_append_property(elem, copy_of(prop), 1);
}

void ply_element_count(ply_handle* plyfile, const char* elem_name, int nelems) {
    ply_element_def* elem = element_or_exit(plyfile, elem_name, "ply_element_count");
    elem->instance_count = nelems;
}

void ply_header_complete(ply_handle* plyfile) {
    FILE* fp = plyfile->stream;
    std::fprintf(fp, "ply\n");
    switch (plyfile->file_type) {
        case PLY_ASCII:
            std::fprintf(fp, "format ascii 1.0\n");
            break;
        case PLY_BINARY_BE:
            std::fprintf(fp, "format binary_big_endian 1.0\n");
            break;
        case PLY_BINARY_LE:
            std::fprintf(fp, "format binary_little_endian 1.0\n");
            break;
        default:
            std::fprintf(stderr, "ply_header_complete: bad file type = %d\n", plyfile->file_type);
            ply_exit(-1);
    }
    for (int i = 0; i < plyfile->comment_count; ++i) {
        std::fprintf(fp, "comment %s\n", plyfile->comments[i]);
    }
    for (int i = 0; i < plyfile->obj_info_count; ++i) {
        std::fprintf(fp, "obj_info %s\n", plyfile->obj_infos[i]);
    }
    for (int i = 0; i < plyfile->element_count; ++i) {
        const ply_element_def* elem = plyfile->elements[i];
        std::fprintf(fp, "element %s %d\n", elem->name, elem->instance_count);
        for (int k = 0; k < elem->property_count; ++k) write_property_line(fp, elem->properties[k]);
    }
    std::fprintf(fp, "end_header\n");
}

void ply_elements_setup(ply_handle* plyfile, const char* elem_name) {
    plyfile->current_element = element_or_exit(plyfile, elem_name, "ply_elements_setup");
}

void ply_write_element(ply_handle* plyfile, const void* elem_ptr) {
    const ply_element_def* elem = plyfile->current_element;
    if (elem == nullptr) {
        std::fprintf(stderr, "ply_write_element: no element set up\n");
        ply_exit(-1);
    }
    const auto* record = static_cast<const char*>(elem_ptr);
    const char* other = nullptr;
    if (elem->other_offset != -1) std::memcpy(&other, record + elem->other_offset, sizeof(other));
    FILE* fp = plyfile->stream;
    bool text = plyfile->file_type == PLY_ASCII;
    bool fast =
        !ply_plain_paths() && types_all_valid(elem) && (!text || plynum::decimal_point_is_dot());
    if (text && fast) {
        FastTextSink sink(fp);
        write_instance(elem, record, other, sink);
    } else if (text) {
        PlainTextSink sink(fp);
        write_instance(elem, record, other, sink);
    } else if (fast) {
        FastBinarySink sink(fp, plyfile->file_type);
        write_instance(elem, record, other, sink);
    } else {
        PlainBinarySink sink(fp, plyfile->file_type);
        write_instance(elem, record, other, sink);
    }
}

void write_scalar_type(FILE* fp, int code) {
    if (!valid_type(code)) {
        std::fprintf(stderr, "write_scalar_type: bad data code = %d\n", code);
        ply_exit(-1);
    }
    std::fprintf(fp, "%s", type_names[code]);
}

void write_ascii_item(FILE* fp, int int_val, unsigned int uint_val, double double_val, int type) {
    int written;
    switch (type) {
        case PLY_CHAR:
        case PLY_SHORT:
        case PLY_INT:
            written = std::fprintf(fp, "%d ", int_val);
            break;
        case PLY_UCHAR:
        case PLY_USHORT:
        case PLY_UINT:
            written = std::fprintf(fp, "%u ", uint_val);
            break;
        case PLY_FLOAT:
        case PLY_DOUBLE:
            written = std::fprintf(fp, "%g ", double_val);
            break;
        default:
            ply_bad_type("write_ascii_item", type);
    }
    if (written < 1) ply_fprintf_failed();
}

void write_binary_item(FILE* fp, int file_type, int int_val, unsigned int uint_val,
                       double double_val, int type) {
    if (native_format.load(std::memory_order_relaxed) == -1) ply_run_machine_checks();
    unsigned char bytes[8];
    PlyItem it{int_val, uint_val, double_val};
    if (!encode_item(bytes, type, it)) ply_bad_type("write_binary_item", type);
    int size = type_sizes[type];
    if (file_type != native_format.load(std::memory_order_relaxed) && size >= 2) {
        swap_bytes(bytes, size);
    }
    if (std::fwrite(bytes, size_t(size), 1, fp) != 1) ply_fwrite_failed();
}

void old_write_ascii_item(FILE* fp, const char* item, int type) {
    PlyItem it;
    if (!decode_item(item, type, it)) ply_bad_type("old_write_ascii_item", type);
    switch (type) {
        case PLY_UINT:
            std::fprintf(fp, "%u ", it.u);
            break;
        case PLY_FLOAT:
        case PLY_DOUBLE:
            std::fprintf(fp, "%g ", it.d);
            break;
        default:
            std::fprintf(fp, "%d ", it.i);
            break;
    }
}
