// FilledArray: a fixed-size array of plain items that is not cleared when it
// is made, for tables that are filled completely right after (the analysis's
// polygon records and boxes, tens of megabytes for a set of scans): clearing
// them first would cost a second pass over all that memory.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

template <class T>
class FilledArray {
    static_assert(std::is_trivially_copyable<T>::value && std::is_trivially_destructible<T>::value,
                  "FilledArray holds plain items only");

public:
    FilledArray() = default;
    explicit FilledArray(std::size_t n) : size_(n) {
        if (n == 0) return;
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        // Items aligned beyond what malloc gives (cache-line records) get
        // aligned memory; sizeof(T) is a multiple of the alignment.
        data_ = static_cast<T*>(alignof(T) > alignof(std::max_align_t)
                                    ? std::aligned_alloc(alignof(T), n * sizeof(T))
                                    : std::malloc(n * sizeof(T)));
        if (data_ == nullptr) throw std::bad_alloc();
    }
    FilledArray(FilledArray&& o) noexcept
        : data_(std::exchange(o.data_, nullptr)), size_(std::exchange(o.size_, 0)) {}
    FilledArray& operator=(FilledArray&& o) noexcept {
        if (this != &o) {
            std::free(data_);
            data_ = std::exchange(o.data_, nullptr);
            size_ = std::exchange(o.size_, 0);
        }
        return *this;
    }
    FilledArray(const FilledArray&) = delete;
    FilledArray& operator=(const FilledArray&) = delete;
    ~FilledArray() { std::free(data_); }

    std::size_t size() const { return size_; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
};
