#include "slab/slab_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "files/printable_name.h"
#include "files/regular_file.h"
#include "scan/ply_mesh.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the work files are little-endian");

namespace slab {

namespace {

constexpr char kSlabMagic[8] = {'R', 'L', 'S', 'L', 'A', 'B', 0, 0};
constexpr char kValuesMagic[8] = {'R', 'L', 'V', 'A', 'L', 'S', 0, 0};
constexpr std::size_t kSegmentHeaderBytes = 24;

std::uint32_t bitsOf(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

float floatOf(std::uint32_t b) {
    float f;
    std::memcpy(&f, &b, 4);
    return f;
}

// An integer field of the manifest, exactly: a JSON number written without a
// fraction that fits T. The library's own conversion casts a fraction or an
// out-of-range number to T unchecked (undefined for a float beyond T's range),
// so a manifest from another machine or a damaged one is checked here. The
// parser keeps every integer that is not negative unsigned.
template <class T>
T integerOf(const nlohmann::json& v, const char* what) {
    using Limits = std::numeric_limits<T>;
    if (v.is_number_unsigned()) {
        const std::uint64_t u = v.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(Limits::max())) return static_cast<T>(u);
    } else if (v.is_number_integer() && Limits::is_signed) {
        const std::int64_t i = v.get<std::int64_t>();
        if (i >= static_cast<std::int64_t>(Limits::min())) return static_cast<T>(i);
    }
    throw std::out_of_range(what);
}

template <class T>
std::vector<T> integersOf(const nlohmann::json& v, const char* what) {
    if (!v.is_array()) throw std::out_of_range(what);
    std::vector<T> r;
    for (const auto& e : v) r.push_back(integerOf<T>(e, what));
    return r;
}

// Whether OUTPUT is a name the scan at PATH writes under (PlyMesh::outputSource
// of one of its scans). The cleaned files are written beside the output name
// when no folder is given, so a manifest may not name another place.
bool outputOfPath(const std::string& output, const std::string& path) {
    if (output == path) return true;
    const std::size_t dash = output.rfind('-');
    return dash != std::string::npos &&
           output == PlyMesh::outputSourceOf(path, std::strtoull(&output[dash + 1], nullptr, 10));
}

// Texts: JSON text is UTF-8 and file names need not be. A text that is not
// is written readable (the library replaces its bad bytes) and exactly, as
// hexadecimal bytes under KEY + "Bytes", which the reader prefers. A list of
// texts has a list of exact ones when any of them is not UTF-8.
std::string hexOf(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

std::string bytesOfHex(const std::string& hex, const char* what) {
    auto nibble = [&](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        throw std::out_of_range(what);
    };
    if (hex.size() % 2 != 0) throw std::out_of_range(what);
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2)
        bytes += static_cast<char>(nibble(hex[i]) * 16 + nibble(hex[i + 1]));
    return bytes;
}

void putText(nlohmann::json& o, const std::string& key, const std::string& text) {
    o[key] = text;
    if (!files::isUtf8(text)) o[key + "Bytes"] = hexOf(text);
}

void putText(nlohmann::json& o, const std::string& key, const std::vector<std::string>& texts) {
    o[key] = texts;
    if (std::all_of(texts.begin(), texts.end(), files::isUtf8)) return;
    nlohmann::json& hex = o[key + "Bytes"] = nlohmann::json::array();
    for (const std::string& t : texts) hex.push_back(hexOf(t));
}

template <class Text>
Text textOf(const nlohmann::json& o, const std::string& key) {
    const auto exact = o.find(key + "Bytes");
    if (exact == o.end()) return o.at(key).get<Text>();
    if constexpr (std::is_same<Text, std::string>::value) {
        return bytesOfHex(exact->get<std::string>(), key.c_str());
    } else {
        Text texts;
        for (const auto& h : *exact) texts.push_back(bytesOfHex(h.get<std::string>(), key.c_str()));
        return texts;
    }
}

template <class T>
void put(std::string* out, T v) {
    out->append(reinterpret_cast<const char*>(&v), sizeof v);
}

template <class T>
void putArray(std::string* out, const T* v, std::size_t n) {
    if (n > 0) out->append(reinterpret_cast<const char*>(v), n * sizeof(T));
}

// A reader of an open file of known size that refuses to pass its end:
// arrays are read straight into their vectors, without a copy of the whole
// file (a slab file is as large as the slab).
struct Bytes {
    FILE* file;
    std::uint64_t size;  // of the file, when it was opened
    std::uint64_t at = 0;
    bool failed = false;  // a read failed within the size (an error, or the file shrank)
    bool take(void* out, std::size_t n) {
        if (n == 0) return true;  // out may be null then
        if (n > size - at) return false;
        if (std::fread(out, 1, n, file) != n) {
            failed = true;
            return false;
        }
        at += n;
        return true;
    }
    template <class T>
    bool get(T* v) {
        return take(v, sizeof(T));
    }
    // n items of T, when they lie within the file.
    template <class T>
    bool getArray(std::vector<T>* v, std::uint64_t n) {
        if (n > (size - at) / sizeof(T)) return false;
        v->resize(static_cast<std::size_t>(n));
        return take(v->data(), static_cast<std::size_t>(n) * sizeof(T));
    }
};

// An open work file and its size; closed at the end of the scope.
struct OpenFile {
    FILE* file = nullptr;
    std::uint64_t size = 0;
    ~OpenFile() {
        if (file != nullptr) std::fclose(file);
    }
    // False, with *error, when the file cannot be opened.
    bool open(const std::string& path, std::string* error) {
        std::string why;
        file = files::openRegularFile(path, &why);
        struct stat st;
        if (file != nullptr && fstat(fileno(file), &st) == 0) {
            size = static_cast<std::uint64_t>(st.st_size);
            return true;
        }
        if (file != nullptr) why = std::strerror(errno);
        *error = "cannot read " + files::printableName(path) + ": " + why;
        return false;
    }
};

// The whole file; false, with *error, when it cannot be read.
bool readWhole(const std::string& path, std::string* out, std::string* error) {
    std::string why;
    FILE* f = files::openRegularFile(path, &why);
    if (f == nullptr) {
        *error = "cannot read " + files::printableName(path) + ": " + why;
        return false;
    }
    out->clear();
    char buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out->append(buffer, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) *error = "cannot read " + files::printableName(path) + ": " + std::strerror(EIO);
    return !failed;
}

std::string hexFloat(float f) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", double(f));
    return text;
}

}  // namespace

