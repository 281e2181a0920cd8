// A small E57 writer for the tests, written from the standard's layout and
// sharing no code with the reader: 1024-byte pages of 1020 data bytes and a
// CRC-32C (big-endian), the 48-byte file header, one compressed-vector
// binary section per scan (section header, data packets with one bytestream
// per prototype field, optional empty and index packets), the XML section
// last. Fields are bit-packed: Integer and ScaledInteger in
// ceil(log2(max - min + 1)) bits, Float in 32 or 64 bits. How records spread
// over packets is chosen per packet and field, so that fields split
// unevenly and values end mid-byte at packet ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e57test {

struct Field {
    std::string name;  // element name in the prototype, e.g. "cartesianX"
    enum Type { Integer, ScaledInteger, FloatSingle, FloatDouble } type = FloatDouble;
    int64_t minimum = 0;  // Integer / ScaledInteger: raw bounds
    int64_t maximum = 0;
    double scale = 1.0;  // ScaledInteger: value = raw * scale + offset
    double offset = 0.0;
    // One value per record; a ScaledInteger value is stored as
    // llround((value - offset) / scale).
    std::vector<double> values;
    // Written inside a prototype structure of this name ("" for none): an
    // extension nested in the prototype.
    std::string group;
};

struct Scan {
    std::string name;                           // "" writes no name element
    bool pose = true;                           // write the pose element
    double rotation[4] = {1.0, 0.0, 0.0, 0.0};  // w x y z
    double translation[3] = {0.0, 0.0, 0.0};
    int64_t rowMaximum = -1;  // indexBounds when both >= 0
    int64_t columnMaximum = -1;
    std::vector<Field> fields;  // prototype order
};

struct Layout {
    uint64_t seed = 1;                 // varies buffer lengths per packet and field
    std::size_t maxBufferBytes = 700;  // largest buffer of one field in one packet
    bool emptyPackets = false;         // an empty packet before every data packet
    bool indexPacket = true;           // an index packet after the data packets
    bool prefixedNamespace = false;    // bind the E57 namespace to "e57:" instead
    // Some packets carry nothing of a field (valid, and the hardest case for
    // a reader; some readers need every packet to hold values of every field).
    bool starvedFields = true;
};

// The bytes of the file.
std::string writeE57(const std::vector<Scan>& scans, const Layout& layout);

// The file with the first occurrence of `from` in its XML section replaced
// by `to`, laid out and checksummed again (for files that contradict
// themselves without damaged pages).
std::string replaceInXml(const std::string& file, const std::string& from, const std::string& to);

}  // namespace e57test
