#include "app/startup.h"

#include <GL/glut.h>
#include <strings.h>

#include <iostream>

#include "app/input.h"
#include "app/keyboard.h"
#include "app/motion.h"
#include "app/mouse.h"
#include "app/view.h"
#include "scene/mesh.h"
#include "scene/scene_state.h"

std::string fileExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

InputKind inputKindOf(const std::string& name) {
    const std::string ext = fileExtension(name);
    if (strcasecmp(ext.c_str(), ".ply") == 0) return InputKind::PlyFile;
    if (strcasecmp(ext.c_str(), ".m") == 0) return InputKind::MeshFile;
    if (strcasecmp(ext.c_str(), ".conf") == 0) return InputKind::ScanConfig;
    if (strcasecmp(ext.c_str(), ".ptx") == 0 || strcasecmp(ext.c_str(), ".e57") == 0)
        return InputKind::ScanFile;
    return InputKind::None;
}

namespace {

void registerCallbacks() {
    glutDisplayFunc(onDisplay);
    glutKeyboardFunc(onKeyboard);
    glutReshapeFunc(onReshape);
    glutMouseFunc(onMouse);
    glutMotionFunc(onMotion);
}

// GLUT takes its own options (-iconic, -geometry WxH, ...) out of the
// command line: *argc and argv are what is left for the program.
void openWindow(int* argc, char** argv) {
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(700, 700);
    glutInitWindowPosition(100, 100);
    glutCreateWindow("Mesh display");
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    registerCallbacks();
    buildMenu();
    glEnable(GL_DEPTH_TEST);
}

void resetViewAndScene() {
    viewState.height = 500;
    viewState.width = 500;
    updateViewVolume(2.0f);
    viewState.zFar = 15.0f;
    visibilityFlags.clear();
    gridMesh = nullptr;
}

// Moves every object by the mean of the objects' centres.
void centreScene() {
    if (sceneList.empty()) return;
    Point3 sum = worldOrigin;
    for (Mesh* object : sceneList) sum += object->getCenter();
    const float n = static_cast<float>(sceneList.size());
    const Vec3 mean(sum.x / n, sum.y / n, sum.z / n);
    for (Mesh* object : sceneList) object->translate(mean);
}

void setUpLights() {
    for (Light* light : {&rightLight, &leftLight}) {
        light->ambient = Vec4(0.4f, 0.4f, 0.4f, 1.0f);
        light->diffuse = Vec4(0.6f, 0.6f, 0.6f, 1.0f);
        light->specular = Vec4(0.3f, 0.3f, 0.3f, 1.0f);
    }
    rightLight.position = Point3(1.0f, 1.0f, -1.0f);
    rightLight.type = 1;
    leftLight.position = Point3(-1.0f, 1.0f, -1.0f);
    leftLight.type = 1;
}

}  // namespace

int runStartup(int argc, char** argv) {
    openWindow(&argc, argv);
    resetViewAndScene();
    readDecimateSetting();

    if (argc < 2) {
        std::cout << "format is: rangeloom filename" << std::endl;
        std::cout << "Accepts .m, .ply, and .conf files" << std::endl;
    } else {
        loadInput(argv[1]);
    }

    centreScene();
    setUpLightsAndCamera();
    glutMainLoop();
    return 0;
}

void setUpLightsAndCamera() {
    setUpLights();
    camera.zoom(-1.2f);
    glEnable(GL_LIGHT0 + rightLight.number);
    glEnable(GL_LIGHT0 + leftLight.number);
    rightLight.applyLight();
    leftLight.applyLight();
    glEnable(GL_LIGHTING);
}
