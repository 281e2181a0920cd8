// Writing: the header text, the text and binary forms of instances, file
// naming, and whole files written and read back in every encoding.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "ply_samples.h"
#include "ply_test_util.h"
#include "test_support.h"

namespace {

using plytest::MemoryOutput;

struct Pair {
    float a, b;
};
const ply_property_def kPairProps[] = {
    {"a", PLY_FLOAT, PLY_FLOAT, offsetof(Pair, a), 0, 0, 0, 0},
    {"b", PLY_FLOAT, PLY_FLOAT, offsetof(Pair, b), 0, 0, 0, 0},
};

struct Poly {
    int count;
    int* verts;
};
const ply_property_def kPolyList = {
    "vertex_indices",     PLY_INT, PLY_INT, offsetof(Poly, verts), 1, PLY_UCHAR, PLY_INT,
    offsetof(Poly, count)};

TEST(HeaderWriter, CommentsThenObjInfoThenElementsWithTheirProperties) {
    MemoryOutput out;
    const char* names[] = {"vertex", "face", "empty"};
    ply_handle* ply = ply_begin_write(out.stream(), 3, names, PLY_BINARY_NATIVE);
    EXPECT_EQ(ply->version, 1.0f);
    EXPECT_EQ(ply->file_type, PLY_BINARY_LE);
    ply_describe_element(ply, "vertex", 7, 1, &kPairProps[1]);
    ply_describe_element(ply, "vertex", 8, 2, kPairProps);  // replaces the first description
    ply_describe_property(ply, "face", &kPolyList);
    ply_element_count(ply, "face", 2);
    append_comment(ply, "first");
    append_obj_info(ply, "num_cols 3");
    append_comment(ply, "second  one");
    ply_header_complete(ply);
    ply_close_file(ply);
    EXPECT_EQ(out.bytes(),
              "ply\n"
              "format binary_little_endian 1.0\n"
              "comment first\n"
              "comment second  one\n"
              "obj_info num_cols 3\n"
              "element vertex 8\n"
              "property float a\n"
              "property float b\n"
              "element face 2\n"
              "property list uchar int vertex_indices\n"
              "element empty 0\n"
              "end_header\n");
}

std::string writeOne(int file_type, const ply_property_def* props, int nprops, const void* record) {
    MemoryOutput out;
    const char* names[] = {"e"};
    ply_handle* ply = ply_begin_write(out.stream(), 1, names, file_type);
    ply_describe_element(ply, "e", 1, nprops, props);
    ply_header_complete(ply);
    ply_elements_setup(ply, "e");
    ply_write_element(ply, record);
    ply_close_file(ply);
    std::string bytes = out.bytes();
    return bytes.substr(bytes.find("end_header\n") + 11);
}

TEST(InstanceWriter, TextAndBinaryFormsOfValues) {
    for (bool plain : {false, true}) {
        plytest::PathMode mode(plain);
        Pair pair{1.5f, 2.0f};
        EXPECT_EQ(writeOne(PLY_ASCII, kPairProps, 2, &pair), "1.5 2 \n");
        Poly empty{0, nullptr};
        EXPECT_EQ(writeOne(PLY_ASCII, &kPolyList, 1, &empty), "0 \n");
        EXPECT_EQ(writeOne(PLY_BINARY_BE, &kPolyList, 1, &empty), std::string(1, '\0'));
        int verts[] = {1, -2};
        Poly two{2, verts};
        EXPECT_EQ(writeOne(PLY_BINARY_BE, &kPolyList, 1, &two),
                  std::string("\x02\0\0\0\x01\xff\xff\xff\xfe", 9));
        EXPECT_EQ(writeOne(PLY_BINARY_LE, &kPolyList, 1, &two),
                  std::string("\x02\x01\0\0\0\xfe\xff\xff\xff", 9));
        // "uchar" in the file from an int of 300 in memory: its low byte.
        int value = 300;
        const ply_property_def narrow = {"v", PLY_UCHAR, PLY_INT, 0, 0, 0, 0, 0};
        EXPECT_EQ(writeOne(PLY_BINARY_LE, &narrow, 1, &value), std::string(1, char(44)));
        EXPECT_EQ(writeOne(PLY_ASCII, &narrow, 1, &value), "300 \n");
        double d = -2.75e-7;
        const ply_property_def as_float = {"v", PLY_FLOAT, PLY_DOUBLE, 0, 0, 0, 0, 0};
        EXPECT_EQ(writeOne(PLY_ASCII, &as_float, 1, &d), "-2.75e-07 \n");
        EXPECT_EQ(writeOne(PLY_BINARY_BE, &as_float, 1, &d), "\xb4\x93\xa3\xb6");
    }
}

TEST(OpenWrite, AppendsTheExtensionUnlessTheNameEndsInIt) {
    std::string dir = testing_support::makeTempDir("open-write");
    const std::pair<std::string, std::string> names[] = {{"mesh", "mesh.ply"},
                                                         {"scan.ply", "scan.ply"},
                                                         {"ab", "ab.ply"},
                                                         {"x.PLY", "x.PLY.ply"},
                                                         {"ply", "ply.ply"}};
    for (const auto& [given, created] : names) {
        const char* elems[] = {"vertex"};
        float version = 0;
        ply_handle* ply =
            ply_open_write((dir + "/" + given).c_str(), 1, elems, PLY_ASCII, &version);
        ASSERT_NE(ply, nullptr) << given;
        EXPECT_EQ(version, 1.0f);
        ply_header_complete(ply);
        ply_close_file(ply);
        std::string path = dir + "/" + created;
        EXPECT_EQ(testing_support::readFile(path),
                  "ply\nformat ascii 1.0\nelement vertex 0\nend_header\n")
            << given;
        std::remove(path.c_str());
    }
    const char* elems[] = {"vertex"};
    float version = 0;
    EXPECT_EQ(ply_open_write((dir + "/no/such/dir/x").c_str(), 1, elems, PLY_ASCII, &version),
              nullptr);
    std::remove(dir.c_str());
}

const int kEncodings[] = {PLY_ASCII, PLY_BINARY_BE, PLY_BINARY_LE};

TEST(RoundTrip, EveryEncodingGivesBackWhatWasWritten) {
    for (bool plain : {false, true}) {
        plytest::PathMode mode(plain);
        for (int file_type : kEncodings) {
            bool text = file_type == PLY_ASCII;
            plytest::SampleSet set = plytest::makeSamples(300, 11, text);
            std::string bytes = plytest::writeSamples(set, file_type);
            EXPECT_EQ(plytest::readSampleKeys(bytes), plytest::keysOf(set))
                << "file type " << file_type << (plain ? " plain" : " fast");
        }
    }
}

TEST(RoundTrip, ReadInOneEncodingAndWrittenInAnotherKeepsEveryValue) {
    plytest::SampleSet set = plytest::makeSamples(200, 21, true);
    for (int from : kEncodings) {
        std::string source = plytest::writeSamples(set, from);
        for (int to : kEncodings) {
            // Read every sample of the source file, write them in the other encoding.
            plytest::OpenedPly h(source);
            ASSERT_NE(h.ply, nullptr);
            ply_select_properties(h.ply, "sample", plytest::kSampleCount, plytest::kSampleProps);
            std::vector<plytest::Sample> records(set.records.size());
            for (auto& r : records) ply_get_element(h.ply, &r);
            plytest::SampleSet copy;
            copy.records = records;
            std::string converted = plytest::writeSamples(copy, to);
            for (auto& r : records) {
                std::free(r.shorts);
                std::free(r.doubles);
            }
            EXPECT_EQ(plytest::readSampleKeys(converted), plytest::keysOf(set))
                << from << " -> " << to;
        }
    }
}

// The fast paths write the same bytes as the plain ones and read the same
// values from them, for any bit patterns (NaNs, infinities, denormals,
// values text cannot hold exactly).
TEST(FastPaths, WriteTheSameBytesAndReadTheSameValuesAsThePlainPaths) {
    plytest::SampleSet set = plytest::makeSamples(2000, 31, false);
    for (int file_type : kEncodings) {
        std::string plain_bytes, fast_bytes;
        std::vector<std::string> plain_keys, fast_keys;
        {
            plytest::PathMode mode(true);
            plain_bytes = plytest::writeSamples(set, file_type);
            plain_keys = plytest::readSampleKeys(plain_bytes);
        }
        {
            plytest::PathMode mode(false);
            fast_bytes = plytest::writeSamples(set, file_type);
            fast_keys = plytest::readSampleKeys(fast_bytes);
        }
        EXPECT_EQ(fast_bytes, plain_bytes) << "file type " << file_type;
        EXPECT_EQ(fast_keys, plain_keys) << "file type " << file_type;
        if (file_type != PLY_ASCII) {
            EXPECT_EQ(fast_keys, plytest::keysOf(set));
        }
    }
}

}  // namespace
