// Direct access to a read stream's stdio buffer, so that items and lines are
// taken from the stream without a function call (and without a system call)
// per item. Only bytes the C library has already buffered are touched, and
// the stream's read position advances exactly as getc would advance it, so
// the stream stays usable with every stdio call afterwards.
#pragma once

#include <cstdio>
#include <cstring>

namespace plyio {

#if defined(__GLIBC__)
// Bytes buffered and not yet consumed.
inline size_t buffered(FILE* fp) {
    return size_t(fp->_IO_read_end - fp->_IO_read_ptr);
}
// First buffered byte (valid for buffered(fp) bytes).
inline const char* buffer_at(FILE* fp) {
    return fp->_IO_read_ptr;
}
// Consumes n buffered bytes (n <= buffered(fp)).
inline void consume(FILE* fp, size_t n) {
    fp->_IO_read_ptr += n;
}
inline size_t read_unlocked(void* dst, size_t n, FILE* fp) {
    return fread_unlocked(dst, 1, n, fp);
}
inline size_t write_unlocked(const void* src, size_t n, FILE* fp) {
    return fwrite_unlocked(src, 1, n, fp);
}
inline int getc_fast(FILE* fp) {
    return getc_unlocked(fp);
}
#else
inline size_t buffered(FILE*) {
    return 0;
}
inline const char* buffer_at(FILE*) {
    return nullptr;
}
inline void consume(FILE*, size_t) {}
inline size_t read_unlocked(void* dst, size_t n, FILE* fp) {
    return fread(dst, 1, n, fp);
}
inline size_t write_unlocked(const void* src, size_t n, FILE* fp) {
    return fwrite(src, 1, n, fp);
}
inline int getc_fast(FILE* fp) {
    return getc(fp);
}
#endif

// Reads exactly n bytes (n > 0); false when the stream ends or fails first.
// A request for 0 bytes fails, as a read of one item of size 0 does.
inline bool read_exact(FILE* fp, void* dst, size_t n) {
    if (n == 0) return false;
    if (buffered(fp) >= n) {
        std::memcpy(dst, buffer_at(fp), n);
        consume(fp, n);
        return true;
    }
    return read_unlocked(dst, n, fp) == n;
}

}  // namespace plyio
