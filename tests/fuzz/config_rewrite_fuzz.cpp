// Fuzz target: a configuration's records and their rewrite with new scan
// poses. For any input, rewriting every complete scan record with its own
// pose and no header must give the input back; rewriting with other poses
// and a header must either be refused or read back as the same scans with
// exactly the new poses (checked here again, apart from the rewrite's own
// check).

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "register/config_records.h"

namespace {

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<ConfigRecord> records = readConfigRecords(text);
    std::vector<const ConfigRecord*> scans;
    bool complete = true;
    for (const ConfigRecord& r : records) {
        if (r.begin > r.end || r.end > text.size()) fuzzing::fail("a record outside the text");
        if (!r.isScan()) continue;
        scans.push_back(&r);
        complete = complete && r.fieldsRead == 9;
    }

    std::vector<ConfigPose> same(scans.size()), moved(scans.size());
    for (std::size_t k = 0; k < scans.size(); ++k) {
        for (int v = 0; v < 7; ++v) {
            same[k].values[v] = scans[k]->values[v];
            // A new value of another spelling, finite when the old one was.
            const float old = std::isfinite(scans[k]->values[v]) ? scans[k]->values[v] : 0.0f;
            moved[k].values[v] = std::fabs(old) < 1e30f ? old * 0.5f + 0.125f * (v + 1) : 1.0f;
        }
    }
    std::string out, error;
    if (complete) {
        if (!rewriteConfig(text, same, "", &out, &error) || out != text)
            fuzzing::fail("rewriting the same poses changed the text");
    }
    if (!rewriteConfig(text, moved, "# rangeloom-register: poses refined with x.ply held fixed",
                       &out, &error))
        return 0;  // refused: nothing would be written
    std::vector<const ConfigRecord*> back;
    const std::vector<ConfigRecord> reread = readConfigRecords(out);
    for (const ConfigRecord& r : reread)
        if (r.isScan()) back.push_back(&r);
    if (back.size() != scans.size()) fuzzing::fail("the rewrite lost or added a scan");
    for (std::size_t k = 0; k < scans.size(); ++k) {
        if (back[k]->file != scans[k]->file) fuzzing::fail("the rewrite renamed a scan");
        for (int v = 0; v < 7; ++v)
            if (!sameBits(back[k]->values[v], moved[k].values[v]))
                fuzzing::fail("the rewrite wrote another pose");
    }
    return 0;
}
