#include "ply_samples.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <random>

#include "ply_test_util.h"

namespace plytest {

const ply_property_def kSampleProps[10] = {
    {"c", PLY_CHAR, PLY_CHAR, offsetof(Sample, c), 0, 0, 0, 0},
    {"s", PLY_SHORT, PLY_SHORT, offsetof(Sample, s), 0, 0, 0, 0},
    {"i", PLY_INT, PLY_INT, offsetof(Sample, i), 0, 0, 0, 0},
    {"uc", PLY_UCHAR, PLY_UCHAR, offsetof(Sample, uc), 0, 0, 0, 0},
    {"us", PLY_USHORT, PLY_USHORT, offsetof(Sample, us), 0, 0, 0, 0},
    {"ui", PLY_UINT, PLY_UINT, offsetof(Sample, ui), 0, 0, 0, 0},
    {"f", PLY_FLOAT, PLY_FLOAT, offsetof(Sample, f), 0, 0, 0, 0},
    {"d", PLY_DOUBLE, PLY_DOUBLE, offsetof(Sample, d), 0, 0, 0, 0},
    {"shorts", PLY_SHORT, PLY_SHORT, offsetof(Sample, shorts), 1, PLY_UCHAR, PLY_UCHAR,
     offsetof(Sample, nshorts)},
    {"doubles", PLY_DOUBLE, PLY_DOUBLE, offsetof(Sample, doubles), 1, PLY_INT, PLY_INT,
     offsetof(Sample, ndoubles)},
};

namespace {

template <class T>
T randomBits(std::mt19937_64& rng) {
    uint64_t bits = rng();
    T value;
    std::memcpy(&value, &bits, sizeof(T));
    return value;
}

// The double nearest a decimal of at most five significant digits: "%g"
// writes that decimal back, for a float made from it too.
double exactInText(std::mt19937_64& rng) {
    const char* exponents[] = {"0", "-2", "-3", "5", "-20", "30"};
    std::string text = std::to_string(int64_t(rng() % 20001) - 10000) + "e" + exponents[rng() % 6];
    return std::strtod(text.c_str(), nullptr);
}

template <class T>
void append(std::string& key, const T& value) {
    key.append(reinterpret_cast<const char*>(&value), sizeof(T));
}

}  // namespace

SampleSet makeSamples(int count, unsigned seed, bool exact_in_text) {
    std::mt19937_64 rng(seed);
    SampleSet set;
    set.records.resize(size_t(count));
    set.shorts.resize(size_t(count));
    set.doubles.resize(size_t(count));
    for (int k = 0; k < count; ++k) {
        Sample& s = set.records[size_t(k)];
        s.c = randomBits<int8_t>(rng);
        s.s = randomBits<int16_t>(rng);
        s.i = randomBits<int32_t>(rng);
        s.uc = randomBits<uint8_t>(rng);
        s.us = randomBits<uint16_t>(rng);
        s.ui = randomBits<uint32_t>(rng);
        if (exact_in_text) {
            s.ui &= 0x7fffffffu;
            s.f = float(exactInText(rng));
            s.d = exactInText(rng);
        } else {
            // A signalling NaN comes back quiet from its trip through double.
            s.f = randomBits<float>(rng);
            uint32_t bits;
            std::memcpy(&bits, &s.f, 4);
            if (std::isnan(s.f)) bits |= 0x00400000u;
            std::memcpy(&s.f, &bits, 4);
            s.d = randomBits<double>(rng);
        }
        auto& shorts = set.shorts[size_t(k)];
        shorts.resize(rng() % 5);
        for (auto& v : shorts) v = randomBits<int16_t>(rng);
        auto& doubles = set.doubles[size_t(k)];
        doubles.resize(k % 7 == 0 ? 40 : rng() % 3);
        for (auto& v : doubles) v = exact_in_text ? exactInText(rng) : randomBits<double>(rng);
        s.nshorts = uint8_t(shorts.size());
        s.shorts = shorts.empty() ? nullptr : shorts.data();
        s.ndoubles = int32_t(doubles.size());
        s.doubles = doubles.empty() ? nullptr : doubles.data();
    }
    return set;
}

std::string sampleKey(const Sample& s) {
    std::string key;
    append(key, s.c);
    append(key, s.s);
    append(key, s.i);
    append(key, s.uc);
    append(key, s.us);
    append(key, s.ui);
    append(key, s.f);
    append(key, s.d);
    append(key, s.nshorts);
    for (int k = 0; k < s.nshorts; ++k) append(key, s.shorts[k]);
    append(key, s.ndoubles);
    for (int k = 0; k < s.ndoubles; ++k) append(key, s.doubles[k]);
    return key;
}

std::vector<std::string> keysOf(const SampleSet& set) {
    std::vector<std::string> keys;
    for (const Sample& s : set.records) keys.push_back(sampleKey(s));
    return keys;
}

std::string writeSamples(const SampleSet& set, int file_type) {
    MemoryOutput out;
    const char* names[] = {"sample"};
    ply_handle* ply = ply_begin_write(out.stream(), 1, names, file_type);
    ply_describe_element(ply, "sample", int(set.records.size()), kSampleCount, kSampleProps);
    append_comment(ply, "generated samples");
    ply_header_complete(ply);
    ply_elements_setup(ply, "sample");
    for (const Sample& s : set.records) ply_write_element(ply, &s);
    ply_close_file(ply);
    return out.bytes();
}

std::vector<std::string> readSampleKeys(const std::string& bytes) {
    OpenedPly h(bytes);
    std::vector<std::string> keys;
    if (h.ply == nullptr) return keys;
    int count = 0, nprops = 0;
    ply_free_properties(nprops, ply_element_properties(h.ply, "sample", &count, &nprops));
    ply_select_properties(h.ply, "sample", kSampleCount, kSampleProps);
    for (int k = 0; k < count; ++k) {
        Sample s;
        ply_get_element(h.ply, &s);
        keys.push_back(sampleKey(s));
        std::free(s.shorts);
        std::free(s.doubles);
    }
    return keys;
}

}  // namespace plytest
