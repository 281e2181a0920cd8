#include "scan/ply_mesh.h"
#include "scene/console.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

#include "libply/plyfile.h"
#include "scan/header_rewrite.h"
#include "scan/ply_fatal_guard.h"
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

bool isHandled(const char* element) {
    return words_equal("vertex", element) || words_equal("range_grid", element) ||
           words_equal("face", element);
}

// The integer after the first word of an obj_info line ("num_cols 640").
void readRasterSize(const char* line, int* out) {
    int value;
    if (std::sscanf(line, "%*s%d", &value) == 1) *out = value;
}

bool inVertexRange(int32_t index, std::size_t vertexCount) {
    return index >= 0 && static_cast<std::size_t>(index) < vertexCount;
}

// The library's handle and element names of one read, released however the
// read ends: a fatal end of the library may unwind through an exit handler
// that throws.
struct OpenPly {
    ply_handle* ply = nullptr;
    int elementCount = 0;
    char** elementNames = nullptr;
    ~OpenPly() { close(); }
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
            consolePrintf("property %s of element %s is %s: it is not read\n", wanted.name, element,
                        found.is_list ? "a list, not a single value" : "a single value, not a list");
            ply_select_properties(ply, element, 0, nullptr);  // the element is still read next
            return;
        }
        break;
    }
    ply_select_property(ply, element, &wanted);
}

}  // namespace

