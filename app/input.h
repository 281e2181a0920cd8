// Loading the file named on the command line into the scene, and the
// registration of the window callbacks and the menu.
#pragma once

#include <string>

// Loads the input by its extension (.m, .ply, .conf); other names load nothing.
void loadInput(const std::string& name);

// Registers display, keyboard, reshape, mouse and motion callbacks, in that order.
void registerCallbacks();
// Builds the right-button pop-up menu.
void buildMenu();
