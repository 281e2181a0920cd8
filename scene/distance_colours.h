// Colouring points by their overlap value: a perceptual colour map (dark
// blue through green to yellow, of even lightness steps), the scale it is
// stretched over, and the colour of one value. Pure code, no OpenGL: the mesh
// drawing and the legend both take their colours from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One colour as OpenGL takes it from glColor4ubv or a colour array.
struct ColourRGBA {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const ColourRGBA& o) const {
        return r == o.r && g == o.g && b == o.b && a == o.a;
    }
};

// How values become colours.
struct DistanceScale {
    float threshold = 0.0f;   // removal threshold: values strictly above it are tossed
    float maximum = 0.0f;     // value of the map's last colour; larger values clamp to it
    bool markTossed = false;  // tossed values get kTossedColour instead of the map's
    bool operator==(const DistanceScale& o) const {
        return threshold == o.threshold && maximum == o.maximum && markTossed == o.markTossed;
    }
    bool operator!=(const DistanceScale& o) const { return !(*this == o); }
};

constexpr int kColourMapSize = 256;
// Points that no polygon of another scan was measured against: a neutral grey.
constexpr ColourRGBA kUnmeasuredColour{128, 128, 128, 255};
// Tossed points while they are marked: the red of the tossed-point marks.
constexpr ColourRGBA kTossedColour{157, 11, 11, 255};

// Entry i (0 .. kColourMapSize - 1) of the colour map, from dark blue (0) to
// yellow (last).
ColourRGBA colourMapEntry(int i);
// The map at t in [0, 1] (clamped), the nearest of its entries.
ColourRGBA colourMapAt(float t);

// The colour of a point of overlap value `value` under `scale`:
// - not measured (kUnmeasured, or nan): kUnmeasuredColour;
// - measured, above the threshold and scale.markTossed: kTossedColour;
// - otherwise the map at value / maximum, clamped to [0, 1]; a maximum of 0
//   or less puts every positive value at the map's end.
ColourRGBA distanceColour(float value, const DistanceScale& scale);

// distanceColour of values[0 .. count) into (*out)[0 .. count); values beyond
// the end of `values` count as not measured. *out only grows, so refilling it
// for the same count allocates nothing.
void fillDistanceColours(const std::vector<float>& values, std::size_t count,
                         const DistanceScale& scale, std::vector<ColourRGBA>* out);
