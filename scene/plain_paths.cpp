#include "scene/plain_paths.h"

#include <atomic>
#include <thread>

namespace {
std::atomic<bool> plainEdges{false};
std::atomic<int> threadsWanted{0};
}  // namespace

void setPlainEdgePairing(bool on) {
    plainEdges.store(on);
}
bool plainEdgePairing() {
    return plainEdges.load();
}

void setWorkerThreads(int threads) {
    threadsWanted.store(threads < 0 ? 0 : threads);
}

int workerThreads() {
    const int wanted = threadsWanted.load();
    if (wanted > 0) return wanted;
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware > 0 ? static_cast<int>(hardware) : 1;
}
