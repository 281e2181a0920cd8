#include "scene/material.h"

#include <GL/gl.h>

void applyMaterial(Material m) {
    glMaterialfv(GL_FRONT, GL_AMBIENT, m.ambient.array());
    glMaterialfv(GL_FRONT, GL_DIFFUSE, m.diffuse.array());
    glMaterialfv(GL_FRONT, GL_SPECULAR, m.specular.array());
    glMaterialf(GL_FRONT, GL_SHININESS, m.shininess);
}
