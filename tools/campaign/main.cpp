// rangeloom-campaign: writes a large, deterministic scan campaign: a scene
// (rolling terrain, a room, or a building's facade) scanned from stations on
// a path, each scan a binary PLY range image, with the scan configuration
// that places them and the list of stray points the cleaning should toss.
//
//   rangeloom-campaign OUTDIR [--stations N] [--raster COLSxROWS] [--seed S]
//                      [--scene terrain|room|facade] [--spacing METRES]
//                      [--strays N] [--threads N]
//
// Output, in OUTDIR (made when missing):
//   campaign.conf     one "bmesh scanNNNN.ply tx ty tz qx qy qz qw" per station, in path order
//   scanNNNN.ply      the range images (see scan_file.h); scan i overlaps scans i - 1 and i + 1
//   campaign.strays   one line per scan: its file name and its stray vertex indices
// The same arguments give the same bytes, whatever the number of threads.
// Scans are written to NAME.part and renamed once complete.
//
// Exit status: 0 done, 1 bad usage, 3 a file could not be written (files
// already complete are kept; no .part file is left).

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "files/file_replacement.h"
#include "parallel/parallel_for.h"
#include "tools/campaign/scan_file.h"
#include "tools/campaign/survey.h"
#include "tools/common/generator_main.h"

namespace {

using campaign::Candidate;
using campaign::Plan;

struct Options {
    std::string outDir;
    Plan plan;
    int threads = 0;  // 0: one per processor
};

const char kUsage[] =
    "usage: rangeloom-campaign OUTDIR [--stations N] [--raster COLSxROWS] [--seed S]\n"
    "                          [--scene terrain|room|facade] [--spacing METRES]\n"
    "                          [--strays N] [--threads N]\n"
    "Writes OUTDIR/campaign.conf, OUTDIR/scanNNNN.ply and OUTDIR/campaign.strays.\n"
    "  --stations N       scans on the path, each overlapping its two neighbours (default 10)\n"
    "  --raster CxR       raster columns and rows of every scan (default 1000x1000)\n"
    "  --seed S           everything is drawn from it (default 1)\n"
    "  --scene KIND       terrain (default), room or facade\n"
    "  --spacing M        metres between neighbouring rays, at most 0.0006 (default 0.0005)\n"
    "  --strays N         stray points per scan (default 8)\n"
    "  --threads N        scans written at once; 0 (default) for one per processor\n"
    "  -h, --help         print this help and exit\n"
    "  -V, --version      print the version and exit\n"
    "Exit status: 0 success, 1 bad usage, 3 a file could not be written.\n";

using sim::Parsed;

bool parseInt(const char* text, long min, long max, long* out) {
    char* end;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < min || v > max) return false;
    *out = v;
    return true;
}

// Parses the command line; BadUsage comes with a message.
Parsed parseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") return Parsed::Help;
        if (a == "--version" || a == "-V") return Parsed::Version;
        if (a.rfind("--", 0) != 0) {
            if (!o->outDir.empty()) {
                std::fprintf(stderr, "rangeloom-campaign: one output folder only\n");
                return Parsed::BadUsage;
            }
            o->outDir = a;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "rangeloom-campaign: %s needs a value\n", a.c_str());
            return Parsed::BadUsage;
        }
        const char* v = argv[++i];
        long n = 0;
        bool ok = true;
        if (a == "--stations") {
            ok = parseInt(v, 1, 99999, &n);
            o->plan.stations = static_cast<int>(n);
        } else if (a == "--raster") {
            const char* x = std::strchr(v, 'x');
            long cols = 0, rows = 0;
            ok = x != nullptr && parseInt(std::string(v, x).c_str(), 8, 100000, &cols) &&
                 parseInt(x + 1, 8, 100000, &rows) && cols * rows <= 2147483647L;
            o->plan.cols = static_cast<int>(cols);
            o->plan.rows = static_cast<int>(rows);
        } else if (a == "--seed") {
            char* end;
            errno = 0;
            o->plan.seed = std::strtoull(v, &end, 10);
            ok = errno == 0 && end != v && *end == '\0';
        } else if (a == "--scene") {
            ok = campaign::parseSceneKind(v, &o->plan.kind);
        } else if (a == "--spacing") {
            char* end;
            o->plan.spacing = std::strtod(v, &end);
            // Raster neighbours are joined into triangles only when their
            // edges stay under a millimetre.
            ok = end != v && *end == '\0' && o->plan.spacing >= 1e-5 && o->plan.spacing <= 0.0006;
        } else if (a == "--strays") {
            ok = parseInt(v, 0, 100000, &n);
            o->plan.strays = static_cast<int>(n);
        } else if (a == "--threads") {
            ok = parseInt(v, 0, 1024, &n);
            o->threads = static_cast<int>(n);
        } else {
            std::fprintf(stderr, "rangeloom-campaign: unknown option %s\n", a.c_str());
            return Parsed::BadUsage;
        }
        if (!ok) {
            std::fprintf(stderr, "rangeloom-campaign: bad value for %s: %s\n", a.c_str(), v);
            return Parsed::BadUsage;
        }
    }
    if (o->outDir.empty()) {
        std::fprintf(stderr, "rangeloom-campaign: no output folder\n");
        return Parsed::BadUsage;
    }
    return Parsed::Run;
}

