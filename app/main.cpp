#include <cstdio>
#include <cstring>

#include "app/startup.h"
#include "version/version.h"

namespace {

const char* const kHelp =
    "Usage: rangeloom [OPTION] [FILE.m|FILE.ply|FILE.conf|FILE.ptx|FILE.e57]\n"
    "Show a polygon mesh or range scans in an OpenGL window. The scans of a scan\n"
    "configuration (or of a PTX or E57 file) are compared with each other, and the\n"
    "points that disagree with the other scans are marked; 'p' writes every scan\n"
    "back out without them as NAME.cln.ply. FILE is chosen by its extension, in any\n"
    "letter case. Without FILE the window opens empty.\n"
    "\n"
    "  -h, --help              print this help and exit\n"
    "  -V, --version           print the version and exit\n"
    "GLUT's own options are taken before FILE, among them:\n"
    "  -display DISPLAY        the X display to open the window on\n"
    "  -geometry WxH+X+Y       the window's size and place\n"
    "  -iconic                 start with the window iconified\n"
    "\n"
    "In the window, 'h' prints the keys, 'q' quits.\n"
    "\n"
    "Environment:\n"
    "  RANGELOOM_DECIMATE_ABOVE=N  while a camera key is held or a drag goes on, a\n"
    "                          scene of more than N faces or points is drawn as\n"
    "                          every k-th of them (default 2000000; 0: never)\n"
    "  RANGELOOM_DRAWING=immediate|arrays|buffers  how meshes reach the GL\n"
    "\n"
    "Exit status: 0 after 'q' or when the window is closed; 1 when no window can\n"
    "be opened; when a scan's data is damaged, the PLY library's status: 255 for\n"
    "text data, 1 for binary data.\n";

// --help and --version as the first argument are answered before GLUT starts,
// so that they need no display.
bool answerInfoOption(int argc, char** argv) {
    if (argc < 2) return false;
    if (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelp, stdout);
        return true;
    }
    if (std::strcmp(argv[1], "-V") == 0 || std::strcmp(argv[1], "--version") == 0) {
        std::printf("rangeloom %s\n", RANGELOOM_VERSION);
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Reports must appear as they happen even when standard output is a pipe
    // or a file, and must not be lost when the program is ended from outside.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (answerInfoOption(argc, argv)) return 0;
    return runStartup(argc, argv);
}
