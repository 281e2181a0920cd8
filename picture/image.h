// RgbImage: an 8-bit RGB raster, row 0 at the top, and the few drawing
// operations a chart needs: filled rectangles, axis-parallel lines (solid or
// dashed, of any width) and blending a coverage mask (text) in a colour.
// Everything is clipped to the image: drawing outside it changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

class RgbImage {
public:
    RgbImage() = default;
    // A width x height image (each at least 0) filled with `background`.
    RgbImage(int width, int height, Rgb background);

    int width() const { return width_; }
    int height() const { return height_; }
    // Row-major RGB bytes, 3 * width per row, top row first.
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t>& bytes() { return bytes_; }

    Rgb at(int x, int y) const;  // black outside the image
    void set(int x, int y, Rgb c);
    // Mixes c into pixel (x, y) with weight coverage / 255.
    void blend(int x, int y, Rgb c, uint8_t coverage);

    // Pixels x0 <= x < x1, y0 <= y < y1.
    void fillRect(int x0, int y0, int x1, int y1, Rgb c);
    // A horizontal line from x0 to x1 (inclusive, either order) centred on
    // row y, `width` pixels thick; dash > 0 draws dash pixels on, dash off.
    void horizontalLine(int x0, int x1, int y, Rgb c, int width = 1, int dash = 0);
    // The same upright, at column x from y0 to y1.
    void verticalLine(int x, int y0, int y1, Rgb c, int width = 1, int dash = 0);

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> bytes_;
};
