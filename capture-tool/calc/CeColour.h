// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The colour calculators' colours (Models.h) and the dithering that brings a photo
// to them.
//
// A Pic variable's pixel is one of the calculator's 15 colours, numbered as its OS numbers them:
// 1 BLUE, 2 RED, 3 BLACK, 4 MAGENTA, 5 GREEN, 6 ORANGE, 7 BROWN, 8 NAVY, 9 LTBLUE, 10 YELLOW,
// 11 WHITE, 12 LTGRAY, 13 MEDGRAY, 14 GRAY, 15 DARKGRAY; 0 is no colour (the graph shows through).
// The values are the RGB565 words the OS writes to its screen for them, so a screenshot of a
// recalled picture shows exactly these.
//
// The palette dither is serpentine Floyd-Steinberg that chooses perceptually: each pixel takes the
// palette colour nearest in OKLab to its own colour plus the error diffused to it, and passes on
// in linear light what that choice missed (bounded, so that a colour far outside the palette's
// reach, a saturated cyan, cannot pile error up without end). An Image variable's RGB565 gets an
// ordered 8x8 Bayer dither per channel, so a sky's slow gradient turns into a fine texture instead
// of bands; colours RGB565 holds exactly stay exactly.

#include <QImage>
#include <array>
#include <cstdint>
#include <vector>

#include "picture/PixelConversion.h"

namespace pictrane::capture {

inline constexpr int kCeColours = 15;

// The RGB565 word of colour Index (1..15); index 0 gives white.
std::uint16_t CeColour565(int Index);
// Colour Index as 0xAARRGGBB: the RGB565 word widened by repeating its high bits; index 0 is
// transparent white.
std::uint32_t CeColourArgb(int Index);

// A picture of palette indices, row by row from the top.
struct PalettePicture {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Index;  // 0..15

  int At(int X, int Y) const { return Index[static_cast<std::size_t>(Y) * Width + X]; }
};

// Picture (any format; translucent pixels are laid over white) dithered to the 15 colours, at its
// own size. Nearest gives the closest colour of each pixel without diffusing any error.
PalettePicture DitherToCeColours(const QImage& Picture);
PalettePicture NearestCeColours(const QImage& Picture);

// Picture as RGB565 words, row by row from the top, ordered-dithered.
std::vector<std::uint16_t> DitherToRgb565(const QImage& Picture);
// An RGB565 word as 0xFFRRGGBB, its high bits repeated into the low ones.
std::uint32_t ArgbOf565(std::uint16_t Word);

// Picture shrunk (never enlarged) into Bounds as Fit says, for a colour variable.
QImage FitColour(const QImage& Picture, PictureSize Bounds, Sizing Fit = Sizing::Fit);

}  // namespace pictrane::capture
