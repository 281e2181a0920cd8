// Item conversion: words and bytes into the three forms, the forms into
// memory, and the fast text conversions against the C library, bit for bit.

#include <gtest/gtest.h>

#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "libply/ply_numbers.h"
#include "ply_test_util.h"

namespace {

struct Forms {
    int i;
    unsigned u;
    double d;
};

Forms ascii(const char* word, int type) {
    Forms f{};
    get_ascii_item(word, type, &f.i, &f.u, &f.d);
    return f;
}

uint64_t bitsOf(double d) {
    uint64_t b;
    std::memcpy(&b, &d, 8);
    return b;
}

class AsciiItems : public testing::TestWithParam<bool> {
protected:
    plytest::PathMode mode_{GetParam()};
};

TEST_P(AsciiItems, IntegerTypesUseAtoiIncludingItsWrapAround) {
    Forms f = ascii("-1", PLY_UCHAR);
    EXPECT_EQ(f.i, -1);
    EXPECT_EQ(f.u, 0xFFFFFFFFu);
    EXPECT_EQ(f.d, -1.0);
    unsigned char as_uchar = 0;
    int as_int = 0;
    store_item(&as_uchar, PLY_UCHAR, f.i, f.u, f.d);
    store_item(&as_int, PLY_INT, f.i, f.u, f.d);
    EXPECT_EQ(as_uchar, 255);
    EXPECT_EQ(as_int, -1);

    EXPECT_EQ(ascii("300", PLY_UCHAR).i, 300);                  // no range check before storing
    EXPECT_EQ(ascii("4294967297", PLY_INT).i, 1);               // the long's low 32 bits
    EXPECT_EQ(ascii("99999999999999999999", PLY_INT).i, -1);    // LONG_MAX's low bits
    EXPECT_EQ(ascii("-99999999999999999999", PLY_SHORT).i, 0);  // LONG_MIN's low bits
    EXPECT_EQ(ascii("12abc", PLY_INT).i, 12);
    EXPECT_EQ(ascii("+7", PLY_INT).i, 7);
    EXPECT_EQ(ascii("\v7", PLY_INT).i, 7);
    EXPECT_EQ(ascii("0x1F", PLY_INT).i, 0);
    EXPECT_EQ(ascii("2.9", PLY_INT).i, 2);
    EXPECT_EQ(ascii("abc", PLY_CHAR).i, 0);
}

TEST_P(AsciiItems, UintSaturatesAtTheSignedRange) {
    Forms big = ascii("3000000000", PLY_UINT);
    EXPECT_EQ(big.u, 2147483647u);
    EXPECT_EQ(big.i, 2147483647);
    Forms low = ascii("-3000000000", PLY_UINT);
    EXPECT_EQ(low.u, 0x80000000u);
    EXPECT_EQ(low.i, INT_MIN);
    EXPECT_EQ(low.d, 2147483648.0);  // the unsigned reading of the bits
    EXPECT_EQ(ascii("-1", PLY_UINT).d, 4294967295.0);
}

TEST_P(AsciiItems, FloatTypesTruncateTowardZeroForTheIntegerForms) {
    EXPECT_EQ(ascii("2.9", PLY_FLOAT).i, 2);
    EXPECT_EQ(ascii("-2.9", PLY_FLOAT).i, -2);
    EXPECT_EQ(ascii("-2.9", PLY_DOUBLE).d, -2.9);
    EXPECT_EQ(ascii("-1", PLY_FLOAT).u, 0xFFFFFFFFu);
    Forms big = ascii("1e10", PLY_DOUBLE);
    EXPECT_EQ(big.i, INT_MIN);
    EXPECT_EQ(big.u, uint32_t(uint64_t(10000000000)));
    Forms huge = ascii("1e300", PLY_DOUBLE);
    EXPECT_EQ(huge.i, INT_MIN);
    EXPECT_EQ(huge.u, 0u);
    EXPECT_EQ(ascii("0x10", PLY_FLOAT).d, 16.0);
    EXPECT_TRUE(std::isinf(ascii("-inf", PLY_FLOAT).d));
    EXPECT_EQ(ascii("junk", PLY_FLOAT).d, 0.0);
    // Stored as float: rounded from the double, not parsed as float.
    Forms f = ascii("0.1", PLY_FLOAT);
    float stored;
    store_item(&stored, PLY_FLOAT, f.i, f.u, f.d);
    EXPECT_EQ(stored, 0.1f);
}

INSTANTIATE_TEST_SUITE_P(PlainAndFast, AsciiItems, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& p) {
                             return p.param ? "plain" : "fast";
                         });

