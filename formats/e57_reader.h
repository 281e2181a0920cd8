// The E57 reader (ASTM E2807, version 1). What it reads:
//
// - the pages and their CRC-32C checksums (a page that does not match is an
//   error naming it), the file header, the XML section (parsed with
//   pugixml; the E57 namespace may be the default one or carry a prefix);
// - every child of /data3D, in order, as one scan: its name, its pose
//   (rotation quaternion w x y z and translation; identity when absent), its
//   indexBounds (the raster size), and its points, a CompressedVector whose
//   prototype holds cartesianX/Y/Z or sphericalRange/Azimuth/Elevation
//   (converted to cartesian: x = r cos(e) cos(a), y = r cos(e) sin(a),
//   z = r sin(e)), optionally cartesianInvalidState/sphericalInvalidState
//   (anything but 0 is a point without a return), rowIndex and columnIndex
//   (both present: a structured scan, else unstructured) and intensity; other
//   fields (colours, time stamps, returns, extensions) are read past;
// - the binary section of each CompressedVector: data packets with one
//   bytestream per prototype field, index and empty packets skipped wherever
//   they are, fields split over any number of packets with buffers of any
//   length, decoded by the bit-pack codec: Integer and ScaledInteger values
//   of ceil(log2(maximum - minimum + 1)) bits (0 bits when the range is a
//   single value), ScaledInteger value = raw * scale + offset, Float in
//   single or double precision.
//
// The prototype's fields may come in any order and be nested in structures
// (bytestreams follow the prototype's depth-first order). A codec other than
// bit packing, a used field of type String, or a file that contradicts
// itself is an error that names the file, the scan and what is wrong.
// Coordinates that are not finite make the point one without a return.
// Raster places are rowIndex and columnIndex as they are (row 0 at the top).
#pragma once

#include <string>

#include "formats/byte_source.h"
#include "formats/scan_stream.h"

namespace formats {

// Reads every scan of the source in order and hands it to the receiver.
// fileName is only used in messages. A scan's points are read packet by
// packet and delivered in blocks: memory follows the packets (at most
// 64 KiB each), not the scan, as long as the writer spreads every field over
// the packets as the records go (a field written far ahead of the others is
// held until they catch up).
ReadStatus readE57(ByteSource& source, const std::string& fileName, ScanReceiver& receiver);

}  // namespace formats
