// Frame time per display mode, in the material and coloured by distance,
// of generated tori of a given number of triangles: drawn the old way (one
// call per vertex), drawn as the viewer draws now (arrays prepared once, in
// buffer objects), and a minimal reference drawing of the same primitives
// from buffer objects, with the ratio of the viewer's time to the
// reference's (the best of three turns each), all in the same run. With --scene FILE, the frame
// times of that input (a configuration of real scans) the old way and now. The last column, moving,
// is the frame time while a camera key is held: decimated when the scene is larger than
// RANGELOOM_DECIMATE_ABOVE (default 2000000), as in the viewer. Needs a display (run it
// under Xvfb: bench/run_frame_bench.sh); reports milliseconds per frame.
//   rangeloom-frame-bench [FRAMES] [TRIANGLES...]
//   rangeloom-frame-bench --scene FILE [FRAMES]
#define GL_GLEXT_PROTOTYPES 1
#include <GL/freeglut.h>
#include <GL/glext.h>

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/input.h"
#include "app/legend.h"
#include "app/motion.h"
#include "app/startup.h"
#include "app/view.h"
#include "scene/distance_colours.h"
#include "scene/draw_path.h"
#include "scene/materials.h"
#include "scene/mesh.h"
#include "scene/scene_state.h"

namespace {

// A torus of about `triangles` triangles, centred, of unit size.
Mesh* makeTorus(int triangles) {
    const int across = static_cast<int>(std::sqrt(triangles / 4.0));
    const int around = triangles / (2 * across);
    auto* m = new Mesh(1);
    m->clearGeometry();
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j) {
            const double u = 2 * M_PI * i / around, v = 2 * M_PI * j / across;
            m->addVertex(Point3(float((0.3 + 0.1 * std::cos(v)) * std::cos(u)),
                                float(0.1 * std::sin(v)),
                                float((0.3 + 0.1 * std::cos(v)) * std::sin(u))));
        }
    auto id = [&](int i, int j) { return (i % around) * across + (j % across); };
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j) {
            Face a(m, Vec4(0, 0, 0, 1)), b(m, Vec4(0, 0, 0, 1));
            a.vertexIndices = {id(i, j), id(i, j + 1), id(i + 1, j + 1)};
            b.vertexIndices = {id(i, j), id(i + 1, j + 1), id(i + 1, j)};
            m->faces.push_back(a);
            m->faces.push_back(b);
        }
    m->computeNormals();
    return m;
}

template <class Frame>
double msPerFrame(int frames, Frame frame) {
    frame();  // warm-up: shader compilation and first upload
    glFinish();
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
        frame();
        glFinish();
    }
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / frames;
}

GLuint upload(GLenum target, const void* data, std::size_t bytes) {
    GLuint name = 0;
    glGenBuffers(1, &name);
    glBindBuffer(target, name);
    glBufferData(target, static_cast<GLsizeiptr>(bytes), data, GL_STATIC_DRAW);
    glBindBuffer(target, 0);
    return name;
}

// The least a program must do to draw the torus's primitives in each mode:
// positions, vertex normals and colours in buffer objects, the triangles and
// their sides as index lists, one draw call a frame, in the same frame as
// the viewer's (cleared, camera, lights, material). Flat faces are lit by
// their face normal and take the colour of their first corner, which a
// shared vertex cannot carry: the flat drawing adds one vertex per triangle
// (its last corner, the one flat shading reads, with the face's normal and
// first corner's colour) to the shared ones.
struct Reference {
    GLuint positions = 0, normals = 0, colours = 0, triangles = 0, sides = 0;
    GLuint flatPositions = 0, flatNormals = 0, flatColours = 0, flatTriangles = 0;
    GLsizei triangleCount = 0, sideCount = 0, pointCount = 0;

