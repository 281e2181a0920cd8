#include "formats/e57_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <pugixml.hpp>
#include <string_view>
#include <vector>

#include "formats/e57_bitpack.h"
#include "formats/e57_pages.h"
#include "formats/scan_pose.h"

namespace formats {

namespace {

constexpr const char* kE57Namespace = "http://www.astm.org/COMMIT/E57/2010-e57-v1.0";
constexpr uint8_t kCompressedVectorSection = 1;
constexpr uint8_t kIndexPacket = 0;
constexpr uint8_t kDataPacket = 1;
constexpr uint8_t kEmptyPacket = 2;

// ---------------------------------------------------------------------------
// The XML tree

std::string_view trimmed(const char* text) {
    std::string_view s(text);
    while (!s.empty() && std::strchr(" \t\r\n", s.front()) != nullptr) s.remove_prefix(1);
    while (!s.empty() && std::strchr(" \t\r\n", s.back()) != nullptr) s.remove_suffix(1);
    return s;
}

template <typename T>
bool parseWhole(std::string_view s, T* value) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), *value);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// Names of the E57 namespace, with the prefix the file binds it to.
class E57Names {
public:
    explicit E57Names(pugi::xml_node root) {
        for (pugi::xml_attribute a : root.attributes()) {
            const std::string_view name = a.name();
            if (std::string_view(a.value()) != kE57Namespace) continue;
            if (name == "xmlns")
                prefix_.clear();
            else if (name.substr(0, 6) == "xmlns:")
                prefix_ = std::string(name.substr(6)) + ":";
        }
    }

    // The local name of an element of the namespace, or "" for others.
    std::string_view local(pugi::xml_node n) const {
        const std::string_view name = n.name();
        if (name.substr(0, prefix_.size()) != prefix_) return {};
        const std::string_view rest = name.substr(prefix_.size());
        return rest.find(':') == std::string_view::npos ? rest : std::string_view();
    }

    pugi::xml_node child(pugi::xml_node n, std::string_view name) const {
        for (pugi::xml_node c : n.children())
            if (c.type() == pugi::node_element && local(c) == name) return c;
        return {};
    }

private:
    std::string prefix_;
};

std::string typeOf(pugi::xml_node n) {
    return n.attribute("type").value();
}

// ---------------------------------------------------------------------------
// Compressed-vector fields

// What a prototype field means to the reader.
enum class Role {
    None,
    X,
    Y,
    Z,
    Range,
    Azimuth,
    Elevation,
    CartesianInvalid,
    SphericalInvalid,
    Row,
    Column,
    Intensity,
    Count
};

Role roleOf(std::string_view name) {
    static const std::pair<const char*, Role> kRoles[] = {
        {"cartesianX", Role::X},
        {"cartesianY", Role::Y},
        {"cartesianZ", Role::Z},
        {"sphericalRange", Role::Range},
        {"sphericalAzimuth", Role::Azimuth},
        {"sphericalElevation", Role::Elevation},
        {"cartesianInvalidState", Role::CartesianInvalid},
        {"sphericalInvalidState", Role::SphericalInvalid},
        {"rowIndex", Role::Row},
        {"columnIndex", Role::Column},
        {"intensity", Role::Intensity},
    };
    for (const auto& r : kRoles)
        if (name == r.first) return r.second;
    return Role::None;
}

// One terminal field of a prototype, in bytestream order.
struct Field {
    std::string name;  // the element's name, for messages
    Role role = Role::None;
    enum Kind { Integer, Scaled, Float, String } kind = Integer;
    int bits = 0;         // bits per value in the stream
    int64_t minimum = 0;  // Integer, Scaled: the raw value of stream value 0
    double scale = 1.0;   // Scaled
    double offset = 0.0;  // Scaled
};

// Bits of an integer range: ceil(log2(maximum - minimum + 1)).
int bitsOfRange(int64_t minimum, int64_t maximum) {
    const uint64_t range = uint64_t(maximum) - uint64_t(minimum);
    int bits = 0;
    while (bits < 64 && (range >> bits) != 0) ++bits;
    return bits;
}

// ---------------------------------------------------------------------------
// The reader

