// rangeloom-plyconvert: copies a PLY file into another encoding through the
// library's pass-through of whole elements, values kept in their file types.
//   rangeloom-plyconvert IN.ply OUT.ply ascii|binary_little_endian|binary_big_endian
// Comments and obj_info lines are copied too. Used to make binary copies of
// scans for benchmarks and tests.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "libply/plyfile.h"
#include "version/version.h"

namespace {

const char* const kUsage =
    "usage: rangeloom-plyconvert IN.ply OUT.ply ascii|binary_little_endian|binary_big_endian\n"
    "Copies the PLY file IN.ply into OUT.ply in the named encoding: every element,\n"
    "every value in its own type, the comments and the obj_info lines.\n"
    "\n"
    "  -h, --help      print this help and exit\n"
    "  -V, --version   print the version and exit\n"
    "\n"
    "Exit status: 0 success, 1 bad usage, 2 IN.ply cannot be read, 3 OUT.ply\n"
    "cannot be written.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "-V") == 0 || std::strcmp(argv[1], "--version") == 0)) {
        std::printf("rangeloom-plyconvert %s\n", RANGELOOM_VERSION);
        return 0;
    }
    if (argc != 4) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    int fileType = 0;
    if (std::strcmp(argv[3], "ascii") == 0) fileType = PLY_ASCII;
    if (std::strcmp(argv[3], "binary_big_endian") == 0) fileType = PLY_BINARY_BE;
    if (std::strcmp(argv[3], "binary_little_endian") == 0) fileType = PLY_BINARY_LE;
    if (fileType == 0) {
        std::fprintf(stderr, "rangeloom-plyconvert: unknown encoding '%s'\n", argv[3]);
        return 1;
    }

    int count = 0, inType = 0;
    char** names = nullptr;
    float version = 0.0f;
    ply_handle* in = ply_open_read(argv[1], &count, &names, &inType, &version);
    if (in == nullptr) {
        std::fprintf(stderr, "rangeloom-plyconvert: cannot read %s\n", argv[1]);
        return 2;
    }
    ply_other_element_list* elements = nullptr;
    for (int e = 0; e < count; ++e) {
        int instances = 0, properties = 0;
        ply_property_def** props = ply_element_properties(in, names[e], &instances, &properties);
        ply_free_properties(properties, props);
        elements = ply_get_other_element(in, names[e], instances);
    }
    int n = 0;
    char** comments = ply_comments(in, &n);
    std::vector<std::string> commentTexts(comments, comments + n);
    char** infos = ply_obj_infos(in, &n);
    std::vector<std::string> infoTexts(infos, infos + n);
    ply_close_file(in);

    float outVersion = 0.0f;
    ply_handle* out = ply_open_write(argv[2], 0, nullptr, fileType, &outVersion);
    if (out == nullptr) {
        std::fprintf(stderr, "rangeloom-plyconvert: cannot write %s\n", argv[2]);
        ply_release_other_elements(elements);
        ply_free_element_list(count, names);
        return 3;
    }
    for (const std::string& c : commentTexts) append_comment(out, c.c_str());
    for (const std::string& o : infoTexts) append_obj_info(out, o.c_str());
    ply_declare_other_elements(out, elements);
    ply_header_complete(out);
    ply_write_other_elements(out);
    ply_close_file(out);
    ply_release_other_elements(elements);
    ply_free_element_list(count, names);
    return 0;
}
