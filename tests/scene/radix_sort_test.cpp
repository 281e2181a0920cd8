// The radix sort must give std::stable_sort's order for keys of every width
// its digits split differently: one pass, evenly split passes, all 64 bits,
// and passes skipped because every key has the same digit.
#include "scene/radix_sort.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

TEST(RadixSort, OrdersLikeAStableSortForKeysOfEveryWidth) {
    struct Case {
        uint64_t largest;
        uint64_t step;  // every key is a multiple of it
    };
    std::mt19937_64 random(11);
    for (const Case c : {Case{1, 1}, Case{255, 1}, Case{70000, 1}, Case{uint64_t(1) << 40, 1 << 16},
                         Case{UINT64_MAX, 1}}) {
        // Few distinct keys, so that many are equal; the largest among them.
        std::vector<uint64_t> keys = {c.largest - c.largest % c.step, 0};
        for (int k = 0; k < 30; ++k) {
            const uint64_t v = c.largest == UINT64_MAX ? random() : random() % (c.largest + 1);
            keys.push_back(v - v % c.step);
        }
        std::vector<std::pair<uint64_t, uint32_t>> records, scratch;
        for (uint32_t i = 0; i < 3000; ++i) records.push_back({keys[random() % keys.size()], i});
        auto expected = records;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        radixSortStable(records, scratch, c.largest, [](const auto& r) { return r.first; });
        EXPECT_EQ(records, expected) << "largest " << c.largest;
    }
}
