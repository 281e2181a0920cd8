// Reading a run of instances of one element in one call: the bytes are taken
// from the stream in large pieces and converted value by value with exactly
// the conversions of the instance-by-instance reader (ply_read.cpp), so the
// caller's values are the same bit for bit.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "libply/ply_internal.h"
#include "libply/ply_item.h"
#include "libply/ply_stream.h"

namespace {

constexpr size_t kChunkBytes = size_t(1) << 20;     // raw bytes converted at a time
constexpr size_t kFirstItemRoom = size_t(1) << 16;  // list items allocated before more arrive

// One property of an instance: where it lies in the file's bytes and, when
// the caller selected it, where it goes in the caller's record.
struct Slot {
    size_t disk_offset;    // byte offset in one instance in the file
    int disk_type;         // type code in the file
    int size;              // byte size in the file
    bool wanted;           // stored in the caller's record
    size_t memory_offset;  // byte offset in the caller's record
    int memory_type;       // type code in the caller's record
};

bool swapped(const ply_handle* plyfile) {
    return plyfile->file_type != native_format.load(std::memory_order_relaxed);
}

// The element the block calls read, or null when the handle cannot take them.
ply_element_def* block_element(const ply_handle* plyfile) {
    if (plyfile == nullptr || ply_plain_paths()) return nullptr;
    if (plyfile->file_type != PLY_BINARY_LE && plyfile->file_type != PLY_BINARY_BE) return nullptr;
    ply_element_def* elem = plyfile->current_element;
    if (elem == nullptr || elem->other_offset != -1) return nullptr;
    return elem;
}

// Reads exactly n bytes (none for n = 0): what the stream has buffered, then
// the rest in one request, which the C library reads straight into dst.
void read_bytes(FILE* fp, char* dst, size_t n) {
    if (n == 0) return;
    if (!plyio::read_exact(fp, dst, n)) ply_fread_failed();
}

// One value (in machine order) stored as the instance-by-instance reader
// stores it: unconverted values as they are (a float NaN quiet), others
// through the three forms.
void store_value(const unsigned char* value, int disk_type, int memory_type, char* dest) {
    if (disk_type == memory_type) {
        if (disk_type == PLY_FLOAT) {
            copy_float_via_double(dest, value);
        } else {
            copy_item_bytes(dest, value, ply_type_size(disk_type));
        }
        return;
    }
    PlyItem it{0, 0u, 0.0};  // types were checked: decode_item fills it
    decode_item(value, disk_type, it);
    encode_item(dest, memory_type, it);
}

// One value from the file's bytes into the caller's record.
void convert(const char* bytes, const Slot& s, bool swap, char* record) {
    unsigned char value[8];
    copy_item_bytes(value, bytes + s.disk_offset, s.size);
    if (swap && s.size >= 2) swap_bytes(value, s.size);
    store_value(value, s.disk_type, s.memory_type, record + s.memory_offset);
}

// A float that is a NaN, from its bits.
inline bool nan_bits(uint32_t u) {
    return (u & 0x7fffffffu) > 0x7f800000u;
}

// Whether any of n floats one after another is a NaN.
bool any_float_nan(const char* p, size_t n) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i magnitude = _mm_set1_epi32(0x7fffffff), infinity = _mm_set1_epi32(0x7f800000);
    __m128i any = _mm_setzero_si128();
    for (; i + 4 <= n; i += 4) {
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * i));
        any = _mm_or_si128(any, _mm_cmpgt_epi32(_mm_and_si128(u, magnitude), infinity));
    }
    if (_mm_movemask_epi8(any) != 0) return true;
#endif
    bool found = false;
    for (; i < n; ++i) {
        uint32_t u;
        std::memcpy(&u, p + 4 * i, 4);
        found |= nan_bits(u);
    }
    return found;
}

// Floats copied straight from the file: a NaN among them must be stored as
// the instance reader stores it (quiet). The check is a cheap pass over the
// bits; NaNs are rare.
void settle_float_nans(char* records, size_t count, size_t stride, size_t offset) {
    bool any = false;
    for (size_t i = 0; i < count; ++i) {
        uint32_t u;
        std::memcpy(&u, records + i * stride + offset, 4);
        any |= nan_bits(u);
    }
    if (!any) return;
    for (size_t i = 0; i < count; ++i) {
        char* at = records + i * stride + offset;
        copy_float_via_double(at, at);
    }
}

}  // namespace