void PlyMesh::dropInvalidIndices() {
    const std::size_t n = vertices.size();
    std::size_t badCells = 0;
    for (int32_t& g : gridIndex) {
        if (g != -1 && !inVertexRange(g, n)) {
            g = -1;
            ++badCells;
        }
    }
    std::size_t kept = 0;
    for (std::size_t f = 0; f < faces.size(); ++f) {
        bool valid = true;
        for (int32_t vi : faces[f].vertexIndices) valid = valid && inVertexRange(vi, n);
        if (valid) {
            if (kept != f) faces[kept] = std::move(faces[f]);
            ++kept;
        }
    }
    const std::size_t badFaces = faces.size() - kept;
    faces.resize(kept);
    if (badCells > 0)
        consolePrintf("%zu range_grid cells of %s name no vertex; they are treated as empty\n",
                    badCells, fileName.c_str());
    if (badFaces > 0)
        consolePrintf("%zu faces of %s name vertices outside the %zu read; they are left out\n",
                    badFaces, fileName.c_str(), n);
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

bool PlyMesh::captureHeader(const std::string& name) {
    FILE* f = std::fopen(name.c_str(), "r");
    if (f == nullptr) return false;
    char line[256];
    bool inTail = false;
    while (std::fgets(line, sizeof line, f) != nullptr) {
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
    return true;
}

LoadStatus PlyMesh::loadFile(const std::string& name, const PlyLoadOptions& options) {
    fileName = name;
    clearGeometry();
    consolePrintf("Reading coordinates from %s\n", fileName.c_str());
    if (!captureHeader(fileName)) {
        const LoadStatus cannotOpen{LoadFailure::CannotOpen, std::strerror(errno), 0};
        consolePrintf("Could not open file %s\n", fileName.c_str());
        return cannotOpen;
    }

    OpenPly file;
    int fileType = 0;
    float version = 0.0f;
    file.ply = ply_open_read(fileName.c_str(), &file.elementCount, &file.elementNames, &fileType,
                             &version);
    ply_handle* ply = file.ply;
    const int elementCount = file.elementCount;
    char** const elementNames = file.elementNames;
    if (ply == nullptr) {
        consolePrintf("Could not read file %s\n", fileName.c_str());
        return {LoadFailure::HeaderNotAccepted, "not a PLY file the library accepts", 0};
    }
    consolePrintf("version %f\n", static_cast<double>(version));
    consolePrintf("type %d\n", fileType);

    int infoCount = 0;
    char** infos = ply_obj_infos(ply, &infoCount);
    for (int i = 0; i < infoCount; ++i) {
        if (std::strstr(infos[i], "num_cols") != nullptr) readRasterSize(infos[i], &gridCols);
        if (std::strstr(infos[i], "num_rows") != nullptr) readRasterSize(infos[i], &gridRows);
    }

    // Elements the loader does not handle are read past only while a handled
    // one still follows; trailing ones are never read.
    int lastHandled = -1;
    for (int e = 0; e < elementCount; ++e)
        if (isHandled(elementNames[e])) lastHandled = e;

    // Whether the cleaned file can reuse this header: ASCII, then exactly
    // "vertex" with x, y, z and "range_grid" with one list, in that order.
    bool rewritable = fileType == PLY_ASCII && elementCount == 2;
    for (int e = 0; e < elementCount; ++e) {
        const char* element = elementNames[e];
        int instances = 0;
        ElementProperties described;
        described.props = ply_element_properties(ply, element, &instances, &described.count);
        const int propertyCount = described.count;
        ply_property_def** props = described.props;
        consolePrintf("element %s %d\n", element, instances);
        // In a binary file the instances of an element without properties
        // occupy no bytes: any count at all can be "read" from nothing.
        const bool holdsNoData = fileType != PLY_ASCII && propertyCount == 0;
        if (holdsNoData && instances > 0 && isHandled(element)) {
            consolePrintf("element %s of %s has no properties: its %d instances hold no data and "
                        "are not read\n", element, fileName.c_str(), instances);
            instances = 0;
        }

        if (words_equal("vertex", element)) {
            bool xyz = e == 0 && propertyCount == 3;
            for (int p = 0; p < propertyCount && xyz; ++p)
                xyz = words_equal(props[p]->name, vertexProps[p].name) && props[p]->is_list == 0;
            rewritable = rewritable && xyz;
            for (const ply_property_def& d : vertexProps) selectIfShaped(ply, element, described, d);
            for (int i = 0; i < instances; ++i) {
                VertexRecord v{0.0f, 0.0f, 0.0f};
                ply_get_element(ply, &v);
                addVertex(Point3(v.x, v.y, v.z));
            }
        } else if (words_equal("range_grid", element)) {
            rewritable = rewritable && e == 1 && propertyCount == 1 && props[0]->is_list == 1;
            isRangeGrid = true;
            selectIfShaped(ply, element, described, gridProps[0]);
            for (int k = 0; k < instances; ++k) {
                gridIndex.push_back(-1);
                GridRecord g{0, nullptr};
                const ListStorage owned{&g.indices};
                ply_get_element(ply, &g);
                if (g.count >= 1 && g.indices != nullptr) gridIndex[k] = g.indices[0];
            }
        } else if (words_equal("face", element)) {
            rewritable = false;
            for (const ply_property_def& d : faceProps) selectIfShaped(ply, element, described, d);
            for (int i = 0; i < instances; ++i) {
                FaceRecord r{0, 0, nullptr};
                const ListStorage owned{&r.indices};
                ply_get_element(ply, &r);
                Face face(this, Vec4(0.0f, 0.0f, 0.0f, 1.0f));
                for (int j = 0; j < r.count && r.indices != nullptr; ++j)
                    face.vertexIndices.push_back(r.indices[j]);
                if (r.count < 3) consolePrintf("Invalid Polygon\n");
                faces.push_back(std::move(face));
            }
        } else {
            rewritable = false;
            if (e < lastHandled && !holdsNoData) {
                // Nothing selected: every property is read and dropped.
                ply_select_properties(ply, element, 0, nullptr);
                unsigned char unused[16];
                for (int i = 0; i < instances; ++i) ply_get_element(ply, unused);
            }
        }
        for (int p = 0; p < propertyCount; ++p) consolePrintf("property %s\n", props[p]->name);
    }

    int commentCount = 0;
    char** comments = ply_comments(ply, &commentCount);
    for (int i = 0; i < commentCount; ++i) {
        consolePrintf("comment = '%s'\n", comments[i]);
        comments_.push_back(comments[i]);
    }
    infos = ply_obj_infos(ply, &infoCount);
    for (int i = 0; i < infoCount; ++i) {
        consolePrintf("obj_info = '%s'\n", infos[i]);
        objInfos_.push_back(infos[i]);
    }
    // The captured text must carry the header over line for line.
    headerRewritable_ = rewritable && headerReadsAlike(headerHead_, headerTail_, ply);
    file.close();

    dropInvalidIndices();
    printFirstElements(*this);
    reportPlacement(*this, options.alone);
    if (faces.empty() || isRangeGrid) {
        ConsoleText() << "Finding faces..." << std::endl;
        triangulateRangeGrid(*this, gridStep);
    }
    ConsoleText() << "Finding normals..." << std::endl;
    if (!options.normalsFromPose) computeNormals();
    ConsoleText() << "Finding edges..." << std::endl;
    buildEdges();
    consolePrintf("Vertices: %d\n", vertexCount());
    consolePrintf("Edges: %d\n", edgeCount());
    consolePrintf("Faces: %d\n", faceCount());
    consolePrintf("Genus: %d (2-(V - E + F))/2\n", genus());
    return LoadStatus();
}
