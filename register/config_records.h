// The records of a scan configuration as the configuration reader sees them,
// with where each lies in the text, and the text rewritten with new scan
// poses and nothing else changed.
//
// The reader takes the file as a stream of words, "%s %s %f %f %f %f %f %f %f"
// record after record: a record cut short (a word where a number belongs, or
// the end of the file) keeps the missing fields of the record before, and
// the offending word starts the next record. The records here come from the
// same conversions on the same text, so they are exactly the reader's.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ConfigRecord {
    std::string keyword;
    std::string file;                // as the reader holds it (the record before's when missing)
    float values[7] = {};            // tx ty tz qx qy qz qw, as the reader holds them
    int fieldsRead = 0;              // fields this record read itself, 1 to 9
    std::size_t begin = 0;           // offset of the keyword in the text
    std::size_t end = 0;             // offset after the last character the record consumed
    std::size_t valueBegin[7] = {};  // offsets of the numbers read (valid below fieldsRead - 2)
    std::size_t valueEnd[7] = {};

    // A "bmesh" record (any letter case): a scan the reader loads.
    bool isScan() const;
};

// The records of `text`, in order.
std::vector<ConfigRecord> readConfigRecords(const std::string& text);

// A scan pose as a configuration writes it: translation, then the rotation
// quaternion, vector part first.
struct ConfigPose {
    float values[7];  // tx ty tz qx qy qz qw
};

// `text` with the pose of the k-th scan record replaced by poses[k] (there
// must be one per scan record) and `header` (a comment line, without line
// end, or empty for none) put first in place of an earlier line that starts
// with the same first two words. A number whose value does not change keeps
// its spelling; a new one is written with the fewest digits that read back
// as the same float. A scan record cut short is written out whole. Returns
// false, with the reason, when the rewritten text would not read back as
// the same records with the new poses (nothing may be lost).
bool rewriteConfig(const std::string& text, const std::vector<ConfigPose>& poses,
                   const std::string& header, std::string* out, std::string* error);

// The shortest spelling (%.Ng, N from 1 to 9) that reads back as v.
std::string shortestFloat(float v);
