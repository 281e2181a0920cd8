// Fuzz target: the E57 reader and the collector on in-memory bytes, twice:
// as they are (where nearly every change is a damaged page), and with every
// page's checksum made right, so that changes reach the header, the XML
// section, the packets and the bit unpacking.
#include <cstdint>
#include <vector>

#include "formats/crc32c.h"
#include "formats/e57_reader.h"
#include "scan_checks.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::readAndCheck(formats::readE57, data, size);
    if (size < 1024) return 0;
    std::vector<uint8_t> fixed(data, data + size);
    for (std::size_t page = 0; page + 1024 <= size; page += 1024) {
        const uint32_t crc = formats::crc32c(fixed.data() + page, 1020);
        for (int k = 0; k < 4; ++k)
            fixed[page + 1020 + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
    }
    fuzzing::readAndCheck(formats::readE57, fixed.data(), fixed.size());
    return 0;
}
