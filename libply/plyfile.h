// The PLY library: reads and writes polygon files in the PLY format (a text
// header of elements and properties followed by the element instances, as
// text or as binary in either byte order), with a procedural interface of
// plain records and free functions.
//
// Reading:  ply_open_read (or ply_read_header on an open stream), then for
//           each element in header order: ply_select_properties and
//           instance_count calls of ply_get_element; finally ply_close_file.
// Writing:  ply_open_write (or ply_begin_write), ply_describe_element /
//           ply_describe_property, append_comment / append_obj_info,
//           ply_header_complete, then per element ply_elements_setup and
//           instance_count calls of ply_write_element; ply_close_file.
//
// Memory: everything the library hands to the caller comes from malloc.
// Each function below says who frees what it returns.
//
// Fatal conditions (unexpected end of data, failed reads and writes, bad
// type codes) print a message on standard error and end the process through
// the exit handler (see ply_set_exit_handler).
//
// Threads: several files may be read or written at once from different
// threads, one handle per thread. Words and line texts returned by the line
// splitter live in per-thread buffers.
#pragma once

#include <cstdio>

// Type codes of property values, in the file and in memory.
enum {
    PLY_INVALID = 0,  // an unknown type name
    PLY_CHAR = 1,     // signed 8-bit integer
    PLY_SHORT = 2,    // signed 16-bit integer
    PLY_INT = 3,      // signed 32-bit integer
    PLY_UCHAR = 4,    // unsigned 8-bit integer
    PLY_USHORT = 5,   // unsigned 16-bit integer
    PLY_UINT = 6,     // unsigned 32-bit integer
    PLY_FLOAT = 7,    // 32-bit IEEE floating point
    PLY_DOUBLE = 8,   // 64-bit IEEE floating point
    PLY_END_TYPE = 9  // one past the last valid code
};

// Encodings of the instance data (file_type).
enum {
    PLY_ASCII = 1,         // text, one instance per line
    PLY_BINARY_BE = 2,     // binary, big-endian
    PLY_BINARY_LE = 3,     // binary, little-endian
    PLY_BINARY_NATIVE = 4  // writing only: binary in this machine's byte order
};

// Values of ply_property_def::is_list.
enum { PLY_SCALAR = 0, PLY_LIST = 1 };

// Keyword and byte size (in the file and in memory) of each type code.
extern const char* const type_names[PLY_END_TYPE];
extern const int type_sizes[PLY_END_TYPE];

// One property of an element. Callers use the same record to say which
// properties they want and where each one goes in their own record, so the
// layout (a name and seven ints) is part of the interface.
struct ply_property_def {
    const char* name;       // property name; a library-made record owns a malloc'd copy
    int disk_type;          // type code in the file (a list: of its items)
    int memory_type;        // type code in the caller's record (a list: of each item)
    int memory_offset;      // byte offset of the value (a list: of the item array pointer)
    int is_list;            // PLY_SCALAR or PLY_LIST
    int count_disk_type;    // a list: type code of its item count in the file
    int count_memory_type;  // a list: type code of the count in the caller's record
    int count_offset;       // a list: byte offset of the count in the caller's record
};

// One element declared in a header (or named for writing).
struct ply_element_def {
    char* name;                     // element name (owned)
    int instance_count;             // number of instances declared in the header
    int property_count;             // number of properties
    ply_property_def** properties;  // property records in header order (owned)
    char* wanted;                   // property_count flags: 1 = stored in the caller's
                                    // record, 0 = not (owned)
    int other_offset;               // -1 = no raw block of unrequested properties; else the
                                    // byte offset in the caller's record of its pointer
    int other_size;                 // byte size of that raw block
};

// Description of the raw block in which an element's unrequested properties
// are kept, one block per instance.
struct ply_other_props {
    char* name;                     // element name (owned)
    int size;                       // byte size of one raw block
    int property_count;             // number of properties kept in the block
    ply_property_def** properties;  // their records, with offsets into the block (owned)
};

