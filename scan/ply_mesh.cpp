#include "scan/ply_mesh.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "files/printable_name.h"
#include "files/regular_file.h"
#include "libply/plyfile.h"
#include "scan/header_rewrite.h"
#include "scan/ply_fatal_guard.h"
#include "scene/console.h"
#include "scene/index_range.h"
#include "scene/load_report.h"
#include "scene/range_grid.h"

namespace {

// Records the library fills, one per instance.
struct VertexRecord {
    float x, y, z;
};
struct FaceRecord {
    unsigned char intensity;  // read and not used
    unsigned char count;      // number of vertex indices
    int32_t* indices;         // list storage handed over by the library (freed here)
};
struct GridRecord {
    unsigned char count;  // number of vertex indices of the raster cell (0 or 1)
    int32_t* indices;     // list storage handed over by the library (freed here)
};

ply_property_def property(const char* name, int diskType, int memoryType, std::size_t offset,
                          int isList = 0, int countType = 0, std::size_t countOffset = 0) {
    ply_property_def p{};
    p.name = const_cast<char*>(name);
    p.disk_type = diskType;
    p.memory_type = memoryType;
    p.memory_offset = static_cast<int>(offset);
    p.is_list = isList;
    p.count_disk_type = countType;
    p.count_memory_type = countType;
    p.count_offset = static_cast<int>(countOffset);
    return p;
}

const ply_property_def vertexProps[] = {
    property("x", PLY_FLOAT, PLY_FLOAT, offsetof(VertexRecord, x)),
    property("y", PLY_FLOAT, PLY_FLOAT, offsetof(VertexRecord, y)),
    property("z", PLY_FLOAT, PLY_FLOAT, offsetof(VertexRecord, z)),
};
const ply_property_def faceProps[] = {
    property("intensity", PLY_UCHAR, PLY_UCHAR, offsetof(FaceRecord, intensity)),
    property("vertex_indices", PLY_INT, PLY_INT, offsetof(FaceRecord, indices), 1, PLY_UCHAR,
             offsetof(FaceRecord, count)),
};
const ply_property_def gridProps[] = {
    property("vertex_indices", PLY_INT, PLY_INT, offsetof(GridRecord, indices), 1, PLY_UCHAR,
             offsetof(GridRecord, count)),
};

constexpr const char* kNotAccepted = "not a PLY file the library accepts";

// No real PLY header comes near this many bytes; a header that does not end
// within them is not read (nor captured) further.
constexpr long kMaxHeaderBytes = 1L << 20;

// Whether the file's first word is "ply", as the library's header reader
// requires, read from its first line alone: a large file that is no PLY
// file is refused before anything more of it is read.
bool firstWordIsPly(FILE* f) {
    char first[8];
    int n = 0, c, blanks = 0;
    // The library reads a line's first 4095 characters.
    while (((c = std::getc(f)) == ' ' || c == '\t') && ++blanks < 4095) {
    }
    while (c != EOF && c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\0' && n < 4) {
        first[n++] = static_cast<char>(c);
        c = std::getc(f);
    }
    const bool wordEnds = c == EOF || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0';
    return wordEnds && n == 3 && std::memcmp(first, "ply", 3) == 0;
}

// The bytes of a file up to kMaxHeaderBytes, then a line declaring one more
// element, as a stream: the library's own header reader, run over it, reads
// that element exactly when the file's header has not ended before. The
// stream can be positioned (the library's plain line reader steps back
// after a carriage return).
struct CappedHeader {
    int fd;
    off_t fileBytes;  // of the file, at most kMaxHeaderBytes
    off_t at = 0;     // position in the stream
};
constexpr char kSentinelElement[] = "rangeloom_header_has_not_ended";
const std::string kSentinelLine = std::string("\nelement ") + kSentinelElement + " 0\n";

ssize_t readCapped(void* cookie, char* buffer, std::size_t size) {
    auto* h = static_cast<CappedHeader*>(cookie);
    if (h->at < h->fileBytes) {
        const std::size_t want = std::min<std::size_t>(size, std::size_t(h->fileBytes - h->at));
        const ssize_t got = pread(h->fd, buffer, want, h->at);
        if (got <= 0) return got < 0 ? -1 : 0;
        h->at += got;
        return got;
    }
    const std::size_t from = std::size_t(h->at - h->fileBytes);
    const std::size_t n =
        from < kSentinelLine.size() ? std::min(size, kSentinelLine.size() - from) : 0;
    std::memcpy(buffer, kSentinelLine.data() + from, n);
    h->at += static_cast<off_t>(n);
    return static_cast<ssize_t>(n);
}

int seekCapped(void* cookie, off64_t* offset, int whence) {
    auto* h = static_cast<CappedHeader*>(cookie);
    const off64_t length = h->fileBytes + static_cast<off64_t>(kSentinelLine.size());
    const off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? h->at : length;
    const off64_t to = base + *offset;
    if (to < 0 || to > length) return -1;
    h->at = static_cast<off_t>(to);
    *offset = to;
    return 0;
}

// Why the header of the open file fd does not end (no end_header line
// within kMaxHeaderBytes), or "" when it ends or when the library rejects it
// anyway. The file's own position is not moved.
std::string headerEndProblem(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0) return std::string();
    CappedHeader h{fd, std::min<off_t>(st.st_size, kMaxHeaderBytes)};
    cookie_io_functions_t io{readCapped, nullptr, seekCapped, nullptr};
    FILE* stream = fopencookie(&h, "r", io);
    if (stream == nullptr) return std::string();
    int count = 0;
    char** names = nullptr;
    ply_handle* ply = ply_read_header(stream, &count, &names);
    if (ply == nullptr) {
        std::fclose(stream);
        return std::string();
    }
    bool ended = true;
    for (int e = 0; e < count; ++e) ended = ended && !words_equal(names[e], kSentinelElement);
    ply_free_element_list(count, names);
    ply_close_file(ply);  // closes the stream
    if (ended) return std::string();
    if (st.st_size <= kMaxHeaderBytes)
        return "its header has no end_header line (the file ends inside it)";
    return "its header does not end within its first " + std::to_string(kMaxHeaderBytes) +
           " bytes (no end_header line)";
}

