// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/Models.h"

#include <algorithm>
#include <array>

#include "calc/CePictures.h"
#include "calc/PicLayout.h"
#include "calc/TiLibraries.h"
#include "picture/PictureFile.h"

namespace pictrane::capture {

namespace {

// A one-bit kind's picture: toned by ToMono, stored in its layout and read back, as a layout of
// fixed size places the picture within it.
template <std::vector<std::uint8_t> (*Encode)(const MonoPicture&),
          MonoPicture (*Decode)(const std::vector<std::uint8_t>&)>
MadePicture MakeOneBit(const QImage& Source, PictureSize Area, const PictureOptions& Options) {
  MadePicture Made;
  const MonoPicture Toned = ToMono(Source, Area, Options);
  Made.Said = SaidOf(Toned);
  Made.PicData = Encode(Toned);
  Made.Mono = Decode(Made.PicData);
  Made.Mono.Method = Toned.Method;
  Made.Shown = ToImage(Made.Mono);
  return Made;
}

template <MonoPicture (*Decode)(const std::vector<std::uint8_t>&)>
QImage ShowOneBit(const std::vector<std::uint8_t>& PicData) {
  return ToImage(Decode(PicData));
}

// The colour Pic: the palette dither (the threshold method asks for the nearest colours
// instead); shown as the graph shows it, its 265 columns over the white graph.
MadePicture MakeCePic(const QImage& Source, PictureSize Area, const PictureOptions& Options) {
  const QImage Fitted = FitColour(Source, Area, Options.Fit);
  const bool Nearest = Options.Method == ToneMethod::Threshold;
  MadePicture Made;
  Made.Said = Nearest ? "colour: nearest of 15" : "colour: OKLab Floyd-Steinberg, 15 colours";
  Made.PicData = EncodeCePic(Nearest ? NearestCeColours(Fitted) : DitherToCeColours(Fitted));
  Made.Shown = ShowCePic(Made.PicData);
  return Made;
}

MadePicture MakeCeImage(const QImage& Source, PictureSize Area, const PictureOptions& Options) {
  MadePicture Made;
  Made.Said = "colour: RGB565, ordered 8x8";
  Made.PicData = EncodeCeImage(FitColour(Source, Area, Options.Fit));
  Made.Shown = DecodeCeImage(Made.PicData);
  return Made;
}

bool HoldsCePic(const std::vector<std::uint8_t>& PicData) {
  return PicData.size() == 2 + kCePicBytes && (PicData[0] | PicData[1] << 8) == kCePicBytes;
}

bool HoldsCeImage(const std::vector<std::uint8_t>& PicData) {
  return PicData.size() == 2 + kCeImageBytes && (PicData[0] | PicData[1] << 8) == kCeImageBytes &&
         PicData[2] == kCeImageMagic;
}

// The 68k calculators' one kind: the same picture of the screen's size, with their own extensions.
constexpr std::array<VariableKind, 1> SizedKind(const char* Extension, const char* GroupExtension,
                                                PictureSize Screen, PictureSize Graph) {
  return {{{nullptr, Extension, GroupExtension, kPictureType, nullptr, nullptr, Screen, Graph,
            false, MakeOneBit<EncodePic, DecodeSizedPic>, HoldsSizedPic, ShowOneBit<DecodeSizedPic>,
            EncodePic, DecodeSizedPic}}};
}
constexpr auto kSizedKinds89 = SizedKind("89i", "89g", kTi89Screen, kTi89Graph);
constexpr auto kSizedKinds92 = SizedKind("92i", "92g", kTi92Screen, kTi92Graph);
constexpr auto kSizedKinds92Plus = SizedKind("9xi", "9xg", kTi92Screen, kTi92Graph);
constexpr auto kSizedKindsV200 = SizedKind("v2i", "v2g", kTi92Screen, kTi92Graph);
// clang-format off
constexpr std::array<VariableKind, 1> kFixedKinds{{
    {nullptr, "8xi", "8xg", kTi83PlusPictureType, "Pic", nullptr,
     kTi83PlusPicture, kTi83PlusPicture, false,
     MakeOneBit<EncodeFixedPic, DecodeFixedPic>, HoldsFixedPic, ShowOneBit<DecodeFixedPic>,
     EncodeFixedPic, DecodeFixedPic}}};
constexpr std::array<VariableKind, 2> kColourKinds{{
    {nullptr, "8ci", nullptr, kCePicType, "Pic", "15 colours", kCePicShown, kCePicShown, true,
     MakeCePic, HoldsCePic, ShowCePic, nullptr, nullptr},
    {"--image", "8ca", nullptr, kCeImageType, "Image", "RGB565 shown doubled", kCeImage, kCeImage,
     true, MakeCeImage, HoldsCeImage, DecodeCeImage, nullptr, nullptr},
}};

// The TI-92 Plus and Voyage 200 share the TI-92's screen, and the Voyage 200's files read back
// as the TI-92 Plus's (one signature). A TI-83 Plus picture is the graph screen itself. The
// colour calculators' files read back as the library's first colour model's.
// One row a line group: option and names; signature; library models; naming and pictures; link.
constexpr std::array<CalcModelInfo, 6> kModels{{
    {CalcModelId::Ti89, "89", "TI-89", nullptr,
     "**TI89**",
     CALC_TI89, {CALC_TI89T, CALC_TI89T_USB},
     VariableNaming::FreeInFolder, kSizedKinds89,
     LinkFamily::Dbus68k, kTi89Screen, "TI-89 Titanium", CALC_TI89T_USB, CALC_NONE},
    {CalcModelId::Ti92, nullptr, "TI-92", nullptr,
     "**TI92**",
     CALC_TI92, {},
     VariableNaming::FreeInFolder, kSizedKinds92,
     LinkFamily::None, kTi92Screen, nullptr, CALC_NONE, CALC_NONE},
    {CalcModelId::Ti92Plus, "92p", "TI-92 Plus", nullptr,
     "**TI92P*",
     CALC_TI92P, {},
     VariableNaming::FreeInFolder, kSizedKinds92Plus,
     LinkFamily::Dbus68k, kTi92Screen, nullptr, CALC_NONE, CALC_NONE},
    {CalcModelId::Voyage200, "v200", "Voyage 200", nullptr,
     "**V200**",
     CALC_V200, {},
     VariableNaming::FreeInFolder, kSizedKindsV200,
     LinkFamily::Dbus68k, kTi92Screen, nullptr, CALC_NONE, CALC_NONE},
    {CalcModelId::Ti83Plus, "83p", "TI-83 Plus", "TI-84 Plus",
     "**TI83F*",
     CALC_TI83P, {CALC_TI84P},
     VariableNaming::Numbered, kFixedKinds,
     LinkFamily::DbusZ80, kTi83PlusScreen, "TI-84 Plus", CALC_TI84P_USB, CALC_NONE},
    {CalcModelId::Ti84PlusCe, "84pce", "TI-84 Plus CE", "TI-83 Premium CE",
     "**TI83F*",
     CALC_TI84PCE_USB, {CALC_TI84PC, CALC_TI83PCE_USB},
     VariableNaming::Numbered, kColourKinds,
     LinkFamily::Dusb, kCeScreen, "TI-84 Plus CE", CALC_TI84PCE_USB, CALC_TI83PCE_USB},
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

const VariableKind& KindOf(CalcModelId Model, int Kind) {
  return InfoOf(Model).Kinds[static_cast<std::size_t>(Kind)];
}

const VariableKind* KindOfType(CalcModelId Model, std::uint8_t Type) {
  for (const VariableKind& Kind : InfoOf(Model).Kinds) {
    if (Kind.Type == Type) return &Kind;
  }
  return nullptr;
}

int KindByOption(CalcModelId Model, std::string_view Option) {
  const auto Kinds = InfoOf(Model).Kinds;
  for (std::size_t I = 0; I < Kinds.size(); ++I) {
    if (Kinds[I].Option != nullptr && Option == Kinds[I].Option) return static_cast<int>(I);
  }
  return -1;
}

PictureSize AreaOf(CalcModelId Model, TargetArea Area, int Kind) {
  const VariableKind& Of = KindOf(Model, Kind);
  return Area == TargetArea::Graph ? Of.Graph : Of.Screen;
}

bool IsNumbered(CalcModelId Model) {
  return InfoOf(Model).Naming == VariableNaming::Numbered;
}

bool IsColour(CalcModelId Model) {
  return KindOf(Model).Encode == nullptr;
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
    if (Row.UsbName != nullptr && UsbLibraryModel != CALC_NONE &&
        (Row.UsbLibraryModel == UsbLibraryModel || Row.AlsoUsbLibraryModel == UsbLibraryModel))
      return &Row;
  }
  return nullptr;
}

std::vector<std::pair<std::string, std::string>> ModelHelp() {
  std::vector<std::pair<std::string, std::string>> Rows;
  for (const CalcModelInfo& Row : kModels) {
    if (Row.Option == nullptr) continue;
    std::string Text = MenuNameOf(Row.Id) + ":";
    for (const VariableKind& Kind : Row.Kinds) {
      if (&Kind != Row.Kinds.data()) Text += std::string(";\n") + Kind.Option + ":";
      Text += std::string(" .") + Kind.Extension + ", " + std::to_string(Kind.Screen.Width) +
              " x " + std::to_string(Kind.Screen.Height);
      if (Kind.Graph != Kind.Screen) {
        Text += " (graph " + std::to_string(Kind.Graph.Width) + " x " +
                std::to_string(Kind.Graph.Height) + ")";
      }
      if (Kind.Help != nullptr) Text += std::string(", ") + Kind.Help;
      if (Kind.Stem != nullptr) {
        Text += std::string(",\n") + Kind.Stem + "1.." + Kind.Stem + "9, " + Kind.Stem +
                "0 in the files' order";
      }
    }
    Rows.emplace_back(Row.Option, Text);
  }
  return Rows;
}

std::string LinkedExtensions() {
  std::vector<std::string> Words;
  for (const CalcModelInfo& Row : kModels) {
    if (Row.Link == LinkFamily::None) continue;
    for (const VariableKind& Kind : Row.Kinds) Words.push_back(std::string(".") + Kind.Extension);
  }
  return Joined(Words);
}

std::string UsbNameList() {
  return Listed([](const CalcModelInfo& Row) { return Row.UsbName; });
}

MadePicture CalcPictureOf(CalcModelId Model, const QImage& Source, PictureSize Area,
                          const PictureOptions& Options, int Kind) {
  return KindOf(Model, Kind).Make(Source, Area, Options);
}

}  // namespace pictrane::capture