// The small record made per instance of an element kept whole.
struct ply_other_data {
    void* block;  // the instance's raw block, laid out by the element's ply_other_props
};

// An element read whole, to be written out again unchanged.
struct ply_other_element {
    char* name;                    // element name (owned)
    int instance_count;            // number of instances read
    ply_other_data** instances;    // one record per instance (owned); null when the
                                   // instances hold no data (a binary element without
                                   // properties): each is then an empty record
    ply_other_props* other_props;  // layout of the raw blocks (owned)
};

// The elements of a file kept whole.
struct ply_other_element_list {
    int count;                    // number of entries
    ply_other_element* elements;  // the entries, stored one after another (owned)
};

// One open PLY file, for reading or for writing.
struct ply_handle {
    FILE* stream;                            // the open file; owned, closed by ply_close_file
    int file_type;                           // PLY_ASCII, PLY_BINARY_BE or PLY_BINARY_LE
                                             // (0 when a header has no format line)
    float version;                           // version from the format line (1.0 when writing)
    int element_count;                       // number of elements
    ply_element_def** elements;              // element records in header order (owned)
    int comment_count;                       // number of comment lines
    char** comments;                         // comment texts in header order (owned)
    int obj_info_count;                      // number of obj_info lines
    char** obj_infos;                        // obj_info texts in header order (owned)
    ply_element_def* current_element;        // element the next read or write works on, or null
    ply_other_element_list* other_elements;  // elements kept whole; owned by the caller
                                             // (see ply_get_other_element)
    // Library bookkeeping, not part of the file model:
    int is_writing;   // 1 for a handle made by ply_begin_write
    char* io_buffer;  // stdio buffer the library installed on the stream, or null
};

// ---------------------------------------------------------------------------
// Process exit

// Every fatal condition ends the process through one exit function, which
// calls this handler with the exit status (default: std::exit). A handler
// must not return to the library: it may end the process, throw or longjmp.
// When it throws, storage the library allocated for the instance being read
// is released on the way out (what the caller already owns stays the
// caller's: the handle, list storage handed over, raw blocks).
// If it returns anyway, the process ends with std::exit(status).
// Passing null restores the default. Returns the previous handler.
typedef void (*ply_exit_handler_fn)(int status);
ply_exit_handler_fn ply_set_exit_handler(ply_exit_handler_fn handler);

// Byte order of this machine as a file type (PLY_BINARY_LE or PLY_BINARY_BE),
// or -1 before the first file was opened.
int ply_native_format();

// ---------------------------------------------------------------------------
// Reading the header

// Opens the file under exactly that name and reads its header. Returns null
// (printing nothing) if the file cannot be opened or its header is rejected.
// On success sets *nelems, *elist (element names; the caller frees them with
// ply_free_element_list), *file_type and *version. The handle owns the stream.
ply_handle* ply_open_read(const char* filename, int* nelems, char*** elist, int* file_type,
                          float* version);

// Reads a header from an open stream. Returns null for a null stream or a
// rejected header (the stream then stays the caller's, not closed); else the
// handle owns the stream. *elist: element names, freed with ply_free_element_list.
ply_handle* ply_read_header(FILE* fp, int* nelems, char*** elist);

// Returns new copies of the properties of the named element (the caller
// frees them with ply_free_properties) and sets *num_elems and *nprops;
// returns null and leaves both untouched when there is no such element.
ply_property_def** ply_element_properties(ply_handle* plyfile, const char* elem_name,
                                          int* num_elems, int* nprops);

// The handle's own comment / obj_info texts (not copies; freed by ply_close_file).
char** ply_comments(ply_handle* plyfile, int* num_comments);
char** ply_obj_infos(ply_handle* plyfile, int* num_obj_info);

// Sets *version and *file_type from the handle; does nothing for null.
void ply_file_info(ply_handle* plyfile, float* version, int* file_type);

