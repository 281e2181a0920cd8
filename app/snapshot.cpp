#include "app/snapshot.h"

#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "app/view.h"
#include "picture/png_file.h"

namespace {

constexpr int kMaxPictures = 100000;

}  // namespace

std::string pictureName(int number) {
    char name[64];
    std::snprintf(name, sizeof name, "rangeloom-%03d.png", number);
    return name;
}

RgbImage imageFromWindowRows(const std::vector<uint8_t>& rows, int width, int height) {
    RgbImage image(width, height, Rgb{});
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    if (rows.size() < stride * height) return image;
    for (int y = 0; y < height; ++y)
        std::memcpy(image.bytes().data() + stride * y, rows.data() + stride * (height - 1 - y),
                    stride);
    return image;
}

void saveWindowPicture() {
    const int width = viewState.width, height = viewState.height;
    drawFrame();
    std::vector<uint8_t> rows(static_cast<std::size_t>(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    const RgbImage image = imageFromWindowRows(rows, width, height);
    std::string error;
    for (int n = 1; n <= kMaxPictures; ++n) {
        const std::string name = pictureName(n);
        if (access(name.c_str(), F_OK) == 0) continue;
        switch (writePng(image, name, true, &error)) {
            case PngWrite::Exists:
                continue;
            case PngWrite::Written:
                std::printf("Saved the window as %s (%d x %d pixels)\n", name.c_str(), width,
                            height);
                return;
            case PngWrite::Failed:
                std::printf("Could not save the window as %s: %s\n", name.c_str(), error.c_str());
                return;
        }
    }
    std::printf("Could not save the window: %s to %s are all taken\n", pictureName(1).c_str(),
                pictureName(kMaxPictures).c_str());
}