// Words a file might hold, ordinary and odd.
std::vector<std::string> integerWords() {
    std::vector<std::string> words = {"",
                                      "-",
                                      "+",
                                      "--1",
                                      "-+1",
                                      "0",
                                      "-0",
                                      "007",
                                      "0x1F",
                                      "2147483647",
                                      "2147483648",
                                      "-2147483648",
                                      "-2147483649",
                                      "4294967295",
                                      "4294967296",
                                      "4294967297",
                                      "999999999999999999",
                                      "1000000000000000000",
                                      "9223372036854775807",
                                      "9223372036854775808",
                                      "-9223372036854775808",
                                      "-9223372036854775809",
                                      "99999999999999999999999",
                                      "000000000000000000000012",
                                      "\v5",
                                      "\f-5",
                                      "+12",
                                      "1e3",
                                      "12.7",
                                      "-0.9",
                                      "٣",
                                      "1 2"};
    std::mt19937_64 rng(99);
    const char* prefixes[] = {"", "-", "+", "0", "00", "\v", "-0"};
    const char* suffixes[] = {"", "", "", "x", ".5", "e3", "-", "+1"};
    for (int n = 0; n < 20000; ++n) {
        std::string w = prefixes[rng() % 7];
        int digits = 1 + int(rng() % 22);
        for (int k = 0; k < digits; ++k) w += char('0' + rng() % 10);
        w += suffixes[rng() % 8];
        words.push_back(w);
    }
    return words;
}

std::vector<std::string> floatWords() {
    std::vector<std::string> words = {"inf",
                                      "-inf",
                                      "infinity",
                                      "INF",
                                      "nan",
                                      "-nan",
                                      "NaN(123)",
                                      "nanx",
                                      "0x1p-3",
                                      "-0x1.8p1",
                                      "0X10",
                                      "1e400",
                                      "-1e400",
                                      "1e-400",
                                      "4.9406564584124654e-324",
                                      "2.4703282292062327e-324",
                                      "2.4703282292062328e-324",
                                      "1.7976931348623157e308",
                                      "1.7976931348623158e308",
                                      "1.797693134862315807e308",
                                      "1.7976931348623159e308",
                                      ".",
                                      "-.",
                                      ".e5",
                                      "1.",
                                      "1.e5",
                                      "1e",
                                      "1e+",
                                      "1e-",
                                      "+1.5",
                                      "\v2.5",
                                      "0",
                                      "-0",
                                      "00.5",
                                      "1.5e3x",
                                      "9007199254740993",
                                      "0.1e-99999999999999999999",
                                      "1e99999999999999999999",
                                      "0e99999999999999999999",
                                      "123456789012345678901234567890",
                                      ".000000000000000000001",
                                      "2.2250738585072011e-308",
                                      "2.2250738585072012e-308",
                                      "-",
                                      "",
                                      "e5",
                                      "x",
                                      "9007199254740992",
                                      "9007199254740993",
                                      "900719925474099.3",
                                      "0.9007199254740993",
                                      "0.0000000000000000000001",
                                      "0.00000000000000000000001",
                                      "-0.0",
                                      "5.",
                                      "-.5",
                                      "0x",
                                      "0X1",
                                      "12x",
                                      "1.5E3",
                                      "00000000000000000001",
                                      "1234567890123456789.5",
                                      "0.1",
                                      "-0.3"};
    std::mt19937_64 rng(7);
    char text[64];
    for (int n = 0; n < 20000; ++n) {
        uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, 8);
        const char* formats[] = {"%.17g", "%.9g", "%g", "%e", "%.3f", "%.25g"};
        std::snprintf(text, sizeof(text), formats[n % 6], n % 2 ? d : double(float(d * 1e-300)));
        words.push_back(text);
        // Decimal words of random shape.
        std::string w = rng() % 3 == 0 ? "-" : "";
        int before = int(rng() % 25), after = int(rng() % 25);
        for (int k = 0; k < before; ++k) w += char('0' + rng() % 10);
        if (rng() % 4 != 0) w += '.';
        for (int k = 0; k < after; ++k) w += char('0' + rng() % 10);
        if (rng() % 2) {
            w += rng() % 2 ? 'e' : 'E';
            if (rng() % 2) w += rng() % 2 ? '-' : '+';
            w += std::to_string(rng() % 700);
        }
        words.push_back(w);
    }
    return words;
}

