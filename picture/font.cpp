#include "picture/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <unistd.h>

struct Font::Library {
    FT_Library handle = nullptr;
};

namespace {

const char* const kCandidates[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/freefont/FreeSans.ttf",
    nullptr,
};

FT_Face faceOf(void* face) {
    return static_cast<FT_Face>(face);
}

}  // namespace

const char* const* Font::candidates() {
    return kCandidates;
}

Font::Font(int pixelSize) : library_(new Library), pixelSize_(pixelSize) {
    for (const char* const* path = kCandidates; *path != nullptr; ++path) {
        if (access(*path, R_OK) != 0) continue;
        load(*path);
        if (ok()) return;
    }
    if (error_.empty())
        error_ =
            std::string("no font found (install fonts-dejavu-core for ") + kCandidates[0] + ")";
}

Font::Font(const std::string& path, int pixelSize) : library_(new Library), pixelSize_(pixelSize) {
    load(path);
}

Font::~Font() {
    if (face_ != nullptr) FT_Done_Face(faceOf(face_));
    if (library_->handle != nullptr) FT_Done_FreeType(library_->handle);
}

void Font::load(const std::string& path) {
    if (library_->handle == nullptr && FT_Init_FreeType(&library_->handle) != 0) {
        error_ = "the font library could not start";
        return;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library_->handle, path.c_str(), 0, &face) != 0) {
        error_ = "cannot read the font " + path;
        return;
    }
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize_)) != 0) {
        FT_Done_Face(face);
        error_ = "the font " + path + " has no size " + std::to_string(pixelSize_);
        return;
    }
    face_ = face;
    error_.clear();
}

int Font::width(const std::string& text) const {
    if (!ok()) return 0;
    FT_Face face = faceOf(face_);
    long advance = 0;
    for (unsigned char c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) != 0) continue;
        advance += face->glyph->advance.x;
    }
    return static_cast<int>((advance + 63) / 64);
}

int Font::capHeight() const {
    if (!ok()) return 0;
    FT_Face face = faceOf(face_);
    if (FT_Load_Char(face, 'H', FT_LOAD_DEFAULT) != 0) return pixelSize_ * 7 / 10;
    return static_cast<int>((face->glyph->metrics.horiBearingY + 63) / 64);
}

void Font::draw(RgbImage& image, int x, int y, const std::string& text, Rgb colour) const {
    if (!ok()) return;
    FT_Face face = faceOf(face_);
    long penX = static_cast<long>(x) * 64;
    for (unsigned char c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot g = face->glyph;
        const int left = static_cast<int>(penX / 64) + g->bitmap_left;
        const int top = y - g->bitmap_top;
        for (unsigned row = 0; row < g->bitmap.rows; ++row)
            for (unsigned col = 0; col < g->bitmap.width; ++col)
                image.blend(left + static_cast<int>(col), top + static_cast<int>(row), colour,
                            g->bitmap.buffer[row * g->bitmap.pitch + col]);
        penX += g->advance.x;
    }
}

void Font::drawUpwards(RgbImage& image, int x, int y, const std::string& text, Rgb colour) const {
    if (!ok()) return;
    // Drawn level into a scratch image, then copied turned: column c of the
    // text becomes row y - c, row r becomes column x - (baseline - r).
    const int w = width(text);
    const int h = pixelSize_ * 3 / 2;
    const int baseline = pixelSize_;
    RgbImage level(w, h, Rgb{0, 0, 0});
    draw(level, 0, baseline, text, Rgb{255, 255, 255});
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            const uint8_t coverage = level.at(c, r).r;
            image.blend(x - (baseline - r), y - c, colour, coverage);
        }
}
