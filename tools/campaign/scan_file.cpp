#include "tools/campaign/scan_file.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "libply/plyfile.h"

namespace campaign {

namespace {

constexpr std::size_t kWriteBuffer = std::size_t(4) << 20;

struct GridCell {
    unsigned char count;  // 0 or 1
    int32_t* index;       // the cell's vertex when count is 1
};

ply_property_def scalar(const char* name, int offset) {
    return ply_property_def{name, PLY_FLOAT, PLY_FLOAT, offset, PLY_SCALAR, 0, 0, 0};
}

// A fatal end of the PLY library (a failed write) while a scan is written.
struct WriteEnded {
    int status;
};
[[noreturn]] void endWrite(int status) {
    throw WriteEnded{status};
}

}  // namespace

long writeScanFile(const std::string& path, const Scan& scan, const Plan& plan, int station,
                   std::string* error) {
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (fp == nullptr) {
        *error = std::strerror(errno);
        return -1;
    }
    std::unique_ptr<char[]> buffer(new char[kWriteBuffer]);
    std::setvbuf(fp, buffer.get(), _IOFBF, kWriteBuffer);
    const char* names[] = {"vertex", "range_grid"};
    ply_handle* ply = ply_begin_write(fp, 2, names, PLY_BINARY_LE);
    // The library's fatal end is carried out here, for this file only. The
    // handler is process-wide: every writer installs the same one.
    ply_set_exit_handler(endWrite);
    long header = -1;
    bool closed = false;
    try {
        const ply_property_def xyz[] = {scalar("x", 0), scalar("y", 4), scalar("z", 8)};
        const ply_property_def cell = {
            "vertex_indices", PLY_INT,   PLY_INT,   static_cast<int>(offsetof(GridCell, index)),
            PLY_LIST,         PLY_UCHAR, PLY_UCHAR, static_cast<int>(offsetof(GridCell, count))};
        ply_describe_element(ply, "vertex", static_cast<int>(scan.xyz.size() / 3), 3, xyz);
        ply_describe_element(ply, "range_grid", static_cast<int>(scan.grid.size()), 1, &cell);
        char line[128];
        std::snprintf(line, sizeof line, "simulated range scan written by rangeloom-campaign");
        append_comment(ply, line);
        std::snprintf(line, sizeof line, "scene %s seed %llu station %d of %d",
                      sceneKindName(plan.kind), static_cast<unsigned long long>(plan.seed), station,
                      plan.stations);
        append_comment(ply, line);
        std::snprintf(line, sizeof line, "num_cols %d", plan.cols);
        append_obj_info(ply, line);
        std::snprintf(line, sizeof line, "num_rows %d", plan.rows);
        append_obj_info(ply, line);
        ply_header_complete(ply);
        header = std::ftell(fp);
        ply_elements_setup(ply, "vertex");
        for (std::size_t v = 0; v < scan.xyz.size(); v += 3) ply_write_element(ply, &scan.xyz[v]);
        ply_elements_setup(ply, "range_grid");
        for (int32_t g : scan.grid) {
            int32_t index = g;
            const GridCell c{static_cast<unsigned char>(g >= 0 ? 1 : 0), &index};
            ply_write_element(ply, &c);
        }
        closed = true;        // the handle is released even when closing fails
        ply_close_file(ply);  // flushes; a failed write ends through the handler
    } catch (const WriteEnded&) {
        *error = "write failed";
        if (!closed) {
            // A write failed before the end: the stream is closed here and
            // the handle released without another attempt to write.
            std::fclose(ply->stream);
            ply->stream = nullptr;
            ply_close_file(ply);
        }
        return -1;
    }
    return header;
}

bool placeStrays(const std::string& path, long header, const std::vector<Candidate>& strays,
                 std::string* error) {
    if (strays.empty()) return true;
    FILE* fp = std::fopen(path.c_str(), "r+b");
    if (fp == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    bool ok = true;
    for (const Candidate& c : strays) {
        // Little-endian, as the file is written.
        uint32_t bits;
        std::memcpy(&bits, &c.liftedZ, 4);
        const unsigned char bytes[4] = {
            static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
            static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
        ok = ok && std::fseek(fp, header + 12L * c.index + 8, SEEK_SET) == 0 &&
             std::fwrite(bytes, 4, 1, fp) == 1;
    }
    ok = (std::fclose(fp) == 0) && ok;
    if (!ok) *error = std::strerror(errno);
    return ok;
}

}  // namespace campaign
