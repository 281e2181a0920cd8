#include "register/register_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

constexpr OptionName kValueOptions[] = {
    {"out", 'o'}, {"fix", '\0'}, {"radius", 'r'}, {"threads", 'j'}};
constexpr OptionName kFlagOptions[] = {
    {"quiet", 'q'}, {"verbose", 'v'}, {"help", 'h'}, {"version", 'V'}};

constexpr int kMaxThreads = 1024;

// Stores the value of one value option; false with *error set when it does
// not fit.
bool applyValue(const std::string& name, const std::string& value, RegisterOptions* o,
                std::string* error) {
    char* end = nullptr;
    errno = 0;
    if (name == "radius") {
        o->radius = value.empty() ? 0 : std::strtod(value.c_str(), &end);
        const bool ok = !value.empty() && *end == '\0' && errno != ERANGE &&
                        std::isfinite(o->radius) && o->radius > 0;
        if (!ok) *error = "--radius needs a positive number, not '" + value + "'";
        return ok;
    }
    if (name == "threads") {
        const long v = value.empty() ? -1 : std::strtol(value.c_str(), &end, 10);
        const bool ok =
            !value.empty() && *end == '\0' && errno != ERANGE && v >= 0 && v <= kMaxThreads;
        if (!ok)
            *error = "--threads needs a whole number from 0 to " + std::to_string(kMaxThreads) +
                     ", not '" + value + "'";
        o->threads = ok ? static_cast<int>(v) : 0;
        return ok;
    }
    if (value.empty()) {
        *error = "--" + name + (name == "out" ? " needs a file name" : " needs a scan's name");
        return false;
    }
    (name == "out" ? o->out : o->fix) = value;
    return true;
}

}  // namespace

ParseOutcome parseRegisterOptions(const std::vector<std::string>& args, RegisterOptions* o,
                                  std::string* error) {
    *o = RegisterOptions();
    error->clear();
    bool quiet = false, verbose = false;
    std::vector<std::string> files;
    OptionScanner scanner(args, kValueOptions, kFlagOptions);
    CommandLineItem item;
    while (scanner.next(&item)) {
        if (!item.isOption) {
            files.push_back(item.value);
        } else if (item.hasValue) {
            if (!applyValue(item.name, item.value, o, error)) return ParseOutcome::BadUsage;
        } else if (item.name == "help") {
            return ParseOutcome::Help;
        } else if (item.name == "version") {
            return ParseOutcome::Version;
        } else {
            quiet = quiet || item.name == "quiet";
            verbose = verbose || item.name == "verbose";
        }
    }
    if (!scanner.error().empty())
        *error = scanner.error();
    else if (quiet && verbose)
        *error = "--quiet and --verbose cannot be combined";
    else if (files.empty())
        *error = "no scan configuration given";
    else if (files.size() > 1)
        *error = "only one scan configuration can be given, not '" + files[0] + "' and '" +
                 files[1] + "'";
    if (!error->empty()) return ParseOutcome::BadUsage;
    o->config = files[0];
    o->verbosity = quiet ? Verbosity::Quiet : verbose ? Verbosity::Verbose : Verbosity::Normal;
    return ParseOutcome::Run;
}

std::string registerHelpText() {
    return "Usage: rangeloom-register [OPTION]... FILE.conf\n"
           "Refine the poses of the scans of FILE.conf so that their overlapping surfaces\n"
           "meet (all poses solved together by point-to-plane ICP; the first scan stays\n"
           "where it is) and write the configuration with the new poses as\n"
           "NAME.registered.conf beside FILE.conf: byte for byte the original but the pose\n"
           "numbers of the scans that moved, with a first line saying what was done.\n"
           "Needs no display.\n"
           "\n"
           "Options:\n"
           "  -o, --out=FILE        write FILE instead (it may be FILE.conf itself)\n"
           "      --fix=NAME        keep the scan NAME (as its record writes it, or its\n"
           "                        file name) where it is instead of the first\n"
           "  -r, --radius=DIST     first search radius, in the scans' length unit\n"
           "                        (default: eight times the typical point spacing)\n"
           "  -j, --threads=N       worker threads of loading and registering (default 0:\n"
           "                        one per processor); the results do not depend on it\n"
           "  -q, --quiet           print nothing but errors\n"
           "  -v, --verbose         also print the loaders' console transcript and one\n"
           "                        line per iteration on standard output\n"
           "  -h, --help            print this help and exit\n"
           "  -V, --version         print the version and exit\n"
           "\n"
           "While loading and registering, progress is shown on standard error when it is\n"
           "a terminal. At the end a table on standard output gives one row per scan: the\n"
           "pairs that held it in the last iteration, the RMS point-to-plane distance to\n"
           "the overlapping scans before and after, how far it turned (degrees) and how\n"
           "far its points' centroid moved. A scan that overlaps too little to be\n"
           "registered is left where it was, with a warning on standard error.\n"
           "\n"
           "Exit status:\n"
           "  0  success\n"
           "  1  bad usage (also: --fix names no scan of the configuration)\n"
           "  2  unreadable input: the configuration or one of its scans cannot be read,\n"
           "     it names no scan, words that no record uses hide a scan, a record\n"
           "     names a PTX or E57 file, a pose is not a rigid motion, the output\n"
           "     would replace a scan, or the records are laid\n"
           "     out so that rewriting their poses would change which scans they name\n"
           "     (nothing is written)\n"
           "  3  the output could not be written (an earlier file of that name is kept)\n";
}
