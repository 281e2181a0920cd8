// The bit-pack codec of E57 compressed vectors: one field's bytestream, in
// pieces from successive data packets, read as values of a fixed number of
// bits (0 to 64), packed from the least significant bit of the first byte on
// and continuing across bytes and packets (a value may end mid-byte, and a
// packet may end inside a value).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace formats {

class BitUnpacker {
public:
    explicit BitUnpacker(int bits) : bits_(bits) {}

    int bits() const { return bits_; }

    // Appends the next piece of the stream.
    void append(const uint8_t* data, std::size_t n);

    // A packet that restarts the codec: the bits left over from earlier
    // pieces (less than one value) are dropped.
    void restart();

    // Takes the next value, zero-extended; false (nothing taken) when the
    // pieces appended so far do not hold a whole value. Never false for a
    // width of 0 (every value is 0).
    bool next(uint64_t* value);

private:
    int bits_;
    std::vector<uint8_t> bytes_;
    uint64_t bitPos_ = 0;  // bits of bytes_ already taken
};

}  // namespace formats
