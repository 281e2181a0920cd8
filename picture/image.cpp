#include "picture/image.h"

#include <algorithm>

RgbImage::RgbImage(int width, int height, Rgb background)
    : width_(std::max(0, width)), height_(std::max(0, height)) {
    bytes_.resize(static_cast<std::size_t>(width_) * height_ * 3);
    for (std::size_t i = 0; i < bytes_.size(); i += 3) {
        bytes_[i] = background.r;
        bytes_[i + 1] = background.g;
        bytes_[i + 2] = background.b;
    }
}

Rgb RgbImage::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return Rgb{};
    const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
    return Rgb{bytes_[i], bytes_[i + 1], bytes_[i + 2]};
}

void RgbImage::set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
    bytes_[i] = c.r;
    bytes_[i + 1] = c.g;
    bytes_[i + 2] = c.b;
}

void RgbImage::blend(int x, int y, Rgb c, uint8_t coverage) {
    if (coverage == 0) return;
    const Rgb under = at(x, y);
    const auto mix = [coverage](uint8_t a, uint8_t b) {
        return static_cast<uint8_t>((a * (255 - coverage) + b * coverage + 127) / 255);
    };
    set(x, y, Rgb{mix(under.r, c.r), mix(under.g, c.g), mix(under.b, c.b)});
}

void RgbImage::fillRect(int x0, int y0, int x1, int y1, Rgb c) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width_);
    y1 = std::min(y1, height_);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) set(x, y, c);
}

void RgbImage::horizontalLine(int x0, int x1, int y, Rgb c, int width, int dash) {
    if (x1 < x0) std::swap(x0, x1);
    const int top = y - (width - 1) / 2;
    for (int x = std::max(x0, 0); x <= std::min(x1, width_ - 1); ++x) {
        if (dash > 0 && ((x - x0) / dash) % 2 == 1) continue;
        for (int k = 0; k < width; ++k) set(x, top + k, c);
    }
}

void RgbImage::verticalLine(int x, int y0, int y1, Rgb c, int width, int dash) {
    if (y1 < y0) std::swap(y0, y1);
    const int left = x - (width - 1) / 2;
    for (int y = std::max(y0, 0); y <= std::min(y1, height_ - 1); ++y) {
        if (dash > 0 && ((y - y0) / dash) % 2 == 1) continue;
        for (int k = 0; k < width; ++k) set(left + k, y, c);
    }
}
