// Runs fn(0) ... fn(count - 1) on up to `threads` threads (0: one per
// hardware thread). Items are handed out one at a time; fn must write only
// to what belongs to its item, so that the results do not depend on the
// number of threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace registration {

inline int threadsToUse(int threads) {
    if (threads > 0) return threads;
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware > 0 ? static_cast<int>(hardware) : 1;
}

template <typename F>
void parallelFor(std::size_t count, int threads, const F& fn) {
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) fn(i);
    };
    const std::size_t helpers =
        std::min<std::size_t>(static_cast<std::size_t>(threadsToUse(threads)), count);
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < helpers; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
}

}  // namespace registration
