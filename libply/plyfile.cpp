// Core of the PLY library: the type table, the one-time machine checks, the
// exit and allocation helpers, name lookups and the life of handle records.

#include "libply/plyfile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "libply/ply_internal.h"

const char* const type_names[PLY_END_TYPE] = {"invalid", "char", "short", "int",   "uchar",
                                              "ushort",  "uint", "float", "double"};
const int type_sizes[PLY_END_TYPE] = {0, 1, 2, 4, 1, 2, 4, 4, 8};

std::atomic<int> native_format{-1};
std::atomic<int> types_verified{0};
std::atomic<int> ply_plain_flag{0};

namespace {

std::atomic<ply_exit_handler_fn> exit_handler{nullptr};
std::once_flag machine_checks_once;

}  // namespace

// ---------------------------------------------------------------------------
// Exit

ply_exit_handler_fn ply_set_exit_handler(ply_exit_handler_fn handler) {
    return exit_handler.exchange(handler);
}

void ply_exit(int status) {
    ply_exit_handler_fn handler = exit_handler.load();
    if (handler != nullptr) handler(status);
    // The default, and the end for a handler that returned after all.
    std::exit(status);
}

void ply_machine_fatal(const char* text) {
    std::fprintf(stderr, "ply: %s\n", text);
    std::fprintf(stderr, "ply: Exiting...\n");
    ply_exit(1);
}

// ---------------------------------------------------------------------------
// Machine checks

void detect_native_format() {
    int32_t test = 1;
    unsigned char bytes[4];
    std::memcpy(bytes, &test, 4);
    if (bytes[0] == 1) {
        native_format = PLY_BINARY_LE;
    } else if (bytes[3] == 1) {
        native_format = PLY_BINARY_BE;
    } else {
        ply_machine_fatal("Couldn't determine machine endianness.");
    }
}

void verify_type_sizes() {
    const int machine_sizes[PLY_END_TYPE] = {
        0,
        int(sizeof(char)),
        int(sizeof(short)),
        int(sizeof(int)),
        int(sizeof(unsigned char)),
        int(sizeof(unsigned short)),
        int(sizeof(unsigned int)),
        int(sizeof(float)),
        int(sizeof(double)),
    };
    for (int code = PLY_CHAR; code <= PLY_DOUBLE; ++code) {
        if (type_sizes[code] != machine_sizes[code]) {
            ply_machine_fatal("Type sizes do not match built-in types");
        }
    }
    types_verified = 1;
}

void ply_run_machine_checks() {
    std::call_once(machine_checks_once, [] {
        if (native_format.load() == -1) detect_native_format();
        if (types_verified.load() == 0) verify_type_sizes();
    });
}

int ply_native_format() {
    return native_format.load();
}

