#include "register/register_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "scan/scan_config.h"

namespace {

std::string format(const char* f, double v) {
    char text[64];
    std::snprintf(text, sizeof text, f, v);
    return text;
}

std::string rms(double v) {
    return std::isnan(v) ? "-" : format("%.3g", v);
}

std::string padLeft(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}
std::string padRight(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

}  // namespace

std::string formatRegistrationReport(const std::string& config,
                                     const std::vector<std::string>& names,
                                     const registration::RegistrationResult& result) {
    using registration::ScanStatus;
    std::string text = names.size() == 1
                           ? "registered 1 scan of " + config + ": nothing to register it with"
                           : "registered " + std::to_string(names.size()) + " scans of " + config;
    if (names.size() > 1) {
        text += " in " + std::to_string(result.iterations) + " iterations, search radius " +
                format("%.3g", result.startRadius) + " down to " +
                format("%.3g", result.finalRadius);
    }
    text += "\n";

    std::vector<std::vector<std::string>> rows;
    rows.push_back({"file", "pairs", "rms before", "rms after", "rotation (deg)", "moved", ""});
    for (std::size_t i = 0; i < names.size(); ++i) {
        const registration::ScanReport& r = result.scans[i];
        std::string note;
        switch (r.status) {
            case ScanStatus::Fixed:
                note = "fixed";
                break;
            case ScanStatus::Refined:
                break;
            case ScanStatus::TooLittleOverlap:
                note = "too little overlap, left where it was";
                break;
            case ScanStatus::HeldForItsGroup:
                note = "held, its group registered to it";
                break;
        }
        const bool moved = r.status == ScanStatus::Refined;
        rows.push_back({names[i], std::to_string(r.pairs), rms(r.rmsBefore), rms(r.rmsAfter),
                        moved ? format("%.4f", r.rotationDegrees) : "-",
                        moved ? format("%.3g", r.translation) : "-", note});
    }
    std::vector<std::size_t> width(rows[0].size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    for (const auto& row : rows) {
        std::string line = padRight(row[0], width[0]);
        for (std::size_t c = 1; c + 1 < row.size(); ++c) line += "  " + padLeft(row[c], width[c]);
        if (!row.back().empty()) line += "  " + row.back();
        text += line + "\n";
    }
    return text;
}

std::vector<std::string> registrationWarnings(const std::vector<std::string>& names,
                                              const registration::RegistrationResult& result) {
    using registration::ScanStatus;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const registration::ScanReport& r = result.scans[i];
        if (r.status == ScanStatus::TooLittleOverlap)
            lines.push_back("warning: " + names[i] +
                            " overlaps the other scans too little to be registered (" +
                            std::to_string(r.pairsBefore) + " pairs); it is left where it was");
        if (r.status == ScanStatus::HeldForItsGroup)
            lines.push_back("warning: " + names[i] +
                            " and the scans it overlaps overlap no other scan; it is left where "
                            "it was and they are registered to it");
    }
    if (!result.converged)
        lines.push_back("warning: the poses were still moving after " +
                        std::to_string(result.iterations) + " iterations");
    return lines;
}

std::string registrationHeader(const std::string& fixedName) {
    // Eight words, none a number: the configuration reader takes them as
    // four records of other keywords, and the records after them unchanged.
    // The reader does not name the words of this first line as unused.
    return std::string("# ") + kRefinedConfigMarker + " poses refined with " + fixedName +
           " held fixed";
}
