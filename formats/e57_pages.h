// The physical layer of an E57 file: pages of pageSize bytes (1024 in every
// file of the standard's version 1), each pageSize - 4 bytes of data followed
// by the CRC-32C of those bytes. Everything above this layer addresses the
// data bytes alone, as one logical stream: logical offset L lies at physical
// offset (L / (pageSize - 4)) * pageSize + L % (pageSize - 4).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/byte_source.h"

namespace formats {

// A damaged or unreadable E57 file; the message says what and where,
// without the file's name (the reader adds it).
struct E57Failure {
    std::string message;
};

// The fixed-size header at the start of the first page.
struct E57FileHeader {
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint64_t filePhysicalLength = 0;  // bytes, a whole number of pages
    uint64_t xmlPhysicalOffset = 0;   // where the XML section starts
    uint64_t xmlLogicalLength = 0;    // its length in data bytes
    uint64_t pageSize = 0;
};

inline constexpr std::size_t kE57HeaderSize = 48;

class E57Pages {
public:
    // Reads and checks the header (signature, version 1, page size, a
    // length that the source holds) and the first page's checksum. Throws
    // E57Failure.
    explicit E57Pages(ByteSource& source);

    const E57FileHeader& header() const { return header_; }
    uint64_t dataPerPage() const { return header_.pageSize - 4; }
    // Data bytes in the file.
    uint64_t logicalLength() const { return pageCount_ * dataPerPage(); }

    // The logical offset of a physical one; throws when it lies in a checksum
    // or past the file.
    uint64_t logicalOf(uint64_t physical, const char* what) const;

    // Copies n data bytes from logical offset `offset`, checking the checksum
    // of every page it reads (a page that does not match is named). Throws
    // when the bytes run past the file.
    void read(uint64_t offset, void* out, std::size_t n);

private:
    void loadPage(uint64_t page);

    ByteSource& source_;
    E57FileHeader header_;
    uint64_t pageCount_ = 0;
    std::vector<uint8_t> page_;  // the page last loaded, checked
    uint64_t loaded_ = ~uint64_t(0);
};

// Little-endian integers from bytes.
inline uint64_t readLE(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

}  // namespace formats
