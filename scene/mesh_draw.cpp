// Immediate-mode drawing of meshes and faces in the five display modes.
#include <GL/gl.h>

#include "scene/materials.h"
#include "scene/mesh.h"
#include "scene/scene_state.h"

namespace {

// Positions a mesh is drawn from: world positions once a pose has been baked
// in (or a builder filled them), model positions otherwise.
const std::vector<Point3>& drawPositions(const Mesh& mesh) {
    return mesh.worldVertices.empty() ? mesh.vertices : mesh.worldVertices;
}

// colours: one per position while colouring by distance, else null.
void drawPoints(const std::vector<Point3>& positions, std::size_t stride,
                const ColourRGBA* colours) {
    glEnable(GL_POINT_SMOOTH);
    glPointSize(3.0f);
    glBegin(GL_POINTS);
    for (std::size_t i = 0; i < positions.size(); i += stride) {
        if (colours != nullptr) glColor4ubv(&colours[i].r);
        glVertex3f(positions[i].x, positions[i].y, positions[i].z);
    }
    glEnd();
}

}  // namespace

bool Mesh::hasDistanceValues() const {
    const std::size_t n = drawPositions(*this).size();
    return n > 0 && vertexValues.size() == n;
}

const std::vector<ColourRGBA>& Mesh::distanceColours(const DistanceScale& scale) {
    const std::size_t n = drawPositions(*this).size();
    if (distanceColours_.empty() || n != distanceColoursCount_ || scale != distanceColoursScale_) {
        fillDistanceColours(vertexValues, n, scale, &distanceColours_);
        distanceColoursCount_ = n;
        distanceColoursScale_ = scale;
    }
    return distanceColours_;
}

void Mesh::draw() {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    applyMaterial(material);
    // Only the translation: poses are baked into worldVertices beforehand.
    glTranslatef(position.x, position.y, position.z);

    const std::vector<Point3>& positions = drawPositions(*this);
    // Colour by distance: the lit surface takes its ambient and diffuse
    // colour from each vertex, so the shape stays readable.
    const bool coloured = colourByDistance && hasDistanceValues();
    if (coloured) {
        drawColours_ = distanceColours(currentDistanceScale()).data();
        glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
        glEnable(GL_COLOR_MATERIAL);
    }
    if (displayMode == Points) {
        drawPoints(positions, 1, drawColours_);
    } else if (displayMode == SparsePoints) {
        drawPoints(positions, 20, drawColours_);
    } else {
        for (Face& f : faces) f.draw();
    }
    if (coloured) {
        glDisable(GL_COLOR_MATERIAL);
        drawColours_ = nullptr;
    }

    if (showTossedPoints) {
        glEnable(GL_POINT_SMOOTH);
        applyMaterial(highlightMaterial);
        const std::size_t n =
            vertexValues.size() < worldVertices.size() ? vertexValues.size() : worldVertices.size();
        for (std::size_t i = 0; i < n; ++i) {
            if (vertexValues[i] > tossThreshold) {
                glPointSize(1.0f);
                glBegin(GL_POINTS);
                glVertex3f(worldVertices[i].x, worldVertices[i].y, worldVertices[i].z);
                glEnd();
            }
        }
    }
    glPopMatrix();
}

void Face::draw() {
    applyMaterial(material);
    const Mesh& mesh = *owner;
    const std::vector<Point3>& positions = drawPositions(mesh);
    const float normalScale = mesh.scaleFactors.x;
    const ColourRGBA* colours = mesh.drawColours_;

    if (mesh.displayMode == Smooth) {
        glShadeModel(GL_SMOOTH);
        glBegin(GL_POLYGON);
        for (int32_t vi : vertexIndices) {
            // A mesh built in code (the lattice) has no vertex normals.
            const Vec3 n = static_cast<std::size_t>(vi) < mesh.vertexNormals.size()
                               ? mesh.vertexNormals[vi].scaled(normalScale)
                               : Vec3();
            glNormal3f(n.x, n.y, n.z);
            if (colours != nullptr) glColor4ubv(&colours[vi].r);
            glVertex3f(positions[vi].x, positions[vi].y, positions[vi].z);
        }
        glEnd();
        return;
    }

    // Wireframe, Flat, and any mode outside 0..4 (drawn as Flat).
    glShadeModel(GL_FLAT);
    const Vec3 n = normal.scaled(normalScale);
    glNormal3f(n.x, n.y, n.z);
    if (mesh.displayMode == Wireframe) {
        glLineWidth(1.0f);
        glBegin(GL_LINE_LOOP);
    } else {
        glBegin(GL_POLYGON);
    }
    for (int32_t vi : vertexIndices) {
        if (colours != nullptr) glColor4ubv(&colours[vi].r);
        glVertex3f(positions[vi].x, positions[vi].y, positions[vi].z);
    }
    glEnd();
}
