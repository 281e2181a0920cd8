// CRC-32C (Castagnoli polynomial 0x1EDC6F41, reflected, initial value and
// final XOR 0xFFFFFFFF): the checksum of every page of an E57 file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace formats {

// The checksum of [data, data + size). crc32c("123456789") == 0xE3069283.
uint32_t crc32c(const uint8_t* data, std::size_t size);

}  // namespace formats