// One scan as the XML describes it.
struct ScanPlan {
    ScanHeader header;
    uint64_t sectionPhysical = 0;  // the CompressedVector's fileOffset
    std::vector<Field> fields;     // every terminal of the prototype, in order
    bool spherical = false;
    int used[static_cast<int>(Role::Count)];  // field index per role, or -1
};

class E57Reader {
public:
    E57Reader(ByteSource& source, ScanReceiver& receiver) : pages_(source), receiver_(receiver) {}

    void run() {
        const pugi::xml_node root = parseXml();
        const E57Names names(root);
        if (names.local(root) != "e57Root")
            throw E57Failure{"the XML section's root is not e57Root"};
        const pugi::xml_node data3D = names.child(root, "data3D");
        std::size_t index = 0;
        if (!data3D) return;
        for (pugi::xml_node scan : data3D.children()) {
            if (scan.type() != pugi::node_element) continue;
            ScanPlan plan = describe(names, scan, index++);
            const Next next = receiver_.beginScan(plan.header);
            if (next == Next::Stop) return;
            if (next == Next::Skip) continue;
            if (!readPoints(plan) || !receiver_.endScan()) return;
        }
    }

private:
    [[noreturn]] void fail(const ScanHeader& h, const std::string& what) const {
        throw E57Failure{"scan " + std::to_string(h.index + 1) + " (" + h.name + "): " + what};
    }

    pugi::xml_node parseXml() {
        const E57FileHeader& h = pages_.header();
        const uint64_t start = pages_.logicalOf(h.xmlPhysicalOffset, "the XML section");
        if (h.xmlLogicalLength == 0 || h.xmlLogicalLength > pages_.logicalLength() - start)
            throw E57Failure{"the XML section's length " + std::to_string(h.xmlLogicalLength) +
                             " does not fit in the file"};
        std::vector<char> xml(static_cast<std::size_t>(h.xmlLogicalLength));
        pages_.read(start, xml.data(), xml.size());
        const pugi::xml_parse_result r =
            doc_.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
        if (!r)
            throw E57Failure{std::string("the XML section cannot be parsed: ") + r.description() +
                             " at its byte " + std::to_string(r.offset)};
        return doc_.document_element();
    }

    double number(const ScanHeader& h, pugi::xml_node n, const char* what, double fallback) {
        if (!n) return fallback;
        const std::string_view text = trimmed(n.text().get());
        if (text.empty()) return 0.0;
        double v = 0.0;
        if (!parseWhole(text, &v) || !std::isfinite(v))
            fail(h, std::string(what) + " '" + std::string(text) + "' is not a finite number");
        return v;
    }

    int64_t integerAttribute(const ScanHeader& h, const Field& f, pugi::xml_node n,
                             const char* name, int64_t fallback) {
        const pugi::xml_attribute a = n.attribute(name);
        if (!a) return fallback;
        int64_t v = 0;
        if (!parseWhole(trimmed(a.value()), &v))
            fail(h, "the " + std::string(name) + " of field " + f.name + " ('" + a.value() +
                        "') is not a whole number");
        return v;
    }

    double floatAttribute(const ScanHeader& h, const Field& f, pugi::xml_node n, const char* name,
                          double fallback) {
        const pugi::xml_attribute a = n.attribute(name);
        if (!a) return fallback;
        double v = 0.0;
        if (!parseWhole(trimmed(a.value()), &v) || !std::isfinite(v))
            fail(h, "the " + std::string(name) + " of field " + f.name + " ('" + a.value() +
                        "') is not a finite number");
        return v;
    }

    void readPose(const E57Names& names, pugi::xml_node scan, ScanHeader* h) {
        const pugi::xml_node pose = names.child(scan, "pose");
        const pugi::xml_node rotation = names.child(pose, "rotation");
        const pugi::xml_node translation = names.child(pose, "translation");
        double* q = h->pose.rotation;
        if (rotation) {
            q[0] = number(*h, names.child(rotation, "w"), "the pose's w", 0.0);
            q[1] = number(*h, names.child(rotation, "x"), "the pose's x", 0.0);
            q[2] = number(*h, names.child(rotation, "y"), "the pose's y", 0.0);
            q[3] = number(*h, names.child(rotation, "z"), "the pose's z", 0.0);
            const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
            if (!(std::fabs(length - 1.0) <= 1e-3))
                fail(*h, "the pose's rotation is not a unit quaternion (length " +
                             std::to_string(length) + ")");
        }
        static const char* const kAxes[3] = {"x", "y", "z"};
        for (int k = 0; k < 3; ++k)
            h->pose.translation[k] =
                number(*h, names.child(translation, kAxes[k]), "the pose's translation", 0.0);
        setMatrixFromQuaternion(&h->pose);
    }

