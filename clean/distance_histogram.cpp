#include "clean/distance_histogram.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// A CSV field: quoted (quotes doubled) when it holds a comma, a quote or a
// line break.
std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

ScanHistogram histogramOfScans(const std::vector<const Mesh*>& scans, int bins) {
    ScanHistogram h;
    std::vector<std::vector<float>> series;
    float largest = 0.0f;
    bool any = false;
    for (const Mesh* scan : scans) {
        h.names.push_back(scan->fileName);
        series.push_back(measuredValues(scan->vertexValues, scan->vertices.size()));
        h.unmeasured += scan->vertices.size() - series.back().size();
        for (float v : series.back()) {
            largest = any ? std::max(largest, v) : v;
            any = true;
        }
    }
    h.histogram = countValues(any ? roundBins(largest, bins) : HistogramBins(), series);
    return h;
}

std::string histogramCsv(const ScanHistogram& h) {
    std::string out = "lower,upper";
    for (const std::string& name : h.names) out += "," + csvField(name);
    out += ",all\n";
    const HistogramBins& bins = h.histogram.bins;
    for (std::size_t k = 0; k < bins.count(); ++k) {
        out += shortestDecimal(bins.bounds[k]) + "," + shortestDecimal(bins.bounds[k + 1]);
        uint64_t all = 0;
        for (const std::vector<uint64_t>& row : h.histogram.counts) {
            out += "," + std::to_string(row[k]);
            all += row[k];
        }
        out += "," + std::to_string(all) + "\n";
    }
    return out;
}

bool writeTextFile(const std::string& path, const std::string& text, std::string* error) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string pattern = folder + "/.rangeloom-csv-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    std::size_t done = 0;
    errno = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    std::string why;
    if (done < text.size()) why = errno != 0 ? std::strerror(errno) : "nothing could be written";
    if (why.empty() && fsync(fd) != 0) why = std::strerror(errno);
    if (close(fd) != 0 && why.empty()) why = std::strerror(errno);
    if (why.empty() && std::rename(name.data(), path.c_str()) != 0) why = std::strerror(errno);
    if (why.empty()) return true;
    *error = why;
    unlink(name.data());
    return false;
}
