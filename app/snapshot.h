// Saving the window as a picture: the frame drawn again into the back
// buffer (scene, pick mark and legend), read back and written as a PNG file
// with the first free numbered name in the current folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture/image.h"

// "rangeloom-001.png" for 1, "rangeloom-1000.png" for 1000.
std::string pictureName(int number);

// An image from the rows glReadPixels gives (RGB, bottom row first, no row
// padding): the top row of the window becomes row 0.
RgbImage imageFromWindowRows(const std::vector<uint8_t>& rows, int width, int height);

// Writes the window as the first pictureName(n) not taken in the current
// folder (a name taken meanwhile by another program is skipped, never
// replaced) and prints "Saved the window as NAME (W x H pixels)", or why not.
void saveWindowPicture();
