// Loading the file named on the command line into the scene.
#pragma once

#include <string>

// Loads the input by its extension (.m, .ply, .conf, .ptx, .e57); other names
// load nothing.
void loadInput(const std::string& name);