// Closes the stream and releases the handle with everything it owns (its
// element and property records, names, comments and obj_info texts). A
// write handle whose buffered output cannot be written ends the process
// with the fprintf or fwrite message. Does nothing for null.
void ply_close_file(ply_handle* plyfile);

// Frees an element name list from ply_open_read / ply_read_header.
void ply_free_element_list(int nelems, char** elist);
// Frees property copies from ply_element_properties.
void ply_free_properties(int nprops, ply_property_def** props);

// 1 when the two strings are identical (case-sensitive), else 0.
int words_equal(const char* s1, const char* s2);

// ---------------------------------------------------------------------------
// Reading instances

// Makes the named element current and marks the listed properties wanted,
// copying their memory types and offsets. A property the element lacks is
// warned about on standard error and skipped. An unknown element is warned
// about and nothing changes.
void ply_select_properties(ply_handle* plyfile, const char* elem_name, int nprops,
                           const ply_property_def* prop_list);
void ply_select_property(ply_handle* plyfile, const char* elem_name, const ply_property_def* prop);

// Reads the next instance of the current element into the caller's record.
// A kept list gets a malloc'd item array (null for count 0) that the caller
// frees with free(); a raw block of other properties is freed with
// ply_free_other_block.
void ply_get_element(ply_handle* plyfile, void* elem_ptr);

// Reading many instances in one call (binary files). These calls give what
// count calls of ply_get_element would give, bit for bit, but take the bytes
// from the file in large pieces. Each returns 1 when it read the instances
// and 0 when the current element does not qualify; then nothing has been
// read and the caller reads the instances one by one with ply_get_element
// (which also reports whatever is wrong with the element). They never
// qualify for text files, for an element that keeps a raw block of other
// properties (ply_get_other_properties), or on the plain paths
// (ply_set_plain_paths). A file that ends early, or a negative list count,
// ends the process as ply_get_element does; the caller's arrays then hold an
// unspecified part of the instances. A count from a header is not known to
// be in the file: read it in runs (say a million instances at a time),
// growing the caller's arrays run by run, so that memory grows only with
// data that is really there.

// The next count instances of the current element into the caller's array
// of records, record i at (char*)records + i * stride, laid out as the
// selected properties say (memory types and offsets). Qualifies when every
// property of the element is a single value (no lists); unselected ones are
// read past. Fastest when the records repeat the file's layout exactly (the
// properties selected in file order, types unchanged, offsets packed, stride
// the instance size, the file in this machine's byte order): the bytes then
// go straight into the array.
int ply_get_element_block(ply_handle* plyfile, int count, void* records, size_t stride);

// The next count instances of the current element, when its only property is
// a list and the caller selected it: counts[i] (room for count ints) gets the
// number of items of the i-th list, and the items of all lists follow one
// another in *items, converted to the list's memory type (the list's count
// memory type and offsets are not used). *items is malloc'd by the library
// and handed over (the caller frees it with free()); it is null when no list
// has an item. *item_count gets the number of items. The array grows as the
// items arrive, so a corrupt count meets the end of the file, not a huge
// allocation.
int ply_get_list_block(ply_handle* plyfile, int count, int* counts, void** items,
                       size_t* item_count);

// Item conversions. Every item passes through three forms at once: a signed
// 32-bit, an unsigned 32-bit and a double value.

// Converts one word of text as the given type (atoi / strtol / atof rules).
void get_ascii_item(const char* word, int type, int* int_val, unsigned int* uint_val,
                    double* double_val);
// Reads one binary item of the given type in the file's byte order.
void get_binary_item(FILE* fp, int file_type, int type, int* int_val, unsigned int* uint_val,
                     double* double_val);
// Stores one value at item in the given type (the form that fits the type).
void store_item(void* item, int type, int int_val, unsigned int uint_val, double double_val);
// Fetches one value of the given type from memory into the three forms.
void get_stored_item(const void* ptr, int type, int* int_val, unsigned int* uint_val,
                     double* double_val);
