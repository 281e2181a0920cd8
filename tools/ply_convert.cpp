// rangeloom-plyconvert: copies a PLY file into another encoding through the
// library's pass-through of whole elements, values kept in their file types.
//   rangeloom-plyconvert IN.ply OUT.ply ascii|binary_little_endian|binary_big_endian
// Comments and obj_info lines are copied too. Used to make binary copies of
// scans for benchmarks and tests.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/file_replacement.h"
#include "files/printable_name.h"
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

// The PLY library ends the process when a write fails; while the output is
// written, its end is turned into this exception so that the unfinished file
// is removed and the earlier OUT.ply (perhaps IN.ply itself) stays.
struct WriteFailed {};

void throwWriteFailed(int) {
    throw WriteFailed{};
}

// The name the PLY library's writer gives OUT: ".ply" added unless it ends so.
std::string plyName(const std::string& name) {
    const bool hasExtension = name.size() >= 4 && name.compare(name.size() - 4, 4, ".ply") == 0;
    return hasExtension ? name : name + ".ply";
}

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

    // Written to a temporary file beside the target and renamed over it only
    // when complete: a failed write leaves the target as it was.
    const std::string target = plyName(argv[2]);
    files::FileReplacement file;
    std::string error;
    bool written = file.create(target, &error);
    if (written) {
        ply_handle* out = ply_begin_write(file.releaseStream(), 0, nullptr, fileType);
        const ply_exit_handler_fn previous = ply_set_exit_handler(throwWriteFailed);
        try {
            for (const std::string& c : commentTexts) append_comment(out, c.c_str());
            for (const std::string& o : infoTexts) append_obj_info(out, o.c_str());
            ply_declare_other_elements(out, elements);
            ply_header_complete(out);
            ply_write_other_elements(out);
            ply_handle* done = out;
            out = nullptr;
            ply_close_file(done);
        } catch (const WriteFailed&) {
            written = false;
            error = "the write failed";
            try {
                ply_close_file(out);
            } catch (const WriteFailed&) {
            }
        }
        ply_set_exit_handler(previous);
        written = written && file.commit(&error);
    }
    ply_release_other_elements(elements);
    ply_free_element_list(count, names);
    if (!written) {
        std::fprintf(stderr, "rangeloom-plyconvert: cannot write %s: %s\n",
                     files::printableName(target).c_str(), error.c_str());
        file.discard();
        return 3;
    }
    return 0;
}