void ply_set_plain_paths(int on) {
    ply_plain_flag = on ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Allocation

const char* ply_source_name(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

void* checked_alloc(size_t size, int line, const char* file) {
    void* memory = std::malloc(size > 0 ? size : 1);
    if (memory == nullptr) {
        std::fprintf(stderr, "Memory allocation bombed on line %d in %s\n", line,
                     ply_source_name(file));
        // Callers would otherwise write through the null pointer.
        ply_exit(-1);
    }
    return memory;
}

void* checked_realloc(void* ptr, size_t new_count, size_t elem_size, int line, const char* file) {
    if (elem_size != 0 && new_count > SIZE_MAX / elem_size) {
        std::fprintf(stderr, "Memory allocation bombed on line %d in %s\n", line,
                     ply_source_name(file));
        ply_exit(-1);
    }
    size_t bytes = new_count * elem_size;
    void* memory = std::realloc(ptr, bytes > 0 ? bytes : 1);
    if (memory == nullptr) {
        std::fprintf(stderr, "Memory allocation bombed on line %d in %s\n", line,
                     ply_source_name(file));
        ply_exit(-1);
    }
    return memory;
}

char* ply_strdup(const char* s) {
    size_t n = std::strlen(s) + 1;
    char* copy = static_cast<char*>(PLY_ALLOC(n));
    std::memcpy(copy, s, n);
    return copy;
}

void* ply_grow_array(void* array, int count, size_t elem_size) {
    // Room is the next power of two at or above the count, so an array that
    // gains one entry at a time is reallocated only when the count reaches a
    // power of two.
    size_t n = size_t(count);
    bool full = (n & (n - 1)) == 0;  // 0, 1, 2, 4, 8, ...
    if (!full) return array;
    return PLY_REALLOC(array, n == 0 ? 1 : 2 * n, elem_size);
}

// ---------------------------------------------------------------------------
// Names and lookups

int words_equal(const char* s1, const char* s2) {
    if (s1 == nullptr || s2 == nullptr) return 0;
    return std::strcmp(s1, s2) == 0 ? 1 : 0;
}

ply_element_def* lookup_element(ply_handle* plyfile, const char* element) {
    for (int i = 0; i < plyfile->element_count; ++i) {
        if (words_equal(element, plyfile->elements[i]->name)) return plyfile->elements[i];
    }
    return nullptr;
}

ply_property_def* lookup_property(ply_element_def* elem, const char* prop_name, int* index) {
    for (int i = 0; i < elem->property_count; ++i) {
        if (words_equal(prop_name, elem->properties[i]->name)) {
            *index = i;
            return elem->properties[i];
        }
    }
    *index = -1;
    return nullptr;
}

// The sized names that many writers declare, read as the table's types
// (files are still written with the table's names).
const char* const sized_type_names[PLY_END_TYPE] = {
    "", "int8", "int16", "int32", "uint8", "uint16", "uint32", "float32", "float64"};

int type_code_of(const char* name) {
    for (int code = PLY_CHAR; code <= PLY_DOUBLE; ++code) {
        if (words_equal(name, type_names[code]) || words_equal(name, sized_type_names[code]))
            return code;
    }
    return PLY_INVALID;
}

void clone_property(ply_property_def* dest, const ply_property_def* src) {
    *dest = *src;
    dest->name = ply_strdup(src->name != nullptr ? src->name : "");
}

// ---------------------------------------------------------------------------
// Records

ply_element_def* ply_new_element(const char* name, int instance_count) {
    auto* elem = static_cast<ply_element_def*>(PLY_ALLOC(sizeof(ply_element_def)));
    elem->name = ply_strdup(name);
    elem->instance_count = instance_count;
    elem->property_count = 0;
    elem->properties = nullptr;
    elem->wanted = nullptr;
    elem->other_offset = -1;
    elem->other_size = 0;
    return elem;
}

void ply_append_property(ply_element_def* elem, ply_property_def* prop, char wanted) {
    int n = elem->property_count;
    elem->properties = static_cast<ply_property_def**>(
        ply_grow_array(elem->properties, n, sizeof(ply_property_def*)));
    elem->wanted = static_cast<char*>(ply_grow_array(elem->wanted, n, sizeof(char)));
    elem->properties[n] = prop;
    elem->wanted[n] = wanted;
    elem->property_count = n + 1;
}

static void free_property(ply_property_def* prop) {
    if (prop == nullptr) return;
    std::free(const_cast<char*>(prop->name));
    std::free(prop);
}

void ply_free_element(ply_element_def* elem) {
    if (elem == nullptr) return;
    for (int i = 0; i < elem->property_count; ++i) free_property(elem->properties[i]);
    std::free(elem->properties);
    std::free(elem->wanted);
    std::free(elem->name);
    std::free(elem);
}

ply_handle* ply_new_handle(FILE* fp) {
    auto* plyfile = static_cast<ply_handle*>(PLY_ALLOC(sizeof(ply_handle)));
    std::memset(plyfile, 0, sizeof(ply_handle));
    plyfile->stream = fp;
    plyfile->current_element = nullptr;
    plyfile->other_elements = nullptr;
    return plyfile;
}

static void free_strings(int n, char** strings) {
    if (strings == nullptr) return;
    for (int i = 0; i < n; ++i) std::free(strings[i]);
    std::free(strings);
}

void ply_free_handle(ply_handle* plyfile) {
    if (plyfile == nullptr) return;
    for (int i = 0; i < plyfile->element_count; ++i) ply_free_element(plyfile->elements[i]);
    std::free(plyfile->elements);
    free_strings(plyfile->comment_count, plyfile->comments);
    free_strings(plyfile->obj_info_count, plyfile->obj_infos);
    std::free(plyfile->io_buffer);
    std::free(plyfile);
}

void ply_free_element_list(int nelems, char** elist) {
    free_strings(nelems, elist);
}

void ply_free_properties(int nprops, ply_property_def** props) {
    if (props == nullptr) return;
    for (int i = 0; i < nprops; ++i) free_property(props[i]);
    std::free(props);
}

// ---------------------------------------------------------------------------
// Queries, comments and closing

char** ply_comments(ply_handle* plyfile, int* num_comments) {
    *num_comments = plyfile->comment_count;
    return plyfile->comments;
}

char** ply_obj_infos(ply_handle* plyfile, int* num_obj_info) {
    *num_obj_info = plyfile->obj_info_count;
    return plyfile->obj_infos;
}

void ply_file_info(ply_handle* plyfile, float* version, int* file_type) {
    if (plyfile == nullptr) return;
    *version = plyfile->version;
    *file_type = plyfile->file_type;
}

void append_comment(ply_handle* plyfile, const char* comment) {
    int n = plyfile->comment_count;
    plyfile->comments = static_cast<char**>(ply_grow_array(plyfile->comments, n, sizeof(char*)));
    plyfile->comments[n] = ply_strdup(comment);
    plyfile->comment_count = n + 1;
}

void append_obj_info(ply_handle* plyfile, const char* obj_info) {
    int n = plyfile->obj_info_count;
    plyfile->obj_infos = static_cast<char**>(ply_grow_array(plyfile->obj_infos, n, sizeof(char*)));
    plyfile->obj_infos[n] = ply_strdup(obj_info);
    plyfile->obj_info_count = n + 1;
}

void ply_close_file(ply_handle* plyfile) {
    if (plyfile == nullptr) return;
    bool writing = plyfile->is_writing != 0;
    bool text = plyfile->file_type == PLY_ASCII;
    bool failed = false;
    if (plyfile->stream != nullptr) {
        // Output still in the stdio buffer reaches the file here; a failure
        // must not pass as a complete file.
        failed = std::ferror(plyfile->stream) != 0;
        failed = (std::fclose(plyfile->stream) != 0) || failed;
    }
    ply_free_handle(plyfile);
    if (writing && failed) {
        std::fprintf(stderr, text ? "PLY ERROR: fprintf() failed -- aborting.\n"
                                  : "PLY ERROR: fwrite() failed -- aborting.\n");
        ply_exit(1);
    }
}
