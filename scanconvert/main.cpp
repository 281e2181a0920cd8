// rangeloom-scanconvert: every scan of a PTX or E57 file as a PLY range
// image, and a scan configuration whose bmesh records place them, so that
// the viewer and rangeloom-clean work on such scans as on their own.
//
//   rangeloom-scanconvert [OPTION]... FILE.ptx|FILE.e57
//
// Writes STEM.conf and STEM-01.ply, STEM-02.ply, ... (one per scan, in file
// order) beside FILE or into --out DIR. Points stay in the scanner's frame
// and the pose goes into the record, so a scan is triangulated from its own
// raster as the scanner took it. Every file is written to a temporary name
// and renamed into place only when the whole input has been read and every
// file written: a damaged input or a failed write leaves nothing behind.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/file_replacement.h"
#include "formats/scan_pose.h"
#include "formats/structured_scan.h"
#include "libply/plyfile.h"
#include "range_image_writer.h"
#include "version/version.h"

namespace {

const char* const kUsage =
    "usage: rangeloom-scanconvert [OPTION]... FILE.ptx|FILE.e57\n"
    "Writes every scan of FILE as a PLY range image STEM-NN.ply and a scan\n"
    "configuration STEM.conf that places them (STEM: FILE's name without its\n"
    "extension), beside FILE.\n"
    "\n"
    "  -o, --out=DIR   write into DIR (made when missing)\n"
    "  -a, --ascii     write ASCII PLY files (default: binary little-endian)\n"
    "  -l, --list      print the scans; write nothing\n"
    "  -q, --quiet     print nothing but errors\n"
    "  -h, --help      print this text\n"
    "  -V, --version   print the version\n"
    "\n"
    "Exit status: 0 success, 1 bad usage, 2 unreadable input or a pose that a\n"
    "configuration cannot hold (nothing written), 3 a file cannot be written\n"
    "(nothing left half-written).\n";

struct Options {
    std::string input;
    std::string outDir;  // "" for beside the input
    bool ascii = false;
    bool list = false;
    bool quiet = false;
};

// Parses the command line; returns -1 to go on, else the exit status.
int parseOptions(int argc, char** argv, Options* o) {
    bool endOfOptions = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (endOfOptions || a.empty() || a[0] != '-' || a == "-") {
            if (!o->input.empty()) {
                std::fprintf(stderr, "rangeloom-scanconvert: one input file only (see --help)\n");
                return 1;
            }
            o->input = a;
        } else if (a == "--") {
            endOfOptions = true;
        } else if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "-V" || a == "--version") {
            std::puts("rangeloom-scanconvert " RANGELOOM_VERSION);
            return 0;
        } else if (a == "-a" || a == "--ascii") {
            o->ascii = true;
        } else if (a == "-l" || a == "--list") {
            o->list = true;
        } else if (a == "-q" || a == "--quiet") {
            o->quiet = true;
        } else if (a == "-o" || a == "--out") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "rangeloom-scanconvert: %s needs a folder (see --help)\n",
                             a.c_str());
                return 1;
            }
            o->outDir = argv[++i];
        } else if (a.compare(0, 6, "--out=") == 0) {
            o->outDir = a.substr(6);
        } else if (a.compare(0, 2, "-o") == 0) {
            o->outDir = a.substr(2);
        } else {
            std::fprintf(stderr, "rangeloom-scanconvert: unknown option '%s' (see --help)\n",
                         a.c_str());
            return 1;
        }
    }
    if (o->input.empty()) {
        std::fprintf(stderr, "rangeloom-scanconvert: no input file (see --help)\n");
        return 1;
    }
    if (!formats::isStructuredScanFile(o->input)) {
        std::fprintf(stderr, "rangeloom-scanconvert: %s is not a .ptx or .e57 file (see --help)\n",
                     o->input.c_str());
        return 1;
    }
    return -1;
}

// The PLY library's fatal ends (a failed write) unwind to the caller.
struct PlyExit {
    int status;
};
[[noreturn]] void throwPlyExit(int status) {
    throw PlyExit{status};
}

// Control characters would end a PLY comment line early.
std::string printable(std::string s) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return s;
}

class Converter {
public:
    explicit Converter(const Options& o) : o_(o) {
        const std::size_t slash = o.input.rfind('/');
        const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
        stem_ = o.input.substr(nameStart, o.input.rfind('.') - nameStart);
        folder_ = o.outDir.empty() ? o.input.substr(0, nameStart)
                                   : (o.outDir.back() == '/' ? o.outDir : o.outDir + "/");
    }

