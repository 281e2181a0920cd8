// Fuzz target: the PLY element reader on in-memory data, text and binary.
//
// The input is a whole PLY file. Its last two bytes also choose how it is
// read (they stay part of the file): which properties are selected and in
// which memory types, whether unselected properties are kept in raw blocks,
// whether some elements are read whole for pass-through, whether runs of
// instances are read with the block calls where they qualify, and the stdio
// buffer size. Every value read is logged; the file is read once through
// the library's fast paths and once through the plain stdio and C-library
// paths, and both logs (values, and where and how a fatal end came) must be
// identical. A fatal end of the library is an ordinary outcome here; it must
// leave nothing allocated behind.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "libply/ply_internal.h"
#include "libply/plyfile.h"

namespace {

// Bytes per property in the caller's record: the value or list pointer at
// +0, a list's count at +8.
constexpr int kSlot = 16;
// Instances of a binary element without properties occupy no bytes: a
// caller reads as many as it likes. The target reads a few.
constexpr int kDataFreeInstances = 64;
// Instances per block call. With blocks, both reads log an element's records
// run by run, and the run a fatal end cut short is left out of both logs.
constexpr int kBlockRun = 1000;

struct Options {
    std::size_t bufferSize;  // stdio buffer of the stream (0: its own)
    int selection;           // 0 all, 1 none, 2 by mask, 3 all and a missing one
    bool keepOthers;         // unselected properties go to a raw block
    bool wholeOddElements;   // elements 1, 3, ... are read whole (pass-through)
    bool varyTypes;          // memory types differ from the file's
    bool blocks;             // runs of instances read with the block calls
    uint8_t seed;            // mask and type choices
};

Options optionsFrom(const uint8_t* data, std::size_t size) {
    const uint8_t a = size >= 1 ? data[size - 1] : 0;
    const uint8_t b = size >= 2 ? data[size - 2] : 0;
    return Options{fuzzing::bufferSizeFor(a),
                   b & 3,
                   (b & 4) != 0,
                   (b & 8) != 0,
                   (b & 16) != 0,
                   (b & 32) != 0,
                   static_cast<uint8_t>(a ^ (b >> 5))};
}

// The log of one read: values as bytes in hex, instance by instance.
class Log {
public:
    void text(const std::string& s) { out_ += s; }
    void bytes(const void* p, int n) {
        static const char kHex[] = "0123456789abcdef";
        const auto* b = static_cast<const unsigned char*>(p);
        for (int i = 0; i < n; ++i) {
            out_ += kHex[b[i] >> 4];
            out_ += kHex[b[i] & 15];
        }
        out_ += ' ';
    }
    const std::string& str() const { return out_; }

private:
    std::string out_;
};

void* pointerAt(const char* p) {
    void* v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Number of items of a list whose count is stored at p as type.
int storedCount(const char* p, int type) {
    int i;
    unsigned u;
    double d;
    get_stored_item(p, type, &i, &u, &d);
    return i;
}

void logList(Log& log, const char* countAt, int countType, const char* itemsAt, int itemType) {
    const int n = storedCount(countAt, countType);
    log.text("[" + std::to_string(n) + "]");
    const char* items = static_cast<const char*>(pointerAt(itemsAt));
    if (n > 0 && items == nullptr) fuzzing::fail("a list with items has no storage");
    for (int j = 0; j < n; ++j)
        log.bytes(items + j * ply_type_size(itemType), ply_type_size(itemType));
}

// Logs a raw block laid out by other (and frees nothing).
void logBlock(Log& log, const ply_other_props* other, const char* block) {
    if (block == nullptr) return;
    for (int k = 0; k < other->property_count; ++k) {
        const ply_property_def& p = *other->properties[k];
        if (p.is_list) {
            logList(log, block + p.count_offset, p.count_memory_type, block + p.memory_offset,
                    p.memory_type);
        } else {
            log.bytes(block + p.memory_offset, ply_type_size(p.memory_type));
        }
    }
}

// What the target asks of one element: a descriptor per selected property,
// each with its own slot of the record.
struct Selection {
    std::vector<ply_property_def> wanted;  // names point into the element's property copies
    // Per descriptor: -1 names no property of the element (nothing is
    // stored), else whether the property the library finds for the name (the
    // first of that name) is a list. That decides what lands in the slot.
    std::vector<int> shape;
};

int shapeOf(const char* name, ply_property_def** props, int nprops) {
    for (int k = 0; k < nprops; ++k)
        if (words_equal(props[k]->name, name)) return props[k]->is_list ? 1 : 0;
    return -1;
}

Selection choose(ply_property_def** props, int nprops, const Options& o) {
    Selection s;
    for (int k = 0; k < nprops; ++k) {
        const bool take = o.selection == 0 || o.selection == 3 ||
                          (o.selection == 2 && ((o.seed >> (k % 8)) & 1) != 0);
        if (!take) continue;
        const ply_property_def& p = *props[k];
        ply_property_def d = p;
        d.memory_offset = k * kSlot;
        d.count_offset = k * kSlot + 8;
        const bool validDisk = p.disk_type >= PLY_CHAR && p.disk_type <= PLY_DOUBLE;
        d.memory_type =
            o.varyTypes ? 1 + (o.seed + 3 * k) % 8 : (validDisk ? p.disk_type : PLY_DOUBLE);
        d.count_memory_type = ((o.seed + k) & 1) != 0 ? PLY_UINT : PLY_INT;
        s.wanted.push_back(d);
    }
    if (o.selection == 3) {
        ply_property_def d{};
        d.name = "no such property";
        d.memory_type = PLY_INT;
        s.wanted.push_back(d);
    }
    for (const ply_property_def& d : s.wanted) s.shape.push_back(shapeOf(d.name, props, nprops));
    return s;
}

// The lists the library handed over in one record, and its raw block.
void releaseRecord(char* record, const Selection& s, const ply_other_props* other, int nprops) {
    for (std::size_t i = 0; i < s.wanted.size(); ++i) {
        if (s.shape[i] == 1) std::free(pointerAt(record + s.wanted[i].memory_offset));
    }
    if (other != nullptr) ply_free_other_block(other, pointerAt(record + nprops * kSlot));
    std::memset(record, 0, std::size_t(nprops) * kSlot + sizeof(void*));
}

void logRecord(Log& log, const char* record, const Selection& s, const ply_other_props* other,
               int nprops) {
    for (std::size_t i = 0; i < s.wanted.size(); ++i) {
        const ply_property_def& d = s.wanted[i];
        if (s.shape[i] == 1) {
            logList(log, record + d.count_offset, d.count_memory_type, record + d.memory_offset,
                    d.memory_type);
        } else if (s.shape[i] == 0) {
            log.bytes(record + d.memory_offset, ply_type_size(d.memory_type));
        }
    }
    if (other != nullptr) {
        logBlock(log, other, static_cast<const char*>(pointerAt(record + nprops * kSlot)));
    }
    log.text("\n");
}

// Reads a run of m instances with the block calls into m records; false when
// the element does not qualify (nothing was read).
bool readBlock(ply_handle* ply, int m, char* records, std::size_t stride, const Selection& s,
               int nprops, Log& log) {
    if (ply_get_element_block(ply, m, records, stride)) {
        for (int i = 0; i < m; ++i)
            logRecord(log, records + std::size_t(i) * stride, s, nullptr, nprops);
        return true;
    }
    std::vector<int> counts(std::size_t(m) + 1);
    void* items = nullptr;
    std::size_t itemCount = 0;
    if (!ply_get_list_block(ply, m, counts.data(), &items, &itemCount)) return false;
    // The one property is the list: logged as logRecord logs it, then freed.
    const ply_property_def* list = nullptr;
    for (std::size_t i = 0; i < s.wanted.size(); ++i)
        if (s.shape[i] == 1) list = &s.wanted[i];
    const int itemSize = list != nullptr ? ply_type_size(list->memory_type) : 0;
    std::size_t at = 0;
    for (int i = 0; i < m; ++i) {
        if (list != nullptr) {
            log.text("[" + std::to_string(counts[i]) + "]");
            for (int j = 0; j < counts[i]; ++j, ++at)
                log.bytes(static_cast<const char*>(items) + at * itemSize, itemSize);
        }
        log.text("\n");
    }
    std::free(items);
    if (list == nullptr || at != itemCount) fuzzing::fail("the list block's items do not add up");
    std::memset(records, 0, std::size_t(m) * stride);
    return true;
}

// Reads one element into the target's records: instance by instance, or in
// runs through the block calls where they qualify.
void readSelected(ply_handle* ply, const char* name, ply_property_def** props, int nprops,
                  int count, const Options& o, Log& log) {
    const Selection s = choose(props, nprops, o);
    ply_select_properties(ply, name, int(s.wanted.size()), s.wanted.data());
    ply_other_props* other =
        o.keepOthers ? ply_get_other_properties(ply, name, nprops * kSlot) : nullptr;
    const std::size_t stride = std::size_t(nprops) * kSlot + sizeof(void*);
    const int run = o.blocks ? kBlockRun : 1;
    std::vector<char> records(std::size_t(run) * stride, 0);
    const bool dataFree = ply->file_type != PLY_ASCII && nprops == 0;
    const int n = dataFree && count > kDataFreeInstances ? kDataFreeInstances : count;
    int m = 0;
    try {
        for (int first = 0; first < n; first += m) {
            m = std::min(run, n - first);
            Log runLog;
            if (!(o.blocks && readBlock(ply, m, records.data(), stride, s, nprops, runLog))) {
                for (int i = 0; i < m; ++i) {
                    char* record = records.data() + std::size_t(i) * stride;
                    ply_get_element(ply, record);
                    logRecord(runLog, record, s, other, nprops);
                    releaseRecord(record, s, other, nprops);
                }
            }
            log.text(runLog.str());
        }
    } catch (...) {
        for (int i = 0; i < m; ++i)
            releaseRecord(records.data() + std::size_t(i) * stride, s, other, nprops);
        ply_free_other_props(other);
        throw;
    }
    ply_free_other_props(other);
}

// Reads one element whole, as a pass-through caller does.
void readWhole(ply_handle* ply, const char* name, int count, Log& log) {
    ply_other_element_list* list = ply_get_other_element(ply, name, count);
    const ply_other_element& entry = list->elements[list->count - 1];
    log.text("whole " + std::to_string(entry.instance_count) + "\n");
    if (entry.instances == nullptr) return;
    for (int j = 0; j < entry.instance_count; ++j) {
        logBlock(log, entry.other_props, static_cast<const char*>(entry.instances[j]->block));
        log.text("\n");
    }
}

std::string readFile(const uint8_t* data, std::size_t size, const Options& o, bool plain) {
    ply_set_plain_paths(plain ? 1 : 0);
    FILE* fp = fuzzing::openMemory(data, size);
    std::vector<char> buffer(o.bufferSize);
    if (o.bufferSize > 0) std::setvbuf(fp, buffer.data(), _IOFBF, o.bufferSize);
    int nelems = 0;
    char** elist = nullptr;
    ply_handle* ply = ply_read_header(fp, &nelems, &elist);
    if (ply == nullptr) {
        std::fclose(fp);
        return "rejected\n";
    }
    Log log;
    ply_property_def** props = nullptr;
    int nprops = 0;
    // Names read whole: the library keeps the element's raw-block offset
    // afterwards, so an element of the same name (the library finds the
    // first) is read whole too, as a caller of the pass-through reads it.
    std::set<std::string> whole;
    try {
        for (int e = 0; e < nelems; ++e) {
            int count = 0;
            props = ply_element_properties(ply, elist[e], &count, &nprops);
            log.text("element " + std::to_string(e) + "\n");
            if ((o.wholeOddElements && e % 2 == 1) || whole.count(elist[e]) != 0) {
                whole.insert(elist[e]);
                readWhole(ply, elist[e], count, log);
            } else {
                readSelected(ply, elist[e], props, nprops, count, o, log);
            }
            ply_free_properties(nprops, props);
            props = nullptr;
        }
        log.text("complete\n");
    } catch (const fuzzing::LibraryExit& e) {
        log.text("exit " + std::to_string(e.status) + "\n");
        ply_free_properties(nprops, props);
    }
    ply_release_other_elements(ply->other_elements);
    ply_free_element_list(nelems, elist);
    ply_close_file(ply);
    return log.str();
}

std::string head(const std::string& s) {
    return s.size() > 3000 ? s.substr(0, 3000) + "...\n" : s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::throwOnLibraryExit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Options o = optionsFrom(data, size);
    const std::string fast = readFile(data, size, o, false);
    Options plainOptions = o;
    plainOptions.bufferSize = 0;
    const std::string plain = readFile(data, size, plainOptions, true);
    ply_set_plain_paths(0);
    if (fast != plain) {
        fuzzing::fail("fast and plain reads differ (buffer " + std::to_string(o.bufferSize) +
                      ")\n--- fast:\n" + head(fast) + "--- plain:\n" + head(plain));
    }
    return 0;
}
