// A property of the records that rangeloom-clean's PLY writers (the value
// export, the merged cloud) hand the library: one value of a type on disk,
// read from memory at an offset of the record.
#pragma once

#include <cstddef>

#include "libply/plyfile.h"

inline ply_property_def scalarProperty(const char* name, int diskType, int memoryType,
                                       std::size_t offset) {
    ply_property_def p{};
    p.name = name;
    p.disk_type = diskType;
    p.memory_type = memoryType;
    p.memory_offset = static_cast<int>(offset);
    p.is_list = PLY_SCALAR;
    return p;
}
