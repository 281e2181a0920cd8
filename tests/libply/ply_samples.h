// A record with a property of every type and two lists, for writing and
// reading whole files in tests; samples are generated from a seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "libply/plyfile.h"

namespace plytest {

struct Sample {
    int8_t c;
    int16_t s;
    int32_t i;
    uint8_t uc;
    uint16_t us;
    uint32_t ui;
    float f;
    double d;
    uint8_t nshorts;   // count of shorts
    int16_t* shorts;   // list of short with a uchar count
    int32_t ndoubles;  // count of doubles
    double* doubles;   // list of double with an int count
};

// The properties of "sample", each stored in its own file type.
extern const ply_property_def kSampleProps[10];
constexpr int kSampleCount = 10;

// Samples with the storage their lists point into.
struct SampleSet {
    std::vector<Sample> records;
    std::vector<std::vector<int16_t>> shorts;
    std::vector<std::vector<double>> doubles;
};

// Values that text holds exactly ("%g" has six digits, "uint" saturates at
// 2^31 - 1), or any bit patterns at all when exact_in_text is false.
SampleSet makeSamples(int count, unsigned seed, bool exact_in_text);

// Every value's bytes in order: two samples are equal when their keys are.
std::string sampleKey(const Sample& s);

// A file of one element "sample" (and a comment) in the file type.
std::string writeSamples(const SampleSet& set, int file_type);
// The keys of every sample of such a file; list arrays are freed.
std::vector<std::string> readSampleKeys(const std::string& bytes);
std::vector<std::string> keysOf(const SampleSet& set);

}  // namespace plytest
