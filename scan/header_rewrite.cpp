#include "scan/header_rewrite.h"

#include <cstdio>
#include <cstring>

#include "libply/plyfile.h"

namespace {

bool sameProperty(const ply_property_def& a, const ply_property_def& b) {
    return words_equal(a.name, b.name) && a.disk_type == b.disk_type && a.is_list == b.is_list &&
           (!a.is_list || a.count_disk_type == b.count_disk_type);
}

// Element a of the source and b of the rewritten header. The vertex count is
// the one thing the rewrite changes: b's must be the count written.
bool sameElement(const ply_element_def& a, const ply_element_def& b, int vertexCount) {
    if (!words_equal(a.name, b.name) || a.property_count != b.property_count) return false;
    const bool vertex = words_equal(a.name, "vertex");
    if (b.instance_count != (vertex ? vertexCount : a.instance_count)) return false;
    for (int p = 0; p < a.property_count; ++p)
        if (!sameProperty(*a.properties[p], *b.properties[p])) return false;
    return true;
}

bool sameTexts(int n, char** a, int m, char** b) {
    if (n != m) return false;
    for (int i = 0; i < n; ++i)
        if (std::strcmp(a[i], b[i]) != 0) return false;
    return true;
}

bool sameHeader(const ply_handle& a, const ply_handle& b, int vertexCount) {
    if (a.file_type != b.file_type || a.version != b.version || a.element_count != b.element_count)
        return false;
    for (int e = 0; e < a.element_count; ++e)
        if (!sameElement(*a.elements[e], *b.elements[e], vertexCount)) return false;
    return sameTexts(a.comment_count, a.comments, b.comment_count, b.comments) &&
           sameTexts(a.obj_info_count, a.obj_infos, b.obj_info_count, b.obj_infos);
}

}  // namespace

bool headerReadsAlike(const std::string& head, const std::string& tail, ply_handle* source) {
    // A count unlike the source's, so that it shows whether the line written
    // is the one the vertex count is read from (text the capture joined to
    // it could make it a line the reader ignores).
    int vertexCount = 0;
    for (int e = 0; e < source->element_count; ++e)
        if (words_equal(source->elements[e]->name, "vertex") &&
            source->elements[e]->instance_count == 0)
            vertexCount = 1;
    const std::string header = head + "element vertex " + std::to_string(vertexCount) + "\n" + tail;
    // A line after the header that the reader must not reach.
    std::string text = header + "comment after the header\n";
    FILE* fp = fmemopen(text.data(), text.size(), "r");
    if (fp == nullptr) return false;
    int count = 0;
    char** names = nullptr;
    ply_handle* rewritten = ply_read_header(fp, &count, &names);
    if (rewritten == nullptr) {
        std::fclose(fp);
        return false;
    }
    const bool alike = std::ftell(fp) == static_cast<long>(header.size()) &&
                       sameHeader(*source, *rewritten, vertexCount);
    ply_free_element_list(count, names);
    ply_close_file(rewritten);
    return alike;
}
