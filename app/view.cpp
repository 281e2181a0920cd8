#include "app/view.h"

#include <GL/glut.h>

#include "scene/mesh.h"
#include "scene/materials.h"
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

void Camera::rotateVertical(float step) { elevation = wrapAngle(elevation + step); }
void Camera::rotateHorizontal(float step) { azimuth = wrapAngle(azimuth + step); }

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
        glOrtho(viewState.left, viewState.right, viewState.bottom, viewState.top,
                viewState.zNear, viewState.zFar);
    } else {
        gluPerspective(75.0, static_cast<double>(width) / static_cast<double>(height),
                       viewState.zNear, viewState.zFar);
    }
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, width, height);
    glutPostRedisplay();
}

void onDisplay() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();
    camera.applyCamera();
    drawScene();
    glPopMatrix();
    glutSwapBuffers();
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
