// rangeloom-register: refines the poses of a scan configuration's scans so
// that their overlapping surfaces meet, and writes the configuration back
// with the new poses (every other record and all spacing and comments kept).
//
//   rangeloom-register [-o OUT.conf] [-j N] [--fix NAME] [--radius DIST] CONF
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "register/config_records.h"
#include "register/register_report.h"
#include "register/scan_source.h"
#include "version/version.h"

namespace {

enum ExitStatus { kSuccess = 0, kBadUsage = 1, kUnreadable = 2, kWriteFailed = 3 };

const char* const kProgram = "rangeloom-register";

const char* const kHelp =
    "Usage: rangeloom-register [OPTION]... FILE.conf\n"
    "Refine the poses of the scans of FILE.conf so that their overlapping surfaces meet\n"
    "(all poses solved together; the first scan stays where it is) and write the\n"
    "configuration with the new poses.\n"
    "\n"
    "  -o, --out=FILE      write FILE (default: NAME.registered.conf beside FILE.conf)\n"
    "      --fix=NAME      keep the scan NAME where it is instead of the first\n"
    "  -r, --radius=DIST   first search radius, in the scans' length unit (default: eight\n"
    "                      times the typical point spacing)\n"
    "  -j, --threads=N     worker threads, 0 (the default) for one per processor;\n"
    "                      results do not depend on it\n"
    "  -h, --help          show this help and exit\n"
    "  -V, --version       print the version and exit\n"
    "\n"
    "Exit status: 0 success, 1 bad usage, 2 unreadable input (nothing written),\n"
    "3 the output could not be written.\n";

struct Options {
    std::string config;
    std::string out;
    std::string fix;
    double radius = 0;
    int threads = 0;
};

void printError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
}

// Parses the arguments; false with the reason in *error. Sets *help for -h
// and *version for -V.
bool parseOptions(int argc, char** argv, Options* o, bool* help, bool* version,
                  std::string* error) {
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            operands.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            *help = true;
            return true;
        }
        if (a == "-V" || a == "--version") {
            *version = true;
            return true;
        }
        std::string name = a, value;
        bool hasValue = false;
        const std::size_t eq = a.find('=');
        if (a.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            hasValue = true;
        } else if (a.size() > 2 && a[1] != '-') {
            name = a.substr(0, 2);
            value = a.substr(2);
            hasValue = true;
        }
        const bool known = name == "-o" || name == "--out" || name == "--fix" || name == "-r" ||
                           name == "--radius" || name == "-j" || name == "--threads";
        if (!known) {
            *error = "unknown option " + a;
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                *error = "option " + name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        char* end = nullptr;
        if (name == "-o" || name == "--out") {
            o->out = value;
        } else if (name == "--fix") {
            o->fix = value;
        } else if (name == "-r" || name == "--radius") {
            o->radius = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(o->radius > 0) || !std::isfinite(o->radius)) {
                *error = "the radius must be a positive number, not '" + value + "'";
                return false;
            }
        } else {
            const long threads = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || threads < 0 || threads > 1024) {
                *error = "the number of threads must be 0 to 1024, not '" + value + "'";
                return false;
            }
            o->threads = static_cast<int>(threads);
        }
    }
    if (operands.size() != 1) {
        *error =
            operands.empty() ? "no scan configuration given" : "more than one configuration given";
        return false;
    }
    o->config = operands[0];
    return true;
}

bool readText(const std::string& path, std::string* text, std::string* error) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        *error = path + " is a folder, not a scan configuration";
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        *error = "cannot read the scan configuration " + path + ": " + std::strerror(errno);
        return false;
    }
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) text->append(buffer, got);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) *error = "cannot read the scan configuration " + path;
    return !failed;
}

// NAME.registered.conf beside NAME.conf (or beside NAME).
std::string defaultOutput(const std::string& config) {
    const std::size_t slash = config.rfind('/');
    const std::size_t dot = config.rfind('.');
    const bool hasConf = dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
                         strcasecmp(config.c_str() + dot, ".conf") == 0;
    return (hasConf ? config.substr(0, dot) : config) + ".registered.conf";
}

// The resolved spelling of a path whose file may not exist yet.
std::string canonicalPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    if (folder.empty()) folder = "/";
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    if (realpath(folder.c_str(), resolved) != nullptr) folder = resolved;
    return folder + "/" + name;
}

