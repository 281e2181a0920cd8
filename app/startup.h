// Program start-up: window, callbacks, loading the input named on the
// command line, centring, lights, camera, and the GLUT event loop.
#pragma once

#include <string>

// The kinds of input chosen by the file name's extension.
enum class InputKind { None, MeshFile, PlyFile, ScanConfig, ScanFile };

// The text from the last '.' of the name to its end, or "" without a '.'.
std::string fileExtension(const std::string& name);
// ".m", ".ply", ".conf", and ".ptx" and ".e57" (ScanFile: structured scans that
// are a configuration by themselves) in any letter case; anything else is None.
InputKind inputKindOf(const std::string& name);

// The two grey lights (fixed in eye coordinates), the camera distance, and
// lighting switched on: the last steps before the event loop.
void setUpLightsAndCamera();

// Runs the whole start-up and enters the GLUT main loop, which does not
// return with the real GLUT. Returns 0 if it does (recording stand-in).
int runStartup(int argc, char** argv);