TEST(FastNumbers, IntegersEqualTheCLibrary) {
    for (const std::string& w : integerWords()) {
        const char* first = w.data();
        const char* last = first + w.size();
        ASSERT_EQ(plynum::atoi_word(first, last), std::atoi(w.c_str())) << w;
        long v = std::strtol(w.c_str(), nullptr, 10);
        int32_t clamped = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
        ASSERT_EQ(plynum::strtol32_word(first, last), clamped) << w;
    }
}

TEST(FastNumbers, FloatsEqualTheCLibraryBitForBit) {
    for (const std::string& w : floatWords()) {
        double fast = plynum::atof_word(w.data(), w.data() + w.size());
        double libc = std::atof(w.c_str());
        ASSERT_EQ(bitsOf(fast), bitsOf(libc)) << w;
    }
}

TEST(FastNumbers, FormattingEqualsPrintf) {
    std::mt19937_64 rng(5);
    std::vector<double> values = {0.0,      -0.0,      1.5,          2.0,
                                  1e-5,     1e-4,      0.0001234565, 123456.5,
                                  999999.5, 9999995.0, 1234565.0,    0.5,
                                  1e100,    -1e-300,   5e-324,       1.7976931348623157e308,
                                  INFINITY, -INFINITY, NAN,          -NAN,
                                  100000.0, 1000000.0, 0.00001,      0.000099999949};
    for (int n = 0; n < 50000; ++n) {
        uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, 8);
        values.push_back(d);
        values.push_back(double(float(int64_t(rng() % 2000001) - 1000000) / 1024.0f));
        values.push_back(double(static_cast<float>(d)));
        values.push_back(std::round(d * 1e-300 * 1e6) / 1e6);
    }
    char expected[64], got[64];
    for (double d : values) {
        std::snprintf(expected, sizeof(expected), "%g", d);
        *plynum::format_g(got, d) = '\0';
        ASSERT_STREQ(got, expected) << bitsOf(d);
    }
    const int32_t ints[] = {0, 1, -1, 9, 10, -10, INT32_MAX, INT32_MIN, 123456789};
    for (int32_t v : ints) {
        std::snprintf(expected, sizeof(expected), "%d", v);
        *plynum::format_int(got, v) = '\0';
        EXPECT_STREQ(got, expected);
        std::snprintf(expected, sizeof(expected), "%u", uint32_t(v));
        *plynum::format_uint(got, uint32_t(v)) = '\0';
        EXPECT_STREQ(got, expected);
    }
}

Forms binary(const std::string& bytes, int file_type, int type) {
    plytest::MemoryInput input(bytes);
    FILE* fp = input.open();
    Forms f{};
    get_binary_item(fp, file_type, type, &f.i, &f.u, &f.d);
    std::fclose(fp);
    return f;
}

