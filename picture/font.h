// Text for pictures: a scalable font rendered through FreeType into
// RgbImage pixels (anti-aliased), in a fixed pixel size.
#pragma once

#include <memory>
#include <string>

#include "picture/image.h"

class Font {
public:
    // Loads the first font file that exists among the usual places of a sans
    // font on Debian (DejaVu Sans from fonts-dejavu-core first); ok() is
    // false, with error() saying why, when none can be used.
    explicit Font(int pixelSize);
    // Loads the font file at path.
    Font(const std::string& path, int pixelSize);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    bool ok() const { return face_ != nullptr; }
    const std::string& error() const { return error_; }
    int pixelSize() const { return pixelSize_; }

    // Width in pixels of text drawn on one line (ASCII and Latin-1 bytes).
    int width(const std::string& text) const;
    // Height of capital letters above the baseline, in pixels.
    int capHeight() const;
    // Draws text with its baseline at row y, starting at column x.
    void draw(RgbImage& image, int x, int y, const std::string& text, Rgb colour) const;
    // Draws text turned a quarter left (reading upwards), its baseline at
    // column x, ending at row y (the text's start is at the bottom).
    void drawUpwards(RgbImage& image, int x, int y, const std::string& text, Rgb colour) const;

    // The font files tried by Font(pixelSize), in order.
    static const char* const* candidates();

private:
    void load(const std::string& path);

    struct Library;
    std::unique_ptr<Library> library_;
    void* face_ = nullptr;  // FT_Face
    int pixelSize_;
    std::string error_;
};
