// Pass-through: unrequested properties kept in raw blocks with their slot
// layout, whole elements read raw, and both written out again unchanged.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ply_test_util.h"

namespace {

using plytest::OpenedPly;

TEST(OtherProperties, SlotsGoLargestFirstSoEachIsAligned) {
    OpenedPly h(
        "ply\nformat ascii 1.0\nelement e 1\nproperty uchar a\nproperty double b\n"
        "property short c\nproperty list uchar int l\nend_header\n1 2 3 0\n");
    ply_other_props* other = ply_get_other_properties(h.ply, "e", 16);
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(other->property_count, 4);
    EXPECT_STREQ(other->name, "e");
    const ply_property_def* const* p = other->properties;
    EXPECT_STREQ(p[0]->name, "a");
    EXPECT_EQ(p[1]->memory_offset, 0);  // b
    if (sizeof(void*) == 8) {
        EXPECT_EQ(p[3]->memory_offset, 8);   // list pointer
        EXPECT_EQ(p[2]->memory_offset, 16);  // c
        EXPECT_EQ(p[0]->memory_offset, 18);  // a
        EXPECT_EQ(p[3]->count_offset, 19);
        EXPECT_EQ(other->size, 20);
    } else {
        EXPECT_EQ(p[3]->memory_offset, 8);
        EXPECT_EQ(p[2]->memory_offset, 12);
        EXPECT_EQ(p[0]->memory_offset, 14);
        EXPECT_EQ(p[3]->count_offset, 15);
        EXPECT_EQ(other->size, 16);
    }
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(p[k]->memory_type, p[k]->disk_type);
        EXPECT_EQ(p[k]->count_memory_type, p[k]->count_disk_type);
    }
    EXPECT_EQ(h.ply->current_element->other_offset, 16);
    EXPECT_EQ(h.ply->current_element->other_size, other->size);
    ply_free_other_props(other);
}

TEST(OtherProperties, NothingLeftUnrequestedKeepsNoBlock) {
    OpenedPly h("ply\nformat ascii 1.0\nelement e 1\nproperty float x\nend_header\n1\n");
    const ply_property_def x = {"x", PLY_FLOAT, PLY_FLOAT, 0, 0, 0, 0, 0};
    ply_select_property(h.ply, "e", &x);
    ply_other_props* other = ply_get_other_properties(h.ply, "e", 8);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->property_count, 0);
    EXPECT_EQ(h.ply->elements[0]->other_offset, -1);
    float value = 0;
    ply_get_element(h.ply, &value);
    EXPECT_EQ(value, 1.0f);
    ply_free_other_props(other);
}

struct Vertex {
    float x, y, z;
    void* other;  // raw block of the properties not handled
};
const ply_property_def kXyz[] = {
    {"x", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, x), 0, 0, 0, 0},
    {"y", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, y), 0, 0, 0, 0},
    {"z", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, z), 0, 0, 0, 0},
};

struct Face {
    unsigned char n;
    int* verts;
};
const ply_property_def kFaceList = {
    "vertex_indices", PLY_INT,   PLY_INT,          offsetof(Face, verts), 1,
    PLY_UCHAR,        PLY_UCHAR, offsetof(Face, n)};

const char* kSource =
    "ply\nformat ascii 1.0\ncomment source\n"
    "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
    "property uchar confidence\nproperty list uchar int neighbours\nproperty double weight\n"
    "element edge 2\nproperty int v1\nproperty int v2\nproperty char crease\n"
    "property list ushort float sharpness\n"
    "element face 2\nproperty list uchar int vertex_indices\n"
    "end_header\n"
    "0 0 0 10 2 1 2 0.5\n"
    "1 0 0 20 0 -1.25\n"
    "0 1 0 30 1 0 3e-05\n"
    "0 1 -7 3 0.5 1.5 2.5\n"
    "1 2 127 0\n"
    "3 0 1 2\n"
    "3 2 1 0\n";

