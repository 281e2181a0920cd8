#include "register/config_records.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

// Reads one word as the reader's "%ms" does; false at the end of the input.
bool readWord(FILE* f, std::string* word) {
    char* w = nullptr;
    const int got = std::fscanf(f, "%ms", &w);
    if (got == 1 && w != nullptr) *word = w;
    std::free(w);
    return got == 1;
}

bool sameFloat(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct Edit {
    std::size_t begin, end;
    std::string text;
};

std::string firstWords(const std::string& line, int count) {
    std::string words;
    std::size_t at = 0;
    for (int k = 0; k < count; ++k) {
        while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at]))) ++at;
        const std::size_t start = at;
        while (at < line.size() && !std::isspace(static_cast<unsigned char>(line[at]))) ++at;
        if (start == at) break;
        words += (words.empty() ? "" : " ") + line.substr(start, at - start);
    }
    return words;
}

std::string wholeRecord(const ConfigRecord& r, const ConfigPose& pose) {
    std::string text = r.keyword + " " + r.file;
    for (float v : pose.values) text += " " + shortestFloat(v);
    return text;
}

}  // namespace

bool ConfigRecord::isScan() const {
    return strcasecmp(keyword.c_str(), "bmesh") == 0;
}

std::vector<ConfigRecord> readConfigRecords(const std::string& text) {
    std::vector<ConfigRecord> records;
    if (text.empty()) return records;
    File f(fmemopen(const_cast<char*>(text.data()), text.size(), "r"), std::fclose);
    if (!f) return records;
    ConfigRecord carried;  // the fields a record cut short keeps
    for (;;) {
        ConfigRecord r;
        r.file = carried.file;
        std::memcpy(r.values, carried.values, sizeof r.values);
        std::fscanf(f.get(), " ");
        r.begin = static_cast<std::size_t>(std::ftell(f.get()));
        if (!readWord(f.get(), &r.keyword)) break;
        r.fieldsRead = 1;
        if (readWord(f.get(), &r.file)) {
            r.fieldsRead = 2;
            for (int k = 0; k < 7; ++k) {
                std::fscanf(f.get(), " ");
                const long start = std::ftell(f.get());
                float v;
                if (std::fscanf(f.get(), "%f", &v) != 1) break;
                r.values[k] = v;
                r.valueBegin[k] = static_cast<std::size_t>(start);
                r.valueEnd[k] = static_cast<std::size_t>(std::ftell(f.get()));
                ++r.fieldsRead;
            }
        }
        r.end = static_cast<std::size_t>(std::ftell(f.get()));
        records.push_back(r);
        carried = r;
    }
    return records;
}

std::string shortestFloat(float v) {
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(v));
        if (sameFloat(std::strtof(text, nullptr), v)) break;
    }
    return text;
}

bool rewriteConfig(const std::string& text, const std::vector<ConfigPose>& poses,
                   const std::string& header, std::string* out, std::string* error) {
    const std::vector<ConfigRecord> records = readConfigRecords(text);
    std::vector<const ConfigRecord*> scans;
    for (const ConfigRecord& r : records)
        if (r.isScan()) scans.push_back(&r);
    if (scans.size() != poses.size()) {
        *error = "the configuration has " + std::to_string(scans.size()) + " scan records, not " +
                 std::to_string(poses.size());
        return false;
    }

    std::vector<Edit> edits;
    if (!header.empty()) {
        const std::size_t lineEnd = text.find('\n');
        const std::string first = text.substr(0, lineEnd);
        const bool replace = !first.empty() && firstWords(first, 2) == firstWords(header, 2) &&
                             (scans.empty() || scans[0]->begin > first.size());
        if (replace)
            edits.push_back({0, first.size(), header});
        else
            edits.push_back({0, 0, header + "\n"});
    }
    for (std::size_t k = 0; k < scans.size(); ++k) {
        const ConfigRecord& r = *scans[k];
        if (r.fieldsRead == 9) {
            for (int v = 0; v < 7; ++v)
                if (!sameFloat(r.values[v], poses[k].values[v]))
                    edits.push_back(
                        {r.valueBegin[v], r.valueEnd[v], shortestFloat(poses[k].values[v])});
            continue;
        }
        // Cut short: the whole record, apart from what follows it.
        std::string whole = wholeRecord(r, poses[k]);
        if (r.end < text.size() && !std::isspace(static_cast<unsigned char>(text[r.end])))
            whole += " ";
        edits.push_back({r.begin, r.end, whole});
    }

    std::string result;
    std::size_t at = 0;
    for (const Edit& e : edits) {
        result.append(text, at, e.begin - at);
        result += e.text;
        at = e.end;
    }
    result.append(text, at, std::string::npos);

    // The rewritten text must read back as the same scans with the new poses.
    std::vector<const ConfigRecord*> back;
    const std::vector<ConfigRecord> reread = readConfigRecords(result);
    for (const ConfigRecord& r : reread)
        if (r.isScan()) back.push_back(&r);
    bool same = back.size() == scans.size();
    for (std::size_t k = 0; same && k < scans.size(); ++k) {
        same = back[k]->file == scans[k]->file;
        for (int v = 0; same && v < 7; ++v)
            same = sameFloat(back[k]->values[v], poses[k].values[v]);
    }
    if (!same) {
        *error =
            "the configuration's records are laid out so that rewriting their poses would "
            "change which scans it names";
        return false;
    }
    *out = result;
    return true;
}
