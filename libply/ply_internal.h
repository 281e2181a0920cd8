// Operations shared by the PLY library's source files (and reached by its
// tests and benchmark), not part of the caller interface in plyfile.h.
#pragma once

#include <atomic>
#include <cstddef>

#include "libply/plyfile.h"

// Library-wide state, set once per process by the machine checks.
extern std::atomic<int> native_format;   // -1 until detected, then PLY_BINARY_LE or _BE
extern std::atomic<int> types_verified;  // 0 until the type sizes were checked, then 1

// The one-time machine checks; safe to call from several threads at once.
void ply_run_machine_checks();
void detect_native_format();
void verify_type_sizes();

// Ends the process through the exit handler; never returns.
[[noreturn]] void ply_exit(int status);
// Prints "ply: <text>\n" and then "ply: Exiting...\n" on standard error, exit status 1.
[[noreturn]] void ply_machine_fatal(const char* text);

// Allocates size bytes (at least one). On failure prints "Memory allocation
// bombed on line %d in %s\n" (with the base name of file) and ends the
// process (status -1). Free with free().
void* checked_alloc(size_t size, int line, const char* file);
// Grows a malloc'd array to new_count entries of elem_size bytes (same
// failure handling). The caller keeps owning the result.
void* checked_realloc(void* ptr, size_t new_count, size_t elem_size, int line, const char* file);
// Base name of a source path, for the allocation messages.
const char* ply_source_name(const char* path);
#define PLY_ALLOC(size) checked_alloc((size), __LINE__, __FILE__)
#define PLY_REALLOC(ptr, count, elem_size) \
    checked_realloc((ptr), (count), (elem_size), __LINE__, __FILE__)
// A malloc'd copy of the string (checked).
char* ply_strdup(const char* s);

// Appends an entry to a malloc'd array that holds count entries, growing its
// room geometrically; returns the (possibly moved) array.
void* ply_grow_array(void* array, int count, size_t elem_size);

// Lookups: the first match in header order, or null (index -1).
ply_element_def* lookup_element(ply_handle* plyfile, const char* element);
ply_property_def* lookup_property(ply_element_def* elem, const char* prop_name, int* index);
// Type code of a keyword, or of its sized name (int8, uint8, int16,
// uint16, int32, uint32, float32, float64); 0 for any other word.
int type_code_of(const char* name);
// Byte size of a type code; 0 for codes outside 1..8.
inline int ply_type_size(int code) {
    return (code >= PLY_CHAR && code <= PLY_DOUBLE) ? type_sizes[code] : 0;
}
// Copies all eight fields; the name is duplicated (dest->name is overwritten, not freed).
void clone_property(ply_property_def* dest, const ply_property_def* src);
// A new element record with a copy of the name, no properties.
ply_element_def* ply_new_element(const char* name, int instance_count);
// Appends a property record (taking ownership) with its wanted flag.
void ply_append_property(ply_element_def* elem, ply_property_def* prop, char wanted);
// Frees an element record and everything it owns.
void ply_free_element(ply_element_def* elem);
// A new zeroed handle on the stream.
ply_handle* ply_new_handle(FILE* fp);
// Frees a handle's records and the handle itself; does not touch the stream.
void ply_free_handle(ply_handle* plyfile);

// Splits the next line of the stream into words (see ply_lines.cpp). Returns
// a malloc'd array of word pointers (the caller frees the array with free())
// or null at end of file. Words and *orig_line point into per-thread buffers
// that stay valid until the thread reads its next line.
char** split_line_words(FILE* fp, int* nwords, char** orig_line);

// Slot layout of an element's unrequested properties in a raw block.
void layout_other_properties(ply_element_def* elem);

// Fast internals vs the straightforward reference: 1 switches the whole
// library to the plain stdio and C-library paths (for benchmarks and tests).
void ply_set_plain_paths(int on);
extern std::atomic<int> ply_plain_flag;  // set by ply_set_plain_paths
inline int ply_plain_paths() {
    return ply_plain_flag.load(std::memory_order_relaxed);
}