bool isHandled(const char* element) {
    return words_equal("vertex", element) || words_equal("range_grid", element) ||
           words_equal("face", element);
}

// The integer after the first word of an obj_info line ("num_cols 640").
void readRasterDimension(const char* line, int* out) {
    int value;
    if (std::sscanf(line, "%*s%d", &value) == 1) *out = value;
}

// The library's handle and element names of one read, released however the
// read ends: a fatal end of the library may unwind through an exit handler
// that throws.
struct OpenPly {
    ply_handle* ply = nullptr;
    int elementCount = 0;
    char** elementNames = nullptr;
    int fileType = 0;       // PLY_ASCII, PLY_BINARY_BE or PLY_BINARY_LE
    float version = 0.0f;   // the format line's version
    std::size_t bytes = 0;  // the file's size
    ~OpenPly() { close(); }
    // Reads the header; false when the library does not accept it.
    bool open(const std::string& name) {
        ply = ply_open_read(name.c_str(), &elementCount, &elementNames, &fileType, &version);
        struct stat st;
        if (stat(name.c_str(), &st) == 0 && st.st_size > 0)
            bytes = static_cast<std::size_t>(st.st_size);
        return ply != nullptr;
    }
    void close() {
        ply_free_element_list(elementCount, elementNames);
        ply_close_file(ply);
        elementNames = nullptr;
        elementCount = 0;
        ply = nullptr;
    }
};

// The list storage the library hands over in a record, freed at the end of
// the scope, also when a later property of the same instance ends the read.
struct ListStorage {
    int32_t** items;  // the record's list pointer (null until the library fills it)
    ~ListStorage() { std::free(*items); }
};

// The property copies of one element (from ply_element_properties), released
// at the end of the scope.
struct ElementProperties {
    int count = 0;
    ply_property_def** props = nullptr;
    ~ElementProperties() { ply_free_properties(count, props); }
};

// Asks the library for the descriptor's property, unless the file's property
// of that name (the first, as the library finds it) is a list where the
// descriptor wants a single value or the other way round: the library would
// store a list's pointer over a single value, or a single value over a
// list's pointer. Such a property is read and dropped.
void selectIfShaped(ply_handle* ply, const char* element, const ElementProperties& file,
                    const ply_property_def& wanted) {
    for (int p = 0; p < file.count; ++p) {
        const ply_property_def& found = *file.props[p];
        if (!words_equal(found.name, wanted.name)) continue;
        if ((found.is_list != 0) != (wanted.is_list != 0)) {
            consolePrintf(
                "property %s of element %s is %s: it is not read\n", wanted.name, element,
                found.is_list ? "a list, not a single value" : "a single value, not a list");
            ply_select_properties(ply, element, 0, nullptr);  // the element is still read next
            return;
        }
        break;
    }
    ply_select_property(ply, element, &wanted);
}

