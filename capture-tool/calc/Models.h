// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The calculators the tool makes pictures for, one row a model: every other part of the tool
// asks this table what a model's files, names, sizes, link and picture layout are.

#include <QImage>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "picture/PixelConversion.h"

namespace pictrane::capture {

// The 68000 calculators whose picture variables share one layout (PicLayout.h), the TI-83 Plus,
// whose pictures the TI-84 Plus shares, and the TI-84 Plus CE, whose colour pictures the TI-83
// Premium CE shares (CePictures.h). In the table's order.
enum class CalcModelId { Ti89, Ti92, Ti92Plus, Voyage200, Ti83Plus, Ti84PlusCe };

// How a model names its pictures: a free name in a device folder, or one of ten numbered
// variables (Pic1..Pic9, Pic0; Image1..Image9, Image0) without a folder.
enum class VariableNaming { FreeInFolder, Numbered };

// The link protocol the model speaks on the cable (None: the tool has no link to it), and the
// family of its answer to "ready?"; Dusb: the calculator's own USB link only (DirectUSB).
enum class LinkFamily { None, Dbus68k, DbusZ80, Dusb };

// A picture of a model made from a source picture.
struct MadePicture {
  std::string Said;                   // how it was made, for its line and the status bar
  QImage Shown;                       // as the calculator will show it, in its colours
  MonoPicture Mono;                   // a one-bit kind's pixels as shown; empty for a colour kind
  std::vector<std::uint8_t> PicData;  // the variable's data
};

// One kind of picture variable a model holds: one on the one-bit models, two on the colour
// calculators (a Pic of palette colours, an Image of RGB565 pixels).
struct VariableKind {
  const char* Option;          // the command-line option choosing it; nullptr for the first kind
  const char* Extension;       // without the dot
  const char* GroupExtension;  // or nullptr: the tool writes no group files of it
  std::uint8_t Type;           // the variable type
  const char* Stem;            // numbered names: "Pic" gives Pic1..Pic9, Pic0; else nullptr
  const char* Help;            // what the help says of its pixels, or nullptr: "15 colours"
  PictureSize Screen;
  PictureSize Graph;  // what a picture recalled on the graph screen covers without clipping
  bool Archived;      // written and sent archived, as the calculator keeps it
  // The picture of Source fitted into Area (raises RaisedError when it does not fit), whether
  // data is such a picture as its header says, and its pixels as the calculator shows them.
  MadePicture (*Make)(const QImage& Source, PictureSize Area, const PictureOptions& Options);
  bool (*Holds)(const std::vector<std::uint8_t>& PicData);
  QImage (*Show)(const std::vector<std::uint8_t>& PicData);
  // A one-bit kind's variable data from its pixels and back; nullptr for colour.
  std::vector<std::uint8_t> (*Encode)(const MonoPicture& Picture);
  MonoPicture (*Decode)(const std::vector<std::uint8_t>& PicData);
};

struct CalcModelInfo {
  CalcModelId Id;
  const char* Option;      // as --model spells it, or nullptr
  const char* Name;        // "TI-83 Plus", as messages name it
  const char* SharedWith;  // the model whose pictures are the same, or nullptr: "TI-84 Plus"
  const char* Signature;   // the first 8 bytes of its files
  int LibraryModel;        // libtifiles' and libticalcs' CalcModel
  // Further library models whose files and answers are this model's (0 past the last).
  int AlsoLibraryModels[2];
  VariableNaming Naming;
  std::span<const VariableKind> Kinds;  // the first is what a picture of the model is by default
  LinkFamily Link;
  PictureSize LinkScreen;   // the screen as the link sends it
  const char* UsbName;      // the model of the row with a USB link of its own, or nullptr
  int UsbLibraryModel;      // its CalcModel, or 0
  int AlsoUsbLibraryModel;  // another USB CalcModel answering as this row, or 0
};

// Every row, in the order of CalcModelId.
std::span<const CalcModelInfo> CalcModels();
const CalcModelInfo& InfoOf(CalcModelId Model);
// The model --model names ("89", "92p", "v200", "83p"), or nullptr.
const CalcModelInfo* ModelByOption(std::string_view Option);
// The model whose library model (CalcModel) this is, or nullptr.
const CalcModelInfo* ModelOfLibrary(int LibraryModel);
// Kind Kind of Model (0: its first); the kind of Model whose variable type is Type, or nullptr.
const VariableKind& KindOf(CalcModelId Model, int Kind = 0);
const VariableKind* KindOfType(CalcModelId Model, std::uint8_t Type);
// The kind of Model that Option chooses ("--image"), or -1.
int KindByOption(CalcModelId Model, std::string_view Option);
PictureSize AreaOf(CalcModelId Model, TargetArea Area, int Kind = 0);
// Whether Model names its pictures Pic1..Pic9, Pic0 (or another stem); whether it shows colour.
bool IsNumbered(CalcModelId Model);
bool IsColour(CalcModelId Model);

// The model as the menus, the status bar and the Save As list name it: "TI-83 Plus / TI-84 Plus".
std::string MenuNameOf(CalcModelId Model);
// The options as a list, "89, 92p, v200 or 83p", and the names, "TI-89, TI-92, ... or TI-83 Plus".
std::string OptionList();
std::string NameList();
// The models speaking Family as a message names them: "TI-89 family" for several (after the
// first), "TI-83 Plus or TI-84 Plus" for one and the model sharing its pictures.
std::string FamilyName(LinkFamily Family);
// The first row speaking Family.
const CalcModelInfo& FirstOf(LinkFamily Family);
// The rows Which chooses as a list of their names (with the models sharing their pictures when
// Shared): "TI-92 Plus or Voyage 200".
std::string NamesWhere(bool (*Which)(const CalcModelInfo&), bool Shared);
// The row whose own USB link CalcModel UsbLibraryModel is, or nullptr.
const CalcModelInfo* ModelOfUsb(int UsbLibraryModel);

// The command line's help of --model: each option with what it makes, "TI-83 Plus / TI-84 Plus:
// .8xi, Pic1..Pic9, Pic0" (lines broken by '\n').
std::vector<std::pair<std::string, std::string>> ModelHelp();
// The picture extensions of the models with a link, ".89i, .9xi, .v2i, .8xi, .8ci or .8ca", and
// the models with a USB link of their own, "TI-89 Titanium, TI-84 Plus or TI-84 Plus CE".
std::string LinkedExtensions();
std::string UsbNameList();

// A picture of kind Kind of Model made from Source fitted into Area with Options.
MadePicture CalcPictureOf(CalcModelId Model, const QImage& Source, PictureSize Area,
                          const PictureOptions& Options, int Kind = 0);

}  // namespace pictrane::capture