int ply_get_element_block(ply_handle* plyfile, int count, void* records, size_t stride) {
    ply_element_def* elem = block_element(plyfile);
    if (elem == nullptr || count < 0) return 0;
    std::vector<Slot> slots;
    size_t instance = 0;
    bool same_layout = !swapped(plyfile);
    for (int k = 0; k < elem->property_count; ++k) {
        const ply_property_def* prop = elem->properties[k];
        if (prop->is_list || ply_type_size(prop->disk_type) == 0) return 0;
        Slot s{instance,
               prop->disk_type,
               ply_type_size(prop->disk_type),
               elem->wanted[k] != 0,
               size_t(prop->memory_offset),
               prop->memory_type};
        if (s.wanted && ply_type_size(s.memory_type) == 0) return 0;
        same_layout = same_layout && s.wanted && s.memory_type == s.disk_type &&
                      s.memory_offset == s.disk_offset;
        slots.push_back(s);
        instance += size_t(s.size);
    }
    same_layout = same_layout && stride == instance;
    auto* out = static_cast<char*>(records);
    const size_t n = size_t(count);
    if (same_layout) {
        read_bytes(plyfile->stream, out, n * instance);
        bool floats_only = true;
        for (const Slot& s : slots) floats_only = floats_only && s.disk_type == PLY_FLOAT;
        // Records of floats only are checked in one pass, and settled slot by
        // slot only when a NaN is among them.
        if (floats_only && !any_float_nan(out, n * instance / 4)) return 1;
        for (const Slot& s : slots)
            if (s.disk_type == PLY_FLOAT) settle_float_nans(out, n, stride, s.memory_offset);
        return 1;
    }
    if (instance == 0) return 1;  // instances without data occupy no bytes
    const bool swap = swapped(plyfile);
    const size_t per_chunk = kChunkBytes / instance > 0 ? kChunkBytes / instance : 1;
    std::vector<char> raw(std::min(per_chunk, n) * instance);
    for (size_t first = 0; first < n; first += per_chunk) {
        const size_t m = std::min(per_chunk, n - first);
        read_bytes(plyfile->stream, raw.data(), m * instance);
        for (size_t i = 0; i < m; ++i) {
            const char* bytes = raw.data() + i * instance;
            char* record = out + (first + i) * stride;
            for (const Slot& s : slots)
                if (s.wanted) convert(bytes, s, swap, record);
        }
    }
    return 1;
}

namespace {

// Storage being filled that the caller does not own yet; a fatal end may
// unwind through an exit handler that throws, and the storage goes with it.
struct PendingItems {
    char* items = nullptr;  // malloc'd, or null once handed over
    size_t room = 0;        // items allocated
    ~PendingItems() { std::free(items); }
};

// The list items of a run, written one after another as they are read.
class ItemSink {
public:
    ItemSink(const ply_property_def* list, bool swap, int count)
        : disk_type_(list->disk_type),
          memory_type_(list->memory_type),
          disk_size_(ply_type_size(list->disk_type)),
          memory_size_(ply_type_size(list->memory_type)),
          swap_(swap),
          copies_(!swap && disk_type_ == memory_type_ && disk_type_ != PLY_FLOAT),
          first_room_(std::min(size_t(count), kFirstItemRoom)) {}

    size_t disk_size() const { return size_t(disk_size_); }
    // Items are stored as the file holds them, byte for byte.
    bool copies() const { return copies_; }

    // Room for m more items: at first for the run's instances, then at least
    // twice what arrived so far.
    void reserve(size_t m) {
        if (used_ + m <= pending_.room) return;
        size_t room = std::max(pending_.room * 2, std::max(first_room_, used_ + m));
        pending_.items =
            static_cast<char*>(PLY_REALLOC(pending_.items, room, size_t(memory_size_)));
        pending_.room = room;
    }
    // Where the next item goes; room must have been reserved.
    char* tail() { return pending_.items + used_ * size_t(memory_size_); }
    void advance(size_t m) { used_ += m; }

    // Appends m items from the file's bytes (room reserved).
    void append(const char* bytes, size_t m) {
        char* dest = tail();
        if (copies_) {
            std::memcpy(dest, bytes, m * size_t(disk_size_));
        } else {
            for (size_t j = 0; j < m; ++j)
                convert(bytes + j * size_t(disk_size_), dest + j * size_t(memory_size_));
        }
        used_ += m;
    }
    // Appends one item read from the stream.
    void append_from(FILE* fp) {
        char bytes[8];
        read_bytes(fp, bytes, size_t(disk_size_));
        reserve(1);
        append(bytes, 1);
    }

    // Hands the items over.
    void release(void** items, size_t* item_count) {
        *items = used_ > 0 ? pending_.items : nullptr;
        if (used_ == 0) std::free(pending_.items);
        pending_.items = nullptr;
        *item_count = used_;
    }

private:
    void convert(const char* bytes, char* dest) const {
        unsigned char value[8];
        copy_item_bytes(value, bytes, disk_size_);
        if (swap_ && disk_size_ >= 2) swap_bytes(value, disk_size_);
        store_value(value, disk_type_, memory_type_, dest);
    }