// The raster size from the num_cols and num_rows obj_info lines.
void readRasterSize(const OpenPly& file, Mesh& mesh) {
    int infoCount = 0;
    char** infos = ply_obj_infos(file.ply, &infoCount);
    for (int i = 0; i < infoCount; ++i) {
        if (std::strstr(infos[i], "num_cols") != nullptr)
            readRasterDimension(infos[i], &mesh.gridCols);
        if (std::strstr(infos[i], "num_rows") != nullptr)
            readRasterDimension(infos[i], &mesh.gridRows);
    }
}

// Instances are read in runs of at most this many, so that memory grows only
// with data that is really in the file, whatever count the header declares.
constexpr int kRunLength = 1 << 20;

// How many of an element's declared instances the file can hold at the least
// number of bytes each (one byte per binary list count or item of the
// smallest type, two per text field): room for that many can be reserved
// before reading without trusting the header's count.
std::size_t instancesThatFit(const OpenPly& file, const ElementProperties& described,
                             int instances) {
    std::size_t least = 0;
    for (int p = 0; p < described.count; ++p) {
        const ply_property_def& d = *described.props[p];
        const int type = d.is_list ? d.count_disk_type : d.disk_type;
        least += file.fileType == PLY_ASCII        ? 2
                 : type > 0 && type < PLY_END_TYPE ? static_cast<std::size_t>(type_sizes[type])
                                                   : 1;
    }
    if (least == 0 || instances <= 0) return 0;
    return std::min(static_cast<std::size_t>(instances), file.bytes / least);
}

void readVertices(const OpenPly& file, const char* element, const ElementProperties& described,
                  int instances, Mesh& mesh) {
    ply_handle* ply = file.ply;
    for (const ply_property_def& d : vertexProps) selectIfShaped(ply, element, described, d);
    mesh.vertices.reserve(mesh.vertices.size() + instancesThatFit(file, described, instances));
    // A property the file lacks stays 0, as in one instance at a time; the
    // records are added in file order (the centroid is a float sum).
    std::vector<VertexRecord> run;
    for (int done = 0; done < instances;) {
        const int m = std::min(kRunLength, instances - done);
        run.assign(static_cast<std::size_t>(m), VertexRecord{0.0f, 0.0f, 0.0f});
        if (ply_get_element_block(ply, m, run.data(), sizeof(VertexRecord)) == 0)
            for (VertexRecord& v : run) ply_get_element(ply, &v);
        for (const VertexRecord& v : run) mesh.addVertex(Point3(v.x, v.y, v.z));
        done += m;
    }
}

// The raster cells: the first index of each cell's list, -1 for an empty cell.
void readRaster(const OpenPly& file, const char* element, const ElementProperties& described,
                int instances, Mesh& mesh) {
    ply_handle* ply = file.ply;
    mesh.isRangeGrid = true;
    selectIfShaped(ply, element, described, gridProps[0]);
    mesh.gridIndex.reserve(mesh.gridIndex.size() + instancesThatFit(file, described, instances));
    std::vector<int> counts;
    for (int done = 0; done < instances;) {
        const int m = std::min(kRunLength, instances - done);
        counts.resize(static_cast<std::size_t>(m));
        void* items = nullptr;
        std::size_t itemCount = 0;
        if (ply_get_list_block(ply, m, counts.data(), &items, &itemCount) != 0) {
            const std::unique_ptr<void, decltype(&std::free)> owned(items, &std::free);
            const int32_t* item = static_cast<const int32_t*>(items);
            // One instance at a time keeps the count in an unsigned char: a
            // list of 256 items reads as empty there, and so it does here.
            std::size_t at = 0;
            for (int k = 0; k < m; ++k) {
                const bool kept =
                    static_cast<unsigned char>(counts[static_cast<std::size_t>(k)]) >= 1;
                mesh.gridIndex.push_back(kept ? item[at] : -1);
                at += static_cast<std::size_t>(counts[static_cast<std::size_t>(k)]);
            }
        } else {
            for (int k = 0; k < m; ++k) {
                mesh.gridIndex.push_back(-1);
                GridRecord g{0, nullptr};
                const ListStorage owned{&g.indices};
                ply_get_element(ply, &g);
                if (g.count >= 1 && g.indices != nullptr) mesh.gridIndex.back() = g.indices[0];
            }
        }
        done += m;
    }
}

void readFaces(ply_handle* ply, const char* element, const ElementProperties& described,
               int instances, Mesh& mesh) {
    for (const ply_property_def& d : faceProps) selectIfShaped(ply, element, described, d);
    for (int i = 0; i < instances; ++i) {
        FaceRecord r{0, 0, nullptr};
        const ListStorage owned{&r.indices};
        ply_get_element(ply, &r);
        Face face(&mesh, Vec4(0.0f, 0.0f, 0.0f, 1.0f));
        for (int j = 0; j < r.count && r.indices != nullptr; ++j)
            face.vertexIndices.push_back(r.indices[j]);
        if (r.count < 3) consolePrintf("Invalid Polygon\n");
        mesh.faces.push_back(std::move(face));
    }
}