// Every scan record must hold a finite pose with a quaternion of some length.
bool posesUsable(const std::vector<ConfigRecord>& records, std::string* error) {
    for (const ConfigRecord& r : records) {
        if (!r.isScan()) continue;
        double length2 = 0;
        bool finite = true;
        for (int k = 0; k < 7; ++k) finite = finite && std::isfinite(r.values[k]);
        for (int k = 3; k < 7; ++k) length2 += double(r.values[k]) * r.values[k];
        if (!finite || !(length2 > 0)) {
            *error = "the pose of " + r.file + " is not a rigid motion (" +
                     (finite ? "its quaternion is zero" : "it holds a number that is not finite") +
                     ")";
            return false;
        }
        if (std::fabs(std::sqrt(length2) - 1) > 1e-3)
            std::fprintf(stderr,
                         "%s: warning: the quaternion of %s has length %.6g; it is normalised "
                         "(the viewer scales the scan by its square)\n",
                         kProgram, r.file.c_str(), std::sqrt(length2));
    }
    return true;
}

// Writes text to a temporary file beside path and renames it into place.
bool writeFileAtomically(const std::string& path, const std::string& text, std::string* error) {
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    FILE* f = fdopen(fd, "wb");
    bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f != nullptr) ok = (std::fflush(f) == 0) && ok && fsync(fd) == 0;
    const int saved = errno;
    if (f != nullptr ? std::fclose(f) != 0 : close(fd) != 0) ok = false;
    // The temporary file is made 0600; the configuration gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    if (ok) chmod(temporary.c_str(), 0666 & ~mask);
    if (ok && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    *error = "cannot write " + path + ": " + std::strerror(ok ? errno : saved);
    std::remove(temporary.c_str());
    return false;
}

std::string fileName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int run(const Options& o) {
    std::string text, error;
    if (!readText(o.config, &text, &error)) {
        printError(error);
        return kUnreadable;
    }
    const std::vector<ConfigRecord> records = readConfigRecords(text);
    if (!posesUsable(records, &error)) {
        printError(error + "; nothing written");
        return kUnreadable;
    }
    std::vector<const ConfigRecord*> scanRecords;
    for (const ConfigRecord& r : records)
        if (r.isScan()) scanRecords.push_back(&r);

    registration::RegistrationOptions options;
    options.threads = o.threads;
    options.startRadius = o.radius;
    if (!o.fix.empty()) {
        std::size_t k = 0;
        while (k < scanRecords.size() && scanRecords[k]->file != o.fix &&
               fileName(scanRecords[k]->file) != o.fix)
            ++k;
        if (k == scanRecords.size()) {
            printError("--fix " + o.fix + ": the configuration names no such scan");
            return kBadUsage;
        }
        options.fixedScan = k;
    }

    const std::string out = o.out.empty() ? defaultOutput(o.config) : o.out;
    ScanSource source;
    std::vector<std::string> problems;
    if (!loadScanSource(o.config, records, o.threads, &source, &problems)) {
        for (const std::string& p : problems) printError(p);
        printError("nothing written");
        return kUnreadable;
    }
    for (const std::string& scan : source.paths) {
        if (canonicalPath(scan) != canonicalPath(out)) continue;
        printError("cannot write " + out + ": it is the scan " + scan + "; nothing written");
        return kUnreadable;
    }

    const registration::RegistrationResult result =
        registration::registerScans(source.views, options);

    std::vector<std::string> names;
    for (const ConfigRecord* r : scanRecords) names.push_back(r->file);
    std::fputs(formatRegistrationReport(o.config, names, result).c_str(), stdout);
    std::fflush(stdout);
    for (const std::string& w : registrationWarnings(names, result))
        std::fprintf(stderr, "%s: %s\n", kProgram, w.c_str());

    // Scans left where they were keep their records as they were; the
    // others get their new poses (quaternions normalised).
    std::vector<ConfigPose> poses;
    bool moved = false;
    for (std::size_t k = 0; k < scanRecords.size(); ++k) {
        ConfigPose pose;
        std::memcpy(pose.values, scanRecords[k]->values, sizeof pose.values);
        if (result.scans[k].status == registration::ScanStatus::Refined) {
            pose = recordOfPose(result.poses[k], scanRecords[k]->values);
            moved = true;
        }
        poses.push_back(pose);
    }
    std::string written = text;
    if (moved && !rewriteConfig(text, poses, registrationHeader(names[options.fixedScan]), &written,
                                &error)) {
        printError(error + "; nothing written");
        return kUnreadable;
    }
    if (!writeFileAtomically(out, written, &error)) {
        printError(error);
        return kWriteFailed;
    }
    std::printf("written %s\n", out.c_str());
    return kSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool help = false;
    bool version = false;
    std::string error;
    if (!parseOptions(argc, argv, &options, &help, &version, &error)) {
        printError(error);
        std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
        return kBadUsage;
    }
    if (help) {
        std::fputs(kHelp, stdout);
        return kSuccess;
    }
    if (version) {
        std::printf("%s %s\n", kProgram, RANGELOOM_VERSION);
        return kSuccess;
    }
    return run(options);
}
