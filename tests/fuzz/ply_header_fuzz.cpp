// Fuzz target: the PLY header reader on in-memory data.
//
// The header is read twice, through the library's fast line path and through
// the plain stdio one, with a stdio buffer whose size comes from the input's
// last byte (small buffers make lines cross the buffer's end). Both reads
// must accept or reject alike, describe the same elements, properties,
// comments and obj_info lines, and leave the stream at the same first data
// byte.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "libply/ply_internal.h"
#include "libply/plyfile.h"

namespace {

std::string describeProperty(const ply_property_def& p) {
    return std::string(p.name) + " " + std::to_string(p.disk_type) + " " +
           std::to_string(p.is_list) + " " + std::to_string(p.count_disk_type) + "\n";
}

// Everything the header reader reports, as text.
std::string describe(ply_handle* ply, int nelems, char** elist) {
    std::string out = "elements " + std::to_string(nelems) + "\n";
    for (int e = 0; e < nelems; ++e) {
        int count = -7, nprops = -7;
        ply_property_def** props = ply_element_properties(ply, elist[e], &count, &nprops);
        if (props == nullptr) fuzzing::fail("a listed element cannot be found");
        out += "element " + std::string(elist[e]) + " " + std::to_string(count) + "\n";
        for (int p = 0; p < nprops; ++p) out += describeProperty(*props[p]);
        ply_free_properties(nprops, props);
    }
    int n = 0;
    char** comments = ply_comments(ply, &n);
    for (int i = 0; i < n; ++i) out += "comment " + std::string(comments[i]) + "\n";
    char** infos = ply_obj_infos(ply, &n);
    for (int i = 0; i < n; ++i) out += "obj_info " + std::string(infos[i]) + "\n";
    float version = 0.0f;
    int fileType = -1;
    ply_file_info(ply, &version, &fileType);
    uint32_t versionBits;
    std::memcpy(&versionBits, &version, sizeof versionBits);
    out += "type " + std::to_string(fileType) + " version " + std::to_string(versionBits) + "\n";
    // The stream stands at the first byte of the data.
    out += "data at " + std::to_string(std::ftell(ply->stream)) + "\n";
    return out;
}

std::string readHeader(const uint8_t* data, std::size_t size, std::size_t bufferSize, bool plain) {
    ply_set_plain_paths(plain ? 1 : 0);
    FILE* fp = fuzzing::openMemory(data, size);
    std::vector<char> buffer(bufferSize);
    if (bufferSize > 0) std::setvbuf(fp, buffer.data(), _IOFBF, bufferSize);
    int nelems = 0;
    char** elist = nullptr;
    ply_handle* ply = nullptr;
    try {
        ply = ply_read_header(fp, &nelems, &elist);
    } catch (const fuzzing::LibraryExit& e) {
        // Only an allocation failure can end a header read.
        fuzzing::fail("the header reader ended with status " + std::to_string(e.status));
    }
    if (ply == nullptr) {
        std::fclose(fp);
        return "rejected\n";
    }
    std::string out = describe(ply, nelems, elist);
    ply_free_element_list(nelems, elist);
    ply_close_file(ply);  // closes fp before its buffer goes
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::throwOnLibraryExit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::size_t bufferSize = fuzzing::bufferSizeFor(size > 0 ? data[size - 1] : 0);
    const std::string fast = readHeader(data, size, bufferSize, false);
    const std::string plain = readHeader(data, size, 0, true);
    ply_set_plain_paths(0);
    if (fast != plain) {
        fuzzing::fail("fast and plain header reads differ\n--- fast (buffer " +
                      std::to_string(bufferSize) + "):\n" + fast + "--- plain:\n" + plain);
    }
    return 0;
}