// An element the loader does not handle, read and dropped: nothing selected,
// so every property is read past.
void skipElement(ply_handle* ply, const char* element, int instances) {
    ply_select_properties(ply, element, 0, nullptr);
    unsigned char unused[16];
    for (int i = 0; i < instances; ++i) ply_get_element(ply, unused);
}

// Every element in header order, each reported with its count and its
// properties. Elements the loader does not handle are read past only while a
// handled one still follows; trailing ones are never read.
void readElements(const OpenPly& file, const std::string& fileName, Mesh& mesh) {
    int lastHandled = -1;
    for (int e = 0; e < file.elementCount; ++e)
        if (isHandled(file.elementNames[e])) lastHandled = e;

    for (int e = 0; e < file.elementCount; ++e) {
        const char* element = file.elementNames[e];
        int instances = 0;
        ElementProperties described;
        described.props = ply_element_properties(file.ply, element, &instances, &described.count);
        consolePrintf("element %s %d\n", element, instances);
        // In a binary file the instances of an element without properties
        // occupy no bytes: any count at all can be "read" from nothing.
        const bool holdsNoData = file.fileType != PLY_ASCII && described.count == 0;
        if (holdsNoData && instances > 0 && isHandled(element)) {
            consolePrintf(
                "element %s of %s has no properties: its %d instances hold no data and "
                "are not read\n",
                element, files::printableName(fileName).c_str(), instances);
            instances = 0;
        }
        if (words_equal("vertex", element))
            readVertices(file, element, described, instances, mesh);
        else if (words_equal("range_grid", element))
            readRaster(file, element, described, instances, mesh);
        else if (words_equal("face", element))
            readFaces(file.ply, element, described, instances, mesh);
        else if (e < lastHandled && !holdsNoData)
            skipElement(file.ply, element, instances);
        for (int p = 0; p < described.count; ++p)
            consolePrintf("property %s\n", described.props[p]->name);
    }
}

// Prints each of the header's texts ("comment = '...'") and returns them.
std::vector<std::string> reportTexts(char** texts, int count, const char* kind) {
    std::vector<std::string> kept;
    for (int i = 0; i < count; ++i) {
        consolePrintf("%s = '%s'\n", kind, texts[i]);
        kept.push_back(texts[i]);
    }
    return kept;
}

// Whether the cleaned file can reuse the source's captured header text
// (head, tail) around a new vertex count: an ASCII file of exactly "vertex"
// with x, y, z, then "range_grid" with one list, whose captured text reads
// back as the same header.
bool headerReusable(const OpenPly& file, const std::string& head, const std::string& tail) {
    if (file.fileType != PLY_ASCII || file.elementCount != 2) return false;
    if (!words_equal("vertex", file.elementNames[0]) ||
        !words_equal("range_grid", file.elementNames[1]))
        return false;
    int instances = 0;
    ElementProperties vertex, raster;
    vertex.props = ply_element_properties(file.ply, "vertex", &instances, &vertex.count);
    raster.props = ply_element_properties(file.ply, "range_grid", &instances, &raster.count);
    if (vertex.count != 3 || raster.count != 1 || raster.props[0]->is_list != 1) return false;
    for (int p = 0; p < 3; ++p) {
        const ply_property_def& found = *vertex.props[p];
        if (!words_equal(found.name, vertexProps[p].name) || found.is_list != 0) return false;
    }
    return headerReadsAlike(head, tail, file.ply);
}

}  // namespace

void PlyMesh::dropInvalidIndices() {
    const std::size_t n = vertices.size();
    std::size_t badCells = 0;
    for (int32_t& g : gridIndex) {
        if (g != -1 && !inIndexRange(g, n)) {
            g = -1;
            ++badCells;
        }
    }
    std::size_t kept = 0;
    for (std::size_t f = 0; f < faces.size(); ++f) {
        if (allInIndexRange(faces[f].vertexIndices, n)) {
            if (kept != f) faces[kept] = std::move(faces[f]);
            ++kept;
        }
    }
    const std::size_t badFaces = faces.size() - kept;
    faces.resize(kept);
    if (badCells > 0)
        consolePrintf("%zu range_grid cells of %s name no vertex; they are treated as empty\n",
                      badCells, files::printableName(fileName).c_str());
    if (badFaces > 0)
        consolePrintf("%zu faces of %s name vertices outside the %zu read; they are left out\n",
                      badFaces, files::printableName(fileName).c_str(), n);
}

