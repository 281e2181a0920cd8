#include "app/stdout_redirect.h"

#include <fcntl.h>
#include <unistd.h>

#include <iostream>

namespace {

void flushStandardOutput() {
    std::cout.flush();
    std::fflush(stdout);
}

}  // namespace

StdoutRedirect::StdoutRedirect(int target, std::FILE* capture) : capture_(capture) {
    flushStandardOutput();
    savedFd_ = dup(1);
    if (savedFd_ >= 0 && target >= 0) dup2(target, 1);
}

StdoutRedirect StdoutRedirect::toTemporaryFile() {
    std::FILE* capture = std::tmpfile();
    if (capture != nullptr) return StdoutRedirect(fileno(capture), capture);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    StdoutRedirect r(null, nullptr);
    if (null >= 0) close(null);
    return r;
}

StdoutRedirect::StdoutRedirect(StdoutRedirect&& other) noexcept
    : savedFd_(other.savedFd_), capture_(other.capture_) {
    other.savedFd_ = -1;
    other.capture_ = nullptr;
}

StdoutRedirect::~StdoutRedirect() {
    finish();
}

std::string StdoutRedirect::captured() const {
    if (capture_ == nullptr) return std::string();
    flushStandardOutput();
    std::string text;
    const int fd = fileno(capture_);
    char buffer[8192];
    for (off_t at = 0;;) {
        const ssize_t n = pread(fd, buffer, sizeof buffer, at);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    return text;
}

std::string StdoutRedirect::finish() {
    std::string text = captured();
    if (savedFd_ >= 0) {
        flushStandardOutput();
        dup2(savedFd_, 1);
        close(savedFd_);
        savedFd_ = -1;
    }
    if (capture_ != nullptr) {
        std::fclose(capture_);
        capture_ = nullptr;
    }
    return text;
}
