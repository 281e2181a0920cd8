// parallelFor hands every index to exactly one worker, each worker's indices
// in increasing order, and brings a body's exception back to the caller.
#include "scene/parallel_for.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <vector>

TEST(ParallelFor, EveryIndexOnceAndEachWorkersInIncreasingOrder) {
    for (int threads : {0, 1, 3}) {
        for (std::size_t count : {0, 1, 2, 5000}) {
            const int workers = parallelWorkers(count, threads);
            std::vector<std::atomic<int>> visits(count);
            std::vector<std::vector<std::size_t>> seen(static_cast<std::size_t>(workers));
            parallelFor(count, threads, [&](std::size_t i, int worker) {
                ++visits[i];
                seen.at(static_cast<std::size_t>(worker)).push_back(i);
            });
            for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(visits[i], 1) << i;
            for (const auto& indices : seen)
                EXPECT_TRUE(std::is_sorted(indices.begin(), indices.end()));
        }
    }
}

TEST(ParallelFor, AThrowingBodyStopsTheLoopAndTheCallerGetsTheException) {
    std::size_t started = 0;
    EXPECT_THROW(parallelFor(1000, 1,
                             [&](std::size_t i, int) {
                                 ++started;
                                 if (i == 10) throw std::runtime_error("item 10");
                             }),
                 std::runtime_error);
    EXPECT_EQ(started, 11u);
    // On several threads too, with the others stopped before it returns.
    EXPECT_THROW(parallelFor(100000, 3,
                             [](std::size_t i, int) {
                                 if (i % 1000 == 999) throw std::runtime_error("every 1000th");
                             }),
                 std::runtime_error);
}
