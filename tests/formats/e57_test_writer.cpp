#include "e57_test_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace e57test {

namespace {

constexpr uint64_t kPage = 1024;
constexpr uint64_t kData = 1020;

uint32_t crc32cBitwise(const uint8_t* p, std::size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0x82F63B78u : c >> 1;
    }
    return ~c;
}

uint64_t physicalOf(uint64_t logical) {
    return logical / kData * kPage + logical % kData;
}

void putLE(std::string* out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void setLE(std::string* out, std::size_t at, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) (*out)[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void padTo4(std::string* out) {
    while (out->size() % 4 != 0) out->push_back('\0');
}

// Bits appended least significant first, bit after bit.
struct BitWriter {
    std::vector<uint8_t> bytes;
    uint64_t count = 0;
    void put(uint64_t value, int bits) {
        for (int i = 0; i < bits; ++i) {
            if (count % 8 == 0) bytes.push_back(0);
            bytes.back() =
                static_cast<uint8_t>(bytes.back() | (((value >> i) & 1u) << (count % 8)));
            ++count;
        }
    }
};

int bitsFor(const Field& f) {
    if (f.type == Field::FloatSingle) return 32;
    if (f.type == Field::FloatDouble) return 64;
    const uint64_t range = static_cast<uint64_t>(f.maximum) - static_cast<uint64_t>(f.minimum);
    int bits = 0;
    while (bits < 64 && (range >> bits) != 0) ++bits;
    return bits;
}

std::vector<uint8_t> encode(const Field& f) {
    BitWriter w;
    const int bits = bitsFor(f);
    for (double v : f.values) {
        uint64_t raw = 0;
        if (f.type == Field::FloatSingle) {
            const float s = static_cast<float>(v);
            uint32_t u;
            std::memcpy(&u, &s, 4);
            raw = u;
        } else if (f.type == Field::FloatDouble) {
            std::memcpy(&raw, &v, 8);
        } else {
            const int64_t value = f.type == Field::Integer ? static_cast<int64_t>(v)
                                                           : std::llround((v - f.offset) / f.scale);
            if (value < f.minimum || value > f.maximum)
                throw std::runtime_error("e57test: value outside the field " + f.name);
            raw = static_cast<uint64_t>(value) - static_cast<uint64_t>(f.minimum);
        }
        w.put(raw, bits);
    }
    return w.bytes;
}

std::string number(double v) {
    char b[40];
    std::snprintf(b, sizeof b, "%.17g", v);
    return b;
}

// A deterministic generator for the packet layout.
struct Random {
    uint64_t s;
    uint64_t next() {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return s >> 33;
    }
};

// Writes the scan's binary section at the end of `out`; returns the physical
// offset of its section header.
uint64_t writeSection(std::string* out, const Scan& scan, const Layout& layout, Random& random) {
    padTo4(out);
    const std::size_t start = out->size();
    out->push_back('\x01');  // compressed vector section
    out->append(7, '\0');
    const std::size_t lengthAt = out->size();
    out->append(24, '\0');  // logical length, data and index offsets
    std::vector<std::vector<uint8_t>> streams;
    for (const Field& f : scan.fields) streams.push_back(encode(f));
    std::vector<std::size_t> sent(streams.size(), 0);
    std::vector<uint64_t> packets;  // physical offsets of the data packets
    auto left = [&] {
        for (std::size_t i = 0; i < streams.size(); ++i)
            if (sent[i] < streams[i].size()) return true;
        return false;
    };
    while (left()) {
        if (layout.emptyPackets && !packets.empty()) {
            out->push_back('\x02');
            out->push_back('\0');
            putLE(out, 8 - 1, 2);
            out->append(4, '\0');
        }
        packets.push_back(physicalOf(out->size()));
        std::vector<std::size_t> take(streams.size(), 0);
        bool any = false;
        for (std::size_t i = 0; i < streams.size(); ++i) {
            const std::size_t rest = streams[i].size() - sent[i];
            // Some packets carry nothing of a field; the rest a varying share.
            const bool starve = layout.starvedFields && random.next() % 4 == 0;
            const std::size_t n = starve ? 0 : 1 + random.next() % layout.maxBufferBytes;
            take[i] = std::min(n, rest);
            any = any || take[i] > 0;
        }
        if (!any)
            for (std::size_t i = 0; i < streams.size(); ++i)
                if (sent[i] < streams[i].size()) {
                    take[i] = 1;
                    break;
                }
        const std::size_t at = out->size();
        out->push_back('\x01');  // data packet
        out->push_back('\0');
        putLE(out, 0, 2);  // length, set below
        putLE(out, streams.size(), 2);
        for (std::size_t t : take) putLE(out, t, 2);
        for (std::size_t i = 0; i < streams.size(); ++i) {
            out->append(reinterpret_cast<const char*>(streams[i].data() + sent[i]), take[i]);
            sent[i] += take[i];
        }
        padTo4(out);
        if (out->size() - at > 65536) throw std::runtime_error("e57test: packet too long");
        setLE(out, at + 2, out->size() - at - 1, 2);
    }
    uint64_t indexAt = 0;
    if (layout.indexPacket && !packets.empty()) {
        indexAt = physicalOf(out->size());
        const std::size_t at = out->size();
        out->push_back('\0');  // index packet
        out->push_back('\0');
        putLE(out, 16 + 16 * packets.size() - 1, 2);
        putLE(out, packets.size(), 2);
        out->push_back('\0');  // index level
        out->append(9, '\0');
        for (std::size_t k = 0; k < packets.size(); ++k) {
            putLE(out, k, 8);  // chunk record number (not used by readers of the data)
            putLE(out, packets[k], 8);
        }
        if (out->size() - at > 65536) throw std::runtime_error("e57test: index too long");
    }
    setLE(out, lengthAt, out->size() - start, 8);
    setLE(out, lengthAt + 8, packets.empty() ? 0 : packets[0], 8);
    setLE(out, lengthAt + 16, indexAt, 8);
    return physicalOf(start);
}

std::string fieldXml(const Field& f, const std::string& p) {
    std::string x = "<" + p + f.name;
    switch (f.type) {
        case Field::Integer:
            x += " type=\"Integer\" minimum=\"" + std::to_string(f.minimum) + "\" maximum=\"" +
                 std::to_string(f.maximum) + "\"";
            break;
        case Field::ScaledInteger:
            x += " type=\"ScaledInteger\" minimum=\"" + std::to_string(f.minimum) +
                 "\" maximum=\"" + std::to_string(f.maximum) + "\" scale=\"" + number(f.scale) +
                 "\" offset=\"" + number(f.offset) + "\"";
            break;
        case Field::FloatSingle:
            x += " type=\"Float\" precision=\"single\"";
            break;
        case Field::FloatDouble:
            x += " type=\"Float\" precision=\"double\"";
            break;
    }
    return x + "/>";
}

std::string scanXml(const Scan& scan, std::size_t index, uint64_t section, const std::string& p) {
    auto element = [&](const std::string& name, const std::string& type, const std::string& body) {
        return "<" + p + name + " type=\"" + type + "\">" + body + "</" + p + name + ">";
    };
    std::string x = "<" + p + "vectorChild type=\"Structure\">";
    x += element("guid", "String", "<![CDATA[{scan-" + std::to_string(index) + "}]]>");
    if (!scan.name.empty()) x += element("name", "String", "<![CDATA[" + scan.name + "]]>");
    if (scan.pose) {
        const char* q[4] = {"w", "x", "y", "z"};
        std::string rotation, translation;
        for (int k = 0; k < 4; ++k) rotation += element(q[k], "Float", number(scan.rotation[k]));
        for (int k = 0; k < 3; ++k)
            translation += element(q[k + 1], "Float", number(scan.translation[k]));
        x += element("pose", "Structure",
                     element("rotation", "Structure", rotation) +
                         element("translation", "Structure", translation));
    }
    if (scan.rowMaximum >= 0 && scan.columnMaximum >= 0)
        x += element("indexBounds", "Structure",
                     element("rowMinimum", "Integer", "0") +
                         element("rowMaximum", "Integer", std::to_string(scan.rowMaximum)) +
                         element("columnMinimum", "Integer", "0") +
                         element("columnMaximum", "Integer", std::to_string(scan.columnMaximum)) +
                         element("returnMinimum", "Integer", "0") +
                         element("returnMaximum", "Integer", "0"));
    std::string prototype;
    for (std::size_t i = 0; i < scan.fields.size();) {
        const std::string& group = scan.fields[i].group;
        if (group.empty()) {
            prototype += fieldXml(scan.fields[i++], p);
            continue;
        }
        std::string inner;
        while (i < scan.fields.size() && scan.fields[i].group == group)
            inner += fieldXml(scan.fields[i++], "ext:");
        prototype += "<ext:" + group + " type=\"Structure\">" + inner + "</ext:" + group + ">";
    }
    const std::size_t records = scan.fields.empty() ? 0 : scan.fields[0].values.size();
    x += "<" + p + "points type=\"CompressedVector\" fileOffset=\"" + std::to_string(section) +
         "\" recordCount=\"" + std::to_string(records) + "\">" +
         element("prototype", "Structure", prototype) + "<" + p +
         "codecs type=\"Vector\" allowHeterogeneousChildren=\"1\"/></" + p + "points>";
    return x + "</" + p + "vectorChild>";
}

// The file: the logical bytes (the header's 48 bytes first, then the binary
// sections), the XML section after them, the header filled in, in pages.
std::string pageFile(std::string logical, const std::string& xml) {
    const uint64_t xmlAt = physicalOf(logical.size());
    logical += xml;
    const uint64_t pages = (logical.size() + kData - 1) / kData;
    logical.resize(pages * kData, '\0');

    std::string header = "ASTM-E57";
    putLE(&header, 1, 4);
    putLE(&header, 0, 4);
    putLE(&header, pages * kPage, 8);
    putLE(&header, xmlAt, 8);
    putLE(&header, xml.size(), 8);
    putLE(&header, kPage, 8);
    logical.replace(0, header.size(), header);

    std::string file;
    for (uint64_t k = 0; k < pages; ++k) {
        const char* data = logical.data() + k * kData;
        file.append(data, kData);
        const uint32_t crc = crc32cBitwise(reinterpret_cast<const uint8_t*>(data), kData);
        for (int shift = 24; shift >= 0; shift -= 8)
            file.push_back(static_cast<char>((crc >> shift) & 0xFF));
    }
    return file;
}

}  // namespace

std::string writeE57(const std::vector<Scan>& scans, const Layout& layout) {
    Random random{layout.seed};
    std::string logical(48, '\0');  // the file header, filled in last
    std::vector<uint64_t> sections;
    for (const Scan& scan : scans) sections.push_back(writeSection(&logical, scan, layout, random));

    const std::string p = layout.prefixedNamespace ? "e57:" : "";
    const std::string ns = "http://www.astm.org/COMMIT/E57/2010-e57-v1.0";
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + p +
                      "e57Root type=\"Structure\" " +
                      (layout.prefixedNamespace ? "xmlns:e57=\"" : "xmlns=\"") + ns +
                      "\" xmlns:ext=\"http://example.org/rangeloom-test\">\n";
    xml += "<" + p + "formatName type=\"String\"><![CDATA[ASTM E57 3D Imaging Data File]]></" + p +
           "formatName>\n";
    xml += "<" + p + "guid type=\"String\"><![CDATA[{rangeloom-test-file}]]></" + p + "guid>\n";
    xml += "<" + p + "versionMajor type=\"Integer\">1</" + p + "versionMajor>\n";
    xml += "<" + p + "versionMinor type=\"Integer\">0</" + p + "versionMinor>\n";
    xml += "<" + p + "data3D type=\"Vector\" allowHeterogeneousChildren=\"1\">\n";
    for (std::size_t i = 0; i < scans.size(); ++i)
        xml += scanXml(scans[i], i, sections[i], p) + "\n";
    xml += "</" + p + "data3D>\n<" + p +
           "images2D type=\"Vector\" allowHeterogeneousChildren=\"1\"/>\n</" + p + "e57Root>\n";

    padTo4(&logical);
    return pageFile(logical, xml);
}

std::string replaceInXml(const std::string& file, const std::string& from, const std::string& to) {
    std::string logical;
    for (std::size_t at = 0; at + kPage <= file.size(); at += kPage)
        logical.append(file, at, kData);
    uint64_t xmlAt = 0, xmlLength = 0;
    for (int i = 7; i >= 0; --i) {
        xmlAt = xmlAt << 8 | static_cast<uint8_t>(logical[24 + i]);
        xmlLength = xmlLength << 8 | static_cast<uint8_t>(logical[32 + i]);
    }
    const uint64_t start = xmlAt / kPage * kData + xmlAt % kPage;
    std::string xml = logical.substr(start, xmlLength);
    const std::size_t found = xml.find(from);
    if (found == std::string::npos)
        throw std::runtime_error("e57test: '" + from + "' is not in the XML");
    xml.replace(found, from.size(), to);
    logical.resize(start);
    return pageFile(logical, xml);
}

}  // namespace e57test