// Reads a file like kSource, in its element order, handling x, y, z of the
// vertices and the faces and keeping the rest; writes it in the file type
// with every x doubled.
std::string copyDoublingX(const std::string& source, int file_type) {
    OpenedPly in(source);
    ply_other_props* vertex_other = nullptr;
    ply_other_element_list* kept = nullptr;
    std::vector<Vertex> vertices(3);
    std::vector<Face> faces(2);
    for (int e = 0; e < in.nelems; ++e) {
        std::string name = in.elist[e];
        if (name == "vertex") {
            ply_select_properties(in.ply, "vertex", 3, kXyz);
            vertex_other = ply_get_other_properties(in.ply, "vertex", offsetof(Vertex, other));
            for (Vertex& v : vertices) ply_get_element(in.ply, &v);
        } else if (name == "face") {
            ply_select_property(in.ply, "face", &kFaceList);
            for (Face& f : faces) ply_get_element(in.ply, &f);
        } else {
            kept = ply_get_other_element(in.ply, name.c_str(), 2);
        }
    }

    plytest::MemoryOutput out;
    const char* names[] = {"vertex", "face"};
    ply_handle* ply = ply_begin_write(out.stream(), 2, names, file_type);
    ply_describe_element(ply, "vertex", 3, 3, kXyz);
    ply_describe_other_properties(ply, vertex_other, offsetof(Vertex, other));
    ply_describe_element(ply, "face", 2, 1, &kFaceList);
    ply_declare_other_elements(ply, kept);
    ply_header_complete(ply);
    ply_elements_setup(ply, "vertex");
    for (Vertex& v : vertices) {
        v.x *= 2;
        ply_write_element(ply, &v);
    }
    ply_elements_setup(ply, "face");
    for (Face& f : faces) ply_write_element(ply, &f);
    ply_write_other_elements(ply);
    ply_close_file(ply);

    for (Vertex& v : vertices) ply_free_other_block(vertex_other, v.other);
    for (Face& f : faces) std::free(f.verts);
    ply_free_other_props(vertex_other);
    ply_release_other_elements(kept);
    return out.bytes();
}

// Every value of a file, element by element, as text: "name: v v v | ...".
std::string dumpValues(const std::string& bytes) {
    OpenedPly h(bytes);
    std::string dump;
    for (int e = 0; e < h.ply->element_count; ++e) {
        ply_element_def* elem = h.ply->elements[e];
        // Every property kept raw; the values read through get_item_value.
        ply_other_props* other = ply_get_other_properties(h.ply, elem->name, 0);
        for (int i = 0; i < elem->instance_count; ++i) {
            void* block = nullptr;
            ply_get_element(h.ply, &block);
            dump += elem->name;
            dump += ":";
            for (int k = 0; k < other->property_count; ++k) {
                const ply_property_def* p = other->properties[k];
                const char* base = static_cast<const char*>(block);
                char text[40];
                if (!p->is_list) {
                    std::snprintf(text, sizeof(text), " %.9g",
                                  get_item_value(base + p->memory_offset, p->memory_type));
                    dump += text;
                    continue;
                }
                int n = int(get_item_value(base + p->count_offset, p->count_memory_type));
                const char* items;
                std::memcpy(&items, base + p->memory_offset, sizeof(items));
                dump += " [";
                for (int j = 0; j < n; ++j) {
                    std::snprintf(
                        text, sizeof(text), " %.9g",
                        get_item_value(items + j * type_sizes[p->memory_type], p->memory_type));
                    dump += text;
                }
                dump += " ]";
            }
            dump += "\n";
            ply_free_other_block(other, block);
        }
        ply_free_other_props(other);
    }
    return dump;
}

TEST(PassThrough, UnhandledElementsAndPropertiesComeOutUnchanged) {
    const std::string expected =
        "vertex: 0 0 0 10 [ 1 2 ] 0.5\n"
        "vertex: 2 0 0 20 [ ] -1.25\n"
        "vertex: 0 1 0 30 [ 0 ] 3e-05\n"
        "face: [ 0 1 2 ]\n"
        "face: [ 2 1 0 ]\n"
        "edge: 0 1 -7 [ 0.5 1.5 2.5 ]\n"
        "edge: 1 2 127 [ ]\n";
    for (int file_type : {PLY_ASCII, PLY_BINARY_BE, PLY_BINARY_LE}) {
        std::string copy = copyDoublingX(kSource, file_type);
        // Kept properties follow the handled ones; kept elements come last.
        EXPECT_NE(copy.find("property float z\nproperty uchar confidence\n"
                            "property list uchar int neighbours\nproperty double weight\n"
                            "element face 2\nproperty list uchar int vertex_indices\n"
                            "element edge 2\nproperty int v1\nproperty int v2\n"
                            "property char crease\nproperty list ushort float sharpness\n"
                            "end_header\n"),
                  std::string::npos)
            << copy;
        EXPECT_EQ(dumpValues(copy), expected) << "file type " << file_type;
        // The copy copied again, in another encoding: only x changes again.
        std::string again = expected;
        again.replace(again.find("vertex: 2 0"), 11, "vertex: 4 0");
        EXPECT_EQ(dumpValues(copyDoublingX(copy, PLY_BINARY_LE)), again);
    }
}

