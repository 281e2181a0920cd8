#include "files/file_replacement.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace files {

namespace {

constexpr long kDefaultNameMax = 255;
constexpr int kAttempts = 100;  // fresh names tried before giving up

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Six characters of [A-Za-z0-9], from the kernel's random source, or from
// the clock and a counter when it has none to give.
std::string randomCharacters() {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<unsigned long long> counter{0};
    unsigned char bytes[6];
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        unsigned long long mix = static_cast<unsigned long long>(
                                     std::chrono::steady_clock::now().time_since_epoch().count()) ^
                                 (static_cast<unsigned long long>(getpid()) << 32) ^
                                 (counter++ * 0x9E3779B97F4A7C15ull);
        for (unsigned char& b : bytes) {
            b = static_cast<unsigned char>(mix);
            mix = mix * 6364136223846793005ull + 1442695040888963407ull;
            mix ^= mix >> 29;
        }
    }
    std::string s;
    for (unsigned char b : bytes) s += kAlphabet[b % (sizeof kAlphabet - 1)];
    return s;
}

}  // namespace

std::string temporaryNameFor(const std::string& target, const std::string& random, long nameMax) {
    const std::string folder = folderOf(target);
    std::string name = target.substr(folder.size());
    const std::string suffix = ".tmp" + random;
    const std::size_t room =
        nameMax > static_cast<long>(suffix.size()) ? std::size_t(nameMax) - suffix.size() : 0;
    if (name.size() > room) {
        name.resize(room);
        // Never end inside a multi-byte character.
        while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80)
            name.pop_back();
        if (!name.empty() && (static_cast<unsigned char>(name.back()) & 0x80) != 0) name.pop_back();
    }
    return folder + name + suffix;
}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept {
    *this = std::move(other);
}

FileReplacement& FileReplacement::operator=(FileReplacement&& other) noexcept {
    if (this != &other) {
        discard();
        target_ = std::move(other.target_);
        temp_ = std::move(other.temp_);
        stream_ = std::exchange(other.stream_, nullptr);
        writeFailed_ = std::exchange(other.writeFailed_, false);
        writeErrno_ = std::exchange(other.writeErrno_, 0);
        tracked_ = std::exchange(other.tracked_, nullptr);
        other.temp_.clear();
    }
    return *this;
}

bool FileReplacement::create(const std::string& target, std::string* error) {
    discard();
    target_ = target;
    const std::string folder = folderOf(target);
    long nameMax = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = kDefaultNameMax;
    int fd = -1;
    std::string temp;
    for (int attempt = 0; attempt < kAttempts && fd < 0; ++attempt) {
        temp = temporaryNameFor(target, randomCharacters(), nameMax);
        // Created here and now, or not at all: an existing name, a link
        // planted at it included, is never opened.
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    temp_ = temp;
    tracked_ = trackTemporaryFile(temp_);
    stream_ = fdopen(fd, "wb");
    if (stream_ == nullptr) {
        *error = std::strerror(errno);
        ::close(fd);
        discard();
        return false;
    }
    return true;
}

FILE* FileReplacement::releaseStream() {
    return std::exchange(stream_, nullptr);
}

bool FileReplacement::close(std::string* error) {
    if (stream_ != nullptr) {
        errno = 0;
        const bool failedBefore = std::ferror(stream_) != 0;
        const bool flushed = std::fflush(stream_) == 0;
        const int flushErrno = errno;
        const bool closed = std::fclose(stream_) == 0;
        stream_ = nullptr;
        if (failedBefore || !flushed || !closed) {
            writeFailed_ = true;
            writeErrno_ = !flushed && flushErrno != 0 ? flushErrno : (errno != 0 ? errno : EIO);
        }
    }
    if (writeFailed_) *error = std::strerror(writeErrno_);
    return !writeFailed_;
}

bool FileReplacement::commit(std::string* error, const ProtectedFiles* keep) {
    if (temp_.empty()) {
        *error = "no file was created";
        return false;
    }
    if (!close(error)) {
        discard();
        return false;
    }
    if (keep != nullptr) {
        const std::string clash = keep->clashOf(target_);
        if (!clash.empty()) {
            *error = "it is also " + clash;
            discard();
            return false;
        }
    }
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        *error = std::strerror(errno);
        discard();
        return false;
    }
    untrackTemporaryFile(tracked_);
    tracked_ = nullptr;
    temp_.clear();
    return true;
}

void FileReplacement::discard() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    if (!temp_.empty()) unlink(temp_.c_str());
    untrackTemporaryFile(tracked_);
    tracked_ = nullptr;
    temp_.clear();
    writeFailed_ = false;
    writeErrno_ = 0;
}

bool replaceFileWith(const std::string& target, const std::string& bytes, std::string* error,
                     const ProtectedFiles* keep) {
    FileReplacement out;
    if (!out.create(target, error)) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), out.stream()) != bytes.size()) {
        *error = std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    return out.commit(error, keep);
}

}  // namespace files