    // Appends the prototype's terminal fields, depth first, in document order.
    void collectFields(const E57Names& names, const ScanHeader& h, pugi::xml_node node,
                       const std::string& path, std::vector<Field>* fields, int depth) {
        if (depth > 32) fail(h, "the prototype is nested more than 32 deep");
        for (pugi::xml_node c : node.children()) {
            if (c.type() != pugi::node_element) continue;
            const std::string type = typeOf(c);
            Field f;
            f.name = path + c.name();
            if (type == "Structure") {
                collectFields(names, h, c, f.name + "/", fields, depth + 1);
                continue;
            }
            if (depth == 0) f.role = roleOf(names.local(c));
            if (type == "Integer" || type == "ScaledInteger") {
                f.kind = type == "Integer" ? Field::Integer : Field::Scaled;
                f.minimum =
                    integerAttribute(h, f, c, "minimum", std::numeric_limits<int64_t>::min());
                const int64_t maximum =
                    integerAttribute(h, f, c, "maximum", std::numeric_limits<int64_t>::max());
                if (maximum < f.minimum)
                    fail(h, "field " + f.name + " has a maximum below its minimum");
                f.bits = bitsOfRange(f.minimum, maximum);
                if (f.kind == Field::Scaled) {
                    f.scale = floatAttribute(h, f, c, "scale", 1.0);
                    f.offset = floatAttribute(h, f, c, "offset", 0.0);
                }
            } else if (type == "Float") {
                f.kind = Field::Float;
                const std::string precision = c.attribute("precision").value();
                if (precision != "" && precision != "single" && precision != "double")
                    fail(h, "field " + f.name + " has the unknown precision '" + precision + "'");
                f.bits = precision == "single" ? 32 : 64;
            } else if (type == "String") {
                f.kind = Field::String;
            } else {
                fail(h, "field " + f.name + " of the prototype has the type '" + type +
                            "', which a point record cannot hold");
            }
            fields->push_back(std::move(f));
        }
    }

    ScanPlan describe(const E57Names& names, pugi::xml_node scan, std::size_t index) {
        ScanPlan plan;
        ScanHeader& h = plan.header;
        h.index = index;
        h.name = "scan " + std::to_string(index + 1);
        const pugi::xml_node name = names.child(scan, "name");
        if (name && !trimmed(name.text().get()).empty())
            h.name = std::string(trimmed(name.text().get()));
        readPose(names, scan, &h);

        const pugi::xml_node points = names.child(scan, "points");
        if (!points || typeOf(points) != "CompressedVector")
            fail(h, "it has no points (a CompressedVector named points)");
        if (!parseWhole(trimmed(points.attribute("recordCount").value()), &h.recordCount))
            fail(h, "the points have no valid recordCount");
        if (h.recordCount > 0 &&
            !parseWhole(trimmed(points.attribute("fileOffset").value()), &plan.sectionPhysical))
            fail(h, "the points have no valid fileOffset");
        const pugi::xml_node codecs = names.child(points, "codecs");
        for (pugi::xml_node codec : codecs.children()) {
            if (codec.type() != pugi::node_element) continue;
            for (pugi::xml_node part : codec.children())
                if (part.type() == pugi::node_element && names.local(part) != "inputs" &&
                    names.local(part) != "bitPackCodec")
                    fail(h, std::string("its points use the codec ") + part.name() +
                                ", which is not supported (only bit packing)");
        }
        collectFields(names, h, names.child(points, "prototype"), "", &plan.fields, 0);

        std::fill(std::begin(plan.used), std::end(plan.used), -1);
        for (std::size_t i = 0; i < plan.fields.size(); ++i) {
            int& slot = plan.used[static_cast<int>(plan.fields[i].role)];
            if (plan.fields[i].role != Role::None && slot < 0) slot = static_cast<int>(i);
        }
        auto has = [&](Role r) { return plan.used[static_cast<int>(r)] >= 0; };
        if (!(has(Role::X) && has(Role::Y) && has(Role::Z))) {
            if (!(has(Role::Range) && has(Role::Azimuth) && has(Role::Elevation)))
                fail(h,
                     "its points have neither cartesianX/Y/Z nor sphericalRange/Azimuth/Elevation");
            plan.spherical = true;
        }
        // Roles the points are not read with are read past.
        const Role unused[] = {plan.spherical ? Role::X : Role::Range,
                               plan.spherical ? Role::Y : Role::Azimuth,
                               plan.spherical ? Role::Z : Role::Elevation,
                               plan.spherical ? Role::CartesianInvalid : Role::SphericalInvalid};
        for (Role r : unused) plan.used[static_cast<int>(r)] = -1;
        for (int r = 1; r < static_cast<int>(Role::Count); ++r)
            if (plan.used[r] >= 0 && plan.fields[plan.used[r]].kind == Field::String)
                fail(h, "field " + plan.fields[plan.used[r]].name + " is a String, not a number");
        h.hasIntensity = has(Role::Intensity);
        h.structured = has(Role::Row) && has(Role::Column);
        if (h.structured) readBounds(names, scan, &h);
        return plan;
    }

