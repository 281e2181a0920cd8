// Names made fit for a terminal or a one-line text: a file name may hold
// escape sequences (setting the window title, clearing the screen) or line
// ends, and must reach the user as text, never as commands.
#pragma once

#include <string>

namespace files {

// The name with every control character (0x00-0x1f, 0x7f, and U+0080 to
// U+009F), and every byte that is not part of valid UTF-8, written as \xHH
// (one per byte). Other characters, UTF-8 letters included, stay as they
// are, so an ordinary name is returned unchanged.
std::string printableName(const std::string& name);

// Whether the text is valid UTF-8 throughout (no overlong forms, surrogates or
// code points past U+10FFFF): what JSON text may hold as it is.
bool isUtf8(const std::string& text);

}  // namespace files
