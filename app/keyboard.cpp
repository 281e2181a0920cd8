#include "app/keyboard.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

#include "app/motion.h"
#include "app/register_key.h"
#include "app/snapshot.h"
#include "app/value_histogram.h"
#include "app/view.h"
#include "scan/cleaned_writer.h"
#include "scene/materials.h"
#include "scene/scene_state.h"

int displayModeCounter = 3;
bool uniformMaterial = true;
float tossStep = 0.0f;
bool tossStepSet = false;

namespace {

constexpr std::size_t kHelpWidth = 61;

std::string padded(const std::string& text, std::size_t width = kHelpWidth) {
    std::string line = text;
    if (line.size() < width) line.append(width - line.size(), ' ');
    return line + "\n";
}

std::string heading(const std::string& text) {
    return padded(std::string(20, ' ') + text, kHelpWidth - 2);
}

std::string bannerLine(const std::string& text) {
    const std::size_t inner = kHelpWidth - 2;
    const std::size_t left = (inner - text.size()) / 2;
    return "*" + std::string(left, ' ') + text + std::string(inner - text.size() - left, ' ') +
           "*\n";
}

std::string buildHelpText() {
    std::string t;
    const std::string stars(kHelpWidth, '*');
    t += stars + "\n";
    t += bannerLine("rangeloom");
    t += bannerLine("Mesh and range-scan viewer");
    t += bannerLine("Keys, mouse and menu");
    t += stars + "\n";
    t += "\n";
    t += heading("// * Function Keys * \\\\");
    t += padded("a or A : Rotate the camera horizontally clockwise.");
    t += padded("d or D : Zoom the camera out.");
    t += padded("e or E : Toggle the mesh object's display mode. Either");
    t += padded(std::string(11, ' ') + "wireframe, flat, or smooth.");
    t += padded("h or H : Print this help menu.");
    t += padded("q or Q : Quit the program.");
    t += padded("r or R : Reset the mesh's transformations.");
    t += padded("s or S : Rotate the camera horizontally counter-clockwise.");
    t += padded("v or V : Toggle between orthographic and perspective views");
    t += padded("w or W : Rotate the camera vertically upwards.");
    t += padded("x or X : Zoom the camera in.");
    t += padded("z or Z : Rotate the camera vertically downwards.");
    t += padded("");
    t += heading("// * Mouse Actions * \\\\");
    t += padded("Left button  : Apply the current transformation to the cube");
    t += padded("Right button : Display the options menu");
    t += padded("");
    t += heading("// * Options Menu * \\\\");
    t += padded("Mesh Rotate    : Rotate the mesh object as with a trackball");
    t += padded(std::string(17, ' ') + "in 3D space");
    t += padded("Mesh Scale     : Scale the mesh object larger or smaller.");
    t += padded("Mesh Translate : Move the mesh object.");
    t += padded("Light Rotate   : Rotate the warm and cool lights.");
    t += padded("Camera Rotate  : Rotate the camera around the mesh object.");
    t += padded("Exit      : Exit the program.");
    t += padded("");
    t += heading("// * Distance Keys * \\\\");
    t += padded("m or M : Colour the scans by distance, with a legend.");
    t += padded("[ or ] : Lower or raise the top of the colour scale.");
    t += padded("n or N : Print a histogram of the distances.");
    t += padded("i or I : Save the window as rangeloom-NNN.png.");
    t += padded("f or F : Frame the shown objects in the window.");
    t += padded("g or G : Register the scans and analyse them again.");
    t += padded("Middle button : Print the distance of the point clicked.");
    t += padded("");
    return t;
}

void printThreshold() {
    std::printf("Toss threshold is %f\n", static_cast<double>(tossThreshold));
}

void printColourScale() {
    const DistanceScale scale = currentDistanceScale();
    std::printf("Colour scale 0 to %f, threshold %f\n", double(scale.maximum),
                double(scale.threshold));
}

// '[' and ']': the maximum is fixed from then on, no longer twice the threshold.
void moveColourScale(float factor) {
    colourScaleMaximum = currentDistanceScale().maximum * factor;
    printColourScale();
}

void printHistogram() {
    std::vector<const Mesh*> scans;
    for (const Mesh* object : sceneList)
        if (object != gridMesh) scans.push_back(object);
    std::fputs(textHistogram(scans, currentDistanceScale()).c_str(), stdout);
}

void setAllDisplayModes(int mode) {
    for (Mesh* object : sceneList) object->setDisplayMode(mode);
}

void switchMaterials() {
    uniformMaterial = !uniformMaterial;
    for (std::size_t i = 0; i < sceneList.size(); ++i) {
        sceneList[i]->setMaterial(uniformMaterial ? materialPalette[0] : paletteEntryFor(i));
    }
}

}  // namespace