    int disk_type_, memory_type_, disk_size_, memory_size_;
    bool swap_, copies_;
    size_t first_room_;
    size_t used_ = 0;
    PendingItems pending_;
};

// A list count from the file's bytes, as the instance reader takes it.
inline int count_value(const unsigned char* bytes, int type, int size, bool swap) {
    unsigned char value[8];
    copy_item_bytes(value, bytes, size);
    if (swap && size >= 2) swap_bytes(value, size);
    PlyItem it{0, 0u, 0.0};  // types were checked: decode_item fills it
    decode_item(value, type, it);
    if (it.i < 0) ply_fread_failed();  // a negative count ends as a short file does
    return it.i;
}

// The instances that lie whole in [p, end), from instance *i on, up to
// count: their counts and items are stored and *i advanced. Returns where
// the first instance not taken begins.
const unsigned char* take_whole(const unsigned char* p, const unsigned char* end, int count, int* i,
                                int* counts, const ply_property_def* list, bool swap,
                                ItemSink& sink) {
    const size_t item_size = sink.disk_size();
    // No more items than bytes of items can lie in the piece (and one more,
    // which the range image's loop may write before it knows the count).
    sink.reserve(size_t(end - p) / item_size + 1);
    if (list->count_disk_type == PLY_UCHAR && sink.copies() && item_size == 4) {
        // The range image's form: a byte count, then the items as they are.
        char* out = sink.tail();
        const char* first = out;
        int k = *i;
        while (k < count && p < end) {
            // Sparse rasters have long runs of empty cells: eight at a time.
            while (count - k >= 8 && end - p >= 8) {
                uint64_t eight;
                std::memcpy(&eight, p, 8);
                if (eight != 0) break;
                std::memset(counts + k, 0, 8 * sizeof(int));
                k += 8;
                p += 8;
            }
            if (k == count || p == end) break;
            const unsigned c = *p;
            const size_t bytes = 4 * size_t(c);
            if (c <= 1 && end - p >= 5) {
                // Empty or one point (nearly every cell): the same steps
                // either way, so no branch on which.
                std::memcpy(out, p + 1, 4);
            } else {
                if (size_t(end - p) - 1 < bytes) break;
                std::memcpy(out, p + 1, bytes);
            }
            out += bytes;
            p += 1 + bytes;
            counts[k++] = int(c);
        }
        sink.advance(size_t(out - first) / 4);
        *i = k;
        return p;
    }
    const int count_type = list->count_disk_type;
    const int count_size = ply_type_size(count_type);
    while (*i < count && end - p >= count_size) {
        const int c = count_value(p, count_type, count_size, swap);
        const size_t bytes = size_t(c) * item_size;
        if (size_t(end - p - count_size) < bytes) break;
        p += count_size;
        if (c > 0) sink.append(reinterpret_cast<const char*>(p), size_t(c));
        p += bytes;
        counts[(*i)++] = c;
    }
    return p;
}

}  // namespace

int ply_get_list_block(ply_handle* plyfile, int count, int* counts, void** items,
                       size_t* item_count) {
    ply_element_def* elem = block_element(plyfile);
    if (elem == nullptr || count < 0 || elem->property_count != 1 || !elem->wanted[0]) return 0;
    const ply_property_def* list = elem->properties[0];
    if (!list->is_list || !valid_type(list->disk_type) || !valid_type(list->memory_type) ||
        !valid_type(list->count_disk_type) || !valid_type(list->count_memory_type)) {
        return 0;
    }
    FILE* fp = plyfile->stream;
    const bool swap = swapped(plyfile);
    const int count_size = ply_type_size(list->count_disk_type);
    ItemSink sink(list, swap, count);
    int i = 0;
    while (i < count) {
        // Every instance that lies whole in the stream's buffer is taken from it.
        const auto* start = reinterpret_cast<const unsigned char*>(plyio::buffer_at(fp));
        const size_t buffered = plyio::buffered(fp);
        if (buffered > 0) {
            const unsigned char* p =
                take_whole(start, start + buffered, count, &i, counts, list, swap, sink);
            plyio::consume(fp, size_t(p - start));
            if (i == count) break;
        }
        // An instance that straddles the buffer's end (or a stream whose
        // buffer cannot be reached) is read item by item, which refills it.
        unsigned char bytes[8];
        read_bytes(fp, reinterpret_cast<char*>(bytes), size_t(count_size));
        const int c = count_value(bytes, list->count_disk_type, count_size, swap);
        for (int j = 0; j < c; ++j) sink.append_from(fp);
        counts[i++] = c;
    }
    sink.release(items, item_count);
    return 1;
}
