// Child process for the fatal-path tests: runs one named scenario that is
// expected to end the process through the PLY library, so the test can
// check the exit status and the exact text on standard error.

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "libply/ply_internal.h"
#include "libply/plyfile.h"

namespace {

struct Vertex {
    float x;
    unsigned char n;
    int* items;
};

const ply_property_def kX = {"x", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, x), 0, 0, 0, 0};
const ply_property_def kList = {"l", PLY_INT,   PLY_INT,   offsetof(Vertex, items),
                                1,   PLY_UCHAR, PLY_UCHAR, offsetof(Vertex, n)};

std::string input_bytes;  // lives as long as the process

ply_handle* open_text(const std::string& text) {
    input_bytes = text;
    FILE* fp = fmemopen(input_bytes.data(), input_bytes.size(), "r");
    int nelems;
    char** elist;
    ply_handle* ply = ply_read_header(fp, &nelems, &elist);
    if (ply == nullptr) {
        std::printf("header rejected\n");
        std::exit(3);
    }
    return ply;
}

// Reads `count` instances of element "v" selecting x (and the list l when present).
void read_v(const std::string& text, int count, bool with_list) {
    ply_handle* ply = open_text(text);
    ply_select_property(ply, "v", &kX);
    if (with_list) ply_select_property(ply, "v", &kList);
    Vertex v{};
    for (int i = 0; i < count; ++i) ply_get_element(ply, &v);
    std::printf("read all\n");
    std::exit(0);
}

std::string binary_header(const char* props) {
    return std::string("ply\nformat binary_little_endian 1.0\nelement v 1\n") + props +
           "end_header\n";
}

ply_handle* write_handle(FILE* fp, int file_type) {
    const char* names[] = {"v"};
    ply_handle* ply = ply_begin_write(fp, 1, names, file_type);
    return ply;
}

// Writes one value 1.5 held as memory_type as disk_type (with the header
// unless a bad type would stop the header first).
void write_one(FILE* fp, int file_type, int memory_type, int disk_type, bool header = true) {
    ply_handle* ply = write_handle(fp, file_type);
    ply_property_def prop = {"x", disk_type, memory_type, 0, 0, 0, 0, 0};
    ply_describe_element(ply, "v", 1, 1, &prop);
    if (header) ply_header_complete(ply);
    ply_elements_setup(ply, "v");
    double value = 1.5;
    ply_write_element(ply, &value);
    ply_close_file(ply);
    std::exit(0);
}

FILE* open_memory_output() {
    static char* buffer;
    static size_t size;
    return open_memstream(&buffer, &size);
}

// Writes a few thousand text or binary instances to a device that is full.
void write_to_full_device(int file_type) {
    FILE* fp = std::fopen("/dev/full", "w");
    if (fp == nullptr) {
        std::printf("no /dev/full\n");
        std::exit(4);
    }
    ply_handle* ply = write_handle(fp, file_type);
    ply_describe_element(ply, "v", 3, 1, &kX);
    ply_header_complete(ply);
    ply_elements_setup(ply, "v");
    Vertex v{2.5f, 0, nullptr};
    for (int i = 0; i < 3; ++i) ply_write_element(ply, &v);
    ply_close_file(ply);
    std::exit(0);
}

int handler_calls = 0;
void recording_handler(int status) {
    ++handler_calls;
    std::fprintf(stderr, "handler %d\n", status);
    std::exit(40);
}
void returning_handler(int status) {
    std::fprintf(stderr, "handler returned %d\n", status);
}

const std::string kTextV2 = "ply\nformat ascii 1.0\nelement v 2\nproperty float x\nend_header\n";

