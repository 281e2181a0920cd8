// parallelFor: one loop body run over the indices [0, count) on several
// threads, for the steps that handle many independent items (scans to load or
// prepare, lattice cells to measure), through oneTBB's scheduler. What a body
// computes must not depend on which thread runs it or on how the indices are
// split: results are then the same for any thread count.
#pragma once

#include <tbb/blocked_range.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cstddef>

// How many per-thread scratch slots a parallelFor on `threads` threads needs:
// every `worker` it passes is below this.
inline int parallelSlots(int threads) {
    return std::max(threads, 1);
}

// Calls body(begin, end, worker) for ranges [begin, end) of consecutive
// indices that together cover [0, count) once, and returns when all calls are
// done. The ranges run on at most `threads` threads (the calling thread among
// them), in no particular order, split so that the threads finish together.
// `worker` names the thread that runs a range: no two calls with the same
// worker run at once, so scratch space can be kept per worker. A body that
// throws cancels the ranges not yet started, and its exception reaches the
// caller once the others have ended.
template <class Body>
void parallelFor(std::size_t count, int threads, const Body& body) {
    if (count == 0) return;
    // No more threads than processors: oneTBB would not start them, and
    // would say so on standard error.
    tbb::task_arena arena(std::min(parallelSlots(threads), tbb::info::default_concurrency()));
    arena.execute([&] {
        tbb::parallel_for(tbb::blocked_range<std::size_t>(0, count),
                          [&](const tbb::blocked_range<std::size_t>& range) {
                              // A body that waits for work of its own must not
                              // take up another range of this loop meanwhile.
                              tbb::this_task_arena::isolate([&] {
                                  body(range.begin(), range.end(),
                                       tbb::this_task_arena::current_thread_index());
                              });
                          });
    });
}

// `threads` when it is positive, else one per processor.
inline int threadsOrAll(int threads) {
    return threads > 0 ? threads : std::max(tbb::info::default_concurrency(), 1);
}

// Calls fn(i) once for every i in [0, count) on at most threadsOrAll(threads)
// threads, for loops whose items need no per-thread scratch space.
template <class Fn>
void parallelForEach(std::size_t count, int threads, const Fn& fn) {
    parallelFor(count, threadsOrAll(threads), [&](std::size_t begin, std::size_t end, int) {
        for (std::size_t i = begin; i < end; ++i) fn(i);
    });
}