    int run() {
        if (!o_.list && !o_.outDir.empty() && !makeFolder()) return 3;
        if (!o_.quiet)
            std::printf("%-5s %-13s %9s %9s  %-8s %s\n", "scan", "raster", "points", "empty",
                        "pose", "file / name");
        const formats::ReadStatus status = formats::forEachScan(
            o_.input, [this](formats::StructuredScan& s) { return convert(s); });
        if (!error_.empty() || !status.ok) {
            removeTemporaries();
            std::fprintf(stderr, "rangeloom-scanconvert: %s\n",
                         error_.empty() ? status.message.c_str() : error_.c_str());
            return writeFailed_ ? 3 : 2;
        }
        if (o_.list) return 0;
        if (!writeConfiguration() || !renameAll()) {
            removeTemporaries();
            std::fprintf(stderr, "rangeloom-scanconvert: %s\n", error_.c_str());
            return 3;
        }
        if (!o_.quiet)
            std::printf("wrote %s (%zu scans)\n", (folder_ + stem_ + ".conf").c_str(),
                        records_.size());
        return 0;
    }

private:
    bool makeFolder() {
        if (mkdir(o_.outDir.c_str(), 0777) == 0 || errno == EEXIST) return true;
        std::fprintf(stderr, "rangeloom-scanconvert: cannot make %s: %s\n", o_.outDir.c_str(),
                     std::strerror(errno));
        return false;
    }

    bool convert(formats::StructuredScan& scan) {
        const formats::ScanHeader& h = scan.header;
        const double defect = formats::rigidDefect(h.pose);
        if (!(defect <= formats::kRigidTolerance)) {
            error_ = o_.input + ": scan " + std::to_string(h.index + 1) + " (" + h.name +
                     "): its transform is not a rotation and a translation (off by " +
                     std::to_string(defect) + "), which a configuration cannot place";
            return false;
        }
        const formats::ConfigPose pose = formats::configPose(h.pose);
        char number[16];
        std::snprintf(number, sizeof number, "%02zu", h.index + 1);
        const std::string name = stem_ + "-" + number + ".ply";
        if (!o_.quiet) {
            char raster[40] = "-";
            if (h.structured)
                std::snprintf(raster, sizeof raster, "%lld x %lld", (long long)h.rows,
                              (long long)h.columns);
            char exactness[24] = "exact";
            if (!pose.exact) std::snprintf(exactness, sizeof exactness, "~%.1e", pose.deviation);
            std::printf("%-5zu %-13s %9zu %9llu  %-8s %s  %s\n", h.index + 1, raster,
                        scan.points.size(), static_cast<unsigned long long>(scan.emptyRecords),
                        exactness, name.c_str(), h.name.c_str());
        }
        if (o_.list) return true;
        if (!writeScan(scan, name)) return false;
        char record[512];
        std::snprintf(record, sizeof record, "bmesh %s %.9g %.9g %.9g %.9g %.9g %.9g %.9g\n",
                      name.c_str(), double(pose.translation[0]), double(pose.translation[1]),
                      double(pose.translation[2]), double(pose.quaternion[0]),
                      double(pose.quaternion[1]), double(pose.quaternion[2]),
                      double(pose.quaternion[3]));
        records_.push_back(record);
        return true;
    }

    bool writeScan(const formats::StructuredScan& scan, const std::string& name) {
        files::FileReplacement file;
        std::string why;
        if (!file.create(folder_ + name, &why)) return failWrite(folder_ + name, why);
        FILE* f = file.releaseStream();
        pending_.push_back(std::move(file));
        const std::vector<std::string> comments = {
            "converted by rangeloom-scanconvert from " + printable(o_.input) + ", scan " +
                std::to_string(scan.header.index + 1) + " (" + printable(scan.header.name) + ")",
            "points in the scanner's frame; the configuration's bmesh record places them"};
        try {
            scanconvert::writeRangeImage(f, scan, o_.ascii, comments);
        } catch (const PlyExit&) {
            return failWrite(folder_ + name, "the write failed");
        }
        return true;
    }

    bool writeConfiguration() {
        files::FileReplacement file;
        std::string why;
        const std::string target = folder_ + stem_ + ".conf";
        if (!file.create(target, &why)) return failWrite(target, why);
        for (const std::string& r : records_) std::fputs(r.c_str(), file.stream());
        if (!file.close(&why)) return failWrite(target, why);
        pending_.push_back(std::move(file));
        return true;
    }

    bool renameAll() {
        std::string why;
        for (files::FileReplacement& p : pending_)
            if (!p.commit(&why)) return failWrite(p.target(), why);
        pending_.clear();
        return true;
    }

    bool failWrite(const std::string& target, const std::string& reason) {
        error_ = "cannot write " + target + ": " + reason;
        writeFailed_ = true;
        return false;
    }

    void removeTemporaries() { pending_.clear(); }

    const Options& o_;
    std::string stem_;
    std::string folder_;  // "" or ending in '/'
    std::vector<std::string> records_;
    std::vector<files::FileReplacement> pending_;  // written, waiting to be renamed into place
    std::string error_;
    bool writeFailed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    const int status = parseOptions(argc, argv, &o);
    if (status >= 0) return status;
    ply_set_exit_handler(throwPlyExit);
    return Converter(o).run();
}
