// The scene-object module: the abstract SceneObject, materials, and the
// polygon Mesh with its faces, vertex normals, edge pairing, range-grid
// triangulation, .m reader and immediate-mode drawing.
//
// Ownership: a Mesh owns all of its lists by value; Face and Edge keep a
// plain, non-owning pointer back to their mesh. Scene objects are created
// with new by the loaders and live until the process ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "math/geometry.h"
#include "scene/index_list.h"

// Surface reflectance handed to OpenGL (glMaterialfv on GL_FRONT).
struct Material {
    Vec4 ambient{1.0f, 1.0f, 1.0f, 1.0f};   // RGBA
    Vec4 diffuse{1.0f, 1.0f, 1.0f, 1.0f};   // RGBA
    Vec4 specular{1.0f, 1.0f, 1.0f, 1.0f};  // RGBA
    float shininess = 1.0f;                 // specular exponent, 0..128 for OpenGL

    Material() = default;
    Material(const Vec4& ambient_, const Vec4& diffuse_, const Vec4& specular_, float shininess_)
        : ambient(ambient_), diffuse(diffuse_), specular(specular_), shininess(shininess_) {}
};

// glMaterialfv(GL_FRONT, ...) with ambient, diffuse, specular, then
// glMaterialf(GL_FRONT, GL_SHININESS, shininess).
void applyMaterial(Material m);

// Anything the viewer keeps in its scene list and draws each frame.
class SceneObject {
public:
    // Stores id and colour and resets the transform (base behaviour).
    SceneObject(int id, const Vec4& colour);
    virtual ~SceneObject() = default;

    // The four operations through which the shell treats every object alike.
    virtual void draw() = 0;
    virtual void resetTransform();  // position 0, scale 1, rotation identity
    virtual void setMaterial(Material m);
    virtual Vec3 getCenter() = 0;

    int getId() const { return id; }
    void translate(float dx, float dy, float dz);  // position += (dx, dy, dz)
    void translate(const Vec3& d) { translate(d.x, d.y, d.z); }
    void scale(float sx, float sy, float sz);  // scaleFactors *= (sx, sy, sz) componentwise
    void scale(const Vec3& s) { scale(s.x, s.y, s.z); }
    // rotation := rotation x q.toMatrix(): the newest rotation acts first.
    void rotate(const Quaternion& q);

    int id;                 // object number given by the creator
    Vec4 colour;            // flat colour
    Vec3 position;          // translation applied when drawn
    Vec3 scaleFactors;      // per-axis scale
    Matrix4 rotation;       // accumulated rotation
    Material material;      // surface material
    bool hasMaterial = false;  // setMaterial has been called
};

class Mesh;

enum DisplayMode { Points = 0, SparsePoints = 1, Wireframe = 2, Flat = 3, Smooth = 4 };

// One polygon of a mesh.
struct Face {
    Mesh* owner = nullptr;       // mesh whose lists the indices refer to (not owned)
    IndexList vertexIndices;     // 0-based corner indices, in file order
    Vec3 normal;                 // unit face normal from the first three corners
    Vec4 colour{0.0f, 0.0f, 0.0f, 1.0f};  // colour given in the input file (not drawn)
    Material material;           // material applied when the face is drawn

    Face() = default;
    Face(Mesh* owner_, const Vec4& colour_) : owner(owner_), colour(colour_) {}

    // Draws this polygon in its owner's display mode (Wireframe, Flat or Smooth).
    void draw();
    // Mean of the face's corners taken from the owner's worldVertices.
    Point3 computeCentroid() const;
};

// The mean of the corners that index `positions` (corners out of range, never
// baked or bad, are left out), or the origin when none does. Inline: the
// overlap analysis places every face of every scan by it.
inline Point3 centroidOf(const IndexList& corners, const std::vector<Point3>& positions) {
    float sx = 0.0f, sy = 0.0f, sz = 0.0f;
    std::size_t counted = 0;
    for (int32_t vi : corners) {
        if (vi < 0 || static_cast<std::size_t>(vi) >= positions.size()) continue;
        sx += positions[vi].x;
        sy += positions[vi].y;
        sz += positions[vi].z;
        ++counted;
    }
    if (counted == 0) return Point3(0.0f, 0.0f, 0.0f);
    const float n = static_cast<float>(counted);
    return Point3(sx / n, sy / n, sz / n);
}

