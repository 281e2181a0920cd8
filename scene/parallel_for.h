// parallelFor: one loop body run over the indices [0, count) by several
// threads, for the steps that handle many independent items (scans to load or
// prepare, lattice cells to measure). What a body computes must not depend
// on which thread runs it: results are then the same for any thread count.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

// How many workers parallelFor(count, threads, ...) uses: `threads` (at
// least one), but no more than there are indices.
inline int parallelWorkers(std::size_t count, int threads) {
    const std::size_t wanted = static_cast<std::size_t>(std::max(threads, 1));
    return static_cast<int>(std::min(count, wanted));
}

// Calls body(i, worker) once for every i in [0, count) and returns when all
// calls are done. The calling thread is worker 0; workers 1 .. n-1 are threads
// started for the call (n = parallelWorkers(count, threads)), so per-worker
// scratch space can be indexed by `worker`. Indices are handed out one at a
// time in increasing order: each worker sees its own indices in increasing
// order. A thread that cannot be started leaves its share to the others.
// When a body throws, no further index is handed out, and the first
// exception is rethrown here once every worker has stopped.
template <class Body>
void parallelFor(std::size_t count, int threads, const Body& body) {
    const int workers = parallelWorkers(count, threads);
    std::atomic<std::size_t> next{0};
    std::mutex failureLock;
    std::exception_ptr failure;
    auto work = [&](int worker) {
        try {
            for (std::size_t i = next++; i < count; i = next++) body(i, worker);
        } catch (...) {
            next = count;
            const std::lock_guard<std::mutex> lock(failureLock);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(std::max(workers - 1, 0)));
    for (int w = 1; w < workers; ++w) {
        try {
            pool.emplace_back(work, w);
        } catch (const std::exception&) {  // no thread or no memory for one
            break;
        }
    }
    if (workers > 0) work(0);
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
}
