// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The dithering tone steps: error diffusion (Floyd-Steinberg, Atkinson; serpentine) and ordered
// Bayer 4x4 and 8x8, on grey values from 0 (black) to 1 (white), in either tone scale.

#include <cstdint>
#include <vector>

#include "picture/PixelConversion.h"

namespace pictrane::capture {

// Grey holds Height rows of Width values; Dark (of the same size) receives 1 for a dark pixel,
// 0 for a light one. The threshold is not a dither: Method Threshold leaves Dark as it is.
void Dither(const std::vector<float>& Grey, int Width, int Height, ToneMethod Method,
            std::vector<std::uint8_t>& Dark);

// Each dither on its own, as the methods' table (PictureOptions.h) names them.
void FloydSteinberg(const std::vector<float>& Grey, int Width, int Height,
                    std::vector<std::uint8_t>& Dark);
void Atkinson(const std::vector<float>& Grey, int Width, int Height,
              std::vector<std::uint8_t>& Dark);
void Bayer4(const std::vector<float>& Grey, int Width, int Height, std::vector<std::uint8_t>& Dark);
void Bayer8(const std::vector<float>& Grey, int Width, int Height, std::vector<std::uint8_t>& Dark);

// Floyd-Steinberg of the pixels whose Fixed entry is kFree; those marked kInk come out dark and
// kPaper light, and neither takes nor passes on error, so strokes stay whole and paper clean.
inline constexpr std::uint8_t kFree = 0;
inline constexpr std::uint8_t kInk = 1;
inline constexpr std::uint8_t kPaper = 2;
void DitherAround(const std::vector<float>& Grey, int Width, int Height,
                  const std::vector<std::uint8_t>& Fixed, std::vector<std::uint8_t>& Dark);

// A drawing's tones (Ink: each pixel's share of ink by area; Grey: its luminance times 1000;
// Paper: the paper's, times 1000; Scale: source pixels per pixel): a pixel that holds half a
// source line's width of ink, crossing it against paper, is ink; paper stays light; flat areas
// and what is wholly covered are dithered in their own tone against the paper.
void DrawingTones(const std::vector<float>& Ink, const std::vector<float>& Grey, float Paper,
                  double Scale, MonoPicture& Mono);

}  // namespace pictrane::capture
