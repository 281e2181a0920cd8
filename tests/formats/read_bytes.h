// Reading scans from bytes in memory, for the readers' tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/byte_source.h"
#include "formats/structured_scan.h"

namespace formats_test {

using Reader = formats::ReadStatus (*)(formats::ByteSource&, const std::string&,
                                       formats::ScanReceiver&);

// Every scan of the bytes, gathered by the collector; *status says how the
// read ended (with the collector's error, if any).
inline std::vector<formats::StructuredScan> collect(Reader read, const std::string& bytes,
                                                    formats::ReadStatus* status) {
    std::vector<formats::StructuredScan> scans;
    formats::ScanCollector collector([&](formats::StructuredScan& s) {
        scans.push_back(std::move(s));
        return true;
    });
    const auto source =
        formats::memorySource(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    *status = read(*source, "test", collector);
    if (status->ok && !collector.error().empty()) *status = {false, "test: " + collector.error()};
    return scans;
}

}  // namespace formats_test
