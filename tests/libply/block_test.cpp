// Reading runs of instances with the block calls: the same values, bit for
// bit, as instance-by-instance reading, in both byte orders, from memory and
// from disk, whatever the records' layout; refusals that leave the stream
// untouched; and short data ending the same way.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ply_test_util.h"
#include "test_support.h"

namespace {

using plytest::OpenedPly;

// "point": float x, y, z, uchar confidence, double weight (21 bytes);
// "cell":  list uchar int vertex_indices; "tail": uchar mark (0x5a).
struct Scan {
    std::string bytes;
    std::vector<int> counts;  // items per cell
    std::vector<int32_t> items;
};

void put(std::string& out, const void* value, int size, bool big) {
    const auto* b = static_cast<const char*>(value);
    for (int k = 0; k < size; ++k) out += b[big ? size - 1 - k : k];
}

// Random values, floats including signalling and quiet NaNs of both signs;
// cells with 0, 1, 3 or 200 items, and stretches of empty cells (sparse
// rasters) every thousand cells.
Scan makeScan(int points, int cells, bool big, unsigned seed) {
    std::mt19937 rng(seed);
    Scan s;
    s.bytes = std::string("ply\nformat ") + (big ? "binary_big_endian" : "binary_little_endian") +
              " 1.0\nelement point " + std::to_string(points) +
              "\nproperty float x\nproperty float y\nproperty float z\n"
              "property uchar confidence\nproperty double weight\n"
              "element cell " +
              std::to_string(cells) +
              "\nproperty list uchar int vertex_indices\n"
              "element tail 1\nproperty uchar mark\nend_header\n";
    const uint32_t nans[] = {0x7f800001u, 0xffa00000u, 0x7fc00000u, 0x7f800000u};
    for (int i = 0; i < points; ++i) {
        for (int k = 0; k < 3; ++k) {
            uint32_t bits = rng();
            if (rng() % 50 == 0) bits = nans[rng() % 4];
            put(s.bytes, &bits, 4, big);
        }
        const uint8_t confidence = uint8_t(rng());
        put(s.bytes, &confidence, 1, big);
        const uint64_t weight = (uint64_t(rng()) << 32) | rng();
        put(s.bytes, &weight, 8, big);
    }
    for (int i = 0; i < cells; ++i) {
        const unsigned pick = rng() % 10;
        const uint8_t n = (i % 997 < 150 || pick < 4) ? 0 : pick < 8 ? 1 : pick < 9 ? 3 : 200;
        put(s.bytes, &n, 1, big);
        s.counts.push_back(n);
        for (int j = 0; j < n; ++j) {
            const int32_t v = int32_t(rng());
            put(s.bytes, &v, 4, big);
            s.items.push_back(v);
        }
    }
    s.bytes += char(0x5a);
    return s;
}

ply_property_def scalar(const char* name, int disk, int memory, int offset) {
    return ply_property_def{name, disk, memory, offset, PLY_SCALAR, 0, 0, 0};
}

// The file's own layout, packed (21 bytes), and one that converts: x as a
// double, y left out, z, confidence as an int, weight as a float, 28 bytes.
struct Layout {
    std::vector<ply_property_def> props;
    size_t stride;
};
const Layout kPacked{
    {scalar("x", PLY_FLOAT, PLY_FLOAT, 0), scalar("y", PLY_FLOAT, PLY_FLOAT, 4),
     scalar("z", PLY_FLOAT, PLY_FLOAT, 8), scalar("confidence", PLY_UCHAR, PLY_UCHAR, 12),
     scalar("weight", PLY_DOUBLE, PLY_DOUBLE, 13)},
    21};
const Layout kConverted{
    {scalar("weight", PLY_DOUBLE, PLY_FLOAT, 24), scalar("x", PLY_FLOAT, PLY_DOUBLE, 0),
     scalar("z", PLY_FLOAT, PLY_FLOAT, 8), scalar("confidence", PLY_UCHAR, PLY_INT, 12)},
    28};

struct Cell {
    unsigned char count;
    void* items;
};
ply_property_def cellList(int memoryType) {
    return ply_property_def{"vertex_indices", PLY_INT,   memoryType, offsetof(Cell, items),
                            PLY_LIST,         PLY_UCHAR, PLY_UCHAR,  offsetof(Cell, count)};
}

// What one read of the whole file gave.
struct Read {
    std::vector<char> points;  // the records, untouched bytes 0xab
    std::vector<int> counts;
    std::string items;  // the list items in memory type, one after another
    int mark = -1;
    bool atEnd = false;
};

Read readAll(ply_handle* ply, int points, int cells, const Layout& layout, int itemType,
             bool blocks) {
    Read r;
    r.points.assign(size_t(points) * layout.stride, char(0xab));
    ply_select_properties(ply, "point", int(layout.props.size()), layout.props.data());
    // Runs of a few thousand, as a caller reading an untrusted count would.
    for (int first = 0; first < points; first += 7000) {
        const int m = std::min(7000, points - first);
        char* at = r.points.data() + size_t(first) * layout.stride;
        if (blocks) {
            EXPECT_EQ(ply_get_element_block(ply, m, at, layout.stride), 1);
        } else {
            for (int i = 0; i < m; ++i) ply_get_element(ply, at + size_t(i) * layout.stride);
        }
    }
    const ply_property_def list = cellList(itemType);
    ply_select_property(ply, "cell", &list);
    const size_t itemSize = size_t(type_sizes[itemType]);
    if (blocks) {
        r.counts.resize(size_t(cells));
        for (int first = 0; first < cells; first += 7000) {
            void* items = nullptr;
            size_t itemCount = 0;
            EXPECT_EQ(ply_get_list_block(ply, std::min(7000, cells - first),
                                         r.counts.data() + first, &items, &itemCount),
                      1);
            if (items != nullptr) r.items.append(static_cast<char*>(items), itemCount * itemSize);
            std::free(items);
        }
    } else {
        for (int i = 0; i < cells; ++i) {
            Cell c{0, nullptr};
            ply_get_element(ply, &c);
            r.counts.push_back(c.count);
            if (c.items != nullptr) r.items.append(static_cast<char*>(c.items), c.count * itemSize);
            std::free(c.items);
        }
    }
    const ply_property_def mark = scalar("mark", PLY_UCHAR, PLY_INT, 0);
    ply_select_property(ply, "tail", &mark);
    ply_get_element(ply, &r.mark);
    r.atEnd = std::fgetc(ply->stream) == EOF;
    return r;
}

void expectSameRead(const Read& block, const Read& single) {
    EXPECT_TRUE(block.points == single.points);
    EXPECT_EQ(block.counts, single.counts);
    EXPECT_TRUE(block.items == single.items);
    EXPECT_EQ(block.mark, 0x5a);
    EXPECT_EQ(single.mark, 0x5a);
    EXPECT_TRUE(block.atEnd);
}

TEST(BlockRead, GivesTheInstanceReadersValuesInEveryLayoutAndByteOrder) {
    // More points than one converted piece (a megabyte) holds; lists that
    // straddle the stream buffer's end many times.
    const int points = 60000, cells = 40000;
    for (bool big : {false, true}) {
        const Scan scan = makeScan(points, cells, big, big ? 7 : 3);
        for (const Layout* layout : {&kPacked, &kConverted}) {
            for (int itemType : {PLY_INT, PLY_DOUBLE}) {
                SCOPED_TRACE(testing::Message() << "big " << big << " stride " << layout->stride
                                                << " items " << itemType);
                // Instance by instance on the fast and the plain paths, and in blocks.
                Read reads[3];
                for (int way : {0, 1, 2}) {
                    plytest::PathMode mode(way == 1);
                    OpenedPly h(scan.bytes);
                    ASSERT_NE(h.ply, nullptr);
                    reads[way] = readAll(h.ply, points, cells, *layout, itemType, way == 2);
                }
                expectSameRead(reads[2], reads[0]);
                expectSameRead(reads[2], reads[1]);
                EXPECT_EQ(reads[2].counts, scan.counts);
            }
        }
    }
}

TEST(BlockRead, FromDiskThroughOpenRead) {
    const int points = 30000, cells = 50000;
    const Scan scan = makeScan(points, cells, false, 11);
    const std::string path = testing_support::makeTempDir("block-read") + "/scan.ply";
    testing_support::writeFile(path, scan.bytes);
    Read reads[2];
    for (bool blocks : {false, true}) {
        int nelems, type;
        char** elist;
        float version;
        ply_handle* ply = ply_open_read(path.c_str(), &nelems, &elist, &type, &version);
        ASSERT_NE(ply, nullptr);
        reads[blocks] = readAll(ply, points, cells, kPacked, PLY_INT, blocks);
        ply_free_element_list(nelems, elist);
        ply_close_file(ply);
    }
    expectSameRead(reads[1], reads[0]);
    std::vector<int32_t> items(scan.items.size());
    ASSERT_EQ(reads[1].items.size(), items.size() * 4);
    std::memcpy(items.data(), reads[1].items.data(), reads[1].items.size());
    EXPECT_EQ(items, scan.items);
}

TEST(BlockRead, RefusesWhatItCannotReadAndLeavesTheStreamAlone) {
    const Scan scan = makeScan(2, 2, false, 5);
    float first[3];
    const ply_property_def xyz[] = {scalar("x", PLY_FLOAT, PLY_FLOAT, 0),
                                    scalar("y", PLY_FLOAT, PLY_FLOAT, 4),
                                    scalar("z", PLY_FLOAT, PLY_FLOAT, 8)};
    auto expectFirstPointNext = [&](ply_handle* ply) {
        float v[3];
        ply_get_element(ply, v);
        EXPECT_EQ(std::memcmp(v, first, sizeof v), 0);
    };
    {
        OpenedPly h(scan.bytes);
        ply_select_properties(h.ply, "point", 3, xyz);
        ply_get_element(h.ply, first);
    }
    int counts[2];
    void* items = nullptr;
    size_t itemCount = 0;
    float records[6];
    {  // a list block of an element of single values
        OpenedPly h(scan.bytes);
        ply_select_properties(h.ply, "point", 3, xyz);
        EXPECT_EQ(ply_get_list_block(h.ply, 2, counts, &items, &itemCount), 0);
        expectFirstPointNext(h.ply);
    }
    {  // on the plain paths
        plytest::PathMode plain(true);
        OpenedPly h(scan.bytes);
        ply_select_properties(h.ply, "point", 3, xyz);
        EXPECT_EQ(ply_get_element_block(h.ply, 2, records, 12), 0);
        expectFirstPointNext(h.ply);
    }
    {  // raw blocks of the other properties are made per instance
        OpenedPly h(scan.bytes);
        ply_select_properties(h.ply, "point", 3, xyz);
        ply_free_other_props(ply_get_other_properties(h.ply, "point", 16));
        EXPECT_EQ(ply_get_element_block(h.ply, 2, records, 12), 0);
    }
    {  // an element block of a list, an unselected list, text
        OpenedPly h(scan.bytes);
        const ply_property_def list = cellList(PLY_INT);
        ply_select_properties(h.ply, "point", 0, nullptr);
        for (int i = 0; i < 2; ++i) ply_get_element(h.ply, nullptr);
        ply_select_properties(h.ply, "cell", 0, nullptr);
        EXPECT_EQ(ply_get_list_block(h.ply, 2, counts, &items, &itemCount), 0);
        ply_select_property(h.ply, "cell", &list);
        EXPECT_EQ(ply_get_element_block(h.ply, 2, records, 12), 0);
        OpenedPly text("ply\nformat ascii 1.0\nelement point 1\nproperty float x\nend_header\n1\n");
        ply_select_properties(text.ply, "point", 1, xyz);
        EXPECT_EQ(ply_get_element_block(text.ply, 1, records, 4), 0);
    }
    EXPECT_EQ(items, nullptr);
}

// Runs that end inside a stretch of empty cells, at every offset: each run
// takes exactly its own cells, and the next element is read where it begins.
TEST(BlockRead, RunsEndAnywhereInsideEmptyCells) {
    std::string bytes =
        "ply\nformat binary_little_endian 1.0\nelement cell 120\n"
        "property list uchar int vertex_indices\nelement tail 1\n"
        "property uchar mark\nend_header\n" +
        std::string(120, '\0') + char(0x5a);
    OpenedPly h(bytes);
    const ply_property_def list = cellList(PLY_INT);
    ply_select_property(h.ply, "cell", &list);
    int read = 0;
    for (int run = 1; read + run <= 120; read += run++) {
        std::vector<int> counts(size_t(run) + 8, -1);
        void* items = nullptr;
        size_t itemCount = 1;
        ASSERT_EQ(ply_get_list_block(h.ply, run, counts.data(), &items, &itemCount), 1);
        EXPECT_EQ(std::vector<int>(counts.begin(), counts.begin() + run),
                  std::vector<int>(size_t(run), 0));
        EXPECT_EQ(counts[size_t(run)], -1) << "run of " << run << " wrote past its counts";
        EXPECT_EQ(itemCount, 0u);
    }
    ply_select_properties(h.ply, "cell", 0, nullptr);
    for (; read < 120; ++read) ply_get_element(h.ply, nullptr);
    const ply_property_def mark = scalar("mark", PLY_UCHAR, PLY_INT, 0);
    ply_select_property(h.ply, "tail", &mark);
    int value = 0;
    ply_get_element(h.ply, &value);
    EXPECT_EQ(value, 0x5a);
}

struct Ended {
    int status;
};
[[noreturn]] void throwEnded(int status) {
    throw Ended{status};
}

// Every prefix of a small file: where the reading ends and what it says are
// the same both ways, and nothing stays allocated (the leak checker).
TEST(BlockRead, ShortDataEndsWhereAndAsTheInstanceReaderEnds) {
    const Scan scan = makeScan(40, 60, false, 9);
    const ply_exit_handler_fn previous = ply_set_exit_handler(throwEnded);
    const size_t header = scan.bytes.find("end_header\n") + 11;
    for (size_t size = header; size < scan.bytes.size(); ++size) {
        std::string outcome[2];
        for (bool blocks : {false, true}) {
            OpenedPly h(scan.bytes.substr(0, size));
            testing::internal::CaptureStderr();
            try {
                readAll(h.ply, 40, 60, kConverted, PLY_INT, blocks);
                outcome[blocks] = "complete";
            } catch (const Ended& e) {
                outcome[blocks] = "ended " + std::to_string(e.status);
            }
            outcome[blocks] += ": " + testing::internal::GetCapturedStderr();
        }
        ASSERT_EQ(outcome[1], outcome[0]) << "file cut to " << size << " bytes";
    }
    ply_set_exit_handler(previous);
}

}  // namespace
