#include "formats/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace formats {

namespace {

class FileSource : public ByteSource {
public:
    FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    ~FileSource() override { ::close(fd_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    uint64_t size() const override { return size_; }

    bool readAt(uint64_t offset, void* out, std::size_t n) override {
        if (offset > size_ || n > size_ - offset) return false;
        auto* p = static_cast<char*>(out);
        while (n > 0) {
            const ssize_t got = ::pread(fd_, p, n, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            p += got;
            n -= static_cast<std::size_t>(got);
            offset += static_cast<uint64_t>(got);
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void* out, std::size_t n) override {
        if (offset > size_ || n > size_ - offset) return false;
        if (n > 0) std::memcpy(out, data_ + offset, n);
        return true;
    }

private:
    const uint8_t* data_;
    std::size_t size_;
};

}  // namespace

std::unique_ptr<ByteSource> openFileSource(const std::string& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = "cannot open " + path + ": not a regular file";
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, static_cast<uint64_t>(st.st_size));
}

std::unique_ptr<ByteSource> memorySource(const uint8_t* data, std::size_t size) {
    return std::make_unique<MemorySource>(data, size);
}

}  // namespace formats
