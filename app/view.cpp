#include "app/view.h"

#include <GL/glut.h>

#include <cfloat>
#include <cmath>
#include <cstdio>

#include "app/legend.h"
#include "app/motion.h"
#include "app/mouse.h"
#include "scene/materials.h"
#include "scene/mesh.h"
#include "scene/scene_state.h"

namespace {
constexpr float kPi = 3.14159265358979323846f;
constexpr float kHalfPi = kPi / 2.0f;
}  // namespace

ViewState viewState;
Camera camera;
Light rightLight(1);
Light leftLight(2);
BoundingBox sceneBounds;
SceneFrame sceneFrame;

Camera::Camera()
    : eye(0.0f, 0.0f, 1.5f), centre(worldOrigin), up(0.0f, 1.0f, 0.0f), flipped(false) {
    elevation = fatan(eye.y / eye.z);
    azimuth = fatan(eye.z / eye.x);  // 1.5 / 0 = +inf, so pi/2
    distance = (eye - centre).length();
    flipped = elevation < -kHalfPi || elevation > kHalfPi;
}

void Camera::applyCamera() {
    const float ground = fcos(elevation) * distance;
    eye.x = fcos(azimuth) * ground;
    eye.y = fsin(elevation) * distance;
    eye.z = fcos(kHalfPi - azimuth) * ground;

    const bool outside = elevation < -kHalfPi || elevation > kHalfPi;
    const bool inside = elevation > -kHalfPi && elevation < kHalfPi;
    if ((outside && !flipped) || (inside && flipped)) {
        flipped = !flipped;
        up *= -1.0f;
    }
    gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, up.x, up.y, up.z);
}

static float wrapAngle(float a) {
    if (a > kPi) a -= 2.0f * kPi;
    if (a < -kPi) a += 2.0f * kPi;
    return a;
}

void Camera::rotateVertical(float step) {
    elevation = wrapAngle(elevation + step);
}
void Camera::rotateHorizontal(float step) {
    azimuth = wrapAngle(azimuth + step);
}

void Light::applyLight() {
    const GLenum light = GL_LIGHT0 + number;
    glLightfv(light, GL_AMBIENT, ambient.array());
    glLightfv(light, GL_DIFFUSE, diffuse.array());
    glLightfv(light, GL_SPECULAR, specular.array());
    if (type == 1) {
        const GLfloat pos[4] = {position.x, position.y, position.z, 1.0f};
        glLightfv(light, GL_POSITION, pos);
    }
}

void updateViewVolume(float s) {
    viewState.left = (-s * viewState.width) / viewState.height;
    viewState.right = (s * viewState.width) / viewState.height;
    viewState.top = s;
    viewState.bottom = -s;
    viewState.zNear = 0.001f;
    viewState.zFar = 15.0f;
}

void onReshape(int width, int height) {
    // A minimised window reports a zero size: the extents and the aspect
    // ratio would divide by zero, so keep the last good projection.
    if (width <= 0 || height <= 0) return;
    viewState.width = width;
    viewState.height = height;
    updateViewVolume(2.0f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (viewState.orthographic) {
        glOrtho(viewState.left, viewState.right, viewState.bottom, viewState.top, viewState.zNear,
                viewState.zFar);
    } else {
        gluPerspective(75.0, static_cast<double>(width) / static_cast<double>(height),
                       viewState.zNear, viewState.zFar);
    }
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, width, height);
    glutPostRedisplay();
}

namespace {

// A white ring around a black dot on the picked point, over everything.
void drawPickMark() {
    if (!pickedPoint.found || pickedPoint.object >= sceneList.size()) return;
    if (!visibilityFlags.isVisible(pickedPoint.object)) return;
    const Mesh& mesh = *sceneList[pickedPoint.object];
    const std::vector<Point3>& positions =
        mesh.worldVertices.empty() ? mesh.vertices : mesh.worldVertices;
    if (pickedPoint.vertex >= positions.size()) return;
    const Point3 p = offsetBy(positions[pickedPoint.vertex], mesh.position);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_POINT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_POINT_SMOOTH);
    const float sizes[2] = {12.0f, 6.0f};
    for (int k = 0; k < 2; ++k) {
        glColor3f(k == 0 ? 1.0f : 0.0f, k == 0 ? 1.0f : 0.0f, k == 0 ? 1.0f : 0.0f);
        glPointSize(sizes[k]);
        glBegin(GL_POINTS);
        glVertex3f(p.x, p.y, p.z);
        glEnd();
    }
    glPopAttrib();
}

}  // namespace

void onDisplay() {
    // Decimated while the camera moves over a large scene; full otherwise.
    movingStride = movingStrideForScene();
    drawFrame();
    movingStride = 0;
    glutSwapBuffers();
}

void drawFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();
    camera.applyCamera();
    if (sceneFrame.active) {
        // Normals keep their length under the scale, so the lighting is unchanged.
        glEnable(GL_RESCALE_NORMAL);
        glScalef(sceneFrame.scale, sceneFrame.scale, sceneFrame.scale);
        glTranslatef(-sceneFrame.shift.x, -sceneFrame.shift.y, -sceneFrame.shift.z);
    }
    drawScene();
    drawPickMark();
    glPopMatrix();
    if (colourByDistance) drawLegend(currentDistanceScale(), viewState.width, viewState.height);
}

FrameFit fitSphere(const Point3& centre, float radius, float aspect) {
    constexpr float kHalfFov = 37.5f * 3.14159265f / 180.0f;
    const float narrow = aspect < 1.0f ? aspect : 1.0f;
    const float scaled = 1.8f * narrow;  // the sphere's radius in view units
    FrameFit fit;
    fit.frame.active = true;
    fit.frame.shift = Vec3(centre.x, centre.y, centre.z);
    fit.frame.scale = scaled / radius;
    // The narrower half angle of the perspective view must hold the sphere.
    const float halfWidth = std::atan(std::tan(kHalfFov) * aspect);
    const float half = halfWidth < kHalfFov ? halfWidth : kHalfFov;
    fit.distance = scaled / std::sin(half);
    return fit;
}

void frameVisibleObjects() {
    // The box of the drawn positions, each moved by its object's position.
    float lo[3] = {FLT_MAX, FLT_MAX, FLT_MAX}, hi[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
    for (std::size_t j = 0; j < sceneList.size(); ++j) {
        const Mesh* object = sceneList[j];
        if (!visibilityFlags.isVisible(j) || object == gridMesh) continue;
        const std::vector<Point3>& positions =
            object->worldVertices.empty() ? object->vertices : object->worldVertices;
        for (const Point3& p : positions) {
            const Point3 q = offsetBy(p, object->position);
            const float c[3] = {q.x, q.y, q.z};
            for (int k = 0; k < 3; ++k) {
                if (!std::isfinite(c[k])) continue;
                lo[k] = c[k] < lo[k] ? c[k] : lo[k];
                hi[k] = c[k] > hi[k] ? c[k] : hi[k];
            }
        }
    }
    if (lo[0] > hi[0] || lo[1] > hi[1] || lo[2] > hi[2]) {
        std::printf("Nothing to frame: no object is shown\n");
        return;
    }
    const Point3 centre((lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2);
    const double dx = double(hi[0]) - lo[0], dy = double(hi[1]) - lo[1], dz = double(hi[2]) - lo[2];
    float radius = static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz) / 2);
    if (!std::isfinite(radius)) {
        std::printf("Nothing to frame: the shown objects are too large\n");
        return;
    }
    if (!(radius > 1e-12f)) radius = 1e-3f;  // a single point
    const FrameFit fit =
        fitSphere(centre, radius, float(viewState.width) / float(viewState.height));
    sceneFrame = fit.frame;
    camera.distance = fit.distance;
    std::printf("Framed the shown objects: centre (%g, %g, %g), radius %g\n", double(centre.x),
                double(centre.y), double(centre.z), double(radius));
}

PickView currentPickView() {
    PickView v;
    const SceneFrame& f = sceneFrame;
    lookAtTransform(camera.eye, camera.centre, camera.up, f.active ? f.scale : 1.0f,
                    f.active ? f.shift : Vec3(), v.modelview);
    v.orthographic = viewState.orthographic;
    v.left = viewState.left;
    v.right = viewState.right;
    v.bottom = viewState.bottom;
    v.top = viewState.top;
    v.zNear = viewState.zNear;
    v.zFar = viewState.zFar;
    v.width = viewState.width;
    v.height = viewState.height;
    return v;
}

void drawScene() {
    if (!sceneList.empty()) {
        glPushMatrix();
        applyMaterial(cornerMaterial);
        glShadeModel(GL_SMOOTH);
        const Vec3& shift = sceneList[0]->position;
        glTranslatef(shift.x, shift.y, shift.z);
        glEnable(GL_POINT_SMOOTH);
        glPointSize(20.0f);
        glBegin(GL_POINTS);
        for (int i = 0; i < 8; ++i) {
            const Point3& c = sceneBounds.corner(i);
            glVertex3f(c.x, c.y, c.z);
        }
        glEnd();
        glPopMatrix();
    }
    for (std::size_t j = 0; j < sceneList.size(); ++j) {
        if (visibilityFlags.isVisible(j)) sceneList[j]->draw();
    }
}