    void readBounds(const E57Names& names, pugi::xml_node scan, ScanHeader* h) {
        const pugi::xml_node bounds = names.child(scan, "indexBounds");
        if (!bounds) return;
        int64_t rowMax = -1, columnMax = -1;
        const pugi::xml_node r = names.child(bounds, "rowMaximum");
        const pugi::xml_node c = names.child(bounds, "columnMaximum");
        if (!r || !c) return;
        if (!parseWhole(trimmed(r.text().get()), &rowMax) ||
            !parseWhole(trimmed(c.text().get()), &columnMax) || rowMax < 0 || columnMax < 0 ||
            rowMax >= (int64_t(1) << 31) || columnMax >= (int64_t(1) << 31))
            fail(*h, "its indexBounds are not whole numbers from 0 to 2^31 - 1");
        h->rows = rowMax + 1;
        h->columns = columnMax + 1;
    }

    // -----------------------------------------------------------------------
    // Points

    // Decoded values of one used field, waiting for the other fields.
    struct Pending {
        std::vector<double> values;
        std::size_t head = 0;  // values before it are delivered
        uint64_t decoded = 0;  // values decoded so far
        std::size_t size() const { return values.size() - head; }
    };

    double valueOf(const Field& f, uint64_t raw) const {
        switch (f.kind) {
            case Field::Integer:
                return static_cast<double>(static_cast<int64_t>(uint64_t(f.minimum) + raw));
            case Field::Scaled:
                return static_cast<double>(static_cast<int64_t>(uint64_t(f.minimum) + raw)) *
                           f.scale +
                       f.offset;
            case Field::Float:
                if (f.bits == 32) {
                    const uint32_t bits = static_cast<uint32_t>(raw);
                    float v;
                    std::memcpy(&v, &bits, sizeof v);
                    return v;
                } else {
                    double v;
                    std::memcpy(&v, &raw, sizeof v);
                    return v;
                }
            case Field::String:
                break;
        }
        return 0.0;
    }