// A vertex pair shared by two faces.
struct Edge {
    int32_t face0 = -1;       // face in which the edge runs lowVertex -> highVertex, or -1
    int32_t face1 = -1;       // the other face, or -1
    int32_t lowVertex = -1;   // the lower vertex index
    int32_t highVertex = -1;  // the higher vertex index
    Mesh* owner = nullptr;    // not owned
};

// What the .m reader left out of the mesh.
struct MeshReadReport {
    std::size_t droppedFaces = 0;  // Face lines not added (bad or missing vertex numbers)
    std::string firstDroppedLine;  // the first of them as parsed (at most 255 characters)
};

class Mesh : public SceneObject {
public:
    // Builds an empty mesh with the given id and loads a .m file into it.
    Mesh(int id, const char* fileName);
    // Builds an empty mesh without loading (derived classes, meshes built in code).
    explicit Mesh(int id);
    ~Mesh() override;

    void draw() override;
    void resetTransform() override;
    void setMaterial(Material m) override;  // also copied into every face
    Vec3 getCenter() override { return centroid; }

    // loaded = false, gridStep 1, isRangeGrid false, gridRows = gridCols = -1,
    // grazingThreshold 0.15, maxEdgeLength 0.001.
    void initDefaults();
    // Bounds empty (max = -FLT_MAX, min = FLT_MAX), centroid 0, Smooth, maxExtent 1.
    void resetBounds();

    bool isLoaded() const { return loaded; }
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
    // one unmeasured value (-FLT_MAX) per vertex to vertexValues, recomputes
    // normals, and resets the transform.
    void bakeWorldPositions();
    // Prints the first three vertices and faces when there are at least three of each.
    void printFirstElements() const;
    // After reading: maxExtent (the larger of the x and y extents; 1 when
    // there is none), the mean of the positions as centroid, and the four
    // report lines (extents, bounds, centre, scale). With moveAndScale the
    // mesh is also scaled by 1/maxExtent and translated by -centroid, which
    // puts it at the origin at unit size when drawn.
    void reportPlacement(bool moveAndScale);

    // Range-grid triangulation (column-major walk over the raster squares).
    void triangulateRangeGrid(int step);
    void addTriangle(int first, int second, int third, Vec3 viewDirection, bool keepGrazing);

    // .m reader. load reads the file, normalises the placement (centroid to
    // the origin, scale 1/maxExtent) and builds normals and edges, reporting
    // each step on standard output.
    void load(const char* fileName);
    // Parses every line of the input (at most 255 characters of each). Face
    // lines may name vertices listed later; a face whose vertex numbers are 0,
    // not numbers, or beyond the last Vertex line at the end of the input is
    // dropped and counted in the result.
    MeshReadReport readLines(std::istream& in);
    // Applies one line. A Face line naming a vertex not read yet, or with a
    // vertex number that is 0 or not a number, is not added; returns false
    // exactly then.
    bool parseLine(const char* line);

    // Report counts: V, E (paired edges only), F and the genus
    // (2 - (V - E + F)) / 2 in truncating integer arithmetic.
    int vertexCount() const { return static_cast<int>(vertices.size()); }
    int edgeCount() const { return static_cast<int>(edges.size()); }
    int faceCount() const { return static_cast<int>(faces.size()); }
    int genus() const { return (2 - (vertexCount() - edgeCount() + faceCount())) / 2; }

    Vec3 centroid;                      // sum of positions while reading, then their mean
    std::vector<Face> faces;
    std::vector<Point3> vertices;       // model positions, input order
    std::vector<Vec3> vertexNormals;    // one unit normal per vertex
    std::vector<Edge> edges;            // paired edges
    std::vector<int32_t> gridIndex;     // raster: row * gridCols + column -> vertex or -1
    std::vector<Point3> worldVertices;  // world positions (baked pose), or empty
    std::vector<float> vertexValues;    // one per world position; -FLT_MAX = not measured
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
    bool loaded = false;                // the input file was opened
    Vec3 inverseExtent;                 // 1 / maxExtent on all three axes
};
