// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture/PictureOptions.h"

#include <array>
#include <optional>

#include "picture/Dither.h"

namespace pictrane::capture {

namespace {

// Auto keeps Ctrl+6 and the others Ctrl+1 to Ctrl+5, as the manual documents them.
constexpr std::array<OptionRow<ToneMethod>, 6> kDitherRows{{
    {ToneMethod::Threshold, "threshold", "&Threshold",
     "dark where the luminance 0.299 R + 0.587 G + 0.114 B is below\n"
     "the level (--threshold)",
     "Ctrl+1", "threshold"},
    {ToneMethod::FloydSteinberg, "floyd-steinberg", "&Floyd-Steinberg",
     "error diffusion, serpentine", "Ctrl+2", "Floyd-Steinberg", FloydSteinberg},
    {ToneMethod::Atkinson, "atkinson", "&Atkinson",
     "error diffusion that passes on 6/8 of the error, serpentine", "Ctrl+3", "Atkinson", Atkinson},
    {ToneMethod::Bayer4, "bayer4", "Bayer &4x4", "ordered dither with a 4 x 4 matrix", "Ctrl+4",
     "Bayer 4x4", Bayer4},
    {ToneMethod::Bayer8, "bayer8", "Bayer &8x8", "ordered dither with an 8 x 8 matrix", "Ctrl+5",
     "Bayer 8x8", Bayer8},
    {ToneMethod::Auto, "auto", "A&utomatic, to suit the picture",
     "by the picture's kind: a photo gets its levels stretched and\n"
     "Floyd-Steinberg; a drawing, a diagram, a screenshot or text on\n"
     "light flat paper keeps its strokes as ink and its paper light,\n"
     "its flat areas dithered in their own tone; a bitmap of at most\n"
     "16 colours gets the threshold, pixel for pixel, its thin lines\n"
     "kept when it is shrunk",
     "Ctrl+6", "auto"},
}};

constexpr std::array<OptionRow<ToneScale>, 2> kToneRows{{
    {ToneScale::Display, "display", "Displa&y tone",
     "the gamma-encoded values, as people see lightness"},
    {ToneScale::Linear, "linear", "Li&near light", "linear light (the sRGB values decoded)"},
}};

constexpr std::array<OptionRow<LevelsMode>, 3> kLevelsRows{{
    {LevelsMode::Default, "default", "Le&vels to suit the picture", ""},
    {LevelsMode::Auto, "auto", "Stretc&h levels",
     "stretch the 1st and 99th percentiles of lightness to black\n"
     "and white"},
    {LevelsMode::Off, "off", "&Keep levels", "keep the picture's levels"},
}};

constexpr std::array<OptionRow<Sizing>, 3> kFitRows{{
    {Sizing::Fit, "fit", "Fit &inside", "keep the proportions, inside the area"},
    {Sizing::Fill, "fill", "Fill and cro&p",
     "keep the proportions, cover the area and crop the rest"},
    {Sizing::Stretch, "stretch", "&Stretch", "shrink each side on its own"},
}};

constexpr std::array<OptionRow<TargetArea>, 2> kAreaRows{{
    {TargetArea::Screen, "screen", "Whole scr&een",
     "the whole screen (each model's size: --model)"},
    {TargetArea::Graph, "graph", "&Graph screen",
     "what a picture recalled on the graph screen covers without\nclipping (--model)"},
}};

constexpr auto kMethodIds = [] {
  std::array<ToneMethod, kDitherRows.size()> Ids{};
  for (std::size_t I = 0; I < Ids.size(); ++I) Ids[I] = kDitherRows[I].Id;
  return Ids;
}();

template <typename Value>
std::optional<Value> ByName(const OptionFamily<Value>& Family, std::string_view Name) {
  for (const OptionRow<Value>& Row : Family.Rows) {
    if (Row.Name == Name) return Row.Id;
  }
  return std::nullopt;
}

}  // namespace

const std::span<const ToneMethod> kToneMethods{kMethodIds};

const OptionFamily<ToneMethod>& DitherFamily() {
  static const OptionFamily<ToneMethod> kFamily{"--dither", "METHOD", "how the tones become dots",
                                                kDitherRows};
  return kFamily;
}

const OptionFamily<ToneScale>& ToneFamily() {
  static const OptionFamily<ToneScale> kFamily{"--tone", "SCALE", "the scale a dither works on",
                                               kToneRows};
  return kFamily;
}

const OptionFamily<LevelsMode>& LevelsFamily() {
  static const OptionFamily<LevelsMode> kFamily{
      "--levels", "LEVELS",
      "the levels before the tone step (default: stretched for the\n"
      "photos of --dither auto, kept for the rest)",
      kLevelsRows};
  return kFamily;
}

const OptionFamily<Sizing>& FitFamily() {
  static const OptionFamily<Sizing> kFamily{
      "--fit", "SIZING", "how a picture larger than the area is shrunk", kFitRows};
  return kFamily;
}

const OptionFamily<TargetArea>& AreaFamily() {
  static const OptionFamily<TargetArea> kFamily{"--area", "AREA", "the part of the screen it fills",
                                                kAreaRows};
  return kFamily;
}

std::string MethodName(ToneMethod Method) {
  return std::string(RowOf(DitherFamily(), Method).Said);
}

std::string_view NameOf(ToneMethod Method) {
  return RowOf(DitherFamily(), Method).Name;
}
std::string_view NameOf(Sizing Fit) {
  return RowOf(FitFamily(), Fit).Name;
}
std::string_view NameOf(TargetArea Area) {
  return RowOf(AreaFamily(), Area).Name;
}
std::string_view NameOf(ToneScale Scale) {
  return RowOf(ToneFamily(), Scale).Name;
}
std::string_view NameOf(LevelsMode Levels) {
  return RowOf(LevelsFamily(), Levels).Name;
}

std::optional<ToneMethod> ParseToneMethod(std::string_view Name) {
  return ByName(DitherFamily(), Name);
}
std::optional<ToneScale> ParseToneScale(std::string_view Name) {
  return ByName(ToneFamily(), Name);
}
std::optional<LevelsMode> ParseLevelsMode(std::string_view Name) {
  return ByName(LevelsFamily(), Name);
}
std::optional<Sizing> ParseSizing(std::string_view Name) {
  return ByName(FitFamily(), Name);
}
std::optional<TargetArea> ParseTargetArea(std::string_view Name) {
  return ByName(AreaFamily(), Name);
}

}  // namespace pictrane::capture