std::string manifestPath(const std::string& workDir) {
    return workDir + "/manifest.json";
}

std::string slabPath(const std::string& workDir, int slab) {
    char name[32];
    std::snprintf(name, sizeof name, "/slab-%05d.bin", slab);
    return workDir + name;
}

std::string valuesPath(const std::string& workDir, int slab) {
    char name[32];
    std::snprintf(name, sizeof name, "/slab-%05d.values", slab);
    return workDir + name;
}

std::string manifestJson(const Manifest& m) {
    using nlohmann::json;
    json j;
    j["format"] = "rangeloom-slabs";
    j["version"] = kFormatVersion;
    putText(j, "config", m.config);
    j["configDigest"] = m.configDigest;
    j["plan"] = m.planKey;
    putText(j, "warnings", m.warnings);
    putText(j, "thresholdNote", m.thresholdNote);
    // Floats as their bits (exact) and in hexadecimal notation (readable).
    j["defaultThreshold"] = {{"bits", bitsOf(m.defaultThreshold)},
                             {"value", hexFloat(m.defaultThreshold)}};
    j["analysed"] = m.analysed;
    putText(j, "why", m.why);
    const Lattice& l = m.lattice;
    j["lattice"] = {{"minBits", {bitsOf(l.minX), bitsOf(l.minY), bitsOf(l.minZ)}},
                    {"min", {hexFloat(l.minX), hexFloat(l.minY), hexFloat(l.minZ)}},
                    {"cells", {l.nx, l.ny, l.nz}},
                    {"cellSize", hexFloat(cellSize)}};
    j["magnitude"] = {{"bits", bitsOf(m.magnitude)}, {"value", hexFloat(m.magnitude)}};
    j["axis"] = m.axis;
    json scans = json::array();
    for (const ManifestScan& s : m.scans) {
        json scan;
        putText(scan, "name", s.name);
        putText(scan, "path", s.path);
        putText(scan, "label", s.label);
        putText(scan, "output", s.output);
        scan["size"] = s.size;
        scan["mtimeNs"] = s.mtimeNs;
        scan["points"] = s.points;
        scan["triangles"] = s.triangles;
        scans.push_back(scan);
    }
    j["scans"] = scans;
    json slabs = json::array();
    for (std::size_t i = 0; i < m.slabs.size(); ++i) {
        const ManifestSlab& s = m.slabs[i];
        char file[32];
        std::snprintf(file, sizeof file, "slab-%05zu.bin", i);
        slabs.push_back({{"file", file},
                         {"layers", {s.firstLayer, s.endLayer}},
                         {"bytes", s.bytes},
                         {"segments", s.segments},
                         {"points", s.points},
                         {"triangles", s.triangles}});
    }
    j["slabs"] = slabs;
    // Bytes of a text that are not UTF-8 are replaced in it; its exact bytes are
    // beside it (putText).
    return j.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

bool readManifest(const std::string& workDir, Manifest* m, std::string* error) {
    const std::string path = manifestPath(workDir);
    std::string text;
    if (!readWhole(path, &text, error)) return false;
    try {
        const nlohmann::json j = nlohmann::json::parse(text);
        if (j.at("format").get<std::string>() != "rangeloom-slabs" ||
            integerOf<std::uint32_t>(j.at("version"), "version") != kFormatVersion) {
            *error = files::printableName(path) + " is not a slab manifest of version " +
                     std::to_string(kFormatVersion);
            return false;
        }
        Manifest r;
        r.config = textOf<std::string>(j, "config");
        r.configDigest = j.at("configDigest").get<std::string>();
        r.planKey = j.at("plan").get<std::string>();
        r.warnings = textOf<std::vector<std::string>>(j, "warnings");
        r.thresholdNote = textOf<std::string>(j, "thresholdNote");
        r.defaultThreshold =
            floatOf(integerOf<std::uint32_t>(j.at("defaultThreshold").at("bits"), "threshold"));
        r.analysed = j.at("analysed").get<bool>();
        r.why = textOf<std::string>(j, "why");
        const auto& l = j.at("lattice");
        const auto minBits = integersOf<std::uint32_t>(l.at("minBits"), "lattice");
        const auto cells = integersOf<int>(l.at("cells"), "lattice");
        if (minBits.size() != 3 || cells.size() != 3) throw std::out_of_range("lattice");
        r.lattice.minX = floatOf(minBits[0]);
        r.lattice.minY = floatOf(minBits[1]);
        r.lattice.minZ = floatOf(minBits[2]);
        r.lattice.nx = cells[0];
        r.lattice.ny = cells[1];
        r.lattice.nz = cells[2];
        r.magnitude = floatOf(integerOf<std::uint32_t>(j.at("magnitude").at("bits"), "magnitude"));
        r.axis = integerOf<int>(j.at("axis"), "axis");
        if (r.axis < 0 || r.axis > 2) throw std::out_of_range("axis");
        for (const auto& s : j.at("scans")) {
            ManifestScan scan;
            scan.name = textOf<std::string>(s, "name");
            scan.path = textOf<std::string>(s, "path");
            scan.label = textOf<std::string>(s, "label");
            scan.output = textOf<std::string>(s, "output");
            scan.size = integerOf<std::uint64_t>(s.at("size"), "size");
            scan.mtimeNs = integerOf<std::int64_t>(s.at("mtimeNs"), "mtimeNs");
            scan.points = integerOf<std::uint64_t>(s.at("points"), "points");
            scan.triangles = integerOf<std::uint64_t>(s.at("triangles"), "triangles");
            if (scan.points > UINT32_MAX) throw std::out_of_range("points");
            if (!outputOfPath(scan.output, scan.path)) throw std::out_of_range("output");
            r.scans.push_back(scan);
        }
        for (const auto& s : j.at("slabs")) {
            ManifestSlab slab;
            const auto layers = integersOf<int>(s.at("layers"), "layers");
            if (layers.size() != 2) throw std::out_of_range("layers");
            slab.firstLayer = layers[0];
            slab.endLayer = layers[1];
            slab.bytes = integerOf<std::uint64_t>(s.at("bytes"), "bytes");
            slab.segments = integerOf<std::uint32_t>(s.at("segments"), "segments");
            slab.points = integerOf<std::uint64_t>(s.at("points"), "points");
            slab.triangles = integerOf<std::uint64_t>(s.at("triangles"), "triangles");
            r.slabs.push_back(slab);
        }
        *m = std::move(r);
        return true;
    } catch (const nlohmann::json::exception& e) {
        *error = files::printableName(path) + " is damaged: " + e.what();
    } catch (const std::out_of_range& e) {
        *error = files::printableName(path) + " is damaged: bad " + e.what();
    }
    return false;
}

void appendSegment(const Segment& s, std::string* out) {
    const std::size_t vertices = s.index.size(), corners = s.corners.size() / 3 * 3;
    const std::size_t start = out->size();
    const std::size_t end = start + kSegmentHeaderBytes + 16 * vertices + 4 * corners;
    // One resize and then each array in place: a segment holds up to a
    // whole scan.
    out->resize(end + (8 - end % 8) % 8, '\0');
    char* at = out->data() + start;
    auto place = [&at](const void* from, std::size_t bytes) {
        if (bytes > 0) std::memcpy(at, from, bytes);
        at += bytes;
    };
    const auto count = static_cast<std::uint32_t>(vertices);
    const auto triangles = static_cast<std::uint64_t>(corners / 3);
    place("SCAN", 4);
    place(&s.scan, 4);
    place(&count, 4);
    place(&s.points, 4);
    place(&triangles, 8);
    place(s.index.data(), 4 * vertices);
    for (int axis = 0; axis < 3; ++axis) {
        float* column = reinterpret_cast<float*>(at);
        for (std::size_t i = 0; i < vertices; ++i) {
            const Point3& p = s.positions[i];
            const float v = axis == 0 ? p.x : axis == 1 ? p.y : p.z;
            std::memcpy(column + i, &v, 4);
        }
        at += 4 * vertices;
    }
    place(s.corners.data(), 4 * corners);
}

std::string slabHeader(int slab, const ManifestSlab& s, int axis) {
    std::string out(kSlabMagic, 8);
    put(&out, kFormatVersion);
    put(&out, static_cast<std::uint32_t>(slab));
    put(&out, static_cast<std::int32_t>(s.firstLayer));
    put(&out, static_cast<std::int32_t>(s.endLayer));
    put(&out, static_cast<std::uint32_t>(axis));
    put(&out, s.segments);
    return out;
}

bool readSlab(const std::string& workDir, int slab, const Manifest& m,
              std::vector<Segment>* segments, std::string* error) {
    const std::string path = slabPath(workDir, slab);
    const std::string name = files::printableName(path);
    if (slab < 0 || static_cast<std::size_t>(slab) >= m.slabs.size()) {
        *error = "the work folder has no slab " + std::to_string(slab);
        return false;
    }
    const ManifestSlab& expected = m.slabs[static_cast<std::size_t>(slab)];
    OpenFile file;
    if (!file.open(path, error)) return false;
    Bytes in{file.file, file.size};
    auto damaged = [&](const std::string& what) {
        *error = in.failed ? "cannot read " + name + ": " + std::strerror(EIO)
                           : name + " is damaged: " + what;
        return false;
    };
    if (file.size != expected.bytes)
        return damaged(std::to_string(file.size) + " bytes where the manifest has " +
                       std::to_string(expected.bytes));
    char magic[8];
    std::uint32_t version, number, axis, count;
    std::int32_t first, end;
    if (!in.take(magic, 8) || std::memcmp(magic, kSlabMagic, 8) != 0 || !in.get(&version) ||
        !in.get(&number) || !in.get(&first) || !in.get(&end) || !in.get(&axis) || !in.get(&count))
        return damaged("not a slab file");
    if (version != kFormatVersion || number != static_cast<std::uint32_t>(slab) ||
        first != expected.firstLayer || end != expected.endLayer ||
        axis != static_cast<std::uint32_t>(m.axis) || count != expected.segments)
        return damaged("its header does not match the manifest");
    segments->clear();
    std::vector<float> axes;  // the x, y and z columns of a segment
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::string where = "segment " + std::to_string(k) + ": ";
        char tag[4];
        Segment s;
        std::uint32_t vertices;
        std::uint64_t triangles;
        if (!in.take(tag, 4) || std::memcmp(tag, "SCAN", 4) != 0 || !in.get(&s.scan) ||
            !in.get(&vertices) || !in.get(&s.points) || !in.get(&triangles))
            return damaged(where + "its header is cut short or wrong");
        if (s.scan >= m.scans.size() || s.points > vertices)
            return damaged(where + "its scan or point count is out of range");
        const std::uint64_t scanPoints = m.scans[s.scan].points;
        if (!in.getArray(&s.index, vertices) || !in.getArray(&axes, 3 * std::uint64_t(vertices)) ||
            triangles > UINT64_MAX / 3 || !in.getArray(&s.corners, 3 * triangles))
            return damaged(where + "it is cut short");
        for (std::uint32_t i : s.index)
            if (i >= scanPoints) return damaged(where + "a vertex index is out of range");
        for (std::int32_t c : s.corners)
            if (c < 0 || static_cast<std::uint32_t>(c) >= vertices)
                return damaged(where + "a corner is out of range");
        s.positions.resize(vertices);
        const float* x = axes.data();
        for (std::uint32_t i = 0; i < vertices; ++i)
            s.positions[i] = Point3(x[i], x[vertices + i], x[2 * std::size_t(vertices) + i]);
        const std::size_t pad = (8 - in.at % 8) % 8;
        char zeros[8];
        if (!in.take(zeros, pad)) return damaged(where + "it is cut short");
        segments->push_back(std::move(s));
    }
    if (in.at != file.size) return damaged("bytes after its last segment");
    return true;
}

