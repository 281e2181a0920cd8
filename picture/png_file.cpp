#include "picture/png_file.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// libpng's errors end in a longjmp back to encode(); its message is kept here.
struct PngFailure {
    char message[200];
};

void onPngError(png_structp png, png_const_charp message) {
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "%s", message);
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Encodes the image into out. Only plain data lives in this frame, so the
// longjmp of an error skips no destructor.
bool encode(std::FILE* out, const uint8_t* bytes, int width, int height, PngFailure* failure) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, failure, onPngError, onPngWarning);
    if (png == nullptr) {
        std::snprintf(failure->message, sizeof failure->message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, bytes + static_cast<std::size_t>(y) * width * 3);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

}  // namespace

PngWrite writePng(const RgbImage& image, const std::string& path, bool keepExisting,
                  std::string* error) {
    if (image.width() <= 0 || image.height() <= 0) {
        *error = "the picture is empty";
        return PngWrite::Failed;
    }
    std::string pattern = folderOf(path) + "/.rangeloom-png-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        *error = std::strerror(errno);
        return PngWrite::Failed;
    }
    const std::string temporary(name.data());
    // mkstemp makes the file private; a picture gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    std::FILE* out = fdopen(fd, "wb");
    if (out == nullptr) {
        *error = std::strerror(errno);
        close(fd);
        unlink(temporary.c_str());
        return PngWrite::Failed;
    }
    PngFailure failure{};
    const bool encoded = encode(out, image.bytes().data(), image.width(), image.height(), &failure);
    const bool flushed = std::fflush(out) == 0 && fsync(fileno(out)) == 0;
    const int flushErrno = errno;
    const bool closed = std::fclose(out) == 0;
    if (!encoded || !flushed || !closed) {
        *error = !encoded ? failure.message : std::strerror(flushErrno);
        unlink(temporary.c_str());
        return PngWrite::Failed;
    }
    // A new link cannot replace a file: the name is taken only when free.
    const int placed = keepExisting ? link(temporary.c_str(), path.c_str())
                                    : std::rename(temporary.c_str(), path.c_str());
    const int placeErrno = errno;
    if (keepExisting || placed != 0) unlink(temporary.c_str());
    if (placed == 0) return PngWrite::Written;
    if (keepExisting && placeErrno == EEXIST) return PngWrite::Exists;
    *error = std::strerror(placeErrno);
    return PngWrite::Failed;
}
