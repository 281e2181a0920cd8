// Reading instances: selection, list properties, dropped properties, both
// byte orders, several files at once from different threads.

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ply_samples.h"
#include "ply_test_util.h"
#include "test_support.h"

namespace {

using plytest::OpenedPly;

struct Vertex {
    float x, y, z;
    unsigned char confidence;
};

struct Face {
    int intensity;
    unsigned char nverts;
    int* verts;
};

const ply_property_def kVertexProps[] = {
    {"x", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, x), 0, 0, 0, 0},
    {"y", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, y), 0, 0, 0, 0},
    {"z", PLY_FLOAT, PLY_FLOAT, offsetof(Vertex, z), 0, 0, 0, 0},
    {"confidence", PLY_UCHAR, PLY_UCHAR, offsetof(Vertex, confidence), 0, 0, 0, 0},
};
const ply_property_def kFaceProps[] = {
    {"intensity", PLY_UCHAR, PLY_INT, offsetof(Face, intensity), 0, 0, 0, 0},
    {"vertex_indices", PLY_INT, PLY_INT, offsetof(Face, verts), 1, PLY_UCHAR, PLY_UCHAR,
     offsetof(Face, nverts)},
};

const char* kTextMesh =
    "ply\nformat ascii 1.0\n"
    "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
    "property uchar confidence\n"
    "element marker 2\n"
    "element face 3\nproperty uchar intensity\nproperty list uchar int vertex_indices\n"
    "end_header\n"
    "1.5 -2 0.25 7\n"
    "\t-0 1e-3 3 255 extra words\r\n"
    "  4.75  5 6 9\r"
    "anything at all\n"
    "\n"
    "-1 3 0 1 2\n"
    "200 0\n"
    "17 4 2 1 0 1\n";

class TextRead : public testing::TestWithParam<bool> {
protected:
    plytest::PathMode mode_{GetParam()};
};

TEST_P(TextRead, SelectedPropertiesListsAndDroppedValues) {
    OpenedPly h(kTextMesh);
    ASSERT_NE(h.ply, nullptr);
    // x, z and confidence wanted; y read and dropped.
    ply_select_property(h.ply, "vertex", &kVertexProps[0]);
    ply_select_properties(h.ply, "vertex", 2, &kVertexProps[2]);
    Vertex v[3];
    for (Vertex& each : v) {
        each = Vertex{-9, -9, -9, 0};
        ply_get_element(h.ply, &each);
    }
    EXPECT_EQ(v[0].x, 1.5f);
    EXPECT_EQ(v[0].y, -9.0f);
    EXPECT_EQ(v[0].z, 0.25f);
    EXPECT_EQ(v[0].confidence, 7);
    EXPECT_EQ(v[1].x, 0.0f);
    EXPECT_TRUE(std::signbit(v[1].x));
    EXPECT_EQ(v[1].z, 3.0f);
    EXPECT_EQ(v[1].confidence, 255);
    EXPECT_EQ(v[2].x, 4.75f);
    EXPECT_EQ(v[2].confidence, 9);

    // An element without properties still takes one line per instance.
    ply_select_properties(h.ply, "marker", 0, nullptr);
    char unused;
    ply_get_element(h.ply, &unused);
    ply_get_element(h.ply, &unused);

    ply_select_properties(h.ply, "face", 2, kFaceProps);
    Face f[3];
    for (Face& each : f) ply_get_element(h.ply, &each);
    EXPECT_EQ(f[0].intensity, -1);  // "-1" as uchar, stored as int
    ASSERT_EQ(f[0].nverts, 3);
    EXPECT_EQ(f[0].verts[0], 0);
    EXPECT_EQ(f[0].verts[2], 2);
    EXPECT_EQ(f[1].intensity, 200);
    EXPECT_EQ(f[1].nverts, 0);
    EXPECT_EQ(f[1].verts, nullptr);
    ASSERT_EQ(f[2].nverts, 4);
    EXPECT_EQ(f[2].verts[3], 1);
    for (Face& each : f) std::free(each.verts);
}

