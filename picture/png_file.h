// Writing an RgbImage as a PNG file (8-bit RGB, through libpng). The file is
// written to a temporary file in the target's folder and only put in place
// when complete, so a failure never leaves a partial file.
#pragma once

#include <string>

#include "picture/image.h"

enum class PngWrite {
    Written,  // the file is in place
    Exists,   // keepExisting was asked and a file of that name exists: nothing written
    Failed    // *error says why; nothing written
};

// Writes image to path. keepExisting false: an earlier file of that name is
// replaced. keepExisting true: the file is put in place only if no file of
// that name exists at that moment (Exists otherwise), even against another
// writer racing for the same name.
PngWrite writePng(const RgbImage& image, const std::string& path, bool keepExisting,
                  std::string* error);
