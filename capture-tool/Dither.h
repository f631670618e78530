// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The dithering tone steps: error diffusion (Floyd-Steinberg, Atkinson; serpentine) and ordered
// Bayer 4x4 and 8x8, on grey values from 0 (black) to 1 (white), in either tone scale.

#include <cstdint>
#include <vector>

#include "PixelConversion.h"

namespace pictrane::capture {

// Grey holds Height rows of Width values; Dark (of the same size) receives 1 for a dark pixel,
// 0 for a light one. The threshold is not a dither: Method Threshold leaves Dark as it is.
void Dither(const std::vector<float>& Grey, int Width, int Height, ToneMethod Method,
            std::vector<std::uint8_t>& Dark);

}  // namespace pictrane::capture