const std::map<std::string, void (*)()> kScenarios = {
    {"text-end", [] { read_v(kTextV2 + "1.5\n", 2, false); }},
    {"text-ok", [] { read_v(kTextV2 + "1.5\n2\n", 2, false); }},
    {"text-bad-type",
     [] {
         read_v("ply\nformat ascii 1.0\nelement v 1\nproperty flt x\nend_header\n1\n", 1, false);
     }},
    {"text-few-values",
     [] {
         read_v(
             "ply\nformat ascii 1.0\nelement v 1\nproperty float x\nproperty float y\n"
             "end_header\n1\n",
             1, false);
     }},
    {"text-list-short",
     [] {
         read_v(
             "ply\nformat ascii 1.0\nelement v 1\nproperty float x\n"
             "property list uchar int l\nend_header\n1 3 7 8\n",
             1, true);
     }},
    {"text-list-negative",
     [] {
         read_v(
             "ply\nformat ascii 1.0\nelement v 1\nproperty float x\n"
             "property list char int l\nend_header\n1 -2 7 8\n",
             1, true);
     }},
    {"binary-end",
     [] { read_v(binary_header("property float x\n") + std::string("\0\0\xc0", 3), 1, false); }},
    {"binary-bad-type",
     [] { read_v(binary_header("property flt x\n") + std::string(8, '\0'), 1, false); }},
    {"binary-list-negative",
     [] {
         read_v(binary_header("property float x\nproperty list int int l\n") +
                    std::string("\0\0\xc0\x3f\xff\xff\xff\xff", 8) + std::string(16, '\0'),
                1, true);
     }},
    {"binary-list-huge",
     [] {
         read_v(binary_header("property float x\nproperty list uint int l\n") +
                    std::string("\0\0\xc0\x3f\xfe\xff\xff\x7f", 8) + std::string(64, '\0'),
                1, true);
     }},
    {"binary-dropped-list-huge",
     [] {
         read_v(binary_header("property float x\nproperty list uint int l\n") +
                    std::string("\0\0\xc0\x3f\xfe\xff\xff\x7f", 8) + std::string(64, '\0'),
                1, false);
     }},
    {"store-bad-type",
     [] {
         ply_handle* ply = open_text(kTextV2 + "1\n2\n");
         ply_property_def prop = kX;
         prop.memory_type = 11;
         ply_select_property(ply, "v", &prop);
         double sink[2];
         ply_get_element(ply, sink);
     }},
    {"no-element-selected",
     [] {
         ply_handle* ply = open_text(kTextV2 + "1\n2\n");
         Vertex v{};
         ply_get_element(ply, &v);
     }},
    {"select-unknown-element",
     [] {
         ply_handle* ply = open_text(kTextV2 + "1\n2\n");
         ply_select_property(ply, "w", &kX);
         std::exit(0);
     }},
    {"header-bad-file-type", [] { write_one(open_memory_output(), 7, PLY_DOUBLE, PLY_FLOAT); }},
    {"write-scalar-bad", [] { write_scalar_type(stdout, 0); }},
    {"write-ascii-bad", [] { write_ascii_item(stdout, 1, 1, 1.0, 9); }},
    {"write-binary-bad", [] { write_binary_item(stdout, PLY_BINARY_LE, 1, 1, 1.0, 0); }},
    {"old-write-bad", [] { old_write_ascii_item(stdout, "abcd", 12); }},
    {"get-stored-bad",
     [] {
         int i;
         unsigned u;
         double d;
         get_stored_item("abcd", 0, &i, &u, &d);
     }},
    {"get-item-value-bad", [] { get_item_value("abcd", 9); }},
    {"get-ascii-bad",
     [] {
         int i;
         unsigned u;
         double d;
         get_ascii_item("12", 0, &i, &u, &d);
     }},
    {"write-binary-disk-type-bad", [] { write_one(stdout, PLY_BINARY_LE, PLY_DOUBLE, 0, false); }},
    {"write-text-memory-type-bad",
     [] { write_one(open_memory_output(), PLY_ASCII, 0, PLY_FLOAT); }},
    {"write-text-disk-type-bad", [] { write_one(stdout, PLY_ASCII, PLY_DOUBLE, 10, false); }},
    {"describe-element-unknown",
     [] {
         ply_handle* ply = write_handle(open_memory_output(), PLY_ASCII);
         ply_describe_element(ply, "w", 1, 1, &kX);
     }},
    {"describe-property-unknown",
     [] {
         ply_handle* ply = write_handle(open_memory_output(), PLY_ASCII);
         ply_describe_property(ply, "w", &kX);
         std::exit(0);
     }},
    {"element-count-unknown",
     [] { ply_element_count(write_handle(open_memory_output(), PLY_ASCII), "w", 2); }},
    {"elements-setup-unknown",
     [] { ply_elements_setup(write_handle(open_memory_output(), PLY_ASCII), "w"); }},
    {"no-element-set-up",
     [] {
         ply_handle* ply = write_handle(open_memory_output(), PLY_ASCII);
         Vertex v{};
         ply_write_element(ply, &v);
     }},
    {"other-element-unknown", [] { ply_get_other_element(open_text(kTextV2 + "1\n2\n"), "w", 1); }},
    {"other-properties-unknown",
     [] {
         if (ply_get_other_properties(open_text(kTextV2 + "1\n2\n"), "w", 8) == nullptr) {
             std::exit(0);
         }
     }},
    {"full-device-text", [] { write_to_full_device(PLY_ASCII); }},
    {"full-device-binary", [] { write_to_full_device(PLY_BINARY_LE); }},
    {"alloc-fails", [] { checked_alloc(~size_t(0) / 2, 77, "plyfile.cpp"); }},
    {"handler-called",
     [] {
         ply_set_exit_handler(recording_handler);
         read_v(kTextV2 + "1.5\n", 2, false);
     }},
    {"handler-returns",
     [] {
         ply_set_exit_handler(returning_handler);
         read_v(kTextV2 + "1.5\n", 2, false);
     }},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || kScenarios.count(argv[1]) == 0) {
        std::fprintf(stderr, "usage: ply_probe <scenario>\n");
        return 2;
    }
    kScenarios.at(argv[1])();
    std::printf("returned\n");
    return 0;
}
