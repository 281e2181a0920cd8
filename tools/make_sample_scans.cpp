// rangeloom-sample: writes a small, deterministic set of simulated range scans
// and the scan configuration that places them.
//
// The simulated scanner casts a raster of parallel rays down its own -z axis
// onto a solid (a sphere inside a ring, about 6 cm across) and records the
// first hit of each ray, with a little noise along the ray, in its own frame.
// Each scan is taken from another direction; its pose (the rotation and
// translation from the scanner's frame into the common frame) goes into the
// configuration. A few points per scan are moved towards the scanner, as dust
// or a stray reflection would: those are the points the overlap analysis
// should toss.
//
// Output, all in the output folder:
//   sample.conf       "camera ..." then one "bmesh scanNN.ply tx ty tz qx qy qz qw" per scan
//   scanNN.ply        ASCII PLY range images (obj_info num_cols / num_rows,
//                     vertex x y z, range_grid lists "0" or "1 k")
//   sample.strays     one line per scan: the file name and its stray vertex indices

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/file_replacement.h"
#include "files/printable_name.h"
#include "tools/common/generator_main.h"
#include "tools/common/simulation.h"

namespace {

using sim::cross;
using sim::dot;
using sim::Pose;
using sim::poseLookingFrom;
using sim::poseQuaternion;
using sim::quaternionMatches;
using sim::Random;
using sim::unit;
using sim::V3;

// Signed distance to the solid: a sphere of radius 18 mm inside a ring
// (torus about the y axis, radius 24 mm, tube radius 6 mm), with a smaller
// sphere (9 mm) on top, off the axis, so that no two views look alike.
double solidDistance(V3 p) {
    const double sphere = std::sqrt(dot(p, p)) - 0.018;
    const double ringX = std::sqrt(p.x * p.x + p.z * p.z) - 0.024;
    const double ring = std::sqrt(ringX * ringX + p.y * p.y) - 0.006;
    const V3 h = p - V3{0.008, 0.02, 0.006};
    const double head = std::sqrt(dot(h, h)) - 0.009;
    return std::min(sphere, std::min(ring, head));
}

// Outward unit normal of the solid at p (its distance's gradient).
V3 solidNormal(V3 p) {
    const double e = 1e-6;
    return unit(V3{solidDistance(p + V3{e, 0, 0}) - solidDistance(p - V3{e, 0, 0}),
                   solidDistance(p + V3{0, e, 0}) - solidDistance(p - V3{0, e, 0}),
                   solidDistance(p + V3{0, 0, e}) - solidDistance(p - V3{0, 0, e})});
}

// First hit of the ray origin + t * dir (dir of unit length), by sphere tracing.
bool castRay(V3 origin, V3 dir, double maxT, double* hitT) {
    double t = 0.0;
    for (int i = 0; i < 2000 && t < maxT; ++i) {
        const double d = solidDistance(origin + t * dir);
        if (d < 1e-9) {
            *hitT = t;
            return true;
        }
        t += d;
    }
    return false;
}

struct Options {
    std::string outDir = ".";
    int scans = 6;
    int cols = 128;
    int rows = 128;
    double spacing = 0.0005;  // metres between neighbouring rays
    int strays = 8;           // stray points per scan
    uint64_t seed = 1;
};

struct Scan {
    std::vector<V3> points;       // scanner frame
    std::vector<double> facing;   // per point: |surface normal . view axis|
    std::vector<int32_t> grid;    // row-major raster: vertex index or -1
    std::vector<int32_t> strays;  // vertex indices moved off the surface
};

Scan takeScan(const Pose& pose, const Options& o, Random& random) {
    Scan scan;
    scan.grid.assign(static_cast<std::size_t>(o.cols) * o.rows, -1);
    // The raster is centred on the object's centre as the scanner sees it.
    const V3 centre = {-dot(pose.origin, pose.axisX), -dot(pose.origin, pose.axisY),
                       -dot(pose.origin, pose.axisZ)};
    const double startZ = centre.z + 0.1;
    const V3 dirWorld = -1.0 * pose.axisZ;
    for (int row = 0; row < o.rows; ++row) {
        for (int col = 0; col < o.cols; ++col) {
            const double x = centre.x + (col - (o.cols - 1) / 2.0) * o.spacing;
            const double y = centre.y + ((o.rows - 1) / 2.0 - row) * o.spacing;
            const V3 originWorld =
                pose.origin + x * pose.axisX + y * pose.axisY + startZ * pose.axisZ;
            double t;
            if (!castRay(originWorld, dirWorld, 0.2, &t)) continue;
            const double z = startZ - t + 0.00002 * random.normal();
            scan.grid[static_cast<std::size_t>(row) * o.cols + col] =
                static_cast<int32_t>(scan.points.size());
            scan.points.push_back({x, y, z});
            scan.facing.push_back(
                std::fabs(dot(solidNormal(originWorld + t * dirWorld), pose.axisZ)));
        }
    }
    // Strays: points lifted 1.5 mm towards the scanner, where the surface is
    // seen at an angle (30 to 60 degrees), as the neighbouring views see it too.
    for (int k = 0; k < o.strays && !scan.points.empty(); ++k) {
        for (int attempt = 0; attempt < 1000; ++attempt) {
            const int row = static_cast<int>(random.uniform() * o.rows);
            const int col = static_cast<int>(random.uniform() * o.cols);
            const int32_t v = scan.grid[static_cast<std::size_t>(row) * o.cols + col];
            if (v < 0 || scan.facing[v] < 0.5 || scan.facing[v] > 0.87) continue;
            bool already = false;
            for (int32_t s : scan.strays) already = already || s == v;
            if (already) continue;
            scan.points[v].z += 0.0015;
            scan.strays.push_back(v);
            break;
        }
    }
    return scan;
}

// Writes the scan into f (the caller checks for write errors).
void writeScan(FILE* f, const Scan& scan, const Options& o) {
    std::fprintf(f, "ply\nformat ascii 1.0\n");
    std::fprintf(f, "comment simulated range scan written by rangeloom-sample\n");
    std::fprintf(f, "obj_info num_cols %d\nobj_info num_rows %d\n", o.cols, o.rows);
    std::fprintf(f, "element vertex %zu\n", scan.points.size());
    std::fprintf(f, "property float x\nproperty float y\nproperty float z\n");
    std::fprintf(f, "element range_grid %zu\n", scan.grid.size());
    std::fprintf(f, "property list uchar int vertex_indices\nend_header\n");
    for (const V3& p : scan.points) std::fprintf(f, "%g %g %g \n", p.x, p.y, p.z);
    for (int32_t g : scan.grid) {
        if (g < 0)
            std::fprintf(f, "0 \n");
        else
            std::fprintf(f, "1 %d \n", g);
    }
}

const char* const kUsage =
    "usage: rangeloom-sample [--out DIR] [--scans N] [--cols N] [--rows N]\n"
    "                        [--spacing METRES] [--strays N] [--seed N]\n"
    "Writes a small simulated scan set: DIR/sample.conf (the configuration),\n"
    "DIR/scanNN.ply (ASCII PLY range images) and DIR/sample.strays (per scan, the\n"
    "indices of its stray points). The same arguments give the same files.\n"
    "\n"
    "  --out DIR          write into DIR, made when missing (default: .)\n"
    "  --scans N          number of scans, 1 to 99 (default 6)\n"
    "  --cols N           raster columns of every scan, 2 to 4096 (default 128)\n"
    "  --rows N           raster rows of every scan, 2 to 4096 (default 128)\n"
    "  --spacing METRES   distance between neighbouring rays (default 0.0005)\n"
    "  --strays N         stray points per scan (default 8)\n"
    "  --seed N           seed of the noise and the strays (default 1)\n"
    "  -h, --help         print this help and exit\n"
    "  -V, --version      print the version and exit\n"
    "\n"
    "Exit status: 0 success, 1 bad usage or a file cannot be written.\n";

using sim::Parsed;

Parsed parseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") return Parsed::Help;
        if (a == "-V" || a == "--version") return Parsed::Version;
        if (i + 1 >= argc) return Parsed::BadUsage;
        const char* v = argv[++i];
        if (a == "--out")
            o->outDir = v;
        else if (a == "--scans")
            o->scans = std::atoi(v);
        else if (a == "--cols")
            o->cols = std::atoi(v);
        else if (a == "--rows")
            o->rows = std::atoi(v);
        else if (a == "--spacing")
            o->spacing = std::atof(v);
        else if (a == "--strays")
            o->strays = std::atoi(v);
        else if (a == "--seed")
            o->seed = std::strtoull(v, nullptr, 10);
        else
            return Parsed::BadUsage;
    }
    const bool valid = o->scans >= 1 && o->scans <= 99 && o->cols >= 2 && o->rows >= 2 &&
                       o->cols <= 4096 && o->rows <= 4096 && o->spacing > 0 && o->strays >= 0;
    return valid ? Parsed::Run : Parsed::BadUsage;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    const int answered =
        sim::answerParsed(parseOptions(argc, argv, &o), "rangeloom-sample", kUsage);
    if (answered >= 0) return answered;
    if (!sim::makeOutputFolder("rangeloom-sample", o.outDir)) return 1;
    Random random(o.seed);
    // Every file is written beside its target and renamed into place only
    // when all of them are complete: a failed run leaves no partial file and
    // keeps an earlier set as it was.
    std::vector<files::FileReplacement> pending;
    std::string error;
    auto failed = [&](const std::string& path) {
        std::fprintf(stderr, "rangeloom-sample: cannot write %s: %s\n",
                     files::printableName(path).c_str(), error.c_str());
        return 1;
    };
    files::FileReplacement conf, strays;
    if (!conf.create(o.outDir + "/sample.conf", &error)) return failed(conf.target());
    if (!strays.create(o.outDir + "/sample.strays", &error)) return failed(strays.target());
    std::fprintf(conf.stream(), "camera 0 0 0.3 0 0 0 1\n");
    for (int i = 0; i < o.scans; ++i) {
        // Around the object at a slight elevation; with four scans or more,
        // the last one looks from above.
        const bool fromAbove = o.scans >= 4 && i == o.scans - 1;
        const int around = o.scans >= 4 ? o.scans - 1 : o.scans;
        const double azimuth = 2.0 * M_PI * i / around;
        const V3 from =
            fromAbove ? V3{0.2, 1.0, 0.1} : V3{std::sin(azimuth), 0.25, std::cos(azimuth)};
        const V3 up = fromAbove ? V3{0, 0, -1} : V3{0, 1, 0};
        const V3 origin = {0.001 * std::sin(3.0 * i), -0.0015 * std::cos(2.0 * i), 0.0007 * i};
        const Pose pose = poseLookingFrom(from, up, origin);
        double q[4];
        poseQuaternion(pose, q);
        if (!quaternionMatches(pose, q)) {
            std::fprintf(stderr, "rangeloom-sample: internal error: pose %d\n", i);
            return 2;
        }
        const Scan scan = takeScan(pose, o, random);
        char name[32];
        std::snprintf(name, sizeof name, "scan%02d.ply", i);
        files::FileReplacement file;
        if (!file.create(o.outDir + "/" + name, &error)) return failed(file.target());
        writeScan(file.stream(), scan, o);
        if (!file.close(&error)) return failed(file.target());
        pending.push_back(std::move(file));
        std::fprintf(conf.stream(), "bmesh %s %.9g %.9g %.9g %.9g %.9g %.9g %.9g\n", name,
                     pose.origin.x, pose.origin.y, pose.origin.z, q[0], q[1], q[2], q[3]);
        std::fprintf(strays.stream(), "%s", name);
        for (int32_t s : scan.strays) std::fprintf(strays.stream(), " %d", s);
        std::fprintf(strays.stream(), "\n");
    }
    // The configuration last, once the scans it names are in place.
    pending.push_back(std::move(strays));
    pending.push_back(std::move(conf));
    for (files::FileReplacement& p : pending)
        if (!p.commit(&error)) return failed(p.target());
    return 0;
}
