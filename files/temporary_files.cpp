#include "files/temporary_files.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>

namespace files {

// One registry record. Its path is written only while the record is claimed
// and read by the handler only while it is live.
struct TrackedFile {
    std::atomic<int> state{0};  // kFree, kClaimed or kLive
    char* path = nullptr;       // zero-terminated, capacity bytes
    std::size_t capacity = 0;
    TrackedFile* next = nullptr;  // set before the record is published, never changed
};

namespace {

constexpr int kFree = 0, kClaimed = 1, kLive = 2;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<TrackedFile*> registry{nullptr};
std::once_flag handlersInstalled;

void removeTrackedFiles(int sig) {
    const int savedErrno = errno;
    for (TrackedFile* t = registry.load(); t != nullptr; t = t->next)
        if (t->state.load() == kLive) unlink(t->path);
    // Tracked folders go once the files in them are gone.
    for (TrackedFile* t = registry.load(); t != nullptr; t = t->next)
        if (t->state.load() == kLive) rmdir(t->path);
    // End as the signal would have ended the process without us.
    signal(sig, SIG_DFL);
    raise(sig);
    errno = savedErrno;
}

void installHandlers() {
    for (int sig : kSignals) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = removeTrackedFiles;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals) sigaddset(&action.sa_mask, other);
        sigaction(sig, &action, nullptr);
    }
}

// Copies path into a claimed record; false without memory.
bool fill(TrackedFile* t, const std::string& path) {
    if (t->capacity < path.size() + 1) {
        char* room = new (std::nothrow) char[path.size() + 1];
        if (room == nullptr) return false;
        delete[] t->path;
        t->path = room;
        t->capacity = path.size() + 1;
    }
    std::memcpy(t->path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

TrackedFile* trackTemporaryFile(const std::string& path) {
    std::call_once(handlersInstalled, installHandlers);
    for (TrackedFile* t = registry.load(); t != nullptr; t = t->next) {
        int expected = kFree;
        if (!t->state.compare_exchange_strong(expected, kClaimed)) continue;
        if (!fill(t, path)) {
            t->state.store(kFree);
            return nullptr;
        }
        t->state.store(kLive);
        return t;
    }
    auto* t = new (std::nothrow) TrackedFile;
    if (t == nullptr) return nullptr;
    t->state.store(kClaimed);
    if (!fill(t, path)) {
        delete t;
        return nullptr;
    }
    t->next = registry.load();
    while (!registry.compare_exchange_weak(t->next, t)) {
    }
    t->state.store(kLive);
    return t;
}

void untrackTemporaryFile(TrackedFile* tracked) {
    if (tracked != nullptr) tracked->state.store(kFree);
}

}  // namespace files
