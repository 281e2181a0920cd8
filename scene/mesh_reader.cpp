// The .m text mesh reader: Vertex and Face lines, optional face colours, the
// placement normalisation and the console report of a load.
//
// A line is at most 255 characters (the rest of a longer line is discarded,
// up to 9999 characters through its newline), leading white space and blank
// lines are skipped, and a last line without a newline is still read.
#include "scene/mesh_reader.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "files/printable_name.h"
#include "files/regular_file.h"
#include "scene/console.h"
#include "scene/load_report.h"

namespace {

constexpr std::size_t kLineChars = 255;      // characters of a line that are parsed
constexpr std::size_t kDiscardChars = 9999;  // further characters skipped per line
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// White space as the C locale classifies it.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Everything the stream still holds, read in large blocks.
std::string readAll(std::istream& in) {
    std::string text;
    std::streambuf* buffer = in.rdbuf();
    if (buffer == nullptr) return text;
    static constexpr std::size_t kBlock = 1 << 20;
    std::vector<char> block(kBlock);
    for (;;) {
        const std::streamsize got =
            buffer->sgetn(block.data(), static_cast<std::streamsize>(kBlock));
        if (got <= 0) break;
        text.append(block.data(), static_cast<std::size_t>(got));
    }
    return text;
}

// Cuts the lines out of a text the way the reader sees them.
class LineCursor {
public:
    explicit LineCursor(const std::string& text) : text_(text) {}