PlyMesh::PlyMesh(int id_) : Mesh(id_) {}

Loaded<PlyMesh> PlyMesh::load(int id, const std::string& path, const PlyLoadOptions& options) {
    Loaded<PlyMesh> result;
    auto mesh = std::make_unique<PlyMesh>(id);
    try {
        const PlyFatalGuard guard;
        result.status = mesh->loadFile(path, options);
    } catch (const PlyReadEnded& end) {
        result.status = {LoadFailure::DataDamaged, "its data is damaged or ends early", end.status};
    }
    if (result.status.ok()) result.mesh = std::move(mesh);
    return result;
}

LoadStatus PlyMesh::captureHeader(const std::string& name) {
    std::string why;
    FILE* f = files::openRegularFile(name, &why);
    if (f == nullptr) return {LoadFailure::CannotOpen, why, 0};
    LoadStatus status;
    if (!firstWordIsPly(f))
        status = {LoadFailure::HeaderNotAccepted, kNotAccepted, 0};
    else if (const std::string end = headerEndProblem(fileno(f)); !end.empty())
        status = {LoadFailure::HeaderNotAccepted, end, 0};
    if (!status.ok()) {
        std::fclose(f);
        return status;
    }
    std::rewind(f);
    char line[256];
    bool inTail = false;
    long captured = 0;
    while (captured < kMaxHeaderBytes && std::fgets(line, sizeof line, f) != nullptr) {
        captured += static_cast<long>(std::strlen(line));
        if (!inTail) {
            if (std::strstr(line, "element vertex") != nullptr) {
                inTail = true;
                continue;
            }
            headerHead_ += line;
        } else {
            headerTail_ += line;
            if (std::strstr(line, "end_header") != nullptr) break;
        }
    }
    std::fclose(f);
    return status;
}

LoadStatus PlyMesh::loadFile(const std::string& name, const PlyLoadOptions& options) {
    fileName = name;
    clearGeometry();
    const std::string shown = files::printableName(fileName);
    consolePrintf("Reading coordinates from %s\n", shown.c_str());
    const LoadStatus captured = captureHeader(fileName);
    if (captured.failure == LoadFailure::CannotOpen) {
        // A file that is there but is no regular file says what it is.
        if (files::isNotRegularReason(captured.reason))
            consolePrintf("Could not open file %s: %s\n", shown.c_str(), captured.reason.c_str());
        else
            consolePrintf("Could not open file %s\n", shown.c_str());
        return captured;
    }
    if (!captured.ok()) {
        if (captured.reason == kNotAccepted)
            consolePrintf("Could not read file %s\n", shown.c_str());
        else
            consolePrintf("Could not read file %s: %s\n", shown.c_str(), captured.reason.c_str());
        return captured;
    }
    OpenPly file;
    if (!file.open(fileName)) {
        consolePrintf("Could not read file %s\n", shown.c_str());
        return {LoadFailure::HeaderNotAccepted, kNotAccepted, 0};
    }
    consolePrintf("version %f\n", static_cast<double>(file.version));
    consolePrintf("type %d\n", file.fileType);

    readRasterSize(file, *this);
    readElements(file, fileName, *this);
    int count = 0;
    char** texts = ply_comments(file.ply, &count);
    comments_ = reportTexts(texts, count, "comment");
    texts = ply_obj_infos(file.ply, &count);
    objInfos_ = reportTexts(texts, count, "obj_info");
    headerRewritable_ = headerReusable(file, headerHead_, headerTail_);
    file.close();

    finishLoad(options);
    return LoadStatus();
}

void PlyMesh::finishLoad(const PlyLoadOptions& options) {
    dropInvalidIndices();
    printFirstElements(*this);
    reportPlacement(*this, options.alone);
    const bool implicit = options.lean && trianglesInRaster(*this);
    if (faces.empty() || isRangeGrid) {
        ConsoleText() << "Finding faces..." << std::endl;
        if (!implicit) triangulateRangeGrid(*this, gridStep);
    }
    ConsoleText() << "Finding normals..." << std::endl;
    if (!options.normalsFromPose && !implicit) computeNormals();
    ConsoleText() << "Finding edges..." << std::endl;
    buildEdges();
    consolePrintf("Vertices: %d\n", vertexCount());
    consolePrintf("Edges: %d\n", edgeCount());
    consolePrintf("Faces: %d\n", faceCount());
    consolePrintf("Genus: %d (2-(V - E + F))/2\n", genus());
}
