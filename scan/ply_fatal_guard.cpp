#include "scan/ply_fatal_guard.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "libply/plyfile.h"

namespace {

std::mutex installing;                             // guards liveGuards and the swap
int liveGuards = 0;                                // guards alive on all threads
std::atomic<ply_exit_handler_fn> before{nullptr};  // the handler before the first guard
thread_local int threadGuards = 0;                 // guards alive on this thread

[[noreturn]] void guardedEnd(int status) {
    if (threadGuards > 0) throw PlyReadEnded{status};
    const ply_exit_handler_fn other = before.load();
    if (other != nullptr) other(status);
    std::exit(status);
}

}  // namespace

PlyFatalGuard::PlyFatalGuard() {
    {
        const std::lock_guard<std::mutex> lock(installing);
        if (liveGuards++ == 0) before = ply_set_exit_handler(guardedEnd);
    }
    ++threadGuards;
}

PlyFatalGuard::~PlyFatalGuard() {
    --threadGuards;
    const std::lock_guard<std::mutex> lock(installing);
    if (--liveGuards == 0) ply_set_exit_handler(before.load());
}