    // Copies the next line (at most 255 characters, NUL-terminated) into
    // line[256] and its offset in the text into start; false at the end.
    bool next(char* line, std::size_t& start) {
        const std::size_t n = text_.size();
        while (pos_ < n && isSpace(text_[pos_])) ++pos_;
        if (pos_ >= n) return false;
        start = pos_;
        const std::size_t length = lineLength(pos_, kLineChars);
        std::memcpy(line, text_.data() + pos_, length);
        line[length] = '\0';
        pos_ += length;
        // Discard the rest of the line, through its newline.
        const std::size_t rest = lineLength(pos_, kDiscardChars);
        pos_ += rest;
        if (rest < kDiscardChars && pos_ < n) ++pos_;  // the newline itself
        return true;
    }

private:
    // Characters from position p up to the next newline, at most limit.
    std::size_t lineLength(std::size_t p, std::size_t limit) const {
        const std::size_t available = text_.size() - p;
        const std::size_t span = available < limit ? available : limit;
        const void* newline = std::memchr(text_.data() + p, '\n', span);
        return newline ? static_cast<std::size_t>(static_cast<const char*>(newline) -
                                                  (text_.data() + p))
                       : span;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

// The line that starts at offset, as the reader parsed it, without trailing
// white space (for messages).
std::string lineAt(const std::string& text, std::size_t offset) {
    std::size_t end = offset;
    while (end < text.size() && end - offset < kLineChars && text[end] != '\n' && text[end] != '\0')
        ++end;
    while (end > offset && isSpace(text[end - 1])) --end;
    return text.substr(offset, end - offset);
}

// True for the characters of a plain decimal number.
bool isPlainNumberChar(char c) {
    return isDigit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// Reads "Vertex %d %g %g %g" when all four fields are plain decimal numbers
// in float range, each followed by white space or the end of the line or
// a character that cannot continue it. For exactly these lines sscanf yields
// the same fields (both round correctly); everything else is left to sscanf.
bool scanPlainVertex(const char* line, Point3& out) {
    const char* const end = line + std::strlen(line);
    const char* p = line + 6;  // after "Vertex"
    while (isSpace(*p)) ++p;
    if (*p == '-' || *p == '+') ++p;
    if (!isDigit(*p)) return false;
    while (isDigit(*p)) ++p;
    float v[3];
    for (float& value : v) {
        while (isSpace(*p)) ++p;
        const std::from_chars_result r = std::from_chars(p, end, value);
        if (r.ec != std::errc() || r.ptr == p) return false;
        for (const char* q = p; q < r.ptr; ++q) {
            if (!isPlainNumberChar(*q)) return false;  // inf, nan, hexadecimal
        }
        // scanf would read on into an exponent or a longer word.
        if (isLetter(*r.ptr) || *r.ptr == '(') return false;
        p = r.ptr;
    }
    out = Point3(v[0], v[1], v[2]);
    return true;
}

// "Vertex %d %g %g %g": true with the position when all four fields are read.
bool scanVertex(const char* line, Point3& out) {
    if (scanPlainVertex(line, out)) return true;
    int number = 0;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    if (std::sscanf(line, "Vertex %d %g %g %g", &number, &x, &y, &z) != 4) return false;
    out = Point3(x, y, z);
    return true;
}

// The attribute block of a Face line, starting at its "{".
void parseColourBlock(const char* brace, Face& face) {
    const char* text = brace + 1;
    ConsoleText() << "trying to parse color " << (std::strncmp(text, "rgb", 3) == 0 ? 1 : 0)
                  << '\n';
    if (std::strncmp(text, "rgb=", 4) != 0) return;
    float r = 0.0f, g = 0.0f, b = 0.0f;
    int materialId = 0;
    if (std::sscanf(text, "rgb=(%g %g %g) matid=%d", &r, &g, &b, &materialId) != 4) return;
    face.colour.x = r;
    face.colour.y = g;
    face.colour.z = b;
    ConsoleText() << "set color to: " << r << " " << g << " " << b << '\n';
}

enum class LineKind { Other, Vertex, Face, DroppedFace };

struct LineOutcome {
    LineKind kind = LineKind::Other;
    int64_t maxIndex = -1;  // largest vertex index of an added face
};

// A Face line: the face number, then vertex numbers n stored as n - 1, up to
// the end of the line or an attribute block in braces.
LineOutcome parseFace(Mesh& mesh, const char* line, bool acceptLaterVertices) {
    constexpr uint64_t kLargestNumber = uint64_t(INT32_MAX) + 1;  // index INT32_MAX
    Face face;
    face.owner = &mesh;
    bool faceNumberRead = false;
    bool invalid = false;  // a vertex number of 0 or beyond any index
    int64_t maxIndex = -1;
    const char* p = line + 4;  // after "Face"
    for (;;) {
        while (isSpace(*p)) ++p;
        if (*p == '\0' || *p == '{') break;
        if (!isDigit(*p)) return {LineKind::DroppedFace, -1};  // not a number: malformed
        uint64_t n = 0;
        for (; isDigit(*p); ++p) {
            if (n <= kLargestNumber) n = n * 10 + static_cast<uint64_t>(*p - '0');
        }
        if (!faceNumberRead) {
            faceNumberRead = true;  // the face number is not used
            continue;
        }
        if (n == 0 || n > kLargestNumber) {
            invalid = true;
            continue;
        }
        const int32_t index = static_cast<int32_t>(n - 1);
        face.vertexIndices.push_back(index);
        if (index > maxIndex) maxIndex = index;
    }
    if (*p == '{') parseColourBlock(p, face);
    if (invalid) return {LineKind::DroppedFace, -1};
    if (!acceptLaterVertices && maxIndex >= static_cast<int64_t>(mesh.vertices.size())) {
        return {LineKind::DroppedFace, -1};
    }
    mesh.faces.push_back(std::move(face));
    return {LineKind::Face, maxIndex};
}

LineOutcome applyLine(Mesh& mesh, const char* line, bool acceptLaterVertices) {
    if (line[0] == '#') return {};
    if (std::strncmp(line, "Vertex ", 7) == 0) {
        Point3 p;
        if (!scanVertex(line, p)) return {};  // rejected silently
        mesh.addVertex(p);
        return {LineKind::Vertex, -1};
    }
    if (std::strncmp(line, "Face ", 5) == 0) return parseFace(mesh, line, acceptLaterVertices);
    return {};
}

// Makes room for every Vertex and Face line of the text at once, so that the
// lists (a face is a large record) are not moved while they grow.
void reserveForLines(Mesh& mesh, const std::string& text) {
    LineCursor cursor(text);
    char line[kLineChars + 1];
    std::size_t offset = 0;
    std::size_t vertexLines = 0, faceLines = 0;
    while (cursor.next(line, offset)) {
        if (std::strncmp(line, "Vertex ", 7) == 0) ++vertexLines;
        if (std::strncmp(line, "Face ", 5) == 0) ++faceLines;
    }
    mesh.vertices.reserve(mesh.vertices.size() + vertexLines);
    mesh.faces.reserve(mesh.faces.size() + faceLines);
}

// A face that names a vertex beyond those read when its line was parsed.
struct LateFace {
    std::size_t face;    // position in faces
    int64_t maxIndex;    // largest vertex index it names
    std::size_t offset;  // where its line starts in the text
};

// Removes the faces whose vertices never came; returns how many, and the
// offset of the first one's line in firstOffset (kNone if none).
std::size_t dropLateFaces(Mesh& mesh, const std::vector<LateFace>& late, std::size_t& firstOffset) {
    firstOffset = kNone;
    const int64_t vertexCount = static_cast<int64_t>(mesh.vertices.size());
    std::vector<std::size_t> drop;
    for (const LateFace& f : late) {
        if (f.maxIndex < vertexCount) continue;
        if (drop.empty()) firstOffset = f.offset;
        drop.push_back(f.face);
    }
    if (drop.empty()) return 0;
    std::size_t write = drop[0];
    std::size_t next = 0;
    for (std::size_t read = drop[0]; read < mesh.faces.size(); ++read) {
        if (next < drop.size() && drop[next] == read) {
            ++next;
            continue;
        }
        mesh.faces[write++] = std::move(mesh.faces[read]);
    }
    mesh.faces.erase(mesh.faces.begin() + static_cast<std::ptrdiff_t>(write), mesh.faces.end());
    return drop.size();
}

}  // namespace

MeshFileLoad loadMeshFile(int id, const std::string& path) {
    MeshFileLoad result;
    const std::string shown = files::printableName(path);
    consolePrintf("Reading coordinates from %s\n", shown.c_str());
    // A device or FIFO would never end (or never begin), a folder has no text.
    const std::string special = files::notRegularReason(path);
    if (!special.empty()) {
        result.status = {LoadFailure::CannotOpen, special, 0};
        consolePrintf("Could not open file %s: %s\n", shown.c_str(), special.c_str());
        return result;
    }
    std::ifstream in(path);
    if (!in) {
        result.status = {LoadFailure::CannotOpen, std::strerror(errno), 0};
        consolePrintf("Could not open file %s\n", shown.c_str());
        return result;
    }
    auto mesh = std::make_unique<Mesh>(id);
    mesh->clearGeometry();
    result.dropped = readMeshLines(*mesh, in);
    if (mesh->vertices.size() > 4) printFirstElements(*mesh);
    reportPlacement(*mesh, true);
    mesh->computeNormals();
    mesh->buildEdges();
    in.close();
    if (result.dropped.droppedFaces > 0) {
        ConsoleText() << "dropped " << result.dropped.droppedFaces
                      << " Face lines with invalid vertex numbers (the file has "
                      << mesh->vertices.size()
                      << " vertices); first: " << result.dropped.firstDroppedLine << std::endl;
    }
    result.mesh = std::move(mesh);
    return result;
}

MeshReadReport readMeshLines(Mesh& mesh, std::istream& in) {
    MeshReadReport report;
    if (!in.good()) return report;
    const std::string text = readAll(in);
    in.setstate(std::ios::eofbit);

    reserveForLines(mesh, text);
    LineCursor cursor(text);
    char line[kLineChars + 1];
    std::size_t offset = 0;
    std::size_t firstBad = kNone;  // offset of the first malformed Face line
    std::vector<LateFace> late;
    while (cursor.next(line, offset)) {
        const LineOutcome outcome = applyLine(mesh, line, true);
        if (outcome.kind == LineKind::DroppedFace) {
            if (report.droppedFaces++ == 0) firstBad = offset;
        } else if (outcome.kind == LineKind::Face &&
                   outcome.maxIndex >= static_cast<int64_t>(mesh.vertices.size())) {
            late.push_back({mesh.faces.size() - 1, outcome.maxIndex, offset});
        }
    }
    std::size_t firstLate = kNone;
    report.droppedFaces += dropLateFaces(mesh, late, firstLate);
    const std::size_t first = firstBad < firstLate ? firstBad : firstLate;
    if (first != kNone) report.firstDroppedLine = lineAt(text, first);
    return report;
}

bool applyMeshLine(Mesh& mesh, const char* line) {
    return applyLine(mesh, line, false).kind != LineKind::DroppedFace;
}
