// Writing a whole file so that it replaces its target only when complete:
// the bytes go to a new temporary file in the target's folder (made with
// mkstemp, never an existing file), which is flushed to the disk and renamed
// over the target. A failure leaves no partial file and keeps an earlier one.
#pragma once

#include <string>

// Writes bytes to target. False, with *error saying why (the system's words),
// when it could not be written; the target is then left as it was.
bool replaceFileWith(const std::string& target, const std::string& bytes, std::string* error);
