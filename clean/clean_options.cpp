#include "clean/clean_options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "cli/command_line.h"

namespace {

// The options that take a value.
// ('\0': no short name.)
constexpr OptionName kValueOptions[] = {
    {"threshold", 't'}, {"steps", 's'},      {"out", 'o'},        {"threads", 'j'},
    {"merge", 'm'},     {"histogram", '\0'}, {"plot", '\0'},      {"bins", '\0'},
    {"memory", '\0'},   {"work", '\0'},      {"slab-cells", '\0'}};
// The options without a value.
constexpr OptionName kFlagOptions[] = {
    {"export", 'e'},  {"summary", 'n'},     {"quiet", 'q'},     {"verbose", 'v'},  {"help", 'h'},
    {"version", 'V'}, {"keep-tossed", 'k'}, {"plot-log", '\0'}, {"register", '\0'}};

bool parseFloat(const std::string& text, float* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const float v = std::strtof(text.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool parseInt(const std::string& text, int lo, int hi, int* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < lo || v > hi) return false;
    *out = static_cast<int>(v);
    return true;
}

// A size in bytes: a whole or decimal number, optionally followed by K, M,
// G or T (powers of 1024, any letter case).
bool parseSize(const std::string& text, std::uint64_t* out) {
    if (text.empty() || !(text[0] >= '0' && text[0] <= '9')) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    double unit = 1;
    const std::string rest = end;
    if (rest.size() == 1) {
        const std::string units = "KMGT";
        const std::size_t at = units.find(static_cast<char>(std::toupper(rest[0])));
        if (at == std::string::npos) return false;
        unit = std::pow(1024.0, double(at + 1));
    } else if (!rest.empty()) {
        return false;
    }
    const double bytes = v * unit;
    if (errno == ERANGE || !std::isfinite(bytes) || bytes < 1 || bytes > 1e18) return false;
    *out = static_cast<std::uint64_t>(bytes);
    return true;
}

// Stores the value of one value option; false with *error set when it does
// not fit.
bool applyValue(const std::string& name, const std::string& value, CleanOptions* o,
                std::string* error) {
    if (name == "threshold") {
        o->hasThreshold = parseFloat(value, &o->threshold);
        if (!o->hasThreshold) *error = "--threshold needs a finite number, not '" + value + "'";
        return o->hasThreshold;
    }
    if (name == "steps") {
        o->hasSteps = parseInt(value, -kMaxThresholdSteps, kMaxThresholdSteps, &o->steps);
        if (!o->hasSteps)
            *error = "--steps needs a whole number from -" + std::to_string(kMaxThresholdSteps) +
                     " to " + std::to_string(kMaxThresholdSteps) + ", not '" + value + "'";
        return o->hasSteps;
    }
    if (name == "threads") {
        const bool ok = parseInt(value, 0, kMaxThreads, &o->threads);
        if (!ok)
            *error = "--threads needs a whole number from 0 to " + std::to_string(kMaxThreads) +
                     ", not '" + value + "'";
        return ok;
    }
    if (name == "bins") {
        const bool ok = parseInt(value, 1, kMaxBins, &o->bins);
        if (!ok)
            *error = "--bins needs a whole number from 1 to " + std::to_string(kMaxBins) +
                     ", not '" + value + "'";
        return ok;
    }
    if (name == "histogram" || name == "plot") {
        if (value.empty()) {
            *error = "--" + name + " needs a file name";
            return false;
        }
        (name == "plot" ? o->plotFile : o->histogramFile) = value;
        return true;
    }
    if (name == "memory") {
        const bool ok = parseSize(value, &o->memoryBytes);
        if (!ok) *error = "--memory needs a size such as 4G, 512M or 1000000, not '" + value + "'";
        return ok;
    }
    if (name == "work") {
        o->workDir = value;
        if (value.empty()) *error = "--work needs a folder name";
        return !value.empty();
    }
    if (name == "slab-cells") {
        const bool ok = parseInt(value, 1, 1 << 30, &o->slabCells);
        if (!ok) *error = "--slab-cells needs a whole number from 1, not '" + value + "'";
        return ok;
    }
    if (name == "merge") {
        o->mergeFile = value;
        if (value.empty()) *error = "--merge needs a file name";
        return !value.empty();
    }
    // "out"
    if (value.empty()) {
        *error = "--out needs a folder name";
        return false;
    }
    o->outFolder = value;
    return true;
}

// What one flag does to the options; Help and Version end the parse.
ParseOutcome applyFlag(const std::string& name, CleanOptions* o) {
    if (name == "help") return ParseOutcome::Help;
    if (name == "version") return ParseOutcome::Version;
    if (name == "export") o->exportValues = true;
    if (name == "summary") o->summaryOnly = true;
    if (name == "keep-tossed") o->keepTossed = true;
    if (name == "quiet") o->verbosity = Verbosity::Quiet;
    if (name == "verbose") o->verbosity = Verbosity::Verbose;
    if (name == "plot-log") o->plotLog = true;
    if (name == "register") o->registerFirst = true;
    return ParseOutcome::Run;
}

// Walks the arguments in order, applying each option as it comes: --help and
// --version end the walk at once, and so does the first mistake.
class Parser {
public:
    Parser(const std::vector<std::string>& args, CleanOptions* o, std::string* error)
        : args_(args), o_(o), error_(error) {}

    ParseOutcome run() {
        bool quiet = false, verbose = false;
        std::vector<std::string> files;
        OptionScanner scanner(args_, kValueOptions, kFlagOptions);
        CommandLineItem item;
        while (scanner.next(&item)) {
            if (!item.isOption) {
                files.push_back(item.value);
                continue;
            }
            const std::string& name = item.name;
            if (item.hasValue) {
                if (!applyValue(name, item.value, o_, error_)) return ParseOutcome::BadUsage;
                continue;
            }
            const ParseOutcome outcome = applyFlag(name, o_);
            if (outcome != ParseOutcome::Run) return outcome;
            quiet = quiet || name == "quiet";
            verbose = verbose || name == "verbose";
        }
        if (!scanner.error().empty()) return bad(scanner.error());
        if (quiet && verbose) return bad("--quiet and --verbose cannot be combined");
        if (o_->hasThreshold && o_->hasSteps)
            return bad("--threshold and --steps cannot be combined");
        if (o_->summaryOnly && !o_->mergeFile.empty())
            return bad("--summary writes no file: it cannot be combined with --merge");
        if (o_->keepTossed && o_->mergeFile.empty()) return bad("--keep-tossed needs --merge");
        if (files.empty()) return bad("no scan configuration given");
        if (files.size() > 1)
            return bad("only one scan configuration can be given, not '" + files[0] + "' and '" +
                       files[1] + "'");
        o_->config = files[0];
        return ParseOutcome::Run;
    }

private:
    ParseOutcome bad(const std::string& why) {
        *error_ = why;
        return ParseOutcome::BadUsage;
    }

    const std::vector<std::string>& args_;
    CleanOptions* o_;
    std::string* error_;
};

}  // namespace

ParseOutcome parseCleanOptions(const std::vector<std::string>& args, CleanOptions* options,
                               std::string* error) {
    *options = CleanOptions();
    error->clear();
    return Parser(args, options, error).run();
}

float thresholdAfterSteps(float start, int steps) {
    const float step = start / 10.0f;
    float threshold = start;
    for (int i = 0; i < steps; ++i) threshold += step;
    for (int i = 0; i > steps; --i) threshold -= step;
    return threshold;
}

std::string cleanHelpText() {
    return "Usage: rangeloom-clean [OPTION]... FILE.conf|FILE.ptx|FILE.e57\n"
           "Load the range scans of a scan configuration, compare every scan with every\n"
           "other scan, and write each scan without its tossed points (points farther\n"
           "than the removal threshold from the other scans) as NAME.cln.ply, byte for\n"
           "byte what the viewer's 'p' key writes at the same threshold. Needs no display.\n"
           "A PTX or E57 file is a configuration of its scans; scan N of STEM.ptx is\n"
           "written as STEM-NN.cln.ply.\n"
           "\n"
           "Options:\n"
           "  -t, --threshold=DIST  removal threshold in the scans' length unit (default:\n"
           "                        the point spacing of the first scan's raster, or\n"
           "                        0.002 with a single scan, as in the viewer)\n"
           "  -s, --steps=N         move the default threshold as N presses of the\n"
           "                        viewer's 'T' key (N > 0) or -N presses of 't' (N < 0)\n"
           "  -o, --out=DIR         write into DIR (made when missing) instead of beside\n"
           "                        each scan\n"
           "  -e, --export          also write NAME.values.ply: the scan's points in the\n"
           "                        common frame of the configuration with their distance\n"
           "                        to the other scans as the float property 'value'\n"
           "                        (binary PLY; value nan: the point was not measured)\n"
           "  -m, --merge=FILE      also write FILE: every kept point of every scan in the\n"
           "                        common frame, with its normal, its scan's index and\n"
           "                        its value, as one binary PLY point cloud\n"
           "  -k, --keep-tossed     with --merge: keep the tossed points too, flagged by\n"
           "                        the property 'tossed'\n"
           "  -n, --summary         analyse and print the table only; write no cleaned\n"
           "                        scan, no export and no merged cloud\n"
           "  -j, --threads=N       worker threads of loading and analysing (default 0:\n"
           "                        one per processor); the results do not depend on it\n"
           "      --histogram=FILE  write the histogram of the measured values as CSV: a\n"
           "                        row per bin with its lower and upper bound, the\n"
           "                        count of each scan and of all scans ('all')\n"
           "      --plot=FILE       draw the histogram as a PNG picture: a line per scan,\n"
           "                        the removal threshold dashed, axes and a legend\n"
           "      --bins=N          at most N bins of one round width from 0 to the\n"
           "                        largest measured value (default 50)\n"
           "      --plot-log        count axis of the plot in powers of ten\n"
           "      --memory=SIZE     keep the run within SIZE bytes of memory (4G, 512M,\n"
           "                        ...; default: half the physical memory or 80% of\n"
           "                        what is available, the less); a campaign whose\n"
           "                        estimate exceeds it is cleaned in slabs spilled to\n"
           "                        the work folder, with the same values and files\n"
           "      --work=DIR        make the work folder of the slabs in DIR (default:\n"
           "                        TMPDIR or /tmp); it is removed at the end\n"
           "      --slab-cells=N    clean in slabs N lattice cells thick, whatever the\n"
           "                        memory (for tests)\n"
           "      --register        first refine the poses of the scans so that their\n"
           "                        overlapping surfaces meet (as rangeloom-register does),\n"
           "                        write the configuration with the refined poses as\n"
           "                        NAME.registered.conf (in DIR with --out, else beside\n"
           "                        FILE.conf; not with --summary), and clean with them;\n"
           "                        the registration's table comes before the cleaning's\n"
           "                        (a configuration of PLY range images only)\n"
           "  -q, --quiet           print nothing but errors\n"
           "  -v, --verbose         also print the viewer's console transcript of loading\n"
           "                        and analysing on standard output\n"
           "  -h, --help            print this help and exit\n"
           "  -V, --version         print the version and exit\n"
           "\n"
           "While loading and analysing, a progress bar is shown on standard error when it\n"
           "is a terminal. At the end a table on standard output gives one row per scan:\n"
           "the file, its points, the points measured against another scan, the points\n"
           "tossed, the median and 95th percentile of the measured values (nearest rank),\n"
           "and the file written.\n"
           "\n"
           "A scan is unreadable when its file cannot be opened or is no regular file,\n"
           "its PLY header is not accepted or never ends, or its data ends early or is\n"
           "damaged. The viewer leaves the first kinds of scan out and ends at damaged\n"
           "data; rangeloom-clean stops before writing anything.\n"
           "\n"
           "Exit status:\n"
           "  0  success\n"
           "  1  bad usage\n"
           "  2  unreadable input: the configuration or one of its scans cannot be read,\n"
           "     it names no scan, hides one behind words that no record uses, has a\n"
           "     pose that cannot place one, or two files to write would have the same\n"
           "     name or replace a scan (nothing is written); with --register also: a\n"
           "     record names a PTX or E57 file\n"
           "  3  a file could not be written (the others are still written; the failed\n"
           "     ones are named on standard error)\n"
           "  4  the work folder of the slabs ran out of room (it is removed; nothing is\n"
           "     written)\n";
}
