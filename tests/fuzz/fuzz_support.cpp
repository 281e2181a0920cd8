#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "libply/plyfile.h"

// Provided by the sanitizer runtimes, absent from plain builds.
extern "C" void __sanitizer_report_error_summary(const char* text) __attribute__((weak));

namespace fuzzing {

namespace {

[[noreturn]] void throwingHandler(int status) {
    throw LibraryExit{status};
}

// Owns the scratch folder; the static's destructor removes it at exit.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/rangeloom-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) fail("cannot create a scratch folder");
        path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

void throwOnLibraryExit() {
    ply_set_exit_handler(throwingHandler);
}

const std::string& scratchDir() {
    static ScratchFolder folder;
    return folder.path;
}

std::string writeScratchFile(const std::string& name, const uint8_t* data, std::size_t size) {
    const std::string path = scratchDir() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) fail("cannot write " + path);
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !ok) fail("cannot write " + path);
    return path;
}

std::string writeScratchFile(const std::string& name, const std::string& text) {
    return writeScratchFile(name, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

FILE* openMemory(const uint8_t* data, std::size_t size) {
    static uint8_t none = 0;  // fmemopen wants a buffer even for no bytes
    FILE* fp = fmemopen(size > 0 ? const_cast<uint8_t*>(data) : &none, size, "r");
    if (fp == nullptr) fail("fmemopen failed");
    return fp;
}

std::size_t bufferSizeFor(uint8_t selector) {
    static const std::size_t kSizes[] = {0, 1, 2, 3, 7, 16, 64, 4093, 4096, 4097};
    return kSizes[selector % (sizeof kSizes / sizeof kSizes[0])];
}

void quietStdout() {
    if (std::getenv("RANGELOOM_FUZZ_VERBOSE") != nullptr) return;
    if (std::freopen("/dev/null", "w", stdout) == nullptr) fail("cannot silence stdout");
}

void fail(const std::string& what) {
    const std::string text = "fuzz target: " + what;
    // With libFuzzer's -close_fd_mask standard error is closed; the
    // sanitizers' report channel still reaches the log.
    if (__sanitizer_report_error_summary != nullptr) {
        __sanitizer_report_error_summary(text.c_str());
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::fflush(stderr);
    std::abort();
}

}  // namespace fuzzing
