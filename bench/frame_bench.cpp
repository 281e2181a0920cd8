// Frame time of the immediate-mode drawing, per display mode, for generated
// tori of a given number of triangles, in the material and coloured by
// distance (with the legend), and the ratio of the two in the same run.
// Needs a display (run it under Xvfb: bench/run_frame_bench.sh); reports
// milliseconds per frame.
//   rangeloom-frame-bench [FRAMES] [TRIANGLES...]
#include <GL/freeglut.h>

#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/startup.h"
#include "app/view.h"
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

double msPerFrame(int frames) {
    onDisplay();  // warm-up: shader compilation and first upload
    glFinish();
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
        onDisplay();
        glFinish();
    }
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / frames;
}

}  // namespace

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    const int frames = argc > 1 ? std::atoi(argv[1]) : 10;
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {100000, 700000};

    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(700, 700);
    glutCreateWindow("Mesh display");
    glutDisplayFunc([] {});
    glEnable(GL_DEPTH_TEST);
    setUpLightsAndCamera();
    camera.zoom(0.5f);
    onReshape(700, 700);
    glutMainLoopEvent();

    std::printf("%-10s %-8s %10s %10s %7s\n", "triangles", "mode", "ms/frame", "coloured", "ratio");
    const char* names[] = {"points", "sparse", "wire", "flat", "smooth"};
    for (int n : sizes) {
        Mesh* torus = makeTorus(n);
        resetSceneState();
        sceneList = {torus};
        visibilityFlags.set(0, true);
        // Values over the whole colour scale, one point in ten unmeasured.
        torus->vertexValues.resize(torus->vertices.size());
        for (std::size_t i = 0; i < torus->vertexValues.size(); ++i)
            torus->vertexValues[i] = i % 10 == 0 ? -FLT_MAX : 0.0005f * float(i % 9);
        for (int mode = 0; mode < 5; ++mode) {
            torus->setDisplayMode(mode);
            colourByDistance = false;
            const double material = msPerFrame(frames);
            colourByDistance = true;
            const double coloured = msPerFrame(frames);
            std::printf("%-10zu %-8s %10.1f %10.1f %7.2f\n", torus->faces.size(), names[mode],
                        material, coloured, coloured / material);
            std::fflush(stdout);
        }
        colourByDistance = false;
    }
    resetSceneState();
    return 0;
}
