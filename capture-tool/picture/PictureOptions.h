// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One table per option family of the picture (the dither method, the tone scale, the levels, the
// fit and the area): each choice's name, label, help, tone step and shortcut. The command line's
// parser and help, the Picture menu, the settings and the manual's lists all come from these
// tables, so a choice added here appears everywhere at once.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "picture/PixelConversion.h"

namespace pictrane::capture {

// A dither's tone step: Grey holds Height rows of Width values from 0 (black) to 1 (white); Dark
// receives 1 for a dark pixel.
using ToneStep = void (*)(const std::vector<float>& Grey, int Width, int Height,
                          std::vector<std::uint8_t>& Dark);

template <typename Value>
struct OptionRow {
  Value Id;
  std::string_view Name;   // as the command line and the settings spell it
  std::string_view Label;  // the Picture menu's, "&" before its access key
  // For --help and the manual; lines after the first are its continuation. Empty for a choice
  // the command line does not take (the settings' default of the levels).
  std::string_view Help;
  std::string_view Shortcut = {};  // the menu's, as QKeySequence's portable text, or none
  std::string_view Said = {};      // how a picture's line names the method
  ToneStep Tone = nullptr;         // the dither that tones the picture, if it is one
};

// A family: its option on the command line, the word for its value in the usage, and its rows in
// the order of the menu (and of the enumeration).
template <typename Value>
struct OptionFamily {
  std::string_view Option;
  std::string_view Metavar;
  std::string_view Summary;  // what the option chooses, for --help and the manual
  std::span<const OptionRow<Value>> Rows;
};

const OptionFamily<ToneMethod>& DitherFamily();
const OptionFamily<ToneScale>& ToneFamily();
const OptionFamily<LevelsMode>& LevelsFamily();
const OptionFamily<Sizing>& FitFamily();
const OptionFamily<TargetArea>& AreaFamily();

// The row of Value in Family, and its place in the rows.
template <typename Value>
const OptionRow<Value>& RowOf(const OptionFamily<Value>& Family, Value Id) {
  for (const OptionRow<Value>& Row : Family.Rows) {
    if (Row.Id == Id) return Row;
  }
  return Family.Rows.front();
}
template <typename Value>
std::size_t PlaceOf(const OptionFamily<Value>& Family, Value Id) {
  return static_cast<std::size_t>(&RowOf(Family, Id) - Family.Rows.data());
}

// The names the command line takes, the default first: "auto, threshold, ... or bayer8".
// A row without help is not one of them.
template <typename Value>
std::string ChoicesText(const OptionFamily<Value>& Family, Value Default) {
  std::vector<std::string_view> Names;
  if (!RowOf(Family, Default).Help.empty()) Names.push_back(RowOf(Family, Default).Name);
  for (const OptionRow<Value>& Row : Family.Rows) {
    if (Row.Id != Default && !Row.Help.empty()) Names.push_back(Row.Name);
  }
  std::string Text;
  for (std::size_t I = 0; I < Names.size(); ++I) {
    if (I > 0) Text += I + 1 == Names.size() ? " or " : ", ";
    Text += Names[I];
  }
  return Text;
}

// How a picture's line names a method that is not the automatic one: "Floyd-Steinberg".
std::string MethodName(ToneMethod Method);

}  // namespace pictrane::capture