TEST(PassThrough, WholeElementReadAfterASelectionStaysInItsRawBlocks) {
    OpenedPly h(kSource);
    // Selected properties of an element read whole must not go into the
    // small per-instance records.
    const ply_property_def far_offset = {"v2", PLY_INT, PLY_INT, 4096, 0, 0, 0, 0};
    ply_property_def skip[3] = {kXyz[0], kXyz[1], kXyz[2]};
    ply_select_properties(h.ply, "vertex", 3, skip);
    for (int i = 0; i < 3; ++i) {
        Vertex v{};
        ply_get_element(h.ply, &v);
    }
    ply_select_property(h.ply, "edge", &far_offset);
    ply_other_element_list* list = ply_get_other_element(h.ply, "edge", 2);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count, 1);
    const ply_other_element& edge = list->elements[0];
    EXPECT_EQ(edge.instance_count, 2);
    EXPECT_EQ(edge.other_props->property_count, 4);
    const ply_property_def* v2 = edge.other_props->properties[1];
    EXPECT_EQ(
        get_item_value(static_cast<char*>(edge.instances[1]->block) + v2->memory_offset, PLY_INT),
        2.0);
    ply_release_other_elements(list);
}

}  // namespace

namespace {

// In a binary file the instances of an element without properties occupy
// no bytes, so a header can declare billions of them over no data. Read
// whole, they are counted without a record each; written back, they cost
// nothing in binary and an empty line each in text; the data after them is
// read where it is.
TEST(PassThrough, BinaryElementsWithoutPropertiesAreCountedNotStored) {
    const std::string source = std::string(
                                   "ply\nformat binary_little_endian 1.0\n"
                                   "element marker 2000000000\nelement v 1\n"
                                   "property float x\nend_header\n") +
                               std::string("\0\0\xc0\x3f", 4);
    OpenedPly in(source);
    ply_other_element_list* kept = ply_get_other_element(in.ply, "marker", 2000000000);
    ASSERT_EQ(kept->count, 1);
    EXPECT_EQ(kept->elements[0].instance_count, 2000000000);
    EXPECT_EQ(kept->elements[0].instances, nullptr);
    const ply_property_def x = {"x", PLY_FLOAT, PLY_FLOAT, 0, 0, 0, 0, 0};
    ply_select_property(in.ply, "v", &x);
    float value = 0;
    ply_get_element(in.ply, &value);
    EXPECT_EQ(value, 1.5f);

    plytest::MemoryOutput out;
    const char* names[] = {"v"};
    ply_handle* ply = ply_begin_write(out.stream(), 1, names, PLY_BINARY_LE);
    ply_describe_element(ply, "v", 1, 1, &x);
    ply_declare_other_elements(ply, kept);
    ply_header_complete(ply);
    ply_elements_setup(ply, "v");
    ply_write_element(ply, &value);
    ply_write_other_elements(ply);
    ply_close_file(ply);
    EXPECT_EQ(out.bytes(),
              "ply\nformat binary_little_endian 1.0\nelement v 1\nproperty float x\n"
              "element marker 2000000000\nend_header\n" +
                  std::string("\0\0\xc0\x3f", 4));

    kept->elements[0].instance_count = 2;  // a text copy writes a line per instance
    plytest::MemoryOutput text;
    ply = ply_begin_write(text.stream(), 0, nullptr, PLY_ASCII);
    ply_declare_other_elements(ply, kept);
    ply_header_complete(ply);
    ply_write_other_elements(ply);
    ply_close_file(ply);
    EXPECT_EQ(text.bytes(), "ply\nformat ascii 1.0\nelement marker 2\nend_header\n\n\n");
    ply_release_other_elements(kept);
}

}  // namespace

namespace {

// A list count written in text as a fraction just below a whole number
// reads that many whole items, while the count stored as "float" would be
// the next whole number: kept raw, it made the writer read one item past
// the array. The stored count is the number of items read.
TEST(PassThrough, AFractionalCountStoredAsFloatNamesTheItemsRead) {
    OpenedPly in(
        "ply\nformat ascii 1.0\nelement e 1\nproperty list float int l\nend_header\n"
        "2.99999999 7 8\n");
    ply_other_element_list* kept = ply_get_other_element(in.ply, "e", 1);
    const ply_other_props* other = kept->elements[0].other_props;
    const char* block = static_cast<const char*>(kept->elements[0].instances[0]->block);
    EXPECT_EQ(get_item_value(block + other->properties[0]->count_offset, PLY_FLOAT), 2.0);

    plytest::MemoryOutput out;
    ply_handle* ply = ply_begin_write(out.stream(), 0, nullptr, PLY_ASCII);
    ply_declare_other_elements(ply, kept);
    ply_header_complete(ply);
    ply_write_other_elements(ply);
    ply_close_file(ply);
    EXPECT_EQ(out.bytes(),
              "ply\nformat ascii 1.0\nelement e 1\nproperty list float int l\n"
              "end_header\n2 7 8 \n");
    ply_release_other_elements(kept);
}

}  // namespace