    explicit Reference(Mesh& m) {
        std::vector<uint32_t> tri, side;
        for (const Face& f : m.faces)
            for (std::size_t i = 0; i < 3; ++i) {
                tri.push_back(uint32_t(f.vertexIndices[i]));
                side.push_back(uint32_t(f.vertexIndices[i]));
                side.push_back(uint32_t(f.vertexIndices[(i + 1) % 3]));
            }
        const std::vector<ColourRGBA>& rgba = m.distanceColours(currentDistanceScale());
        positions = upload(GL_ARRAY_BUFFER, m.vertices.data(), m.vertices.size() * sizeof(Point3));
        normals =
            upload(GL_ARRAY_BUFFER, m.vertexNormals.data(), m.vertexNormals.size() * sizeof(Vec3));
        colours = upload(GL_ARRAY_BUFFER, rgba.data(), rgba.size() * sizeof(ColourRGBA));
        triangles = upload(GL_ELEMENT_ARRAY_BUFFER, tri.data(), tri.size() * sizeof(uint32_t));
        sides = upload(GL_ELEMENT_ARRAY_BUFFER, side.data(), side.size() * sizeof(uint32_t));
        std::vector<Point3> flatP(m.vertices);
        std::vector<Vec3> flatN(m.vertexNormals);
        std::vector<ColourRGBA> flatC(rgba);
        std::vector<uint32_t> flatTri;
        for (const Face& f : m.faces) {
            const std::size_t a = std::size_t(f.vertexIndices[0]);
            const std::size_t c = std::size_t(f.vertexIndices[2]);
            flatTri.push_back(uint32_t(a));
            flatTri.push_back(uint32_t(f.vertexIndices[1]));
            flatTri.push_back(uint32_t(flatP.size()));
            flatP.push_back(m.vertices[c]);
            flatN.push_back(f.normal.scaled(m.scaleFactors.x));
            flatC.push_back(rgba[a]);
        }
        flatPositions = upload(GL_ARRAY_BUFFER, flatP.data(), flatP.size() * sizeof(Point3));
        flatNormals = upload(GL_ARRAY_BUFFER, flatN.data(), flatN.size() * sizeof(Vec3));
        flatColours = upload(GL_ARRAY_BUFFER, flatC.data(), flatC.size() * sizeof(ColourRGBA));
        flatTriangles =
            upload(GL_ELEMENT_ARRAY_BUFFER, flatTri.data(), flatTri.size() * sizeof(uint32_t));
        triangleCount = GLsizei(tri.size());
        sideCount = GLsizei(side.size());
        pointCount = GLsizei(m.vertices.size());
    }
    ~Reference() {
        const GLuint names[] = {positions,     normals,     colours,     triangles,    sides,
                                flatPositions, flatNormals, flatColours, flatTriangles};
        glDeleteBuffers(9, names);
    }

    void frame(int mode, bool coloured) const {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glPushMatrix();
        camera.applyCamera();
        applyMaterial(scanMaterial);
        glEnableClientState(GL_VERTEX_ARRAY);
        const bool points = mode == Points || mode == SparsePoints;
        const GLsizei every = mode == SparsePoints ? 20 : 1;
        const bool flat = mode == Flat;
        glBindBuffer(GL_ARRAY_BUFFER, flat ? flatPositions : positions);
        glVertexPointer(3, GL_FLOAT, every * GLsizei(sizeof(Point3)), nullptr);
        if (!points) {
            glEnableClientState(GL_NORMAL_ARRAY);
            glBindBuffer(GL_ARRAY_BUFFER, flat ? flatNormals : normals);
            glNormalPointer(GL_FLOAT, 0, nullptr);
        }
        if (coloured) {
            glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
            glEnable(GL_COLOR_MATERIAL);
            glEnableClientState(GL_COLOR_ARRAY);
            glBindBuffer(GL_ARRAY_BUFFER, flat ? flatColours : colours);
            glColorPointer(4, GL_UNSIGNED_BYTE, every * GLsizei(sizeof(ColourRGBA)), nullptr);
        }
        if (points) {
            glEnable(GL_POINT_SMOOTH);
            glPointSize(3.0f);
            glDrawArrays(GL_POINTS, 0, (pointCount + every - 1) / every);
        } else {
            glShadeModel(mode == Smooth ? GL_SMOOTH : GL_FLAT);
            const bool wire = mode == Wireframe;
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, wire ? sides : flat ? flatTriangles : triangles);
            glDrawElements(wire ? GL_LINES : GL_TRIANGLES, wire ? sideCount : triangleCount,
                           GL_UNSIGNED_INT, nullptr);
        }
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisable(GL_COLOR_MATERIAL);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        glPopMatrix();
        // The viewer's frame shows the legend while colouring: so does this one.
        if (coloured) drawLegend(currentDistanceScale(), viewState.width, viewState.height);
        glutSwapBuffers();
    }
};

