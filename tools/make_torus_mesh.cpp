// rangeloom-torus: writes a torus as a .m text mesh, for trying the viewer
// and for tests and benchmarks that need a mesh of a given size.
//   rangeloom-torus [--triangles] OUT.m [AROUND] [ACROSS]
// AROUND x ACROSS quads (or twice as many triangles), vertices numbered from 1.
// Options may stand anywhere ("OUT.m 48 24 --triangles" as well).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/file_replacement.h"
#include "files/printable_name.h"
#include "version/version.h"

namespace {

const char* const kUsage =
    "usage: rangeloom-torus [--triangles] OUT.m [AROUND] [ACROSS]\n"
    "Writes a torus as a .m text mesh of AROUND x ACROSS quadrilaterals (default\n"
    "48 x 24, each at least 3), vertices numbered from 1.\n"
    "\n"
    "  --triangles     two triangles for every quadrilateral\n"
    "  -h, --help      print this help and exit\n"
    "  -V, --version   print the version and exit\n"
    "\n"
    "Exit status: 0 success, 1 bad usage or the file cannot be written.\n";

// A count of 3 or more, written as a whole decimal number; 0 otherwise.
int parseCount(const std::string& text) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 3 || v > 100000) return 0;
    return static_cast<int>(v);
}

}  // namespace

int main(int argc, char** argv) {
    bool triangles = false;
    std::vector<std::string> operands;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "-V" || a == "--version") {
            std::printf("rangeloom-torus %s\n", RANGELOOM_VERSION);
            return 0;
        }
        if (a == "--triangles") {
            triangles = true;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "rangeloom-torus: unknown option '%s' (see --help)\n", a.c_str());
            return 1;
        } else {
            operands.push_back(a);
        }
    }
    if (operands.empty() || operands.size() > 3) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    const int around = operands.size() > 1 ? parseCount(operands[1]) : 48;
    const int across = operands.size() > 2 ? parseCount(operands[2]) : 24;
    if (around < 3 || across < 3) {
        std::fprintf(stderr,
                     "rangeloom-torus: AROUND and ACROSS must be whole numbers from 3 to 100000\n");
        return 1;
    }
    // Written beside the target and renamed over it when complete, so that a
    // failed write never leaves half a mesh in place of an earlier one.
    files::FileReplacement file;
    std::string error;
    if (!file.create(operands[0], &error)) {
        std::fprintf(stderr, "rangeloom-torus: cannot write %s: %s\n",
                     files::printableName(operands[0]).c_str(), error.c_str());
        return 1;
    }
    FILE* f = file.stream();
    std::fprintf(f, "# torus, %d x %d\n", around, across);
    const double R = 1.0, r = 0.35;
    int n = 0;
    for (int i = 0; i < around; ++i) {
        const double u = 2.0 * M_PI * i / around;
        for (int j = 0; j < across; ++j) {
            const double v = 2.0 * M_PI * j / across;
            std::fprintf(f, "Vertex %d %.6f %.6f %.6f\n", ++n, (R + r * std::cos(v)) * std::cos(u),
                         r * std::sin(v), (R + r * std::cos(v)) * std::sin(u));
        }
    }
    auto id = [&](int i, int j) { return (i % around) * across + (j % across) + 1; };
    int face = 0;
    for (int i = 0; i < around; ++i) {
        for (int j = 0; j < across; ++j) {
            const int a = id(i, j), b = id(i + 1, j), c = id(i + 1, j + 1), d = id(i, j + 1);
            if (triangles) {
                std::fprintf(f, "Face %d %d %d %d\n", ++face, a, d, c);
                std::fprintf(f, "Face %d %d %d %d\n", ++face, a, c, b);
            } else {
                std::fprintf(f, "Face %d %d %d %d %d\n", ++face, a, d, c, b);
            }
        }
    }
    if (!file.commit(&error)) {
        std::fprintf(stderr, "rangeloom-torus: cannot write %s: %s\n",
                     files::printableName(operands[0]).c_str(), error.c_str());
        return 1;
    }
    return 0;
}
