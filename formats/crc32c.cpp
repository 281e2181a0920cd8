#include "formats/crc32c.h"

#include <array>

namespace formats {

namespace {

// Eight tables for eight bytes at a time ("slicing by 8"): table[k][b] is
// the CRC of byte b followed by k zero bytes.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

Tables makeTables() {
    Tables t{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t c = b;
        for (int i = 0; i < 8; ++i) c = (c >> 1) ^ (0x82F63B78u & (0u - (c & 1u)));
        t[0][b] = c;
    }
    for (int k = 1; k < 8; ++k)
        for (uint32_t b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
    return t;
}

const Tables& tables() {
    static const Tables t = makeTables();
    return t;
}

}  // namespace

uint32_t crc32c(const uint8_t* data, std::size_t size) {
    const Tables& t = tables();
    uint32_t c = 0xFFFFFFFFu;
    for (; size >= 8; size -= 8, data += 8) {
        const uint32_t low = c ^ (uint32_t(data[0]) | uint32_t(data[1]) << 8 |
                                  uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24);
        c = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^
            t[4][low >> 24] ^ t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (; size > 0; --size, ++data) c = (c >> 8) ^ t[0][(c ^ *data) & 0xFF];
    return c ^ 0xFFFFFFFFu;
}

}  // namespace formats