// The frame time while a camera key is held, as the viewer draws it.
double movingMsPerFrame(int frames) {
    noteKeyMotion();
    noteKeyMotion();
    const double ms = msPerFrame(frames, onDisplay);
    resetMotion();
    return ms;
}

const char* const kModeNames[] = {"points", "sparse", "wire", "flat", "smooth"};

// The frame times of the loaded scene in every mode, the old way and now.
int benchScene(const char* file, int frames) {
    loadInput(file);
    if (sceneList.empty()) {
        std::fprintf(stderr, "%s: nothing loaded\n", file);
        return 1;
    }
    Point3 sum(0.0f, 0.0f, 0.0f);
    for (Mesh* object : sceneList) sum += object->getCenter();
    const float n = static_cast<float>(sceneList.size());
    for (Mesh* object : sceneList) object->translate(Vec3(sum.x / n, sum.y / n, sum.z / n));
    frameVisibleObjects();
    std::printf("%-8s %-8s %10s %10s %7s %8s\n", "mode", "colour", "immediate", "ms/frame",
                "speedup", "moving");
    for (int coloured = 0; coloured < 2; ++coloured) {
        colourByDistance = coloured != 0;
        for (int mode = 0; mode < 5; ++mode) {
            for (Mesh* object : sceneList) object->setDisplayMode(mode);
            if (gridMesh != nullptr) gridMesh->setDisplayMode(Wireframe);
            setDrawPath(DrawPath::Immediate);
            const double before = msPerFrame(frames, onDisplay);
            setDrawPath(DrawPath::BufferObjects);
            const double after = msPerFrame(frames, onDisplay);
            const double moving = movingMsPerFrame(frames);
            std::printf("%-8s %-8s %10.1f %10.1f %7.2f %8.1f\n", kModeNames[mode],
                        coloured ? "yes" : "no", before, after, before / after, moving);
            std::fflush(stdout);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    readDecimateSetting();
    const bool scene = argc > 2 && std::strcmp(argv[1], "--scene") == 0;
    const int first = scene ? 3 : 1;
    const int frames = argc > first ? std::atoi(argv[first]) : 10;
    std::vector<int> sizes;
    for (int i = first + 1; i < argc && !scene; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {100000, 500000, 1000000};

    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(700, 700);
    glutCreateWindow("Mesh display");
    glutDisplayFunc([] {});
    glEnable(GL_DEPTH_TEST);
    setUpLightsAndCamera();
    camera.zoom(0.5f);
    onReshape(700, 700);
    glutMainLoopEvent();
    if (scene) return benchScene(argv[2], frames);

    std::printf("%-10s %-8s %-7s %10s %10s %10s %7s %8s\n", "triangles", "mode", "colour",
                "immediate", "ms/frame", "reference", "ratio", "moving");
    for (int n : sizes) {
        Mesh* torus = makeTorus(n);
        resetSceneState();
        sceneList = {torus};
        visibilityFlags.set(0, true);
        torus->setMaterial(scanMaterial);
        // Values over the whole colour scale, one point in ten unmeasured.
        torus->vertexValues.resize(torus->vertices.size());
        for (std::size_t i = 0; i < torus->vertexValues.size(); ++i)
            torus->vertexValues[i] = i % 10 == 0 ? -FLT_MAX : 0.0005f * float(i % 9);
        torus->valuesChanged();
        const Reference reference(*torus);
        for (int coloured = 0; coloured < 2; ++coloured) {
            colourByDistance = coloured != 0;
            for (int mode = 0; mode < 5; ++mode) {
                torus->setDisplayMode(mode);
                setDrawPath(DrawPath::Immediate);
                const double before = msPerFrame(frames, onDisplay);
                // The two compared, in turns, the best of three: the machine is shared.
                double now = 1e30, least = 1e30;
                for (int round = 0; round < 3; ++round) {
                    setDrawPath(DrawPath::BufferObjects);
                    now = std::min(now, msPerFrame(frames, onDisplay));
                    least = std::min(least,
                                     msPerFrame(frames, [&] { reference.frame(mode, coloured); }));
                }
                const double moving = movingMsPerFrame(frames);
                std::printf("%-10zu %-8s %-7s %10.1f %10.1f %10.1f %7.2f %8.1f\n",
                            torus->faces.size(), kModeNames[mode], coloured ? "yes" : "no", before,
                            now, least, now / least, moving);
                std::fflush(stdout);
            }
        }
        colourByDistance = false;
    }
    resetSceneState();
    return 0;
}
