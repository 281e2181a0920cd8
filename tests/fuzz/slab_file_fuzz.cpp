// Fuzz target: the work files of an out-of-core clean, which may come from
// other machines. The first byte picks the reader ('V': a values file, 'M':
// a manifest, anything else: a slab file); the rest is the file. A slab or
// values file is read against a manifest of two scans of 100 points whose
// slab has the input's size and the segment count and layers its header
// claims, so that the reader goes past its first checks. Whatever it
// accepts must hold only indices in range.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "slab/slab_files.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const char kind = static_cast<char>(data[0]);
    const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string& dir = fuzzing::scratchDir();
    std::string error;
    slab::Manifest m;
    if (kind == 'M') {
        fuzzing::writeScratchFile("manifest.json", body);
        slab::readManifest(dir, &m, &error);
        return 0;
    }
    m.scans.resize(2);
    for (slab::ManifestScan& s : m.scans) s.points = 100;
    slab::ManifestSlab s;
    s.bytes = body.size();
    auto field = [&](std::size_t at) {
        std::uint32_t v = 0;
        if (body.size() >= at + 4) std::memcpy(&v, body.data() + at, 4);
        return v;
    };
    s.firstLayer = static_cast<int>(field(16));
    s.endLayer = static_cast<int>(field(20));
    m.axis = static_cast<int>(field(24) % 3);
    s.segments = field(28);
    m.slabs.push_back(s);
    if (kind == 'V') {
        fuzzing::writeScratchFile("slab-00000.values", body);
        std::vector<slab::SlabValues> values;
        if (slab::readValues(dir, 0, m, &values, &error))
            for (const slab::SlabValues& v : values) {
                if (v.scan >= 2 || v.index.size() != v.values.size()) fuzzing::fail("values");
                for (std::uint32_t i : v.index)
                    if (i >= 100) fuzzing::fail("a point out of range");
            }
        return 0;
    }
    fuzzing::writeScratchFile("slab-00000.bin", body);
    std::vector<slab::Segment> segments;
    if (slab::readSlab(dir, 0, m, &segments, &error))
        for (const slab::Segment& g : segments) {
            if (g.scan >= 2 || g.points > g.index.size() || g.positions.size() != g.index.size())
                fuzzing::fail("a segment's counts");
            for (std::uint32_t i : g.index)
                if (i >= 100) fuzzing::fail("a vertex out of range");
            for (std::int32_t c : g.corners)
                if (c < 0 || static_cast<std::size_t>(c) >= g.index.size())
                    fuzzing::fail("a corner out of range");
        }
    return 0;
}