    bool readPoints(const ScanPlan& plan) {
        const ScanHeader& h = plan.header;
        std::vector<int> used;  // field indices read, each once
        for (int r = 1; r < static_cast<int>(Role::Count); ++r)
            if (plan.used[r] >= 0) used.push_back(plan.used[r]);
        std::vector<BitUnpacker> streams;
        std::vector<Pending> pending(plan.fields.size());
        std::vector<bool> isUsed(plan.fields.size(), false);
        bool allConstant = true;
        for (const Field& f : plan.fields) streams.emplace_back(f.bits);
        for (int i : used) {
            isUsed[i] = true;
            allConstant = allConstant && plan.fields[i].bits == 0;
        }
        uint64_t delivered = 0;
        std::vector<ScanPoint> block;

        // Records whose every used field is decoded go out in blocks.
        auto deliver = [&]() -> bool {
            uint64_t ready = h.recordCount - delivered;
            for (int i : used)
                if (plan.fields[i].bits > 0) ready = std::min<uint64_t>(ready, pending[i].size());
            for (uint64_t k = 0; k < ready; ++k) {
                block.push_back(record(plan, pending));
                if (block.size() == kBlockPoints) {
                    if (!receiver_.points(block.data(), block.size())) return false;
                    block.clear();
                }
            }
            delivered += ready;
            for (int i : used) {
                Pending& p = pending[i];
                if (p.head > 4096 && p.head * 2 > p.values.size()) {
                    p.values.erase(p.values.begin(),
                                   p.values.begin() + static_cast<std::ptrdiff_t>(p.head));
                    p.head = 0;
                }
            }
            return true;
        };

        // Fields of 0 bits need no data: such records are all known at once.
        if (allConstant && !deliver()) return false;
        if (delivered < h.recordCount) {
            uint64_t cursor = 0, end = 0;
            openSection(plan, &cursor, &end);
            std::vector<uint8_t> packet;
            while (delivered < h.recordCount) {
                if (!nextDataPacket(plan, &cursor, end, &packet))
                    fail(h, "its points end after " + std::to_string(delivered) + " of " +
                                std::to_string(h.recordCount) + " records");
                const uint64_t at = cursor - packet.size();
                unpackPacket(plan, packet, at, isUsed, &streams);
                for (int i : used) {
                    Pending& p = pending[i];
                    uint64_t raw;
                    while (p.decoded < h.recordCount && streams[i].bits() > 0 &&
                           streams[i].next(&raw)) {
                        p.values.push_back(valueOf(plan.fields[i], raw));
                        ++p.decoded;
                    }
                }
                if (!deliver()) return false;
            }
        }
        if (!block.empty() && !receiver_.points(block.data(), block.size())) return false;
        return true;
    }

    // The next record from the pending values (all present).
    ScanPoint record(const ScanPlan& plan, std::vector<Pending>& pending) const {
        auto take = [&](Role r, double fallback) {
            const int i = plan.used[static_cast<int>(r)];
            if (i < 0) return fallback;
            const Field& f = plan.fields[i];
            if (f.bits == 0) return valueOf(f, 0);
            Pending& p = pending[i];
            return p.values[p.head++];
        };
        ScanPoint p;
        double x, y, z, invalid;
        if (plan.spherical) {
            const double range = take(Role::Range, 0.0);
            const double azimuth = take(Role::Azimuth, 0.0);
            const double elevation = take(Role::Elevation, 0.0);
            invalid = take(Role::SphericalInvalid, 0.0);
            x = range * std::cos(elevation) * std::cos(azimuth);
            y = range * std::cos(elevation) * std::sin(azimuth);
            z = range * std::sin(elevation);
        } else {
            x = take(Role::X, 0.0);
            y = take(Role::Y, 0.0);
            z = take(Role::Z, 0.0);
            invalid = take(Role::CartesianInvalid, 0.0);
        }
        p.valid = invalid == 0.0 && std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
        if (p.valid) {
            p.x = x;
            p.y = y;
            p.z = z;
        }
        p.intensity = static_cast<float>(take(Role::Intensity, 0.0));
        if (plan.header.structured) {
            const double row = take(Role::Row, -1.0), column = take(Role::Column, -1.0);
            p.row = std::isfinite(row) && std::fabs(row) < 9e18 ? std::llround(row) : -1;
            p.column =
                std::isfinite(column) && std::fabs(column) < 9e18 ? std::llround(column) : -1;
        }
        return p;
    }

    // Reads the section header; sets the logical offset of the first data
    // packet and the section's logical end.
    void openSection(const ScanPlan& plan, uint64_t* cursor, uint64_t* end) {
        const ScanHeader& h = plan.header;
        const uint64_t start = logical(h, plan.sectionPhysical, "the points' binary section");
        uint8_t s[32];
        readBytes(h, start, s, sizeof s);
        if (s[0] != kCompressedVectorSection)
            fail(h, "the binary section at byte " + std::to_string(plan.sectionPhysical) +
                        " is not a compressed-vector section");
        const uint64_t length = readLE(s + 8, 8);
        if (length < sizeof s || length > pages_.logicalLength() - start)
            fail(h, "the binary section's length " + std::to_string(length) +
                        " does not fit in the file");
        *end = start + length;
        *cursor = logical(h, readLE(s + 16, 8), "the first data packet");
        if (*cursor < start + sizeof s || *cursor >= *end)
            fail(h, "the first data packet lies outside its binary section");
    }

