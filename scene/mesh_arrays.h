// MeshArrays: what a mesh is drawn from on the array paths (client arrays or
// buffer objects): its positions, normals and colours, the same per face
// corner for the flat-shaded modes, index lists, the runs of faces of one
// material and the tossed points. Each is prepared when first needed and
// again only when what it was made from changes (the mesh's geometry,
// values, materials, normal scale, distance colours or threshold); a frame
// prepares nothing, allocates nothing, and draws with a few calls per run of
// faces of one material.
//
// The picture is the immediate drawing's: every primitive reaches the
// rasteriser with the same vertices in the same order (a polygon of corners
// c0..cn-1 as the triangles (c[i-1], c[i], c0), which keeps c0 the
// provoking vertex of flat shading; a line loop as its sides in order), with
// the same normals, colours (bytes, as glColor4ubv sends them), materials and
// state; after a draw the current normal and colour are those the last
// vertex sent in immediate mode would have left, so that whatever is drawn
// next is lit the same.
//
// Flat and Wireframe faces in their material (one normal and one material
// per face, no distance colours) are a display list instead, compiled once
// per change and replayed as one primitive: see sendFaceList in
// mesh_arrays.cpp for why arrays would not give their pixels.
//
// Owned by its Mesh; deleting it deletes its buffer objects and display
// lists, so the GL context must still be current if any were made.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "math/vec3.h"
#include "scene/distance_colours.h"
#include "scene/draw_path.h"

class Mesh;

// One vertex attribute or index list: in a buffer object, or in memory for
// client arrays.
template <class T>
class GlArray {
public:
    GlArray() = default;
    GlArray(const GlArray&) = delete;
    GlArray& operator=(const GlArray&) = delete;
    ~GlArray() { clear(); }

    // Takes `data` over: uploaded into a buffer object bound to `target` (and
    // freed) when `buffers`, kept in memory otherwise. False when the context
    // is out of memory (the array is then empty).
    bool store(std::vector<T>&& data, unsigned target, bool buffers);
    // Binds the buffer object to `target` (client arrays: binds none) and
    // returns the pointer argument for element `first` of gl*Pointer and
    // glDrawElements.
    const void* bind(unsigned target, std::size_t first = 0) const;
    std::size_t size() const { return size_; }
    // Deletes the buffer object or frees the memory.
    void clear();

private:
    unsigned buffer_ = 0;    // buffer object name, 0 on the client path
    std::vector<T> client_;  // the data on the client path
    std::size_t size_ = 0;   // elements stored
};

// One display list, deleted with its owner.
class GlList {
public:
    GlList() = default;
    GlList(const GlList&) = delete;
    GlList& operator=(const GlList&) = delete;
    ~GlList() { clear(); }

    // Compiles what `send` issues (GL_COMPILE: nothing is drawn). False when
    // the context is out of memory (the list is then empty).
    template <class Send>
    bool compile(Send send) {
        if (!begin()) return false;
        send();
        return end();
    }
    void call() const;
    void clear();

private:
    bool begin();
    bool end();
    unsigned name_ = 0;  // 0: none
};

class MeshArrays {
public:
    // path: DrawPath::ClientArrays or DrawPath::BufferObjects.
    explicit MeshArrays(DrawPath path) : path_(path) {}
    MeshArrays(const MeshArrays&) = delete;
    MeshArrays& operator=(const MeshArrays&) = delete;

    DrawPath path() const { return path_; }

    // Makes what the mesh's display mode needs, if it changed. `colours`:
    // one per position while colouring by distance, else null. False when
    // the arrays cannot be made (out of memory); nothing has been drawn then
    // and the caller draws in immediate mode.
    // `stride` k above 1: while the camera moves, only every k-th face (or
    // point) is drawn, and the index lists of those faces are made too.
    bool prepare(Mesh& mesh, const std::vector<ColourRGBA>* colours, std::size_t stride = 1);
    // The mesh's points or faces in its display mode, as the immediate
    // drawing sends them between its material and the tossed points; with a
    // `stride` k above 1, only every k-th face or point, as the immediate
    // drawing's loops with that step send them.
    void drawGeometry(const Mesh& mesh, const std::vector<ColourRGBA>* colours,
                      std::size_t stride = 1);
    // The tossed points, as the immediate drawing sends them.
    void drawTossed();

    // What an array was made from: versions of the mesh, the addresses and
    // sizes of the lists read (so that a list replaced or resized without
    // the mesh being told is still noticed), and numbers such as scales.
    struct Stamp {
        std::array<uint64_t, 3> versions{};      // geometry, values, material or colours
        std::array<const void*, 3> addresses{};  // lists read
        std::array<std::size_t, 3> sizes{};      // their sizes
        std::array<uint32_t, 2> numbers{};       // bits of a scale or threshold
        bool valid = false;                      // false: made from nothing yet
        bool operator==(const Stamp& o) const {
            return valid == o.valid && versions == o.versions && addresses == o.addresses &&
                   sizes == o.sizes && numbers == o.numbers;
        }
        bool operator!=(const Stamp& o) const { return !(*this == o); }
    };

    // Faces from `face` on share its material and draw triangles
    // [triangleFirst, + triangleCount) and sides [lineFirst, + lineCount) of
    // the index lists, in elements.
    struct Run {
        std::size_t face;
        std::size_t triangleFirst, triangleCount;
        std::size_t lineFirst, lineCount;
    };

private:
    template <class T>
    struct Cached {
        GlArray<T> array;
        Stamp stamp;
    };
    // Face layout and everything that follows from faces alone.
    struct Layout {
        std::vector<Run> runs;
        bool anyFaceDrawn = false;      // some face names only existing positions
        bool smoothNormalSent = false;  // smoothLastNormal holds the last normal sent
        Vec3 smoothLastNormal;          // the last corner's normal (Smooth)
        bool flatNormalSent = false;
        Vec3 flatLastNormal;  // the last drawn face's normal (Flat, Wireframe)
        bool cornerSent = false;
        uint32_t lastCorner = 0;  // position of the last corner sent in the face modes
        Stamp stamp;
    };

    struct CachedList {
        GlList list;
        Stamp stamp;
    };

    bool prepareFaces(Mesh& mesh, bool smooth, const std::vector<ColourRGBA>* colours);
    bool prepareFaceList(const Mesh& mesh, std::size_t stride);
    bool prepareThinned(const Mesh& mesh, std::size_t stride);
    bool buffers() const { return path_ == DrawPath::BufferObjects; }

    DrawPath path_;
    Cached<float> positions_;           // x, y, z per drawn position
    Cached<ColourRGBA> colours_;        // per drawn position (colour by distance)
    Cached<float> normals_;             // the vertex normals, scaled, per drawn position
    Cached<uint32_t> smoothTriangles_;  // fans over the positions
    Cached<float> cornerPositions_;     // per corner of each drawn face, in face order
    Cached<float> cornerNormals_;       // the face's normal, scaled, per corner
    Cached<ColourRGBA> cornerColours_;  // the corner's position's colour
    Cached<uint32_t> flatTriangles_;    // fans over the corners
    Cached<uint32_t> outlines_;         // the faces' sides over the corners
    Cached<uint32_t> tossed_;           // positions whose value is above the threshold
    Cached<uint32_t> thinned_;          // the mode's index list of every k-th face only
    std::vector<Run> thinnedRuns_;      // its runs of one material
    CachedList faceList_;               // Flat or Wireframe faces in their material
    CachedList thinnedFaceList_;        // the same of every k-th face only
    Layout layout_;
};
