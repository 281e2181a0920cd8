// The PTX reader: a text file of one or more scans, each a header
//
//   COLUMNS
//   ROWS
//   px py pz          the scanner's position   } in the common frame; read
//   xx xy xz          the scanner's x axis     } and checked as numbers,
//   yx yy yz          the scanner's y axis     } not used (the matrix
//   zx zy zz          the scanner's z axis     } places the points)
//   m11 m12 m13 m14   a 4x4 transform for row vectors: p_common =
//   m21 m22 m23 m24     (x y z 1) M, so the translation is the last row
//   m31 m32 m33 m34
//   m41 m42 m43 m44
//
// and then COLUMNS x ROWS point lines "x y z intensity" or "x y z intensity
// r g b" in the scanner's frame, column after column, each column from its
// bottom row up; a point at 0 0 0 is a cell without a return.
//
// Tolerated: CR LF line ends, blanks and tabs around and between numbers,
// blank lines between scans and at the end, 4- and 7-number lines mixed.
// Errors (naming the file, the scan and the line): a missing or malformed
// header line, a line of another count of numbers, a word that is not a
// finite number, a scan cut short, lines longer than 4096 characters.
#pragma once

#include <string>

#include "formats/byte_source.h"
#include "formats/scan_stream.h"

namespace formats {

// Reads every scan of the source in order and hands it to the receiver.
// fileName is only used in messages. Points are delivered with their raster
// places in the common convention (row 0 at the top): the point on line k of
// a scan (k from 0) is in column k / ROWS and row ROWS - 1 - k % ROWS.
ReadStatus readPtx(ByteSource& source, const std::string& fileName, ScanReceiver& receiver);

}  // namespace formats
