#include "scene/draw_path.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool chosen = false;
DrawPath current = DrawPath::BufferObjects;

DrawPath choose() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0, minor = 0;
    const bool known = version != nullptr && std::sscanf(version, "%d.%d", &major, &minor) == 2;
    const DrawPath best = !known                             ? DrawPath::Immediate
                          : versionHasBufferObjects(version) ? DrawPath::BufferObjects
                                                             : DrawPath::ClientArrays;
    const char* wanted = std::getenv(kDrawPathVariable);
    DrawPath path;
    if (wanted != nullptr && *wanted != '\0') {
        if (parseDrawPath(wanted, &path)) {
            const bool missing = path == DrawPath::BufferObjects && best != DrawPath::BufferObjects;
            return missing ? DrawPath::ClientArrays : path;
        }
        std::fprintf(stderr,
                     "%s=%s is not one of immediate, arrays, buffers: the drawing path is "
                     "chosen as without it\n",
                     kDrawPathVariable, wanted);
    }
    return best;
}

}  // namespace

DrawPath drawPath() {
    if (!chosen) {
        current = choose();
        chosen = true;
    }
    return current;
}

void setDrawPath(DrawPath path) {
    current = path;
    chosen = true;
}

void resetDrawPath() {
    chosen = false;
}

bool parseDrawPath(const std::string& text, DrawPath* path) {
    if (text == "immediate") {
        *path = DrawPath::Immediate;
    } else if (text == "arrays") {
        *path = DrawPath::ClientArrays;
    } else if (text == "buffers") {
        *path = DrawPath::BufferObjects;
    } else {
        return false;
    }
    return true;
}

const char* drawPathName(DrawPath path) {
    switch (path) {
        case DrawPath::Immediate:
            return "immediate";
        case DrawPath::ClientArrays:
            return "arrays";
        case DrawPath::BufferObjects:
            return "buffers";
    }
    return "?";
}

bool versionHasBufferObjects(const char* version) {
    int major = 0, minor = 0;
    if (version == nullptr || std::sscanf(version, "%d.%d", &major, &minor) != 2) return false;
    return major > 1 || (major == 1 && minor >= 5);
}