const std::string& helpText() {
    static const std::string text = buildHelpText();
    return text;
}

void onKeyboard(unsigned char key, int, int) {
    if (!tossStepSet) {
        tossStep = tossThreshold / 10.0f;
        tossStepSet = true;
    }

    // The camera keys move the view: held, they repeat.
    for (char moving : {'a', 'A', 's', 'S', 'w', 'W', 'z', 'Z', 'd', 'D', 'x', 'X'})
        if (key == moving) noteKeyMotion();

    switch (key) {
        case 'a':
        case 'A':
            camera.rotateHorizontal(-0.1f);
            break;
        case 's':
        case 'S':
            camera.rotateHorizontal(0.1f);
            break;
        case 'w':
        case 'W':
            camera.rotateVertical(-0.1f);
            break;
        case 'z':
        case 'Z':
            camera.rotateVertical(0.1f);
            break;
        case 'd':
            camera.zoom(0.1f);
            break;
        case 'D':
            camera.zoom(0.01f);
            break;
        case 'x':
            camera.zoom(-0.1f);
            break;
        case 'X':
            camera.zoom(-0.01f);
            break;
        case 'e':
        case 'E':
            displayModeCounter += 1;
            setAllDisplayModes(displayModeCounter % 5);
            break;
        case 'c':
        case 'C':
            switchMaterials();
            break;
        case 'b':
        case 'B':
            showTossedPoints = !showTossedPoints;
            break;
        case 't':
            tossThreshold -= tossStep;
            printThreshold();
            break;
        case 'T':
            tossThreshold += tossStep;
            printThreshold();
            break;
        case 'v':
        case 'V':
            viewState.orthographic = !viewState.orthographic;
            onReshape(viewState.width, viewState.height);
            break;
        case 'r':
        case 'R':
            for (Mesh* object : sceneList) object->resetTransform();
            break;
        case 'p':
        case 'P':
            writeAllCleaned();
            break;
        case 'h':
        case 'H':
            std::fputs(helpText().c_str(), stdout);
            break;
        case 'q':
        case 'Q':
            std::exit(0);
        case 'm':
        case 'M':
            colourByDistance = !colourByDistance;
            if (colourByDistance) printColourScale();
            break;
        case '[':
            moveColourScale(1.0f / kColourScaleStep);
            break;
        case ']':
            moveColourScale(kColourScaleStep);
            break;
        case 'n':
        case 'N':
            printHistogram();
            break;
        case 'i':
        case 'I':
            saveWindowPicture();
            break;
        case 'f':
        case 'F':
            frameVisibleObjects();
            break;
        case 'g':
        case 'G':
            refineLoadedConfiguration();
            break;
        case '0':
            visibilityFlags.toggle(9);
            break;
        default:
            if (key >= '1' && key <= '9')
                visibilityFlags.toggle(static_cast<std::size_t>(key - '1'));
            break;
    }

    if (gridMesh != nullptr) gridMesh->setDisplayMode(Wireframe);
    glutPostRedisplay();
}
