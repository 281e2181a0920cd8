#include "scene/console.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {
thread_local std::string* captureTarget = nullptr;
std::atomic<bool> quiet{false};
}  // namespace

void consoleWrite(const std::string& text) {
    if (quiet.load(std::memory_order_relaxed) || text.empty()) return;
    if (captureTarget != nullptr) {
        captureTarget->append(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void consolePrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    char small[256];
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        return;
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        consoleWrite(std::string(small, static_cast<std::size_t>(n)));
    } else {
        std::vector<char> big(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, again);
        consoleWrite(std::string(big.data(), static_cast<std::size_t>(n)));
    }
    va_end(again);
}

void setConsoleQuiet(bool on) {
    quiet.store(on);
}

ConsoleCapture::ConsoleCapture() : previous_(captureTarget) {
    captureTarget = &text_;
}

ConsoleCapture::~ConsoleCapture() {
    captureTarget = previous_;
}

std::string ConsoleCapture::take() {
    std::string out;
    out.swap(text_);
    return out;
}
