// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/Models.h"

#include <algorithm>
#include <array>

#include "calc/PicLayout.h"
#include "calc/TiLibraries.h"
#include "picture/PictureFile.h"

namespace pictrane::capture {

namespace {

// The TI-92 Plus and Voyage 200 share the TI-92's screen, and the Voyage 200's files read back
// as the TI-92 Plus's (one signature). A TI-83 Plus picture is the graph screen itself.
// One row a line group: option and names; files; library models; pictures; sizes; link; layout.
// clang-format off
constexpr std::array<CalcModelInfo, 5> kModels{{
    {CalcModelId::Ti89, "89", "TI-89", nullptr,
     "89i", "89g", "**TI89**",
     CALC_TI89, {CALC_TI89T, CALC_TI89T_USB},
     kPictureType, VariableNaming::FreeInFolder,
     kTi89Screen, kTi89Graph,
     LinkFamily::Dbus68k, kTi89Screen, "TI-89 Titanium", CALC_TI89T_USB,
     EncodePic, HoldsSizedPic, DecodeSizedPic},
    {CalcModelId::Ti92, nullptr, "TI-92", nullptr,
     "92i", "92g", "**TI92**",
     CALC_TI92, {},
     kPictureType, VariableNaming::FreeInFolder,
     kTi92Screen, kTi92Graph,
     LinkFamily::None, kTi92Screen, nullptr, CALC_NONE,
     EncodePic, HoldsSizedPic, DecodeSizedPic},
    {CalcModelId::Ti92Plus, "92p", "TI-92 Plus", nullptr,
     "9xi", "9xg", "**TI92P*",
     CALC_TI92P, {},
     kPictureType, VariableNaming::FreeInFolder,
     kTi92Screen, kTi92Graph,
     LinkFamily::Dbus68k, kTi92Screen, nullptr, CALC_NONE,
     EncodePic, HoldsSizedPic, DecodeSizedPic},
    {CalcModelId::Voyage200, "v200", "Voyage 200", nullptr,
     "v2i", "v2g", "**V200**",
     CALC_V200, {},
     kPictureType, VariableNaming::FreeInFolder,
     kTi92Screen, kTi92Graph,
     LinkFamily::Dbus68k, kTi92Screen, nullptr, CALC_NONE,
     EncodePic, HoldsSizedPic, DecodeSizedPic},
    {CalcModelId::Ti83Plus, "83p", "TI-83 Plus", "TI-84 Plus",
     "8xi", "8xg", "**TI83F*",
     CALC_TI83P, {CALC_TI84P},
     kTi83PlusPictureType, VariableNaming::Numbered,
     kTi83PlusPicture, kTi83PlusPicture,
     LinkFamily::DbusZ80, kTi83PlusScreen, "TI-84 Plus", CALC_TI84P_USB,
     EncodeFixedPic, HoldsFixedPic, DecodeFixedPic},
}};
// clang-format on

// "a, b or c".
std::string Joined(const std::vector<std::string>& Words) {
  std::string Text;
  for (std::size_t I = 0; I < Words.size(); ++I) {
    if (I > 0) Text += I + 1 == Words.size() ? " or " : ", ";
    Text += Words[I];
  }
  return Text;
}

template <typename Field>
std::string Listed(Field Of) {
  std::vector<std::string> Words;
  for (const CalcModelInfo& Row : kModels) {
    if (Of(Row) != nullptr) Words.emplace_back(Of(Row));
  }
  return Joined(Words);
}

}  // namespace

std::span<const CalcModelInfo> CalcModels() {
  return kModels;
}

const CalcModelInfo& InfoOf(CalcModelId Model) {
  return kModels[static_cast<std::size_t>(Model)];
}

const CalcModelInfo* ModelByOption(std::string_view Option) {
  for (const CalcModelInfo& Row : kModels) {
    if (Row.Option != nullptr && Option == Row.Option) return &Row;
  }
  return nullptr;
}

const CalcModelInfo* ModelOfLibrary(int LibraryModel) {
  for (const CalcModelInfo& Row : kModels) {
    if (LibraryModel != CALC_NONE &&
        (LibraryModel == Row.LibraryModel ||
         std::ranges::find(Row.AlsoLibraryModels, LibraryModel) != std::end(Row.AlsoLibraryModels)))
      return &Row;
  }
  return nullptr;
}

PictureSize AreaOf(CalcModelId Model, TargetArea Area) {
  const CalcModelInfo& Info = InfoOf(Model);
  return Area == TargetArea::Graph ? Info.Graph : Info.Screen;
}

bool IsNumbered(CalcModelId Model) {
  return InfoOf(Model).Naming == VariableNaming::Numbered;
}

std::string MenuNameOf(CalcModelId Model) {
  const CalcModelInfo& Info = InfoOf(Model);
  return Info.SharedWith == nullptr ? std::string(Info.Name)
                                    : std::string(Info.Name) + " / " + Info.SharedWith;
}

std::string OptionList() {
  return Listed([](const CalcModelInfo& Row) { return Row.Option; });
}

std::string NameList() {
  return Listed([](const CalcModelInfo& Row) { return Row.Name; });
}

std::string FamilyName(LinkFamily Family) {
  const auto Speaks = [Family](const CalcModelInfo& Row) { return Row.Link == Family; };
  const auto First = std::ranges::find_if(kModels, Speaks);
  if (First == kModels.end()) return {};
  if (std::ranges::count_if(kModels, Speaks) > 1) return std::string(First->Name) + " family";
  return First->SharedWith == nullptr ? std::string(First->Name)
                                      : std::string(First->Name) + " or " + First->SharedWith;
}

const CalcModelInfo& FirstOf(LinkFamily Family) {
  return *std::ranges::find_if(kModels,
                               [Family](const CalcModelInfo& Row) { return Row.Link == Family; });
}

std::string NamesWhere(bool (*Which)(const CalcModelInfo&), bool Shared) {
  std::vector<std::string> Words;
  for (const CalcModelInfo& Row : kModels) {
    if (!Which(Row)) continue;
    Words.emplace_back(Row.Name);
    if (Shared && Row.SharedWith != nullptr) Words.emplace_back(Row.SharedWith);
  }
  return Joined(Words);
}

const CalcModelInfo* ModelOfUsb(int UsbLibraryModel) {
  for (const CalcModelInfo& Row : kModels) {
    if (Row.UsbName != nullptr && Row.UsbLibraryModel == UsbLibraryModel) return &Row;
  }
  return nullptr;
}

MadePicture CalcPictureOf(CalcModelId Model, const QImage& Source, PictureSize Area,
                          const PictureOptions& Options) {
  MadePicture Made;
  Made.Mono = ToMono(Source, Area, Options);
  const CalcModelInfo& Info = InfoOf(Model);
  Made.PicData = Info.Encode(Made.Mono);
  // Through the model's layout and back: a layout of fixed size places the picture within it.
  Made.Shown = Info.Decode(Made.PicData);
  Made.Shown.Method = Made.Mono.Method;
  return Made;
}

}  // namespace pictrane::capture
