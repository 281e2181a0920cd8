// Points standard output (file descriptor 1, with the stdio stream and the
// standard output stream on it) somewhere else for a while, so that the
// batch cleaner can run the viewer's loaders and analysis without their
// console transcript reaching its own standard output.
#pragma once

#include <cstdio>
#include <string>

class StdoutRedirect {
public:
    // Sends standard output into an unlinked temporary file whose text
    // finish() returns; if no temporary file can be made, to /dev/null.
    static StdoutRedirect toTemporaryFile();

    StdoutRedirect(StdoutRedirect&& other) noexcept;
    StdoutRedirect(const StdoutRedirect&) = delete;
    StdoutRedirect& operator=(const StdoutRedirect&) = delete;
    StdoutRedirect& operator=(StdoutRedirect&&) = delete;
    // Restores standard output if finish() was not called.
    ~StdoutRedirect();

    // The text captured so far, read without ending the redirection.
    std::string captured() const;
    // Restores standard output and returns the text captured.
    std::string finish();

private:
    StdoutRedirect(int target, std::FILE* capture);

    int savedFd_ = -1;              // duplicate of the original descriptor 1; -1 once restored
    std::FILE* capture_ = nullptr;  // the temporary file (owned), or null
};
