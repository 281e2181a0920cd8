// IndexList: the corner list of a face. Behaves like a std::vector<int32_t>
// for the operations the program uses, but keeps up to four indices inline:
// range scans have hundreds of thousands of triangles, and one heap block per
// triangle would dominate both load time and memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

class IndexList {
public:
    static constexpr std::size_t kInline = 4;

    IndexList() = default;
    IndexList(std::initializer_list<int32_t> values) {
        for (int32_t v : values) push_back(v);
    }
    IndexList(const IndexList& other) { assign(other); }
    IndexList(IndexList&& other) noexcept { steal(other); }
    IndexList& operator=(const IndexList& other) {
        if (this != &other) {
            clear();
            assign(other);
        }
        return *this;
    }
    IndexList& operator=(IndexList&& other) noexcept {
        if (this != &other) {
            release();
            steal(other);
        }
        return *this;
    }
    ~IndexList() { release(); }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    int32_t* data() { return heap_ ? heap_ : inline_; }
    const int32_t* data() const { return heap_ ? heap_ : inline_; }
    int32_t& operator[](std::size_t i) { return data()[i]; }
    int32_t operator[](std::size_t i) const { return data()[i]; }
    int32_t* begin() { return data(); }
    int32_t* end() { return data() + size_; }
    const int32_t* begin() const { return data(); }
    const int32_t* end() const { return data() + size_; }

    void clear() { size_ = 0; }

    void push_back(int32_t v) {
        if (size_ == capacity()) grow();
        data()[size_++] = v;
    }

private:
    std::size_t capacity() const { return heap_ ? heapCapacity_ : kInline; }

    void grow() {
        const std::size_t newCap = capacity() * 2;
        auto* block = static_cast<int32_t*>(std::malloc(newCap * sizeof(int32_t)));
        if (!block) throw std::bad_alloc();
        std::memcpy(block, data(), size_ * sizeof(int32_t));
        std::free(heap_);
        heap_ = block;
        heapCapacity_ = newCap;
    }
    void assign(const IndexList& other) {
        for (int32_t v : other) push_back(v);
    }
    void steal(IndexList& other) {
        size_ = other.size_;
        heap_ = other.heap_;
        heapCapacity_ = other.heapCapacity_;
        if (!heap_) std::memcpy(inline_, other.inline_, sizeof(inline_));
        other.heap_ = nullptr;
        other.size_ = 0;
        other.heapCapacity_ = 0;
    }
    void release() {
        std::free(heap_);
        heap_ = nullptr;
        heapCapacity_ = 0;
        size_ = 0;
    }

    int32_t inline_[kInline] = {0, 0, 0, 0};
    int32_t* heap_ = nullptr;
    std::size_t size_ = 0;
    std::size_t heapCapacity_ = 0;
};
