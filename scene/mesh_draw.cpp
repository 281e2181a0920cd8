// Drawing meshes and faces in the five display modes: from the arrays of
// scene/mesh_arrays.h, or one call per vertex (the immediate drawing, which
// defines the picture the arrays reproduce).
#include <GL/gl.h>

#include <cstdio>

#include "scene/draw_path.h"
#include "scene/index_range.h"
#include "scene/materials.h"
#include "scene/mesh.h"
#include "scene/mesh_arrays.h"
#include "scene/scene_state.h"

namespace {

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
    const std::size_t n = drawPositions().size();
    return n > 0 && vertexValues.size() == n;
}

const std::vector<ColourRGBA>& Mesh::distanceColours(const DistanceScale& scale) {
    const std::size_t n = drawPositions().size();
    if (distanceColours_.empty() || n != distanceColoursCount_ || scale != distanceColoursScale_ ||
        valuesVersion_ != distanceColoursValues_) {
        fillDistanceColours(vertexValues, n, scale, &distanceColours_);
        distanceColoursCount_ = n;
        distanceColoursScale_ = scale;
        distanceColoursValues_ = valuesVersion_;
        ++distanceColoursVersion_;
    }
    return distanceColours_;
}

void Mesh::draw() {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    applyMaterial(material);
    // Only the translation: poses are baked into worldVertices beforehand.
    glTranslatef(position.x, position.y, position.z);

    // Colour by distance: the lit surface takes its ambient and diffuse
    // colour from each vertex, so the shape stays readable.
    const std::vector<ColourRGBA>* colours = nullptr;
    if (colourByDistance && hasDistanceValues()) {
        colours = &distanceColours(currentDistanceScale());
        glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
        glEnable(GL_COLOR_MATERIAL);
    }

    // The arrays once made for this state, or one call per vertex when the
    // immediate path is chosen or the arrays cannot be made. Flat and
    // wireframe faces in their material (one normal and one material per
    // face) are a display list on the array paths: the renderer lights the
    // first face after a flush from constants and the later ones from
    // per-vertex attributes, a level apart at a few pixels, and only a list
    // shaped after that gives these pixels (MeshArrays, sendFaceList).
    // While the camera moves over a large scene: every k-th face or point.
    const std::size_t stride = movingStride > 1 ? movingStride : 1;
    const DrawPath path = drawPath();
    MeshArrays* arrays = nullptr;
    if (path != DrawPath::Immediate && !arraysFailed_) {
        if (arrays_.get() == nullptr || arrays_.get()->path() != path)
            arrays_.reset(new MeshArrays(path));
        if (arrays_.get()->prepare(*this, colours, stride)) {
            arrays = arrays_.get();
        } else {
            std::fprintf(stderr,
                         "There is not enough memory to prepare %s for drawing: it is drawn one "
                         "vertex at a time\n",
                         fileName.empty() ? "a mesh" : fileName.c_str());
            arrays_.reset();
            arraysFailed_ = true;
        }
    }

    if (arrays != nullptr) {
        arrays->drawGeometry(*this, colours, stride);
    } else {
        drawColours_ = colours != nullptr ? colours->data() : nullptr;
        const std::vector<Point3>& positions = drawPositions();
        if (displayMode == Points) {
            drawPoints(positions, stride, drawColours_);
        } else if (displayMode == SparsePoints) {
            drawPoints(positions, 20 * stride, drawColours_);
        } else {
            for (std::size_t f = 0; f < faces.size(); f += stride) faces[f].draw();
        }
        drawColours_ = nullptr;
    }
    if (colours != nullptr) glDisable(GL_COLOR_MATERIAL);

    if (showTossedPoints) {
        if (arrays != nullptr) {
            arrays->drawTossed();
        } else {
            glEnable(GL_POINT_SMOOTH);
            applyMaterial(highlightMaterial);
            const std::size_t n = vertexValues.size() < worldVertices.size() ? vertexValues.size()
                                                                             : worldVertices.size();
            for (std::size_t i = 0; i < n; ++i) {
                if (vertexValues[i] > tossThreshold) {
                    glPointSize(1.0f);
                    glBegin(GL_POINTS);
                    glVertex3f(worldVertices[i].x, worldVertices[i].y, worldVertices[i].z);
                    glEnd();
                }
            }
        }
    }
    glPopMatrix();
}

void Face::draw() {
    applyMaterial(material);
    const Mesh& mesh = *owner;
    const std::vector<Point3>& positions = mesh.drawPositions();
    // A corner naming no position would be read from outside the list: such a
    // face is not drawn (the loaders leave none).
    if (!allInIndexRange(vertexIndices, positions.size())) return;
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