std::string scanName(int i, int stations) {
    int digits = 4;
    for (int n = stations - 1; n >= 10000; n /= 10) ++digits;
    char name[32];
    std::snprintf(name, sizeof name, "scan%0*d.ply", digits, i);
    return name;
}

// What is kept of a scan once it is written.
struct Written {
    long header = -1;  // where its vertices begin in its file
    std::size_t points = 0;
    campaign::V3 lo{0, 0, 0}, hi{0, 0, 0};
    std::vector<Candidate> candidates;
    std::vector<Candidate> strays;
};

// Runs work(i) for i in [0, n) on at most `threads` threads.
template <class Work>
void forEach(int n, int threads, Work work) {
    parallelForEach(static_cast<std::size_t>(n), threads,
                    [&](std::size_t i) { work(static_cast<int>(i)); });
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    const int answered =
        sim::answerParsed(parseOptions(argc, argv, &o), "rangeloom-campaign", kUsage);
    if (answered >= 0) return answered;
    if (!sim::makeOutputFolder("rangeloom-campaign", o.outDir)) return 3;
    const auto start = std::chrono::steady_clock::now();
    const campaign::Survey survey(o.plan);
    const int n = o.plan.stations;
    const int threads = threadsOrAll(o.threads);
    std::vector<Written> written(static_cast<std::size_t>(n));
    std::vector<std::string> parts(static_cast<std::size_t>(n));
    std::mutex failures;
    std::string failed;  // the first failure's message
    auto fail = [&](const std::string& message) {
        std::lock_guard<std::mutex> lock(failures);
        if (failed.empty()) failed = message;
    };

    // Each scan is taken and written on its own; only its box and the places
    // for strays are kept.
    forEach(n, threads, [&](int i) {
        Written& w = written[static_cast<std::size_t>(i)];
        parts[static_cast<std::size_t>(i)] = o.outDir + "/" + scanName(i, n) + ".part";
        campaign::Scan scan = campaign::takeScan(survey, i);
        std::string error;
        w.header =
            campaign::writeScanFile(parts[static_cast<std::size_t>(i)], scan, o.plan, i, &error);
        if (w.header < 0) fail("cannot write " + parts[static_cast<std::size_t>(i)] + ": " + error);
        w.points = scan.xyz.size() / 3;
        w.lo = scan.lo;
        w.hi = scan.hi;
        w.candidates = std::move(scan.candidates);
    });

    // The box of all scans fixes the lattice, and with it where strays may go.
    campaign::V3 lo{HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const Written& w : written) {
        if (w.points == 0) continue;
        lo = {std::min(lo.x, w.lo.x), std::min(lo.y, w.lo.y), std::min(lo.z, w.lo.z)};
        hi = {std::max(hi.x, w.hi.x), std::max(hi.y, w.hi.y), std::max(hi.z, w.hi.z)};
    }
    if (failed.empty()) {
        forEach(n, threads, [&](int i) {
            Written& w = written[static_cast<std::size_t>(i)];
            campaign::Scan candidates;
            candidates.candidates = std::move(w.candidates);
            w.strays = campaign::chooseStrays(candidates, lo, hi, o.plan.strays);
            std::string error;
            const std::string& part = parts[static_cast<std::size_t>(i)];
            if (!campaign::placeStrays(part, w.header, w.strays, &error))
                fail("cannot write " + part + ": " + error);
        });
    }

    std::string conf, strays;
    std::size_t points = 0, strayCount = 0;
    for (int i = 0; i < n && failed.empty(); ++i) {
        const Written& w = written[static_cast<std::size_t>(i)];
        const std::string name = scanName(i, n);
        const std::string& part = parts[static_cast<std::size_t>(i)];
        if (std::rename(part.c_str(), (o.outDir + "/" + name).c_str()) != 0) {
            fail("cannot rename " + part + ": " + std::strerror(errno));
            break;
        }
        const sim::Pose& pose = survey.stations[static_cast<std::size_t>(i)].pose;
        double q[4];
        sim::poseQuaternion(pose, q);
        if (!sim::quaternionMatches(pose, q)) {
            fail("internal error: the pose of station " + std::to_string(i));
            break;
        }
        char line[256];
        std::snprintf(line, sizeof line, "bmesh %s %.9g %.9g %.9g %.9g %.9g %.9g %.9g\n",
                      name.c_str(), pose.origin.x, pose.origin.y, pose.origin.z, q[0], q[1], q[2],
                      q[3]);
        conf += line;
        strays += name;
        for (const Candidate& c : w.strays) strays += " " + std::to_string(c.index);
        strays += "\n";
        points += w.points;
        strayCount += w.strays.size();
    }
    const std::pair<const char*, const std::string*> listings[] = {{"campaign.strays", &strays},
                                                                   {"campaign.conf", &conf}};
    for (const auto& [file, text] : listings) {
        const std::string path = o.outDir + "/" + file;
        std::string error;
        if (failed.empty() && !files::replaceFileWith(path, *text, &error))
            fail("cannot write " + path + ": " + error);
    }
    if (!failed.empty()) {
        for (const std::string& part : parts) std::remove(part.c_str());
        std::fprintf(stderr, "rangeloom-campaign: %s\n", failed.c_str());
        return 3;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d scans of the %s, %zu points, %zu strays: %s/campaign.conf (%.1f s)\n", n,
                campaign::sceneKindName(o.plan.kind), points, strayCount, o.outDir.c_str(),
                seconds);
    return 0;
}
