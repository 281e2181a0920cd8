#include "formats/e57_bitpack.h"

namespace formats {

void BitUnpacker::append(const uint8_t* data, std::size_t n) {
    // Bytes already taken whole are dropped once they outweigh the rest.
    const std::size_t used = static_cast<std::size_t>(bitPos_ >> 3);
    if (used > 4096 && used * 2 > bytes_.size()) {
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(used));
        bitPos_ -= uint64_t(used) * 8;
    }
    bytes_.insert(bytes_.end(), data, data + n);
}

void BitUnpacker::restart() {
    bytes_.clear();
    bitPos_ = 0;
}

bool BitUnpacker::next(uint64_t* value) {
    if (bits_ == 0) {
        *value = 0;
        return true;
    }
    if (bitPos_ + uint64_t(bits_) > uint64_t(bytes_.size()) * 8) return false;
    const uint8_t* b = bytes_.data() + (bitPos_ >> 3);
    const int shift = static_cast<int>(bitPos_ & 7);
    const int need = (shift + bits_ + 7) / 8;  // 1 to 9 bytes
    uint64_t low = 0;
    for (int i = 0; i < need && i < 8; ++i) low |= uint64_t(b[i]) << (8 * i);
    uint64_t v = low >> shift;
    if (need == 9) v |= uint64_t(b[8]) << (64 - shift);
    if (bits_ < 64) v &= (uint64_t(1) << bits_) - 1;
    *value = v;
    bitPos_ += uint64_t(bits_);
    return true;
}

}  // namespace formats
