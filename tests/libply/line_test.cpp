// The line splitter: line ends, stream positions, long lines, tabs, NULs.
// Every case runs on the plain path (fgets and repositioning) and on the
// fast path (the stream's buffer); generated text checks the two agree.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "libply/ply_internal.h"
#include "libply/ply_lines.h"
#include "ply_test_util.h"

namespace {

struct Line {
    std::vector<std::string> words;
    std::string orig;
    long position;  // stream position after the line
    bool operator==(const Line& o) const {
        return words == o.words && orig == o.orig && position == o.position;
    }
};

std::vector<Line> splitAll(const std::string& text, bool plain) {
    plytest::PathMode mode(plain);
    plytest::MemoryInput input(text);
    FILE* fp = input.open();
    std::vector<Line> lines;
    int nwords;
    char* orig;
    while (char** words = split_line_words(fp, &nwords, &orig)) {
        Line line{std::vector<std::string>(words, words + nwords), orig, std::ftell(fp)};
        lines.push_back(line);
        std::free(words);
    }
    EXPECT_EQ(orig, nullptr);
    EXPECT_EQ(nwords, 0);
    std::fclose(fp);
    return lines;
}

// Lines as ply_next_line gives them to the instance reader.
std::vector<std::pair<std::string, long>> nextLines(const std::string& text, bool plain) {
    plytest::PathMode mode(plain);
    plytest::MemoryInput input(text);
    FILE* fp = input.open();
    std::vector<std::pair<std::string, long>> lines;
    PlyLine line;
    while (ply_next_line(fp, &line)) {
        lines.emplace_back(std::string(line.text, size_t(line.length)), std::ftell(fp));
    }
    std::fclose(fp);
    return lines;
}

class LineSplitter : public testing::TestWithParam<bool> {};

TEST_P(LineSplitter, LineFeedCrLfAndLoneCarriageReturnEndLines) {
    std::vector<Line> lines = splitAll("a  b\nc\r\nd\re\tf \n\n\rlast", GetParam());
    std::vector<Line> expected = {
        {{"a", "b"}, "a  b", 5},  {{"c"}, "c", 8}, {{"d"}, "d", 10},
        {{"e", "f"}, "e f ", 15}, {{}, "", 16},    {{}, "", 17},
        {{"last"}, "last", 21},
    };
    EXPECT_EQ(lines, expected);
}

TEST_P(LineSplitter, NulEndsTheTextButNotTheLine) {
    std::vector<Line> lines = splitAll(std::string("ab\0c\rd\nef\r\0\n", 12), GetParam());
    std::vector<Line> expected = {{{"ab"}, "ab", 7}, {{"ef"}, "ef", 10}, {{}, "", 12}};
    EXPECT_EQ(lines, expected);
}

TEST_P(LineSplitter, CarriageReturnAtTheEndOfTheFile) {
    std::vector<Line> lines = splitAll("abc\r", GetParam());
    EXPECT_EQ(lines, (std::vector<Line>{{{"abc"}, "abc", 4}}));
}

TEST_P(LineSplitter, LinesAroundTheBufferLength) {
    const std::string w4094(4094, 'w');
    // 4094 characters and a line feed: read whole, the feed read as a blank.
    EXPECT_EQ(splitAll(w4094 + "\nz\n", GetParam()),
              (std::vector<Line>{{{w4094}, w4094 + " ", 4095}, {{"z"}, "z", 4097}}));
    // 4095 characters: the 4095th is read as a blank, the rest is a new line.
    EXPECT_EQ(
        splitAll(w4094 + "x\nz\n", GetParam()),
        (std::vector<Line>{{{w4094}, w4094 + " ", 4095}, {{}, "", 4096}, {{"z"}, "z", 4098}}));
    EXPECT_EQ(splitAll(w4094 + "xy z\n", GetParam()),
              (std::vector<Line>{{{w4094}, w4094 + " ", 4095}, {{"y", "z"}, "y z", 4099}}));
    // 4094 characters at the end of the file: the blank at the cut joins the text.
    EXPECT_EQ(splitAll(w4094, GetParam()), (std::vector<Line>{{{w4094}, w4094 + " ", 4094}}));
    // CR LF whose feed falls on the cut: only the carriage return ends the line.
    const std::string w4093(4093, 'w');
    EXPECT_EQ(splitAll(w4093 + "\r\nz", GetParam()),
              (std::vector<Line>{{{w4093}, w4093, 4094}, {{}, "", 4095}, {{"z"}, "z", 4096}}));
    // A carriage return on the cut is a blank, not a line end.
    EXPECT_EQ(splitAll(w4094 + "\rq\n", GetParam()),
              (std::vector<Line>{{{w4094}, w4094 + " ", 4095}, {{"q"}, "q", 4097}}));
}

TEST_P(LineSplitter, ManyWordsGrowTheWordArray) {
    std::string text;
    for (int i = 0; i < 25; ++i) text += std::to_string(i) + (i % 2 ? "\t" : " ");
    std::vector<Line> lines = splitAll(text + "\n", GetParam());
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].words.size(), 25u);
    EXPECT_EQ(lines[0].words[24], "24");
}

INSTANTIATE_TEST_SUITE_P(PlainAndFast, LineSplitter, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& p) {
                             return p.param ? "plain" : "fast";
                         });

// Generated text of random lines with every kind of line end, tabs, NULs and
// lengths around the cut: both paths give the same words, texts and stream
// positions, and the instance reader's line view agrees with them.
TEST(LineSplitterPaths, FastEqualsPlainOnGeneratedText) {
    std::mt19937 rng(1234);
    const char alphabet[] = "ab1.- \t";
    const char* ends[] = {"\n", "\r\n", "\r", "\r\r\n", ""};
    for (int round = 0; round < 40; ++round) {
        std::string text;
        while (text.size() < 20000) {
            int shape = int(rng() % 10);
            size_t length = shape == 0 ? 4090 + rng() % 8 : rng() % 60;
            for (size_t i = 0; i < length; ++i) text += alphabet[rng() % (sizeof(alphabet) - 1)];
            if (rng() % 50 == 0) text += '\0';
            text += ends[rng() % 5];
        }
        ASSERT_EQ(splitAll(text, true), splitAll(text, false)) << "round " << round;
        ASSERT_EQ(nextLines(text, true), nextLines(text, false)) << "round " << round;
    }
}

}  // namespace
