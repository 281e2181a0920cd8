// Opening a PLY file for reading and parsing its header.

#include <cstdlib>
#include <cstring>

#include "libply/ply_internal.h"
#include "libply/ply_numbers.h"

namespace {

constexpr size_t kReadBufferSize = 1 << 16;  // stdio buffer for files the library opens
constexpr int kCommentKeywordLength = 7;     // "comment"
constexpr int kObjInfoKeywordLength = 8;     // "obj_info"

bool fast_numbers() {
    return !ply_plain_paths() && plynum::decimal_point_is_dot();
}

int word_to_int(const char* word) {
    const char* last = word + std::strlen(word);
    return fast_numbers() ? plynum::atoi_word(word, last) : plynum::atoi_word_plain(word, last);
}

double word_to_double(const char* word) {
    const char* last = word + std::strlen(word);
    return fast_numbers() ? plynum::atof_word(word, last) : plynum::atof_word_plain(word, last);
}

// The text of a comment or obj_info line: the kept line from just after the
// keyword's length on, leading blanks skipped. The position is fixed, so a
// line with blanks before the keyword keeps the keyword's last letters.
const char* text_after_keyword(const char* orig_line, int keyword_length) {
    size_t length = std::strlen(orig_line);
    const char* text = orig_line + (length < size_t(keyword_length) ? length : keyword_length);
    while (*text == ' ' || *text == '\t') ++text;
    return text;
}

bool read_format_line(ply_handle* plyfile, char** words, int nwords) {
    if (nwords != 3) return false;
    if (words_equal(words[1], "ascii")) {
        plyfile->file_type = PLY_ASCII;
    } else if (words_equal(words[1], "binary_big_endian")) {
        plyfile->file_type = PLY_BINARY_BE;
    } else if (words_equal(words[1], "binary_little_endian")) {
        plyfile->file_type = PLY_BINARY_LE;
    } else {
        return false;
    }
    plyfile->version = float(word_to_double(words[2]));
    return true;
}

bool read_element_line(ply_handle* plyfile, char** words, int nwords) {
    if (nwords < 3) return false;
    int n = plyfile->element_count;
    plyfile->elements = static_cast<ply_element_def**>(
        ply_grow_array(plyfile->elements, n, sizeof(ply_element_def*)));
    plyfile->elements[n] = ply_new_element(words[1], word_to_int(words[2]));
    plyfile->element_count = n + 1;
    return true;
}

bool read_property_line(ply_handle* plyfile, char** words, int nwords) {
    if (plyfile->element_count == 0) return false;
    bool list = nwords >= 2 && words_equal(words[1], "list");
    if (nwords < (list ? 5 : 3)) return false;
    auto* prop = static_cast<ply_property_def*>(PLY_ALLOC(sizeof(ply_property_def)));
    std::memset(prop, 0, sizeof(ply_property_def));
    if (list) {
        prop->count_disk_type = type_code_of(words[2]);
        prop->disk_type = type_code_of(words[3]);
        prop->name = ply_strdup(words[4]);
        prop->is_list = PLY_LIST;
    } else {
        prop->disk_type = type_code_of(words[1]);
        prop->name = ply_strdup(words[2]);
        prop->is_list = PLY_SCALAR;
    }
    ply_append_property(plyfile->elements[plyfile->element_count - 1], prop, 0);
    return true;
}

enum class LineResult { kGoOn, kEnd, kReject };

LineResult read_header_line(ply_handle* plyfile, char** words, int nwords, const char* orig) {
    if (nwords == 0) return LineResult::kGoOn;
    const char* keyword = words[0];
    bool ok = true;
    if (words_equal(keyword, "format")) {
        ok = read_format_line(plyfile, words, nwords);
    } else if (words_equal(keyword, "element")) {
        ok = read_element_line(plyfile, words, nwords);
    } else if (words_equal(keyword, "property")) {
        ok = read_property_line(plyfile, words, nwords);
    } else if (words_equal(keyword, "comment")) {
        append_comment(plyfile, text_after_keyword(orig, kCommentKeywordLength));
    } else if (words_equal(keyword, "obj_info")) {
        append_obj_info(plyfile, text_after_keyword(orig, kObjInfoKeywordLength));
    } else if (words_equal(keyword, "end_header")) {
        return LineResult::kEnd;
    }
    return ok ? LineResult::kGoOn : LineResult::kReject;
}

// Reads the header lines into the handle; false when the header is rejected.
bool read_header_lines(ply_handle* plyfile) {
    int nwords;
    char* orig;
    char** words = split_line_words(plyfile->stream, &nwords, &orig);
    bool is_ply = words != nullptr && nwords > 0 && words_equal(words[0], "ply");
    std::free(words);
    if (!is_ply) return false;
    // The end of the file also ends the header.
    while ((words = split_line_words(plyfile->stream, &nwords, &orig)) != nullptr) {
        LineResult result = read_header_line(plyfile, words, nwords, orig);
        std::free(words);
        if (result == LineResult::kReject) return false;
        if (result == LineResult::kEnd) break;
    }
    return true;
}

char** copy_element_names(ply_handle* plyfile) {
    auto** names = static_cast<char**>(PLY_ALLOC(sizeof(char*) * size_t(plyfile->element_count)));
    for (int i = 0; i < plyfile->element_count; ++i) {
        names[i] = ply_strdup(plyfile->elements[i]->name);
    }
    return names;
}

}  // namespace

ply_handle* ply_read_header(FILE* fp, int* nelems, char*** elist) {
    if (fp == nullptr) return nullptr;
    ply_run_machine_checks();
    ply_handle* plyfile = ply_new_handle(fp);
    if (!read_header_lines(plyfile)) {
        plyfile->stream = nullptr;  // still the caller's
        ply_free_handle(plyfile);
        return nullptr;
    }
    for (int i = 0; i < plyfile->element_count; ++i) {
        ply_element_def* elem = plyfile->elements[i];
        if (elem->property_count > 0) std::memset(elem->wanted, 0, size_t(elem->property_count));
        elem->other_offset = -1;
    }
    *elist = copy_element_names(plyfile);
    *nelems = plyfile->element_count;
    return plyfile;
}

ply_handle* ply_open_read(const char* filename, int* nelems, char*** elist, int* file_type,
                          float* version) {
    FILE* fp = std::fopen(filename, "rb");
    if (fp == nullptr) return nullptr;
    auto* buffer = static_cast<char*>(std::malloc(kReadBufferSize));
    if (buffer != nullptr) std::setvbuf(fp, buffer, _IOFBF, kReadBufferSize);
    ply_handle* plyfile = ply_read_header(fp, nelems, elist);
    if (plyfile == nullptr) {
        std::fclose(fp);
        std::free(buffer);
        return nullptr;
    }
    plyfile->io_buffer = buffer;
    *file_type = plyfile->file_type;
    *version = plyfile->version;
    return plyfile;
}

ply_property_def** ply_element_properties(ply_handle* plyfile, const char* elem_name,
                                          int* num_elems, int* nprops) {
    ply_element_def* elem = lookup_element(plyfile, elem_name);
    if (elem == nullptr) return nullptr;
    *num_elems = elem->instance_count;
    *nprops = elem->property_count;
    auto** props = static_cast<ply_property_def**>(
        PLY_ALLOC(sizeof(ply_property_def*) * size_t(elem->property_count)));
    for (int i = 0; i < elem->property_count; ++i) {
        props[i] = static_cast<ply_property_def*>(PLY_ALLOC(sizeof(ply_property_def)));
        clone_property(props[i], elem->properties[i]);
    }
    return props;
}