std::string valuesBytes(int slab, const std::vector<SlabValues>& v) {
    std::string out(kValuesMagic, 8);
    put(&out, kFormatVersion);
    put(&out, static_cast<std::uint32_t>(slab));
    put(&out, static_cast<std::uint64_t>(v.size()));
    for (const SlabValues& s : v) {
        put(&out, s.scan);
        put(&out, static_cast<std::uint32_t>(s.index.size()));
        putArray(&out, s.index.data(), s.index.size());
        putArray(&out, s.values.data(), s.index.size());
    }
    return out;
}

bool readValues(const std::string& workDir, int slab, const Manifest& m, std::vector<SlabValues>* v,
                std::string* error) {
    const std::string path = valuesPath(workDir, slab);
    OpenFile file;
    if (!file.open(path, error)) return false;
    Bytes in{file.file, file.size};
    auto damaged = [&](const std::string& what) {
        *error = in.failed ? "cannot read " + files::printableName(path) + ": " + std::strerror(EIO)
                           : files::printableName(path) + " is damaged: " + what;
        return false;
    };
    char magic[8];
    std::uint32_t version, number;
    std::uint64_t count;
    if (!in.take(magic, 8) || std::memcmp(magic, kValuesMagic, 8) != 0 || !in.get(&version) ||
        !in.get(&number) || !in.get(&count))
        return damaged("not a values file");
    if (version != kFormatVersion || number != static_cast<std::uint32_t>(slab))
        return damaged("its header does not match the manifest");
    v->clear();
    for (std::uint64_t k = 0; k < count; ++k) {
        SlabValues s;
        std::uint32_t n;
        if (!in.get(&s.scan) || !in.get(&n) || !in.getArray(&s.index, n) ||
            !in.getArray(&s.values, n))
            return damaged("it is cut short");
        if (s.scan >= m.scans.size()) return damaged("a scan is out of range");
        for (std::uint32_t i : s.index)
            if (i >= m.scans[s.scan].points) return damaged("a point index is out of range");
        v->push_back(std::move(s));
    }
    if (in.at != file.size) return damaged("bytes after its last segment");
    return true;
}

}  // namespace slab