    uint64_t logical(const ScanHeader& h, uint64_t physical, const char* what) {
        try {
            return pages_.logicalOf(physical, what);
        } catch (const E57Failure& f) {
            fail(h, f.message);
        }
    }

    void readBytes(const ScanHeader& h, uint64_t at, void* out, std::size_t n) {
        try {
            pages_.read(at, out, n);
        } catch (const E57Failure& f) {
            fail(h, f.message);
        }
    }

    // Reads packets from *cursor on, skipping index and empty packets, up to
    // the next data packet, which it leaves in *packet; false at the end of
    // the section.
    bool nextDataPacket(const ScanPlan& plan, uint64_t* cursor, uint64_t end,
                        std::vector<uint8_t>* packet) {
        const ScanHeader& h = plan.header;
        while (*cursor < end) {
            if (end - *cursor < 4)
                fail(h, "a packet header at logical byte " + std::to_string(*cursor) +
                            " runs past its section");
            uint8_t head[4];
            readBytes(h, *cursor, head, sizeof head);
            const uint64_t length = readLE(head + 2, 2) + 1;
            if (length < 4 || length > end - *cursor)
                fail(h, "the packet at logical byte " + std::to_string(*cursor) + " (type " +
                            std::to_string(head[0]) + ", " + std::to_string(length) +
                            " bytes) does not fit in its section");
            if (head[0] != kDataPacket && head[0] != kIndexPacket && head[0] != kEmptyPacket)
                fail(h, "the packet at logical byte " + std::to_string(*cursor) +
                            " has the unknown type " + std::to_string(head[0]));
            if (head[0] == kDataPacket) {
                packet->resize(static_cast<std::size_t>(length));
                readBytes(h, *cursor, packet->data(), packet->size());
                *cursor += length;
                return true;
            }
            *cursor += length;
        }
        return false;
    }

    // Hands the bytestream buffer of each field read to its stream (the
    // buffers of the others are only measured).
    void unpackPacket(const ScanPlan& plan, const std::vector<uint8_t>& packet, uint64_t at,
                      const std::vector<bool>& isUsed, std::vector<BitUnpacker>* streams) {
        const ScanHeader& h = plan.header;
        const std::string where = "the data packet at logical byte " + std::to_string(at);
        if (packet.size() < 6) fail(h, where + " is shorter than its header");
        const std::size_t count = static_cast<std::size_t>(readLE(packet.data() + 4, 2));
        if (count != plan.fields.size())
            fail(h, where + " has " + std::to_string(count) + " bytestreams for " +
                        std::to_string(plan.fields.size()) + " fields");
        std::size_t offset = 6 + 2 * count;
        if (offset > packet.size()) fail(h, where + " is shorter than its buffer lengths");
        const bool restart = (packet[1] & 1) != 0;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t length =
                static_cast<std::size_t>(readLE(packet.data() + 6 + 2 * i, 2));
            if (length > packet.size() - offset)
                fail(h, where + ": the buffer of field " + plan.fields[i].name +
                            " runs past the packet");
            if (isUsed[i]) {
                if (restart) (*streams)[i].restart();
                (*streams)[i].append(packet.data() + offset, length);
            }
            offset += length;
        }
    }

    E57Pages pages_;
    ScanReceiver& receiver_;
    pugi::xml_document doc_;
};

}  // namespace

ReadStatus readE57(ByteSource& source, const std::string& fileName, ScanReceiver& receiver) {
    try {
        E57Reader(source, receiver).run();
    } catch (const E57Failure& f) {
        return ReadStatus{false, fileName + ": " + f.message};
    } catch (const std::bad_alloc&) {
        return ReadStatus{false, fileName + ": not enough memory to read it"};
    }
    return ReadStatus{};
}

}  // namespace formats
