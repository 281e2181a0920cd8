#include "clean/clean_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

// An option's long and short name.
struct OptionName {
    const char* longName;
    char shortName;
};
// The options that take a value.
// ('\0': no short name.)
constexpr OptionName kValueOptions[] = {{"threshold", 't'}, {"steps", 's'}, {"out", 'o'},
                                        {"threads", 'j'},   {"merge", 'm'}, {"histogram", '\0'},
                                        {"plot", '\0'},     {"bins", '\0'}};
// The options without a value.
constexpr OptionName kFlagOptions[] = {{"export", 'e'},      {"summary", 'n'},  {"quiet", 'q'},
                                       {"verbose", 'v'},     {"help", 'h'},     {"version", 'V'},
                                       {"keep-tossed", 'k'}, {"plot-log", '\0'}};

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
    return ParseOutcome::Run;
}

const char* longNameOf(char shortName, bool* takesValue) {
    for (const OptionName& v : kValueOptions) {
        if (v.shortName != '\0' && v.shortName == shortName) {
            *takesValue = true;
            return v.longName;
        }
    }
    for (const OptionName& f : kFlagOptions) {
        if (f.shortName != '\0' && f.shortName == shortName) {
            *takesValue = false;
            return f.longName;
        }
    }
    return nullptr;
}

bool isValueOption(const std::string& name) {
    for (const OptionName& v : kValueOptions)
        if (name == v.longName) return true;
    return false;
}

bool isFlagOption(const std::string& name) {
    for (const OptionName& f : kFlagOptions)
        if (name == f.longName) return true;
    return false;
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
        bool optionsEnded = false;
        for (i_ = 0; i_ < args_.size(); ++i_) {
            const std::string& a = args_[i_];
            if (optionsEnded || a.size() < 2 || a[0] != '-') {
                files.push_back(a);
                continue;
            }
            if (a == "--") {
                optionsEnded = true;
                continue;
            }
            std::string name, value;
            bool hasValue = false;
            if (!splitOption(a, &name, &value, &hasValue)) return ParseOutcome::BadUsage;
            if (isValueOption(name)) {
                if (!hasValue && !takeNext(name, &value)) return ParseOutcome::BadUsage;
                if (!applyValue(name, value, o_, error_)) return ParseOutcome::BadUsage;
                continue;
            }
            if (hasValue) return bad("option --" + name + " takes no value");
            const ParseOutcome outcome = applyFlag(name, o_);
            if (outcome != ParseOutcome::Run) return outcome;
            quiet = quiet || name == "quiet";
            verbose = verbose || name == "verbose";
        }
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

    // "--name", "--name=value", "-x" or "-xvalue" into the long name and the
    // attached value, if any.
    bool splitOption(const std::string& a, std::string* name, std::string* value, bool* hasValue) {
        if (a[1] == '-') {
            const std::size_t eq = a.find('=');
            *name = a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
            *hasValue = eq != std::string::npos;
            if (*hasValue) *value = a.substr(eq + 1);
            if (isValueOption(*name) || isFlagOption(*name)) return true;
            bad("unknown option '--" + *name + "'");
            return false;
        }
        bool takesValue = false;
        const char* longName = longNameOf(a[1], &takesValue);
        if (longName == nullptr) {
            bad(std::string("unknown option '-") + a[1] + "'");
            return false;
        }
        *name = longName;
        *hasValue = a.size() > 2;
        if (*hasValue) {
            if (!takesValue) {
                bad("unknown option '" + a + "' (give short options one by one)");
                return false;
            }
            *value = a.substr(2);
        }
        return true;
    }

    bool takeNext(const std::string& name, std::string* value) {
        if (i_ + 1 >= args_.size()) {
            bad("option --" + name + " needs a value");
            return false;
        }
        *value = args_[++i_];
        return true;
    }

    const std::vector<std::string>& args_;
    CleanOptions* o_;
    std::string* error_;
    std::size_t i_ = 0;
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
           "     name or replace a scan (nothing is written)\n"
           "  3  a file could not be written (the others are still written; the failed\n"
           "     ones are named on standard error)\n";
}
