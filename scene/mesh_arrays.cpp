#include "scene/mesh_arrays.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <new>

#include "scene/index_range.h"
#include "scene/materials.h"
#include "scene/mesh.h"
#include "scene/scene_state.h"

namespace {

uint32_t bitsOf(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

bool sameMaterial(const Material& a, const Material& b) {
    const auto same = [](const Vec4& u, const Vec4& v) {
        return u.x == v.x && u.y == v.y && u.z == v.z && u.w == v.w;
    };
    return same(a.ambient, b.ambient) && same(a.diffuse, b.diffuse) &&
           same(a.specular, b.specular) && a.shininess == b.shininess;
}

void append(std::vector<float>* out, float x, float y, float z) {
    out->push_back(x);
    out->push_back(y);
    out->push_back(z);
}

// Whether a face's corners are drawn at all: the immediate drawing leaves out
// a face naming a position that does not exist.
bool drawn(const Face& f, std::size_t positions) {
    return allInIndexRange(f.vertexIndices, positions);
}

// The stamp of everything made from the faces: their layout, normals and
// materials, and the positions they name.
MeshArrays::Stamp facesStamp(const Mesh& mesh) {
    MeshArrays::Stamp s;
    s.valid = true;
    s.versions = {mesh.geometryVersion(), mesh.materialVersion(), 0};
    s.addresses = {mesh.faces.data(), mesh.vertexNormals.data(), mesh.drawPositions().data()};
    s.sizes = {mesh.faces.size(), mesh.vertexNormals.size(), mesh.drawPositions().size()};
    s.numbers = {bitsOf(mesh.scaleFactors.x), 0};
    return s;
}

// The stamp of what is made from every `stride`-th face in the mesh's
// display mode.
MeshArrays::Stamp facesStamp(const Mesh& mesh, std::size_t stride) {
    MeshArrays::Stamp s = facesStamp(mesh);
    s.versions[2] = stride;
    s.numbers[1] = static_cast<uint32_t>(mesh.displayMode);
    return s;
}

// Whether faces are drawn with one normal and one material each: Flat and
// Wireframe (and any mode outside 0..4, drawn as Flat) without distance
// colours.
bool facesOfOneNormal(const Mesh& mesh, const std::vector<ColourRGBA>* colours) {
    const int mode = mesh.displayMode;
    return colours == nullptr && mode != Points && mode != SparsePoints && mode != Smooth;
}

void sendVertex(const Point3& p) {
    glVertex3f(p.x, p.y, p.z);
}

// Every `stride`-th face of a Flat or Wireframe mesh in its material, as the
// content of a display list that gives the immediate drawing's pixels.
//
// The immediate drawing sends, per face, the material and the face's normal
// before glBegin. Mesa's renderer keeps attributes given between primitives
// in the vertices that follow only once a vertex has been stored since its
// last flush: the first face after a flush (the matrix calls that start
// each mesh flush) is drawn with its normal as a constant, and every later
// face with it as an attribute of each vertex. The two are lit in different
// programs, whose results differ by one colour level at a few pixels, so
// neither arrays (the normal an attribute of the first face too) nor a list
// of the very calls (replayed one face at a time, each with constants, and
// slower than the calls) reproduce the picture. This list does: the first
// face as the immediate drawing sends it (normal and material before its
// glBegin), then all the others as one GL_TRIANGLES or GL_LINES primitive
// with the normal given inside it (stored per vertex, replayed in one draw).
// The material is given inside only where a face's differs from the one
// current: a mesh in one material stores 24 bytes per corner, not 76 (the
// renderer lights a material held as a constant and one repeated in every
// vertex to the same pixels). A face of no or more than eight corners lets
// the next one start over with constants (the renderer then clears the
// attributes it holds before taking new ones), so it is sent the same way.
// The triangles of a polygon are (c[i-1], c[i], c0) and a line loop its
// sides, as the renderer cuts them; faces naming a missing position are
// left out, their material being sent only where it would be current after
// the mesh.
//
// Each corner stays a vertex of its own, though corners shared between
// faces could be stored once with any normal (flat shading reads the last
// corner only): after the smooth-shaded corner markers, drawn as smooth
// points, the renderer interpolates the colours of the faces a list draws
// as if they were smooth, so the picture is the immediate one only while
// every corner of a face carries the face's colour.
void sendFaceList(const Mesh& mesh, std::size_t stride) {
    const std::vector<Point3>& positions = mesh.drawPositions();
    const std::size_t n = positions.size();
    const bool wire = mesh.displayMode == Wireframe;
    const float normalScale = mesh.scaleFactors.x;
    bool constants = true;  // the next face gives its normal and material before glBegin
    bool open = false;      // inside the GL_TRIANGLES or GL_LINES of the later faces
    const Material* current = nullptr;  // the material last given; none before the first face drawn
    const Face* last = nullptr;         // the last face visited
    for (std::size_t f = 0; f < mesh.faces.size(); f += stride) {
        const Face& face = mesh.faces[f];
        last = &face;
        if (!drawn(face, n)) continue;
        const IndexList& c = face.vertexIndices;
        const Vec3 normal = face.normal.scaled(normalScale);
        const auto corner = [&](std::size_t i) { sendVertex(positions[std::size_t(c[i])]); };
        if (current == nullptr) {
            glShadeModel(GL_FLAT);
            if (wire) glLineWidth(1.0f);
        }
        if (constants) {
            if (open) glEnd();
            open = false;
            applyMaterial(face.material);
            current = &face.material;
            glNormal3f(normal.x, normal.y, normal.z);
            glBegin(wire ? GL_LINE_LOOP : GL_POLYGON);
            for (std::size_t i = 0; i < c.size(); ++i) corner(i);
            glEnd();
            constants = c.empty() || c.size() > 8;
            continue;
        }
        if (!open) {
            glBegin(wire ? GL_LINES : GL_TRIANGLES);
            open = true;
        }
        if (!sameMaterial(*current, face.material)) {
            applyMaterial(face.material);
            current = &face.material;
        }
        glNormal3f(normal.x, normal.y, normal.z);
        if (wire && c.size() >= 2) {
            for (std::size_t i = 0; i < c.size(); ++i) {
                corner(i);
                corner((i + 1) % c.size());
            }
        } else if (!wire) {
            for (std::size_t i = 2; i < c.size(); ++i) {
                corner(i - 1);
                corner(i);
                corner(0);
            }
        }
    }
    if (open) glEnd();
    // The immediate drawing applies the material of a face it leaves out too.
    if (last != nullptr && !drawn(*last, n)) applyMaterial(last->material);
}

}  // namespace

bool GlList::begin() {
    clear();
    while (glGetError() != GL_NO_ERROR) {
    }
    name_ = glGenLists(1);
    if (name_ == 0) return false;
    glNewList(name_, GL_COMPILE);
    return true;
}

bool GlList::end() {
    glEndList();
    if (glGetError() == GL_OUT_OF_MEMORY) {
        clear();
        return false;
    }
    return true;
}

void GlList::call() const {
    if (name_ != 0) glCallList(name_);
}

void GlList::clear() {
    if (name_ != 0) glDeleteLists(name_, 1);
    name_ = 0;
}

template <class T>
bool GlArray<T>::store(std::vector<T>&& data, unsigned target, bool buffers) {
    clear();
    size_ = data.size();
    if (!buffers) {
        client_ = std::move(data);
        return true;
    }
    glGenBuffers(1, &buffer_);
    glBindBuffer(target, buffer_);
    while (glGetError() != GL_NO_ERROR) {
    }
    glBufferData(target, static_cast<GLsizeiptr>(data.size() * sizeof(T)), data.data(),
                 GL_STATIC_DRAW);
    const bool stored = glGetError() != GL_OUT_OF_MEMORY;
    glBindBuffer(target, 0);
    std::vector<T>().swap(data);
    if (!stored) clear();
    return stored;
}

template <class T>
const void* GlArray<T>::bind(unsigned target, std::size_t first) const {
    if (buffer_ == 0) return client_.data() + first;
    glBindBuffer(target, buffer_);
    return reinterpret_cast<const void*>(first * sizeof(T));
}

template <class T>
void GlArray<T>::clear() {
    if (buffer_ != 0) glDeleteBuffers(1, &buffer_);
    buffer_ = 0;
    std::vector<T>().swap(client_);
    size_ = 0;
}

MeshArraysSlot::~MeshArraysSlot() {
    reset();
}

void MeshArraysSlot::reset(MeshArrays* arrays) {
    delete arrays_;
    arrays_ = arrays;
}

template class GlArray<float>;
template class GlArray<uint32_t>;
template class GlArray<ColourRGBA>;

bool MeshArrays::prepare(Mesh& mesh, const std::vector<ColourRGBA>* colours, std::size_t stride) {
    try {
        const std::vector<Point3>& positions = mesh.drawPositions();
        Stamp s;
        s.valid = true;
        s.versions = {mesh.geometryVersion(), 0, 0};
        s.addresses = {positions.data(), nullptr, nullptr};
        s.sizes = {positions.size(), 0, 0};
        if (positions_.stamp != s) {
            std::vector<float> xyz;
            xyz.reserve(3 * positions.size());
            for (const Point3& p : positions) append(&xyz, p.x, p.y, p.z);
            if (!positions_.array.store(std::move(xyz), GL_ARRAY_BUFFER, buffers())) return false;
            positions_.stamp = s;
        }
        if (colours != nullptr) {
            s.versions = {mesh.distanceColoursVersion(), 0, 0};
            s.addresses = {colours->data(), nullptr, nullptr};
            s.sizes = {colours->size(), 0, 0};
            if (colours_.stamp != s) {
                std::vector<ColourRGBA> copy(*colours);
                if (!colours_.array.store(std::move(copy), GL_ARRAY_BUFFER, buffers()))
                    return false;
                colours_.stamp = s;
            }
        }
        if (facesOfOneNormal(mesh, colours)) {
            if (!prepareFaceList(mesh, 1) || (stride > 1 && !prepareFaceList(mesh, stride)))
                return false;
        } else if (mesh.displayMode != Points && mesh.displayMode != SparsePoints &&
                   (!prepareFaces(mesh, mesh.displayMode == Smooth, colours) ||
                    (stride > 1 && !prepareThinned(mesh, stride)))) {
            return false;
        }
        if (showTossedPoints) {
            s.versions = {mesh.valuesVersion(), mesh.geometryVersion(), 0};
            s.addresses = {mesh.vertexValues.data(), mesh.worldVertices.data(), nullptr};
            s.sizes = {mesh.vertexValues.size(), mesh.worldVertices.size(), 0};
            s.numbers = {bitsOf(tossThreshold), 0};
            if (tossed_.stamp != s) {
                const std::size_t n = std::min(mesh.vertexValues.size(), mesh.worldVertices.size());
                std::vector<uint32_t> indices;
                for (std::size_t i = 0; i < n; ++i)
                    if (mesh.vertexValues[i] > tossThreshold)
                        indices.push_back(static_cast<uint32_t>(i));
                if (!tossed_.array.store(std::move(indices), GL_ELEMENT_ARRAY_BUFFER, buffers()))
                    return false;
                tossed_.stamp = s;
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool MeshArrays::prepareFaces(Mesh& mesh, bool smooth, const std::vector<ColourRGBA>* colours) {
    const Stamp s = facesStamp(mesh);
    const std::vector<Point3>& positions = mesh.drawPositions();
    const std::size_t n = positions.size();
    const float normalScale = mesh.scaleFactors.x;
    // The normal the immediate drawing sends with position i.
    const auto vertexNormal = [&](std::size_t i) {
        return i < mesh.vertexNormals.size() ? mesh.vertexNormals[i].scaled(normalScale) : Vec3();
    };

    if (layout_.stamp != s) {
        Layout l;
        std::size_t triangles = 0, lines = 0;
        for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
            const Face& face = mesh.faces[f];
            if (l.runs.empty() ||
                !sameMaterial(face.material, mesh.faces[l.runs.back().face].material))
                l.runs.push_back({f, triangles, 0, lines, 0});
            if (!drawn(face, n)) continue;
            const IndexList& c = face.vertexIndices;
            l.anyFaceDrawn = true;
            l.flatNormalSent = true;
            l.flatLastNormal = face.normal.scaled(normalScale);
            if (!c.empty()) {
                l.smoothNormalSent = true;
                l.smoothLastNormal = vertexNormal(static_cast<std::size_t>(c[c.size() - 1]));
                l.cornerSent = true;
                l.lastCorner = static_cast<uint32_t>(c[c.size() - 1]);
            }
            Run& run = l.runs.back();
            if (c.size() >= 3) {
                run.triangleCount += 3 * (c.size() - 2);
                triangles += 3 * (c.size() - 2);
            }
            if (c.size() >= 2) {
                run.lineCount += 2 * c.size();
                lines += 2 * c.size();
            }
        }
        l.stamp = s;
        layout_ = std::move(l);
    }

    if (smooth) {
        if (normals_.stamp != s) {
            std::vector<float> normals;
            normals.reserve(3 * n);
            for (std::size_t i = 0; i < n; ++i) {
                const Vec3 v = vertexNormal(i);
                append(&normals, v.x, v.y, v.z);
            }
            if (!normals_.array.store(std::move(normals), GL_ARRAY_BUFFER, buffers())) return false;
            normals_.stamp = s;
        }
        if (smoothTriangles_.stamp != s) {
            std::vector<uint32_t> indices;
            for (const Face& face : mesh.faces) {
                if (!drawn(face, n)) continue;
                const IndexList& c = face.vertexIndices;
                for (std::size_t i = 2; i < c.size(); ++i) {
                    indices.push_back(static_cast<uint32_t>(c[i - 1]));
                    indices.push_back(static_cast<uint32_t>(c[i]));
                    indices.push_back(static_cast<uint32_t>(c[0]));
                }
            }
            if (!smoothTriangles_.array.store(std::move(indices), GL_ELEMENT_ARRAY_BUFFER,
                                              buffers()))
                return false;
            smoothTriangles_.stamp = s;
        }
        return true;
    }

    const bool wire = mesh.displayMode == Wireframe;
    if (cornerPositions_.stamp != s) {
        std::vector<float> xyz, normals;
        for (const Face& face : mesh.faces) {
            if (!drawn(face, n)) continue;
            const Vec3 normal = face.normal.scaled(normalScale);
            for (int32_t vi : face.vertexIndices) {
                const Point3& p = positions[static_cast<std::size_t>(vi)];
                append(&xyz, p.x, p.y, p.z);
                append(&normals, normal.x, normal.y, normal.z);
            }
        }
        cornerNormals_.stamp = Stamp();
        if (!cornerPositions_.array.store(std::move(xyz), GL_ARRAY_BUFFER, buffers()) ||
            !cornerNormals_.array.store(std::move(normals), GL_ARRAY_BUFFER, buffers()))
            return false;
        cornerPositions_.stamp = s;
        cornerNormals_.stamp = s;
    }
    Cached<uint32_t>& indices = wire ? outlines_ : flatTriangles_;
    if (indices.stamp != s) {
        std::vector<uint32_t> list;
        uint32_t base = 0;
        for (const Face& face : mesh.faces) {
            if (!drawn(face, n)) continue;
            const auto corners = static_cast<uint32_t>(face.vertexIndices.size());
            if (wire && corners >= 2) {
                for (uint32_t i = 0; i < corners; ++i) {
                    list.push_back(base + i);
                    list.push_back(base + (i + 1) % corners);
                }
            } else if (!wire) {
                for (uint32_t i = 2; i < corners; ++i) {
                    list.push_back(base + i - 1);
                    list.push_back(base + i);
                    list.push_back(base);
                }
            }
            base += corners;
        }
        if (!indices.array.store(std::move(list), GL_ELEMENT_ARRAY_BUFFER, buffers())) return false;
        indices.stamp = s;
    }
    if (colours != nullptr) {
        Stamp c = s;
        c.versions[2] = mesh.distanceColoursVersion();
        if (cornerColours_.stamp != c) {
            std::vector<ColourRGBA> list;
            list.reserve(cornerPositions_.array.size() / 3);
            for (const Face& face : mesh.faces) {
                if (!drawn(face, n)) continue;
                for (int32_t vi : face.vertexIndices)
                    list.push_back((*colours)[static_cast<std::size_t>(vi)]);
            }
            if (!cornerColours_.array.store(std::move(list), GL_ARRAY_BUFFER, buffers()))
                return false;
            cornerColours_.stamp = c;
        }
    }
    return true;
}

bool MeshArrays::prepareFaceList(const Mesh& mesh, std::size_t stride) {
    const Stamp s = facesStamp(mesh, stride);
    CachedList& cached = stride > 1 ? thinnedFaceList_ : faceList_;
    if (cached.stamp == s) return true;
    cached.stamp = Stamp();
    if (!cached.list.compile([&] { sendFaceList(mesh, stride); })) return false;
    cached.stamp = s;
    return true;
}

bool MeshArrays::prepareThinned(const Mesh& mesh, std::size_t stride) {
    const Stamp s = facesStamp(mesh, stride);
    if (thinned_.stamp == s) return true;
    const bool smooth = mesh.displayMode == Smooth, wire = mesh.displayMode == Wireframe;
    const std::size_t n = mesh.drawPositions().size();
    std::vector<uint32_t> list;
    std::vector<Run> runs;
    uint32_t base = 0;  // the face's first corner in the per-corner arrays
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        const Face& face = mesh.faces[f];
        if (runs.empty() || !sameMaterial(face.material, mesh.faces[runs.back().face].material))
            runs.push_back({f, list.size(), 0, list.size(), 0});
        if (!drawn(face, n)) continue;
        const IndexList& c = face.vertexIndices;
        const auto corners = static_cast<uint32_t>(c.size());
        // The index list of the mode, as prepareFaces makes it, for this face.
        const auto corner = [&](uint32_t i) {
            return smooth ? static_cast<uint32_t>(c[i]) : base + i;
        };
        if (f % stride == 0) {
            const std::size_t before = list.size();
            if (wire && corners >= 2) {
                for (uint32_t i = 0; i < corners; ++i) {
                    list.push_back(corner(i));
                    list.push_back(corner((i + 1) % corners));
                }
            } else if (!wire) {
                for (uint32_t i = 2; i < corners; ++i) {
                    list.push_back(corner(i - 1));
                    list.push_back(corner(i));
                    list.push_back(corner(0));
                }
            }
            (wire ? runs.back().lineCount : runs.back().triangleCount) += list.size() - before;
        }
        base += corners;
    }
    if (!thinned_.array.store(std::move(list), GL_ELEMENT_ARRAY_BUFFER, buffers())) return false;
    thinned_.stamp = s;
    thinnedRuns_ = std::move(runs);
    return true;
}

void MeshArrays::drawGeometry(const Mesh& mesh, const std::vector<ColourRGBA>* colours,
                              std::size_t stride) {
    if (facesOfOneNormal(mesh, colours)) {
        (stride > 1 ? thinnedFaceList_ : faceList_).list.call();
        return;
    }
    const int mode = mesh.displayMode;
    const bool points = mode == Points || mode == SparsePoints;
    const bool smooth = mode == Smooth;
    const bool wire = mode == Wireframe;
    const bool thin = stride > 1 && !points;

    // The arrays of the mode: per position for points and Smooth, per corner
    // for the flat-shaded modes.
    const GlArray<float>& xyz = points || smooth ? positions_.array : cornerPositions_.array;
    const GlArray<ColourRGBA>& rgba = points || smooth ? colours_.array : cornerColours_.array;
    const GlArray<float>& normals = smooth ? normals_.array : cornerNormals_.array;
    // Sparse points: every 20th position, from the first.
    const std::size_t every =
        points ? (mode == SparsePoints ? 20 : 1) * (stride > 1 ? stride : 1) : 1;

    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, static_cast<GLsizei>(every * 3 * sizeof(float)),
                    xyz.bind(GL_ARRAY_BUFFER));
    if (colours != nullptr) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_UNSIGNED_BYTE, static_cast<GLsizei>(every * sizeof(ColourRGBA)),
                       rgba.bind(GL_ARRAY_BUFFER));
    }
    if (!points) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, normals.bind(GL_ARRAY_BUFFER));
    }

    std::size_t lastColour = 0;  // position whose colour was sent last
    bool colourSent = false;
    if (points) {
        glEnable(GL_POINT_SMOOTH);
        glPointSize(3.0f);
        const std::size_t n = positions_.array.size() / 3;
        const std::size_t count = n == 0 ? 0 : (n - 1) / every + 1;
        if (count > 0) {
            glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(count));
            lastColour = (count - 1) * every;
            colourSent = true;
        }
    } else {
        if (layout_.anyFaceDrawn) {
            glShadeModel(smooth ? GL_SMOOTH : GL_FLAT);
            if (wire) glLineWidth(1.0f);
        }
        const GlArray<uint32_t>& indices = thin     ? thinned_.array
                                           : smooth ? smoothTriangles_.array
                                           : wire   ? outlines_.array
                                                    : flatTriangles_.array;
        for (const Run& run : thin ? thinnedRuns_ : layout_.runs) {
            applyMaterial(mesh.faces[run.face].material);
            const std::size_t first = wire ? run.lineFirst : run.triangleFirst;
            const std::size_t count = wire ? run.lineCount : run.triangleCount;
            if (count > 0)
                glDrawElements(wire ? GL_LINES : GL_TRIANGLES, static_cast<GLsizei>(count),
                               GL_UNSIGNED_INT, indices.bind(GL_ELEMENT_ARRAY_BUFFER, first));
        }
        lastColour = layout_.lastCorner;
        colourSent = layout_.cornerSent;
    }

    glDisableClientState(GL_VERTEX_ARRAY);
    if (colours != nullptr) glDisableClientState(GL_COLOR_ARRAY);
    if (!points) glDisableClientState(GL_NORMAL_ARRAY);
    if (buffers()) {
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    }
    // The current normal and colour the last vertex sent one at a time would
    // have left: whatever is drawn next without its own is lit by them.
    if (!points) {
        const bool sent = smooth ? layout_.smoothNormalSent : layout_.flatNormalSent;
        const Vec3& n = smooth ? layout_.smoothLastNormal : layout_.flatLastNormal;
        if (sent) glNormal3f(n.x, n.y, n.z);
    }
    if (colours != nullptr && colourSent) glColor4ubv(&(*colours)[lastColour].r);
}

void MeshArrays::drawTossed() {
    glEnable(GL_POINT_SMOOTH);
    applyMaterial(highlightMaterial);
    const std::size_t count = tossed_.array.size();
    if (count == 0) return;
    glPointSize(1.0f);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions_.array.bind(GL_ARRAY_BUFFER));
    glDrawElements(GL_POINTS, static_cast<GLsizei>(count), GL_UNSIGNED_INT,
                   tossed_.array.bind(GL_ELEMENT_ARRAY_BUFFER));
    glDisableClientState(GL_VERTEX_ARRAY);
    if (buffers()) {
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    }
}
