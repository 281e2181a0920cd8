// Random-access bytes of a file or of memory, for the readers: a file is read
// in pieces where they are needed, never whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace formats {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Length in bytes.
    virtual uint64_t size() const = 0;
    // Copies n bytes starting at offset into out. False when they are not all
    // there or cannot be read (out is then unspecified).
    virtual bool readAt(uint64_t offset, void* out, std::size_t n) = 0;
};

// The file at path, open for reading until the source is destroyed; null
// with *error set ("cannot open NAME: REASON") when it cannot be opened.
std::unique_ptr<ByteSource> openFileSource(const std::string& path, std::string* error);

// The bytes [data, data + size), which must outlive the source.
std::unique_ptr<ByteSource> memorySource(const uint8_t* data, std::size_t size);

}  // namespace formats
