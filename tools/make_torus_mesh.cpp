// rangeloom-torus: writes a torus as a .m text mesh, for trying the viewer
// and for tests and benchmarks that need a mesh of a given size.
//   rangeloom-torus OUT.m [AROUND] [ACROSS] [--triangles]
// AROUND x ACROSS quads (or twice as many triangles), vertices numbered from 1.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: rangeloom-torus OUT.m [AROUND] [ACROSS] [--triangles]\n");
        return 1;
    }
    const int around = argc > 2 ? std::atoi(argv[2]) : 48;
    const int across = argc > 3 ? std::atoi(argv[3]) : 24;
    const bool triangles = argc > 4 && std::strcmp(argv[4], "--triangles") == 0;
    if (around < 3 || across < 3) {
        std::fprintf(stderr, "rangeloom-torus: AROUND and ACROSS must be at least 3\n");
        return 1;
    }
    FILE* f = std::fopen(argv[1], "w");
    if (f == nullptr) {
        std::fprintf(stderr, "rangeloom-torus: cannot write %s\n", argv[1]);
        return 1;
    }
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
    return std::fclose(f) == 0 ? 0 : 1;
}