TEST_P(TextRead, MissingPropertyIsWarnedOnceAndTheOthersStaySelected) {
    OpenedPly h(kTextMesh);
    ply_property_def wanted[3] = {kVertexProps[1], kVertexProps[0], kVertexProps[3]};
    wanted[1].name = "w";
    testing::internal::CaptureStderr();
    ply_select_properties(h.ply, "vertex", 3, wanted);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Warning:  Can't find property 'w' in element 'vertex'\n");
    Vertex v{-9, -9, -9, 0};
    ply_get_element(h.ply, &v);
    EXPECT_EQ(v.x, -9.0f);
    EXPECT_EQ(v.y, -2.0f);
    EXPECT_EQ(v.confidence, 7);

    testing::internal::CaptureStderr();
    ply_select_properties(h.ply, "vertexes", 1, wanted);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ply_select_properties: can't find element 'vertexes'\n");
    EXPECT_STREQ(h.ply->current_element->name, "vertex");
}

INSTANTIATE_TEST_SUITE_P(PlainAndFast, TextRead, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& p) {
                             return p.param ? "plain" : "fast";
                         });

std::string be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string le32(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

// The same mesh in both byte orders, with an element of no properties and a
// dropped list in between.
std::string binaryMesh(bool big) {
    auto w32 = big ? be32 : le32;
    std::string header = std::string("ply\nformat ") +
                         (big ? "binary_big_endian" : "binary_little_endian") +
                         " 1.0\nelement vertex 2\nproperty float x\nproperty float y\n"
                         "property float z\nproperty uchar confidence\n"
                         "property list ushort short skipped\n"
                         "element marker 5\n"
                         "element face 1\nproperty uchar intensity\n"
                         "property list uchar int vertex_indices\nend_header\n";
    std::string data;
    const float coords[] = {1.5f, -2.0f, 1e-3f, 4.0f, 5.25f, -6.5f};
    for (int i = 0; i < 2; ++i) {
        for (int k = 0; k < 3; ++k) {
            uint32_t bits;
            std::memcpy(&bits, &coords[3 * i + k], 4);
            data += w32(bits);
        }
        data += char(200 + i);
        data +=
            big ? std::string("\0\x02\xff\xfe\x00\x05", 6) : std::string("\x02\0\xfe\xff\x05\0", 6);
    }
    data += char(0xfe);
    data += char(3);
    data += w32(0) + w32(1) + w32(0xffffffffu);
    return header + data;
}

TEST(BinaryRead, BothByteOrdersGiveTheSameValues) {
    for (bool plain : {false, true}) {
        for (bool big : {false, true}) {
            plytest::PathMode mode(plain);
            OpenedPly h(binaryMesh(big));
            ASSERT_NE(h.ply, nullptr);
            EXPECT_EQ(h.ply->file_type, big ? PLY_BINARY_BE : PLY_BINARY_LE);
            ply_select_properties(h.ply, "vertex", 4, kVertexProps);
            Vertex v[2];
            for (Vertex& each : v) ply_get_element(h.ply, &each);
            EXPECT_EQ(v[0].x, 1.5f);
            EXPECT_EQ(v[0].y, -2.0f);
            EXPECT_EQ(v[0].z, 1e-3f);
            EXPECT_EQ(v[0].confidence, 200);
            EXPECT_EQ(v[1].z, -6.5f);
            EXPECT_EQ(v[1].confidence, 201);
            // No properties: no bytes.
            ply_select_properties(h.ply, "marker", 0, nullptr);
            for (int i = 0; i < 5; ++i) ply_get_element(h.ply, nullptr);
            ply_select_properties(h.ply, "face", 2, kFaceProps);
            Face f;
            ply_get_element(h.ply, &f);
            EXPECT_EQ(f.intensity, 0xfe);
            ASSERT_EQ(f.nverts, 3);
            EXPECT_EQ(f.verts[0], 0);
            EXPECT_EQ(f.verts[1], 1);
            EXPECT_EQ(f.verts[2], -1);
            std::free(f.verts);
            EXPECT_EQ(std::fgetc(h.ply->stream), EOF);
        }
    }
}

// A signalling NaN read into a float unconverted: the fast path and a block
// read copy the bytes, the plain path converts through double, which quiets
// it; all must store the same bits (quiet, payload and sign kept).
TEST(BinaryRead, SignallingNanIsStoredQuietOnEveryPath) {
    std::string bytes =
        "ply\nformat binary_little_endian 1.0\nelement v 6\nproperty float x\nend_header\n";
    for (uint32_t bits : {0u, 0x7f800001u, 0u, 0u, 0u, 0xffa00000u})
        bytes.append(reinterpret_cast<const char*>(&bits), 4);
    const ply_property_def x = {"x", PLY_FLOAT, PLY_FLOAT, 0, 0, 0, 0, 0};
    for (int way : {0, 1, 2}) {  // fast, plain, block
        plytest::PathMode mode(way == 1);
        OpenedPly h(bytes);
        ply_select_property(h.ply, "v", &x);
        uint32_t got[6];
        if (way == 2) {
            ASSERT_EQ(ply_get_element_block(h.ply, 6, got, 4), 1);
        } else {
            for (uint32_t& g : got) ply_get_element(h.ply, &g);
        }
        EXPECT_EQ(got[1], 0x7fc00001u) << "way " << way;
        EXPECT_EQ(got[5], 0xffe00000u) << "way " << way;
    }
}

// Several files read at once, each in its own thread, each many times.
TEST(ConcurrentRead, FilesReadFromSeveralThreadsKeepTheirOwnValues) {
    auto meshText = [](int seed) {
        std::string text =
            "ply\nformat ascii 1.0\ncomment thread " + std::to_string(seed) +
            "\nelement vertex 200\nproperty float x\nproperty float y\nproperty float z\n"
            "property uchar confidence\nend_header\n";
        for (int i = 0; i < 200; ++i) {
            text += std::to_string(seed) + " " + std::to_string(i) + ".5 -" + std::to_string(i) +
                    " " + std::to_string(i % 256) + "\n";
        }
        return text;
    };
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures, &meshText] {
            std::string text = meshText(t);
            for (int round = 0; round < 50; ++round) {
                OpenedPly h(text);
                int n;
                char** texts = ply_comments(h.ply, &n);
                if (n != 1 || std::string(texts[0]) != "thread " + std::to_string(t)) {
                    ++failures[t];
                }
                ply_select_properties(h.ply, "vertex", 4, kVertexProps);
                for (int i = 0; i < 200; ++i) {
                    Vertex v;
                    ply_get_element(h.ply, &v);
                    if (v.x != float(t) || v.y != float(i) + 0.5f || v.z != -float(i) ||
                        v.confidence != i % 256) {
                        ++failures[t];
                    }
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace

namespace {

// A scan-like file written to disk and read back the way the range-scan
// loader reads it; under the leak checker nothing may stay allocated.
TEST(WholeFile, ReadThroughOpenReadReleasesEverything) {
    std::string dir = testing_support::makeTempDir("whole-file");
    std::string path = dir + "/scan.ply";
    {
        const char* names[] = {"vertex", "range_grid", "face"};
        float version;
        ply_handle* ply = ply_open_write(path.c_str(), 3, names, PLY_ASCII, &version);
        ply_describe_element(ply, "vertex", 4, 3, kVertexProps);
        const ply_property_def cell = {
            "vertex_indices",      PLY_INT, PLY_INT, offsetof(Face, verts), 1, PLY_UCHAR, PLY_UCHAR,
            offsetof(Face, nverts)};
        ply_describe_element(ply, "range_grid", 6, 1, &cell);
        ply_describe_element(ply, "face", 1, 2, kFaceProps);
        append_comment(ply, "written for the leak check");
        append_obj_info(ply, "num_cols 3");
        append_obj_info(ply, "num_rows 2");
        ply_header_complete(ply);
        ply_elements_setup(ply, "vertex");
        for (int i = 0; i < 4; ++i) {
            Vertex v{float(i), 0.5f, -float(i), 0};
            ply_write_element(ply, &v);
        }
        ply_elements_setup(ply, "range_grid");
        for (int k = 0; k < 6; ++k) {
            int index = k < 4 ? k : -1;
            Face c{0, static_cast<unsigned char>(k < 4 ? 1 : 0), &index};
            ply_write_element(ply, &c);
        }
        ply_elements_setup(ply, "face");
        int quad[] = {0, 1, 3, 2};
        Face f{5, 4, quad};
        ply_write_element(ply, &f);
        ply_close_file(ply);
    }
    int nelems, file_type;
    char** elist;
    float version;
    ply_handle* ply = ply_open_read(path.c_str(), &nelems, &elist, &file_type, &version);
    ASSERT_NE(ply, nullptr);
    int ninfo;
    char** infos = ply_obj_infos(ply, &ninfo);
    ASSERT_EQ(ninfo, 2);
    EXPECT_STREQ(infos[1], "num_rows 2");
    float z_sum = 0;
    int listed = 0, face_corners = 0;
    for (int e = 0; e < nelems; ++e) {
        int count = 0, nprops = 0;
        ply_property_def** props = ply_element_properties(ply, elist[e], &count, &nprops);
        if (words_equal(elist[e], "vertex")) {
            ply_select_properties(ply, elist[e], 3, kVertexProps);
            for (int i = 0; i < count; ++i) {
                Vertex v;
                ply_get_element(ply, &v);
                z_sum += v.z;
            }
        } else {
            ply_select_properties(ply, elist[e], nprops == 1 ? 1 : 2,
                                  nprops == 1 ? &kFaceProps[1] : kFaceProps);
            for (int i = 0; i < count; ++i) {
                Face f{};
                ply_get_element(ply, &f);
                (nprops == 1 ? listed : face_corners) += f.nverts;
                std::free(f.verts);
            }
        }
        ply_free_properties(nprops, props);
    }
    ply_free_element_list(nelems, elist);
    ply_close_file(ply);
    EXPECT_EQ(z_sum, -6.0f);
    EXPECT_EQ(listed, 4);
    EXPECT_EQ(face_corners, 4);
    std::remove(path.c_str());
    std::remove(dir.c_str());
}

// Text instances of odd words (signs, hex, exponents, white space the C
// library skips, overflow, junk) read alike on the fast and the plain path.
TEST(FastPaths, ReadOddWordsLikeTheCLibrary) {
    const char* words[] = {"+5",     "0x1A", "1e5",        "\v3",         "--1",
                           "inf",    "-nan", "1.5e",       "7up",         "-0",
                           ".",      "3.99", "2147483648", "-4294967297", "99999999999999999999",
                           "1e-400", "0.1",  "-2.5E+3",    "\f",          "ab"};
    const char* counts[] = {"2", "+2", "2.9", "0x3", "0", "00002", "\v1"};
    std::mt19937 rng(77);
    std::string text = "ply\nformat ascii 1.0\nelement sample 500\n";
    for (const char* line :
         {"property char c", "property short s", "property int i", "property uchar uc",
          "property ushort us", "property uint ui", "property float f", "property double d",
          "property list uchar short shorts", "property list int double doubles"}) {
        text += std::string(line) + "\n";
    }
    text += "end_header\n";
    auto word = [&] { return std::string(words[rng() % (sizeof(words) / sizeof(*words))]); };
    for (int n = 0; n < 500; ++n) {
        std::string line;
        for (int k = 0; k < 8; ++k) line += word() + (rng() % 2 ? " " : "\t ");
        for (int list = 0; list < 2; ++list) {
            std::string count = counts[rng() % (sizeof(counts) / sizeof(*counts))];
            line += count + " ";
            int items = std::atoi(count.c_str());
            for (int j = 0; j < items; ++j) line += word() + " ";
        }
        text += line + (rng() % 3 ? "\n" : "\r\n");
    }
    std::vector<std::string> plain_keys, fast_keys;
    {
        plytest::PathMode mode(true);
        plain_keys = plytest::readSampleKeys(text);
    }
    {
        plytest::PathMode mode(false);
        fast_keys = plytest::readSampleKeys(text);
    }
    ASSERT_EQ(plain_keys.size(), 500u);
    EXPECT_TRUE(fast_keys == plain_keys);
}

}  // namespace
