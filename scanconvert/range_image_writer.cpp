#include "range_image_writer.h"

#include <cstddef>
#include <cstdint>

#include "libply/plyfile.h"

namespace scanconvert {

namespace {

struct VertexRecord {
    float x, y, z;
};
struct CellRecord {
    unsigned char count;  // 0 (empty cell) or 1
    int32_t* index;       // the cell's vertex when count is 1
};

ply_property_def property(const char* name, int type, std::size_t offset, bool list = false,
                          std::size_t countOffset = 0) {
    ply_property_def p{};
    p.name = name;
    p.disk_type = type;
    p.memory_type = type;
    p.memory_offset = static_cast<int>(offset);
    p.is_list = list ? PLY_LIST : PLY_SCALAR;
    p.count_disk_type = list ? PLY_UCHAR : 0;
    p.count_memory_type = list ? PLY_UCHAR : 0;
    p.count_offset = static_cast<int>(countOffset);
    return p;
}

}  // namespace

void writeRangeImage(FILE* stream, const formats::StructuredScan& scan, bool ascii,
                     const std::vector<std::string>& comments) {
    const bool grid = scan.header.structured;
    const char* const names[2] = {"vertex", "range_grid"};
    ply_handle* ply =
        ply_begin_write(stream, grid ? 2 : 1, names, ascii ? PLY_ASCII : PLY_BINARY_LE);
    const ply_property_def vertex[3] = {property("x", PLY_FLOAT, offsetof(VertexRecord, x)),
                                        property("y", PLY_FLOAT, offsetof(VertexRecord, y)),
                                        property("z", PLY_FLOAT, offsetof(VertexRecord, z))};
    const ply_property_def cell = property("vertex_indices", PLY_INT, offsetof(CellRecord, index),
                                           true, offsetof(CellRecord, count));
    ply_describe_element(ply, "vertex", static_cast<int>(scan.points.size()), 3, vertex);
    if (grid)
        ply_describe_element(ply, "range_grid", static_cast<int>(scan.raster.size()), 1, &cell);
    for (const std::string& c : comments) append_comment(ply, c.c_str());
    if (grid) {
        append_obj_info(ply, ("num_cols " + std::to_string(scan.header.columns)).c_str());
        append_obj_info(ply, ("num_rows " + std::to_string(scan.header.rows)).c_str());
    }
    ply_header_complete(ply);

    ply_elements_setup(ply, "vertex");
    for (const auto& p : scan.points) {
        const VertexRecord v{static_cast<float>(p[0]), static_cast<float>(p[1]),
                             static_cast<float>(p[2])};
        ply_write_element(ply, &v);
    }
    if (grid) {
        ply_elements_setup(ply, "range_grid");
        for (int32_t k : scan.raster) {
            CellRecord c{static_cast<unsigned char>(k < 0 ? 0 : 1), &k};
            ply_write_element(ply, &c);
        }
    }
    ply_close_file(ply);
}

}  // namespace scanconvert
