#include "clean/clean_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "files/printable_name.h"
#include "scene/unmeasured.h"

namespace {

struct Column {
    std::string title;
    bool rightAligned;  // numbers: aligned on the right
    std::vector<std::string> cells;
};

std::string pad(const std::string& text, std::size_t width, bool right) {
    const std::string fill(width > text.size() ? width - text.size() : 0, ' ');
    return right ? fill + text : text + fill;
}

std::string renderColumns(const std::vector<Column>& columns, std::size_t rows) {
    std::vector<std::size_t> widths;
    for (const Column& c : columns) {
        std::size_t w = c.title.size();
        for (const std::string& cell : c.cells) w = std::max(w, cell.size());
        widths.push_back(w);
    }
    std::string out;
    for (std::size_t r = 0; r <= rows; ++r) {
        std::string line;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const std::string& text = r == 0 ? columns[i].title : columns[i].cells[r - 1];
            if (i > 0) line += "  ";
            // The last column is not padded: no trailing blanks.
            line += i + 1 == columns.size() && !columns[i].rightAligned
                        ? text
                        : pad(text, widths[i], columns[i].rightAligned);
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

std::string distanceText(const DistanceSummary& s, float value, int decimals) {
    if (!s.known) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, double(value));
    return text;
}

// One number of decimals for the median and p95 columns: three significant
// digits of the largest 95th percentile.
int distanceDecimals(const std::vector<const ScanReport*>& rows) {
    float largest = 0.0f;
    for (const ScanReport* r : rows)
        if (r->distances.known) largest = std::max(largest, r->distances.p95);
    if (!(largest > 0.0f) || !std::isfinite(largest)) return 6;
    const int decimals = 2 - static_cast<int>(std::floor(std::log10(double(largest))));
    return std::min(std::max(decimals, 0), 12);
}

}  // namespace

ScanReport reportScan(const Mesh& scan, float threshold) {
    ScanReport r = reportValues(scan.vertexValues, scan.vertices.size(), threshold);
    r.file = scan.fileName;
    return r;
}

ScanReport reportValues(const std::vector<float>& values, std::size_t points, float threshold) {
    ScanReport r;
    r.points = points;
    for (std::size_t i = 0; i < values.size() && i < r.points; ++i) {
        const float v = values[i];
        if (isMeasured(v)) ++r.measured;
        if (v > threshold) ++r.tossed;
    }
    r.distances = summarizeDistances(measuredValues(values, r.points));
    return r;
}

std::string formatReportTable(const std::vector<ScanReport>& rows, bool withExport,
                              const DistanceSummary& overall) {
    std::vector<Column> columns = {
        {"file", false, {}},  {"points", true, {}}, {"measured", true, {}}, {"tossed", true, {}},
        {"median", true, {}}, {"p95", true, {}},    {"written", false, {}}};
    if (withExport) columns.push_back({"export", false, {}});
    ScanReport total;
    total.file = "total";
    total.distances = overall;
    for (const ScanReport& r : rows) {
        total.points += r.points;
        total.measured += r.measured;
        total.tossed += r.tossed;
    }
    std::vector<const ScanReport*> lines;
    for (const ScanReport& r : rows) lines.push_back(&r);
    if (rows.size() > 1) lines.push_back(&total);
    const int decimals = distanceDecimals(lines);
    for (const ScanReport* r : lines) {
        // Names are printed with control characters escaped: a file name
        // must not reach the terminal as commands.
        columns[0].cells.push_back(files::printableName(r->file));
        columns[1].cells.push_back(std::to_string(r->points));
        columns[2].cells.push_back(std::to_string(r->measured));
        columns[3].cells.push_back(std::to_string(r->tossed));
        columns[4].cells.push_back(distanceText(r->distances, r->distances.median, decimals));
        columns[5].cells.push_back(distanceText(r->distances, r->distances.p95, decimals));
        columns[6].cells.push_back(files::printableName(r->written));
        if (withExport) columns[7].cells.push_back(files::printableName(r->exported));
    }
    return renderColumns(columns, lines.size());
}

std::string thresholdLine(const CleanOptions& o, float threshold, float defaultThreshold) {
    char line[160];
    if (o.hasThreshold) {
        std::snprintf(line, sizeof line, "removal threshold %g (given)\n", double(threshold));
    } else if (o.hasSteps && o.steps != 0) {
        std::snprintf(line, sizeof line, "removal threshold %g (the default %g moved %d %s)\n",
                      double(threshold), double(defaultThreshold), o.steps < 0 ? -o.steps : o.steps,
                      o.steps > 0 ? "steps up" : "steps down");
    } else {
        std::snprintf(line, sizeof line, "removal threshold %g (default)\n", double(threshold));
    }
    return line;
}
