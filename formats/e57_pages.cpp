#include "formats/e57_pages.h"

#include <algorithm>
#include <cstring>

#include "formats/crc32c.h"

namespace formats {

namespace {

std::string pageName(uint64_t page, uint64_t pageSize) {
    return "page " + std::to_string(page) + " (bytes " + std::to_string(page * pageSize) + " to " +
           std::to_string(page * pageSize + pageSize - 1) + ")";
}

}  // namespace

E57Pages::E57Pages(ByteSource& source) : source_(source) {
    uint8_t h[kE57HeaderSize];
    if (source.size() < kE57HeaderSize || !source.readAt(0, h, sizeof h) ||
        std::memcmp(h, "ASTM-E57", 8) != 0)
        throw E57Failure{"not an E57 file (it does not start with the ASTM-E57 signature)"};
    header_.majorVersion = static_cast<uint32_t>(readLE(h + 8, 4));
    header_.minorVersion = static_cast<uint32_t>(readLE(h + 12, 4));
    header_.filePhysicalLength = readLE(h + 16, 8);
    header_.xmlPhysicalOffset = readLE(h + 24, 8);
    header_.xmlLogicalLength = readLE(h + 32, 8);
    header_.pageSize = readLE(h + 40, 8);
    if (header_.majorVersion != 1)
        throw E57Failure{"version " + std::to_string(header_.majorVersion) + "." +
                         std::to_string(header_.minorVersion) +
                         " of the format is not supported (only version 1)"};
    const uint64_t ps = header_.pageSize;
    if (ps < 64 || ps > (1u << 20) || (ps & (ps - 1)) != 0)
        throw E57Failure{"the header's page size " + std::to_string(ps) +
                         " is not a power of two from 64 to 1048576"};
    if (header_.filePhysicalLength == 0 || header_.filePhysicalLength % ps != 0)
        throw E57Failure{"the header's file length " + std::to_string(header_.filePhysicalLength) +
                         " is not a whole number of pages"};
    if (header_.filePhysicalLength > source.size())
        throw E57Failure{"the file is truncated: its header says " +
                         std::to_string(header_.filePhysicalLength) + " bytes, it has " +
                         std::to_string(source.size())};
    pageCount_ = header_.filePhysicalLength / ps;
    page_.resize(static_cast<std::size_t>(ps));
    loadPage(0);
}

uint64_t E57Pages::logicalOf(uint64_t physical, const char* what) const {
    const uint64_t ps = header_.pageSize;
    if (physical >= header_.filePhysicalLength || physical % ps >= ps - 4)
        throw E57Failure{std::string("the offset of ") + what + " (" + std::to_string(physical) +
                         ") is not a data byte of the file"};
    return physical / ps * dataPerPage() + physical % ps;
}

void E57Pages::loadPage(uint64_t page) {
    if (page == loaded_) return;
    loaded_ = ~uint64_t(0);
    const uint64_t ps = header_.pageSize;
    if (!source_.readAt(page * ps, page_.data(), page_.size()))
        throw E57Failure{pageName(page, ps) + " cannot be read"};
    // The checksum is stored big-endian; the other byte order is accepted
    // too (damage then still goes unnoticed only with a chance of 2^-31).
    const uint32_t crc = crc32c(page_.data(), page_.size() - 4);
    const uint8_t* c = page_.data() + page_.size() - 4;
    const uint32_t big = uint32_t(c[0]) << 24 | uint32_t(c[1]) << 16 | uint32_t(c[2]) << 8 | c[3];
    const uint32_t little =
        uint32_t(c[3]) << 24 | uint32_t(c[2]) << 16 | uint32_t(c[1]) << 8 | c[0];
    if (crc != big && crc != little)
        throw E57Failure{pageName(page, ps) + " is damaged: its checksum does not match"};
    loaded_ = page;
}

void E57Pages::read(uint64_t offset, void* out, std::size_t n) {
    const uint64_t per = dataPerPage();
    if (offset > logicalLength() || n > logicalLength() - offset)
        throw E57Failure{"data at logical byte " + std::to_string(offset) + " (" +
                         std::to_string(n) + " bytes) runs past the end of the file"};
    auto* p = static_cast<uint8_t*>(out);
    while (n > 0) {
        const uint64_t page = offset / per;
        const uint64_t within = offset % per;
        const std::size_t take = static_cast<std::size_t>(std::min<uint64_t>(n, per - within));
        loadPage(page);
        std::memcpy(p, page_.data() + within, take);
        p += take;
        n -= take;
        offset += take;
    }
}

}  // namespace formats
