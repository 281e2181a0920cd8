#include "files/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace files {

const char* fileKindName(unsigned mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISREG(mode)) return "a regular file";
    return "not a regular file";
}

std::string notRegularReason(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return std::string();
    return std::string("it is ") + fileKindName(st.st_mode) + ", not a regular file";
}

bool isNotRegularReason(const std::string& reason) {
    static const std::string kEnd = ", not a regular file";
    return reason.size() > kEnd.size() && reason.compare(0, 6, "it is ") == 0 &&
           reason.compare(reason.size() - kEnd.size(), kEnd.size(), kEnd) == 0;
}

FILE* openRegularFile(const std::string& path, std::string* error) {
    // Not blocking: opening a FIFO for reading would wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        *error = std::strerror(errno);
        close(fd);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = std::string("it is ") + fileKindName(st.st_mode) + ", not a regular file";
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* f = fdopen(fd, "r");
    if (f == nullptr) {
        *error = std::strerror(errno);
        close(fd);
    }
    return f;
}

}  // namespace files
