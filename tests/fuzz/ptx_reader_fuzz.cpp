// Fuzz target: the PTX reader and the collector on in-memory text. Every
// scan handed over must be laid out consistently (scan_checks.h); a failed
// read must name the file.
#include <cstdint>

#include "formats/ptx_reader.h"
#include "scan_checks.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::readAndCheck(formats::readPtx, data, size);
    return 0;
}
