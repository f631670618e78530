// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reduction of a colour picture to the calculator's one bit per pixel, for the window and the
// batch command line alike.
//
// Size: a picture that fits the target area keeps its size, pixel for pixel; a larger one is
// shrunk, never enlarged:
//   - fit (default): keeping its proportions, the side that overflows most becomes the area's,
//     the other is rounded to the nearest pixel (at least 1);
//   - fill: keeping its proportions, scaled so that it covers the area (or stays 1:1), and what
//     lies outside the area is cut off, equally on both sides;
//   - stretch: each side that overflows becomes the area's, independently.
//
// Shrinking averages, for every target pixel, the source pixels it covers (weighted by how much
// of each it covers), so fine lines turn grey instead of vanishing or aliasing.
//
// Tone:
//   - threshold: a pixel is dark when its luminance 0.299 R + 0.587 G + 0.114 B (of the sRGB
//     values) is below the level, 128 unless chosen; at 1:1 this is exact, in integers;
//   - Floyd-Steinberg (serpentine), Atkinson (serpentine), ordered Bayer 4x4 and 8x8, on one of
//     two scales: display (default), the gamma-encoded luminance above, so that a flat area's
//     share of light pixels is the lightness people see in it; or linear light (sRGB decoded,
//     luminance 0.2126 R + 0.7152 G + 0.0722 B), its share then being its light intensity;
//   - auto (default): a bitmap of at most 16 colours gets the threshold, so it converts exactly as
//     it always has when it fits; shrunk, a pixel takes its ink as soon as half a source line's
//     width of ink crosses it. A drawing, a diagram, a screenshot or text on flat light paper
//     (anti-aliased, coloured, grey) keeps its strokes as ink the same way, paper stays light and
//     its flat areas are dithered in their own tone. A photograph gets Floyd-Steinberg with its
//     levels stretched.
// Levels: stretched, the picture's 1st and 99th percentiles of lightness become black and white
// before the tone step (the last percent at each end is specular light, noise or a few dead
// pixels: stretching to the very extremes would hardly change a photo), and a gamma then keeps
// the picture's mean lightness, so a dim photo gains contrast without turning grey. By default
// only the photographs of the auto tone are stretched.
// Brightness and contrast (-100..100) act on the sRGB scale, before the tone step; invert swaps
// dark and light in the result. Alpha: a translucent pixel is first laid over white, as on paper
// or on the calculator's light screen, so a fully transparent pixel is light.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "picture/PictureKind.h"

namespace pictrane::capture {

struct PictureSize {
  int Width = 0;
  int Height = 0;
  friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

inline constexpr PictureSize kTi89Screen{160, 100};
inline constexpr PictureSize kTi89Graph{159, 77};
inline constexpr PictureSize kTi92Screen{240, 128};
inline constexpr PictureSize kTi92Graph{239, 103};
// The numbered models (calc/Models.h): a picture holds the screen but for its bottom row.
inline constexpr PictureSize kTi83PlusScreen{96, 64};
inline constexpr PictureSize kTi83PlusPicture{96, 63};

// Their names, labels and shortcuts: PictureOptions.h.
enum class ToneMethod { Threshold, FloydSteinberg, Atkinson, Bayer4, Bayer8, Auto };
enum class ToneScale { Display, Linear };
enum class LevelsMode { Default, Auto, Off };
enum class Sizing { Fit, Fill, Stretch };
enum class TargetArea { Screen, Graph };

struct PictureOptions {
  ToneMethod Method = ToneMethod::Auto;
  ToneScale Scale = ToneScale::Display;
  LevelsMode Levels = LevelsMode::Default;
  int Level = 128;     // threshold: dark below this luminance, 0..256
  int Brightness = 0;  // -100..100
  int Contrast = 0;    // -100..100
  bool Invert = false;
  Sizing Fit = Sizing::Fit;
  TargetArea Area = TargetArea::Screen;
  friend bool operator==(const PictureOptions&, const PictureOptions&) = default;
};

// Option names as the command line and the settings spell them; Parse* return nothing for an
// unknown name.
std::string_view NameOf(ToneMethod Method);
std::string_view NameOf(Sizing Fit);
std::string_view NameOf(TargetArea Area);
std::string_view NameOf(ToneScale Scale);
std::string_view NameOf(LevelsMode Levels);
std::optional<ToneMethod> ParseToneMethod(std::string_view Name);
std::optional<ToneScale> ParseToneScale(std::string_view Name);
std::optional<LevelsMode> ParseLevelsMode(std::string_view Name);
std::optional<Sizing> ParseSizing(std::string_view Name);
std::optional<TargetArea> ParseTargetArea(std::string_view Name);
// Every method, in the order of its table.
extern const std::span<const ToneMethod> kToneMethods;

// The options with every number brought into its range.
PictureOptions Clamped(PictureOptions Options);

PictureSize FitWithin(PictureSize Source, PictureSize Bounds);

// Where a Source-sized picture lands in Bounds: the result's size and the part of the source
// (in source pixels, possibly fractional) that is shrunk into it.
struct Placement {
  PictureSize Size;
  double Left = 0;
  double Top = 0;
  double Width = 0;
  double Height = 0;
};
Placement PlaceWithin(PictureSize Source, PictureSize Bounds, Sizing Fit);

// Argb is 0xAARRGGBB, not premultiplied.
bool IsDark(std::uint32_t Argb);

// Whether the automatic tone takes a picture for a bitmap or a drawing rather than a photograph
// (PictureKind.h).
bool IsFewColoured(const std::uint32_t* Pixels, int Width, int Height, std::size_t Stride);

// sRGB value (0..255) to linear light (0..1), and back (0..1 to 0..1).
float LinearOf(std::uint8_t Srgb);
float SrgbOf(float Linear);

// One bit per pixel, row by row from the top; Dark holds 1 for a dark pixel, 0 for a light one.
struct MonoPicture {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Dark;
  // How it was made, for its line and the status bar: "photo: levels + Floyd-Steinberg".
  std::string Method = {};

  bool At(int X, int Y) const { return Dark[static_cast<std::size_t>(Y) * Width + X] != 0; }
};

// The method, and a warning when the picture came out more than 97 % one colour.
std::string SaidOf(const MonoPicture& Picture);

// Pixels holds Height rows of Stride pixels (0xAARRGGBB), of which the first Width count. Known,
// when given, is what Analyse (PictureKind.h) found these very pixels to be.
MonoPicture ToMono(const std::uint32_t* Pixels, int Width, int Height, std::size_t Stride,
                   PictureSize Bounds, const PictureOptions& Options = {},
                   const Analysis* Known = nullptr);

}  // namespace pictrane::capture
