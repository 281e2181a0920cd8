#include <cstdio>

#include "app/startup.h"

int main(int argc, char** argv) {
    // Reports must appear as they happen even when standard output is a pipe
    // or a file, and must not be lost when the program is ended from outside.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    return runStartup(argc, argv);
}
