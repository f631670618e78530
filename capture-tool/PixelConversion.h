#pragma once

// Reduction of a colour picture to the calculator's one bit per pixel.
//
// Size: a picture that fits the screen keeps its size. A larger one is scaled down to fit,
// keeping its proportions: the side that overflows most becomes the screen's, the other is
// rounded to the nearest pixel (at least 1).
//
// Sampling: nearest neighbour at pixel centres, with no filtering. Target pixel (x, y) of a
// W' x H' picture made from a W x H one takes source pixel
//     (floor((2x + 1) * W / (2 W')), floor((2y + 1) * H / (2 H'))),
// so an unscaled picture maps 1:1 and a picture halved takes the lower-right pixel of each 2x2
// block.
//
// Threshold: a pixel is dark when its luminance 0.299 R + 0.587 G + 0.114 B is below 128,
// computed exactly in integers; no dithering. Alpha: a translucent pixel is first laid over
// white, as on paper or on the calculator's light screen, so a fully transparent pixel is light.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pictrane::capture {

struct PictureSize {
  int Width = 0;
  int Height = 0;
  friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

inline constexpr PictureSize kTi89Screen{160, 100};
inline constexpr PictureSize kTi92Screen{240, 128};

PictureSize FitWithin(PictureSize Source, PictureSize Bounds);

// Argb is 0xAARRGGBB, not premultiplied.
bool IsDark(std::uint32_t Argb);

// One bit per pixel, row by row from the top; Dark holds 1 for a dark pixel, 0 for a light one.
struct MonoPicture {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Dark;

  bool At(int X, int Y) const { return Dark[static_cast<std::size_t>(Y) * Width + X] != 0; }
};

// Pixels holds Height rows of Stride pixels (0xAARRGGBB), of which the first Width count.
MonoPicture ToMono(const std::uint32_t* Pixels, int Width, int Height, std::size_t Stride,
                   PictureSize Bounds);

}  // namespace pictrane::capture
