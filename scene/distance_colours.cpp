#include "scene/distance_colours.h"

#include <array>
#include <cmath>

#include "scene/unmeasured.h"

namespace {

// A degree-six polynomial per channel fitted to the perceptually uniform
// blue-green-yellow map: lightness rises evenly from the first entry to the
// last, and the map reads in grey and to the common kinds of colour
// blindness.
constexpr double kPolynomial[7][3] = {
    {0.2777273272234177, 0.005407344544966578, 0.3340998053353061},
    {0.1050930431085774, 1.404613529898575, 1.384590162594685},
    {-0.3308618287255563, 0.214847559468213, 0.09509516302823659},
    {-4.634230498983486, -5.799100973351585, -19.33244095627987},
    {6.228269936347081, 14.17993336680509, 56.69055260068105},
    {4.776384997670288, -13.74514537774601, -65.35303263337234},
    {-5.435455855934631, 4.645852612178535, 26.3124352495832},
};

uint8_t toByte(double v) {
    if (v < 0.0) v = 0.0;
    if (v > 1.0) v = 1.0;
    return static_cast<uint8_t>(std::lround(v * 255.0));
}

std::array<ColourRGBA, kColourMapSize> buildMap() {
    std::array<ColourRGBA, kColourMapSize> map{};
    for (int i = 0; i < kColourMapSize; ++i) {
        const double t = static_cast<double>(i) / (kColourMapSize - 1);
        double c[3];
        for (int ch = 0; ch < 3; ++ch) {
            double v = kPolynomial[6][ch];
            for (int k = 5; k >= 0; --k) v = v * t + kPolynomial[k][ch];
            c[ch] = v;
        }
        map[i] = ColourRGBA{toByte(c[0]), toByte(c[1]), toByte(c[2]), 255};
    }
    return map;
}

const std::array<ColourRGBA, kColourMapSize>& colourMap() {
    static const std::array<ColourRGBA, kColourMapSize> map = buildMap();
    return map;
}

}  // namespace

ColourRGBA colourMapEntry(int i) {
    if (i < 0) i = 0;
    if (i >= kColourMapSize) i = kColourMapSize - 1;
    return colourMap()[static_cast<std::size_t>(i)];
}

ColourRGBA colourMapAt(float t) {
    if (!(t > 0.0f)) return colourMapEntry(0);  // also nan
    if (t >= 1.0f) return colourMapEntry(kColourMapSize - 1);
    return colourMapEntry(static_cast<int>(std::lround(t * (kColourMapSize - 1))));
}

ColourRGBA distanceColour(float value, const DistanceScale& scale) {
    if (value == kUnmeasured || std::isnan(value)) return kUnmeasuredColour;
    if (scale.markTossed && value > scale.threshold) return kTossedColour;
    if (!(scale.maximum > 0.0f)) return colourMapAt(value > 0.0f ? 1.0f : 0.0f);
    return colourMapAt(value / scale.maximum);
}

void fillDistanceColours(const std::vector<float>& values, std::size_t count,
                         const DistanceScale& scale, std::vector<ColourRGBA>* out) {
    if (out->size() < count) out->resize(count);
    const std::size_t known = values.size() < count ? values.size() : count;
    for (std::size_t i = 0; i < known; ++i) (*out)[i] = distanceColour(values[i], scale);
    for (std::size_t i = known; i < count; ++i) (*out)[i] = kUnmeasuredColour;
}
