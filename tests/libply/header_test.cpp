// Header grammar: which headers are accepted, what each line adds to the
// handle, and the texts of comment and obj_info lines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "libply/ply_internal.h"
#include "ply_test_util.h"
#include "test_support.h"

namespace {

using plytest::OpenedPly;

std::vector<std::string> comments(ply_handle* ply) {
    int n;
    char** texts = ply_comments(ply, &n);
    return std::vector<std::string>(texts, texts + n);
}

std::vector<std::string> objInfos(ply_handle* ply) {
    int n;
    char** texts = ply_obj_infos(ply, &n);
    return std::vector<std::string>(texts, texts + n);
}

TEST(HeaderGrammar, FirstLineMustStartWithExactlyPly) {
    EXPECT_NE(OpenedPly("ply extra words\nformat ascii 1.0\nend_header\n").ply, nullptr);
    EXPECT_EQ(OpenedPly("PLY\nformat ascii 1.0\nend_header\n").ply, nullptr);
    EXPECT_EQ(OpenedPly("\nply\nformat ascii 1.0\nend_header\n").ply, nullptr);
    EXPECT_EQ(OpenedPly("plyfile\nformat ascii 1.0\n").ply, nullptr);
    EXPECT_EQ(OpenedPly(" ").ply, nullptr);
    EXPECT_EQ(ply_read_header(nullptr, nullptr, nullptr), nullptr);
}

TEST(HeaderGrammar, FormatLineNeedsThreeWordsAndAKnownEncoding) {
    EXPECT_EQ(OpenedPly("ply\nformat ascii 1.0 extra\nend_header\n").ply, nullptr);
    EXPECT_EQ(OpenedPly("ply\nformat ascii\nend_header\n").ply, nullptr);
    EXPECT_EQ(OpenedPly("ply\nformat binary 1.0\nend_header\n").ply, nullptr);
    EXPECT_EQ(OpenedPly("ply\nformat ASCII 1.0\nend_header\n").ply, nullptr);

    const std::pair<const char*, int> encodings[] = {{"ascii", PLY_ASCII},
                                                     {"binary_big_endian", PLY_BINARY_BE},
                                                     {"binary_little_endian", PLY_BINARY_LE}};
    for (const auto& [keyword, code] : encodings) {
        OpenedPly h(std::string("ply\nformat ") + keyword + " 2.5\nend_header\n");
        ASSERT_NE(h.ply, nullptr) << keyword;
        float version = 0;
        int file_type = 0;
        ply_file_info(h.ply, &version, &file_type);
        EXPECT_EQ(file_type, code);
        EXPECT_EQ(version, 2.5f);
    }
    // Anywhere in the header, the last one counts; a version that is no number is 0.
    OpenedPly late(
        "ply\nformat ascii 1.0\nelement v 0\nformat binary_big_endian abc\n"
        "end_header\n");
    ASSERT_NE(late.ply, nullptr);
    EXPECT_EQ(late.ply->file_type, PLY_BINARY_BE);
    EXPECT_EQ(late.ply->version, 0.0f);
}

TEST(HeaderGrammar, ElementsAndPropertiesInHeaderOrder) {
    OpenedPly h(
        "ply\nformat ascii 1.0\n"
        "element vertex 12\nproperty float x\nproperty uchar\tred\n"
        "element face many\nproperty list uchar int vertex_indices\n"
        "element empty 3\n"
        "element vertex 99\nproperty double w\n"
        "property float128 odd\n"
        "end_header\n");
    ASSERT_NE(h.ply, nullptr);
    ASSERT_EQ(h.nelems, 4);
    EXPECT_STREQ(h.elist[0], "vertex");
    EXPECT_STREQ(h.elist[1], "face");
    EXPECT_STREQ(h.elist[2], "empty");
    EXPECT_STREQ(h.elist[3], "vertex");

    int count = -5, nprops = -5;
    ply_property_def** props = ply_element_properties(h.ply, "vertex", &count, &nprops);
    ASSERT_NE(props, nullptr);
    // Two elements of one name: the first is found.
    EXPECT_EQ(count, 12);
    ASSERT_EQ(nprops, 2);
    EXPECT_STREQ(props[0]->name, "x");
    EXPECT_EQ(props[0]->disk_type, PLY_FLOAT);
    EXPECT_EQ(props[0]->is_list, 0);
    EXPECT_STREQ(props[1]->name, "red");
    EXPECT_EQ(props[1]->disk_type, PLY_UCHAR);
    // The copies are the caller's: changing them leaves the handle alone.
    props[0]->disk_type = PLY_DOUBLE;
    ply_free_properties(nprops, props);
    props = ply_element_properties(h.ply, "vertex", &count, &nprops);
    EXPECT_EQ(props[0]->disk_type, PLY_FLOAT);
    ply_free_properties(nprops, props);

    props = ply_element_properties(h.ply, "face", &count, &nprops);
    EXPECT_EQ(count, 0);  // "many" is not a number
    ASSERT_EQ(nprops, 1);
    EXPECT_EQ(props[0]->is_list, 1);
    EXPECT_EQ(props[0]->count_disk_type, PLY_UCHAR);
    EXPECT_EQ(props[0]->disk_type, PLY_INT);
    EXPECT_STREQ(props[0]->name, "vertex_indices");
    ply_free_properties(nprops, props);

    props = ply_element_properties(h.ply, "empty", &count, &nprops);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(nprops, 0);
    ply_free_properties(nprops, props);

    // A type name outside the table is accepted as code 0.
    ply_element_def* second = h.ply->elements[3];
    ASSERT_EQ(second->property_count, 2);
    EXPECT_EQ(second->properties[1]->disk_type, PLY_INVALID);
    for (int i = 0; i < h.ply->element_count; ++i) {
        EXPECT_EQ(h.ply->elements[i]->other_offset, -1);
        for (int k = 0; k < h.ply->elements[i]->property_count; ++k) {
            EXPECT_EQ(h.ply->elements[i]->wanted[k], 0);
        }
    }

    count = nprops = -5;
    EXPECT_EQ(ply_element_properties(h.ply, "Vertex", &count, &nprops), nullptr);
    EXPECT_EQ(count, -5);
    EXPECT_EQ(nprops, -5);
}

TEST(HeaderGrammar, LinesTooShortForTheirKeywordRejectTheHeader) {
    const char* bad[] = {
        "ply\nformat ascii 1.0\nelement\nend_header\n",
        "ply\nformat ascii 1.0\nelement vertex\nend_header\n",
        "ply\nformat ascii 1.0\nelement v 1\nproperty list uchar\nend_header\n",
        "ply\nformat ascii 1.0\nelement v 1\nproperty list uchar int\nend_header\n",
        "ply\nformat ascii 1.0\nelement v 1\nproperty float\nend_header\n",
        "ply\nformat ascii 1.0\nelement v 1\nproperty\nend_header\n",
        "ply\nformat ascii 1.0\nproperty float x\nelement v 1\nend_header\n",
    };
    for (const char* text : bad) EXPECT_EQ(OpenedPly(text).ply, nullptr) << text;
}

TEST(HeaderGrammar, OtherLinesAndTheEndOfFileAreNoProblem) {
    // Unknown keywords, blank lines, a capitalised keyword: ignored. No
    // format line leaves the file type 0; no end_header keeps what was read.
    OpenedPly h("ply\nelement v 2\n\n   \nComment not a comment\nproperty int a\nwhatever 1 2\n");
    ASSERT_NE(h.ply, nullptr);
    EXPECT_EQ(h.ply->file_type, 0);
    EXPECT_EQ(h.nelems, 1);
    EXPECT_EQ(h.ply->elements[0]->property_count, 1);
    EXPECT_TRUE(comments(h.ply).empty());
}

TEST(HeaderGrammar, CommentAndObjInfoTextsComeFromFixedPositions) {
    OpenedPly h(
        "ply\nformat ascii 1.0\n"
        "comment    two  words\n"
        "comment\ttabbed\ttext\n"
        "comment\n"
        "  comment shifted\n"
        "obj_info num_cols 512\n"
        "obj_info\n"
        "comment last\r\n"
        "end_header\n");
    ASSERT_NE(h.ply, nullptr);
    EXPECT_EQ(comments(h.ply),
              (std::vector<std::string>{"two  words", "tabbed text", "", "nt shifted", "last"}));
    EXPECT_EQ(objInfos(h.ply), (std::vector<std::string>{"num_cols 512", ""}));
}

TEST(HeaderGrammar, StreamStandsAtTheFirstDataByteAfterEachLineEnd) {
    // After end_header ended by a lone carriage return, the data starts right
    // after it; after CR LF, after the LF.
    const std::string head =
        "ply\rformat binary_little_endian 1.0\relement v 1\r"
        "property uchar a\rend_header";
    for (const std::string& end : {std::string("\r"), std::string("\r\n"), std::string("\n")}) {
        for (bool plain : {false, true}) {
            plytest::PathMode mode(plain);
            OpenedPly h(head + end + "\x0d\x07");
            ASSERT_NE(h.ply, nullptr);
            EXPECT_EQ(std::ftell(h.ply->stream), long(head.size() + end.size()));
            const ply_property_def a = {"a", PLY_UCHAR, PLY_UCHAR, 0, 0, 0, 0, 0};
            ply_select_property(h.ply, "v", &a);
            unsigned char value = 0;
            ply_get_element(h.ply, &value);
            EXPECT_EQ(value, 0x0d);
        }
    }
}

TEST(OpenRead, OpensTheNameAsGivenAndReportsTheFormat) {
    std::string dir = testing_support::makeTempDir("open-read");
    std::string path = dir + "/mesh";
    testing_support::writeFile(path,
                               "ply\nformat binary_big_endian 1.0\nelement v 0\nend_header\n");
    int nelems = 0, file_type = 0;
    char** elist = nullptr;
    float version = 0;
    ply_handle* ply = ply_open_read(path.c_str(), &nelems, &elist, &file_type, &version);
    ASSERT_NE(ply, nullptr);
    EXPECT_EQ(nelems, 1);
    EXPECT_STREQ(elist[0], "v");
    EXPECT_EQ(file_type, PLY_BINARY_BE);
    EXPECT_EQ(version, 1.0f);
    EXPECT_EQ(ply_native_format(), PLY_BINARY_LE);
    ply_free_element_list(nelems, elist);
    ply_close_file(ply);

    EXPECT_EQ(ply_open_read((path + ".ply").c_str(), &nelems, &elist, &file_type, &version),
              nullptr);
    testing_support::writeFile(path, "not a ply file\n");
    EXPECT_EQ(ply_open_read(path.c_str(), &nelems, &elist, &file_type, &version), nullptr);
    std::remove(path.c_str());
    std::remove(dir.c_str());
}

TEST(TypeTable, KeywordsMapToCodesOneToEight) {
    const char* keywords[] = {"char", "short", "int", "uchar", "ushort", "uint", "float", "double"};
    // The sized names many writers use are read as the same types.
    const char* sized[] = {"int8",   "int16",  "int32",   "uint8",
                           "uint16", "uint32", "float32", "float64"};
    for (int code = 1; code <= 8; ++code) {
        EXPECT_EQ(type_code_of(keywords[code - 1]), code);
        EXPECT_EQ(type_code_of(sized[code - 1]), code);
    }
    EXPECT_EQ(type_code_of("int64"), PLY_INVALID);
    EXPECT_EQ(type_code_of("Float"), PLY_INVALID);
    EXPECT_EQ(type_code_of("Float32"), PLY_INVALID);
    EXPECT_EQ(type_code_of("invalid"), PLY_INVALID);
    EXPECT_EQ(words_equal("abc", "abc"), 1);
    EXPECT_EQ(words_equal("abc", "abcd"), 0);
    EXPECT_EQ(words_equal("abc", "ABC"), 0);
}

}  // namespace
