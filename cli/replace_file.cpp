#include "cli/replace_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

bool replaceFileWith(const std::string& target, const std::string& bytes, std::string* error) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
    std::string pattern = folder + "/.rangeloom-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private; the target gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    std::size_t done = 0;
    errno = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    std::string why;
    if (done < bytes.size()) why = errno != 0 ? std::strerror(errno) : "nothing could be written";
    if (why.empty() && fsync(fd) != 0) why = std::strerror(errno);
    if (close(fd) != 0 && why.empty()) why = std::strerror(errno);
    if (why.empty() && std::rename(name.data(), target.c_str()) != 0) why = std::strerror(errno);
    if (why.empty()) return true;
    *error = why;
    unlink(name.data());
    return false;
}
