// Mesh: a polygon mesh as the viewer keeps it in its scene: positions,
// faces, vertex normals, paired edges, an optional range-image raster, and
// once a pose is baked in, world positions with one overlap value each.
//
// Ownership: a Mesh owns all of its lists by value; its faces and edges
// point back to it without owning it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "math/geometry.h"
#include "scene/distance_colours.h"
#include "scene/edge.h"
#include "scene/face.h"
#include "scene/scene_object.h"

// How a mesh is drawn (Mesh::displayMode).
enum DisplayMode { Points = 0, SparsePoints = 1, Wireframe = 2, Flat = 3, Smooth = 4 };

class MeshArrays;

// The arrays a mesh was last drawn from. They belong to that one mesh: a copy
// of the mesh starts without any and makes its own when it is drawn.
class MeshArraysSlot {
public:
    MeshArraysSlot() = default;
    MeshArraysSlot(const MeshArraysSlot&) {}
    MeshArraysSlot& operator=(const MeshArraysSlot&) {
        reset();
        return *this;
    }
    ~MeshArraysSlot();
    MeshArrays* get() const { return arrays_; }
    void reset(MeshArrays* arrays = nullptr);  // deletes the arrays held

private:
    MeshArrays* arrays_ = nullptr;
};

class Mesh : public SceneObject {
public:
    // An empty mesh with the given id; the loaders (loadMeshFile,
    // PlyMesh::load) and the builders in code fill it.
    explicit Mesh(int id);
    ~Mesh() override;

    // Draws the mesh in its display mode (see DisplayMode), from arrays or one
    // vertex at a time as drawPath() says; the picture is the same.
    void draw() override;
    void resetTransform() override;
    void setMaterial(Material m) override;  // also copied into every face
    Vec3 getCenter() override { return centroid; }

    // gridStep 1, isRangeGrid false, gridRows = gridCols = -1,
    // grazingThreshold 0.15, maxEdgeLength 0.001.
    void initDefaults();
    // Bounds empty (max = -FLT_MAX, min = FLT_MAX), centroid 0, Smooth, maxExtent 1.
    void resetBounds();

    int getDisplayMode() const { return displayMode; }
    void setDisplayMode(int mode);  // modes of 5 and above are ignored

    // Building interface used by the loaders.
    void clearGeometry();  // empties faces, vertices, vertexNormals, edges; resetBounds()
    void addVertex(const Point3& p);  // appends, adds to centroid, widens the bounds

    // Face normals from the first three corners and unweighted unit vertex
    // normals, from worldVertices when present, else vertices.
    void computeNormals();
    // Pairs faces that share a vertex pair; prints "processed N edges in mapM".
    void buildEdges();
    // Appends rotation/position applied to every vertex to worldVertices,
    // one unmeasured value (kUnmeasured) per vertex to vertexValues, keeps the
    // pose in worldPose, recomputes normals (unless withNormals is false: a
    // scan that keeps none), and resets the transform.
    void bakeWorldPositions(bool withNormals = true);

    // What the mesh is drawn from has changed: the arrays prepared for drawing
    // are made again at the next frame. geometryChanged after positions
    // (vertices or worldVertices), faces or normals were changed in place
    // (clearGeometry, computeNormals and bakeWorldPositions call it
    // themselves); valuesChanged after vertexValues were changed (an analysis
    // ran). A list replaced by one of another size or place is noticed
    // without the call, but a call never hurts.
    void geometryChanged();
    void valuesChanged();
    uint64_t geometryVersion() const { return geometryVersion_; }
    uint64_t valuesVersion() const { return valuesVersion_; }
    uint64_t materialVersion() const { return materialVersion_; }  // moved by setMaterial

    // Positions the mesh is drawn from: worldVertices once a pose was baked in
    // (or a builder filled them), vertices otherwise.
    const std::vector<Point3>& drawPositions() const {
        return worldVertices.empty() ? vertices : worldVertices;
    }

    // Report counts: V, E (paired edges only), F and the genus
    // (2 - (V - E + F)) / 2 in truncating integer arithmetic.
    int vertexCount() const { return static_cast<int>(vertices.size()); }
    int edgeCount() const { return static_cast<int>(edges.size()); }
    int faceCount() const { return static_cast<int>(faces.size()); }
    int genus() const { return (2 - (vertexCount() - edgeCount() + faceCount())) / 2; }

    Vec3 centroid;  // sum of positions while reading, then their mean
    std::vector<Face> faces;
    std::vector<Point3> vertices;       // model positions, input order
    std::vector<Vec3> vertexNormals;    // one unit normal per vertex
    std::vector<Edge> edges;            // paired edges
    std::vector<int32_t> gridIndex;     // raster: row * gridCols + column -> vertex or -1
    std::vector<Point3> worldVertices;  // world positions (baked pose), or empty
    std::vector<float> vertexValues;    // one per world position; kUnmeasured = not measured
    Matrix4 worldPose;                  // the pose baked last: world = its 3x4 block x model
    Point3 bboxMax;                     // componentwise maximum of the positions read
    Point3 bboxMin;                     // componentwise minimum of the positions read
    float maxExtent = 1.0f;             // larger of the x and y extents
    int displayMode = Smooth;           // DisplayMode value
    bool isRangeGrid = false;           // the input carried a range grid
    int gridStep = 1;                   // sampling step of the grid triangulation
    int gridRows = -1;                  // raster rows
    int gridCols = -1;                  // raster columns
    float grazingThreshold = 0.15f;     // |n . view| below this is grazing
    float maxEdgeLength = 0.001f;       // longest edge from a grid triangle's first corner
    std::string fileName;               // name of the loaded file
    Vec3 inverseExtent;                 // 1 / maxExtent on all three axes

    // Colour by distance: whether the mesh has one value per drawn position
    // (a scan of a configuration after its pose was baked in).
    bool hasDistanceValues() const;
    // One colour per drawn position under `scale`, refilled only when the
    // scale or the number of positions changed (the values are fixed once the
    // analysis has run). Ready for a colour array; empty until first asked.
    const std::vector<ColourRGBA>& distanceColours(const DistanceScale& scale);
    // Moved each time distanceColours() refills its array.
    uint64_t distanceColoursVersion() const { return distanceColoursVersion_; }

private:
    std::vector<ColourRGBA> distanceColours_;  // cache of distanceColours()
    std::size_t distanceColoursCount_ = 0;     // positions it was filled for
    uint64_t distanceColoursValues_ = 0;       // valuesVersion_ it was filled for
    uint64_t distanceColoursVersion_ = 0;      // refills so far
    DistanceScale distanceColoursScale_;       // scale it was filled with
    const ColourRGBA* drawColours_ = nullptr;  // per-vertex colours while draw() runs, or null
    uint64_t geometryVersion_ = 0;
    uint64_t valuesVersion_ = 0;
    uint64_t materialVersion_ = 0;
    MeshArraysSlot arrays_;      // the array paths' arrays, made at the first frame
    bool arraysFailed_ = false;  // arrays could not be made: drawn immediately
    friend struct Face;
};
