// The global material table. Palette entry i is the material of scene index i
// when per-object materials are chosen (entry 8 for every index from 8 up);
// entry 0 is the one all objects share otherwise. The named materials are the
// same records as their palette entries.
#pragma once

#include <cstddef>

#include "math/vec4.h"
#include "scene/material.h"

constexpr int kPaletteSize = 9;
extern Material materialPalette[kPaletteSize];

extern Material& scanMaterial;      // palette entry 0: every scan of a configuration
extern Material& latticeMaterial;   // palette entry 2: the lattice mesh
extern Material& cornerMaterial;    // palette entry 4: the scene-bound corner markers
extern Material highlightMaterial;  // tossed points (a ruby red)

// Shared colour constants: the initial colour of a mesh, and the colours of a
// default Material.
extern const Vec4 colourBlack;  // (0, 0, 0, 1)
extern const Vec4 colourWhite;  // (1, 1, 1, 1)

// The palette entry used for scene index i when materials are per object.
inline Material& paletteEntryFor(std::size_t sceneIndex) {
    return materialPalette[sceneIndex < kPaletteSize - 1 ? sceneIndex : kPaletteSize - 1];
}
