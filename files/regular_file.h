// Opening outside files for reading without being led into devices, FIFOs
// or folders: /dev/zero never ends, a FIFO blocks until a writer comes, and
// a folder has no bytes to read.
#pragma once

#include <cstdio>
#include <string>

namespace files {

// Opens path for reading ("r") when it is a regular file (a link to one
// included). Null otherwise, with *error saying why: the errno text when it
// cannot be opened, or "it is a FIFO, not a regular file" and the like. A
// FIFO is never waited for.
FILE* openRegularFile(const std::string& path, std::string* error);

// "it is a FIFO, not a regular file" and the like when path names a file
// that is there and is no regular file; "" otherwise (a missing file
// included: opening it says why).
std::string notRegularReason(const std::string& path);

// Whether a reason given by openRegularFile or notRegularReason says that
// the file is there but no regular file (rather than why it cannot be opened).
bool isNotRegularReason(const std::string& reason);

// What a file of this st_mode is, for messages: "a folder", "a FIFO",
// "a character device", "a block device", "a socket", "a regular file".
const char* fileKindName(unsigned mode);

}  // namespace files