TEST(BinaryItems, OtherByteOrderIsReversedItemByItem) {
    for (bool plain : {false, true}) {
        plytest::PathMode mode(plain);
        EXPECT_EQ(binary(std::string("\x12\x34", 2), PLY_BINARY_BE, PLY_SHORT).i, 0x1234);
        EXPECT_EQ(binary(std::string("\x12\x34", 2), PLY_BINARY_LE, PLY_SHORT).i, 0x3412);
        EXPECT_EQ(binary(std::string("\xff\xfe", 2), PLY_BINARY_BE, PLY_SHORT).i, -2);
        EXPECT_EQ(binary(std::string("\xff\xfe", 2), PLY_BINARY_BE, PLY_USHORT).i, 0xfffe);
        EXPECT_EQ(binary("\xf0", PLY_BINARY_BE, PLY_CHAR).i, -16);
        EXPECT_EQ(binary("\xf0", PLY_BINARY_BE, PLY_UCHAR).u, 0xf0u);
        Forms all = binary("\xff\xff\xff\xff", PLY_BINARY_BE, PLY_UINT);
        EXPECT_EQ(all.d, 4294967295.0);  // not -1
        EXPECT_EQ(all.i, -1);
        EXPECT_EQ(binary(std::string("\x3f\xc0\0\0", 4), PLY_BINARY_BE, PLY_FLOAT).d, 1.5);
        EXPECT_EQ(binary(std::string("\0\0\xc0\x3f", 4), PLY_BINARY_LE, PLY_FLOAT).d, 1.5);
        Forms d = binary(std::string("\xc0\x04\0\0\0\0\0\0", 8), PLY_BINARY_BE, PLY_DOUBLE);
        EXPECT_EQ(d.d, -2.5);
        EXPECT_EQ(d.i, -2);
    }
}

TEST(StoredItems, EachTypeStoresTheFittingFormAndReadsBack) {
    unsigned char memory[8];
    Forms f{};
    store_item(memory, PLY_CHAR, 0x1ff, 0, 0);
    EXPECT_EQ(get_item_value(memory, PLY_CHAR), -1.0);
    store_item(memory, PLY_SHORT, 0x18000, 0, 0);
    get_stored_item(memory, PLY_SHORT, &f.i, &f.u, &f.d);
    EXPECT_EQ(f.i, -32768);
    EXPECT_EQ(f.u, 0xffff8000u);
    store_item(memory, PLY_UCHAR, -1, 300, -7.0);  // the unsigned form's low byte
    EXPECT_EQ(memory[0], 44);
    store_item(memory, PLY_USHORT, 0, 0x12345, 0);
    EXPECT_EQ(get_item_value(memory, PLY_USHORT), double(0x2345));
    store_item(memory, PLY_UINT, -1, 0xfffffffe, 0);
    EXPECT_EQ(get_item_value(memory, PLY_UINT), 4294967294.0);
    store_item(memory, PLY_INT, -5, 7, 9.0);
    EXPECT_EQ(get_item_value(memory, PLY_INT), -5.0);
    store_item(memory, PLY_FLOAT, 1, 1, 0.1);
    float fl;
    std::memcpy(&fl, memory, 4);
    EXPECT_EQ(fl, 0.1f);
    get_stored_item(memory, PLY_FLOAT, &f.i, &f.u, &f.d);
    EXPECT_EQ(f.d, double(0.1f));
    store_item(memory, PLY_DOUBLE, 1, 1, -3.75);
    get_stored_item(memory, PLY_DOUBLE, &f.i, &f.u, &f.d);
    EXPECT_EQ(f.d, -3.75);
    EXPECT_EQ(f.i, -3);
    EXPECT_EQ(f.u, 0xfffffffdu);
}

TEST(StoredItems, ReverseBytesSwapsMirrorPositions) {
    unsigned char b[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    reverse_bytes(b, 1);
    EXPECT_EQ(b[0], 1);
    reverse_bytes(b, 2);
    EXPECT_EQ(b[0], 2);
    EXPECT_EQ(b[1], 1);
    reverse_bytes(b, 8);
    const unsigned char expected[8] = {8, 7, 6, 5, 4, 3, 1, 2};
    EXPECT_EQ(std::memcmp(b, expected, 8), 0);
    reverse_bytes(b, 3);
    EXPECT_EQ(b[0], 6);
    EXPECT_EQ(b[2], 8);
}

}  // namespace