// The value of the given type at item, as a double.
double get_item_value(const void* item, int type);
// Reverses the order of size bytes in place.
void reverse_bytes(void* bytes, int size);

// ---------------------------------------------------------------------------
// Writing

// Opens filename (with ".ply" appended unless it already ends in ".ply")
// for writing and makes a write handle for the named elements; null if the
// file cannot be opened. Sets *version to 1.0.
ply_handle* ply_open_write(const char* filename, int nelems, const char* const* elem_names,
                           int file_type, float* version);
// Makes a write handle on an open stream (owned by the handle from now on);
// null for a null stream. file_type PLY_BINARY_NATIVE means this machine's order.
ply_handle* ply_begin_write(FILE* fp, int nelems, const char* const* elem_names, int file_type);

// Sets the named element's instance count and replaces its properties by
// copies of prop_list, all taken from the caller's record.
void ply_describe_element(ply_handle* plyfile, const char* elem_name, int nelems, int nprops,
                          const ply_property_def* prop_list);
// Appends a copy of one property taken from the caller's record.
void ply_describe_property(ply_handle* plyfile, const char* elem_name,
                           const ply_property_def* prop);
// Sets the named element's instance count.
void ply_element_count(ply_handle* plyfile, const char* elem_name, int nelems);
// Append a copy of the text to the handle's comments / obj_info lines.
void append_comment(ply_handle* plyfile, const char* comment);
void append_obj_info(ply_handle* plyfile, const char* obj_info);
// Writes the header.
void ply_header_complete(ply_handle* plyfile);
// Makes the named element current for writing.
void ply_elements_setup(ply_handle* plyfile, const char* elem_name);
// Writes one instance of the current element from the caller's record.
void ply_write_element(ply_handle* plyfile, const void* elem_ptr);

// Single values and type keywords.
void write_scalar_type(FILE* fp, int code);
void write_ascii_item(FILE* fp, int int_val, unsigned int uint_val, double double_val, int type);
void write_binary_item(FILE* fp, int file_type, int int_val, unsigned int uint_val,
                       double double_val, int type);
void old_write_ascii_item(FILE* fp, const char* item, int type);

// ---------------------------------------------------------------------------
// Pass-through of unrequested properties and elements

// Makes the element current and keeps its unrequested properties in a raw
// block per instance whose pointer goes at offset in the caller's record.
// Returns the block's description (the caller frees it with
// ply_free_other_props), or null for an unknown element.
ply_other_props* ply_get_other_properties(ply_handle* plyfile, const char* elem_name, int offset);
// Reads all elem_count instances of the named element raw and appends them
// to the handle's list of whole elements, which it returns. Instances of a
// binary element without properties occupy no bytes: they are counted, not
// read, and get no records. The list belongs
// to the caller: free it with ply_release_other_elements once nothing writes
// from it any more (closing the handle does not free it).
ply_other_element_list* ply_get_other_element(ply_handle* plyfile, const char* elem_name,
                                              int elem_count);
// Adds the listed elements to a write handle (the list stays the caller's).
void ply_declare_other_elements(ply_handle* plyfile, ply_other_element_list* other_elems);
// Appends the kept properties to the element of that name, taken from the
// raw block whose pointer is at offset in the caller's record.
void ply_describe_other_properties(ply_handle* plyfile, const ply_other_props* other, int offset);
// Writes every instance of the declared whole elements.
void ply_write_other_elements(ply_handle* plyfile);
// Frees a list from ply_get_other_element with all its instances; null is fine.
void ply_release_other_elements(ply_other_element_list* other_elems);

// Frees a description from ply_get_other_properties; null is fine.
void ply_free_other_props(ply_other_props* other);
// Frees one raw block read under that description, with its list arrays.
void ply_free_other_block(const ply_other_props* other, void* block);
