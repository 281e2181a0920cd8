// parallelFor covers every index exactly once, names no worker beyond its
// slots, runs no two ranges of one worker at once, and brings a body's
// exception back to the caller.
#include "parallel/parallel_for.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

TEST(ParallelFor, CoversEveryIndexOnceWithOneRangeAtATimePerWorker) {
    for (int threads : {0, 1, 3}) {
        for (std::size_t count : {0, 1, 2, 5000}) {
            std::vector<std::atomic<int>> visits(count);
            std::vector<std::atomic<int>> busy(static_cast<std::size_t>(parallelSlots(threads)));
            std::atomic<int> overlaps{0};
            parallelFor(count, threads, [&](std::size_t begin, std::size_t end, int worker) {
                std::atomic<int>& mine = busy.at(static_cast<std::size_t>(worker));
                overlaps += mine++ != 0;
                for (std::size_t i = begin; i < end; ++i) ++visits[i];
                --mine;
            });
            for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(visits[i], 1) << i;
            EXPECT_EQ(overlaps, 0);
        }
    }
}

TEST(ParallelFor, AThrowingBodyReachesTheCaller) {
    for (int threads : {1, 3}) {
        EXPECT_THROW(parallelFor(100000, threads,
                                 [](std::size_t begin, std::size_t end, int) {
                                     for (std::size_t i = begin; i < end; ++i)
                                         if (i % 1000 == 999) throw std::runtime_error("999");
                                 }),
                     std::runtime_error);
    }
}
