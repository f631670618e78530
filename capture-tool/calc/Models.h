// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The calculators the tool makes pictures for, one row a model: every other part of the tool
// asks this table what a model's files, names, sizes, link and picture layout are.

#include <QImage>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "picture/PixelConversion.h"

namespace pictrane::capture {

// The 68000 calculators whose picture variables share one layout (PicLayout.h), and the TI-83
// Plus, whose pictures the TI-84 Plus shares. In the table's order.
enum class CalcModelId { Ti89, Ti92, Ti92Plus, Voyage200, Ti83Plus };

// How a model names its pictures: a free name in a device folder, or one of ten numbered
// variables (Pic1..Pic9, Pic0) without a folder.
enum class VariableNaming { FreeInFolder, Numbered };

// The link protocol the model speaks on the cable (None: the tool has no link to it), and the
// family of its answer to "ready?".
enum class LinkFamily { None, Dbus68k, DbusZ80 };

struct CalcModelInfo {
  CalcModelId Id;
  const char* Option;            // as --model spells it, or nullptr
  const char* Name;              // "TI-83 Plus", as messages name it
  const char* SharedWith;        // the model whose pictures are the same, or nullptr: "TI-84 Plus"
  const char* PictureExtension;  // without the dot
  const char* GroupExtension;
  const char* Signature;  // the first 8 bytes of its files
  int LibraryModel;       // libtifiles' and libticalcs' CalcModel
  // Further library models whose files and answers are this model's (0 past the last).
  int AlsoLibraryModels[2];
  std::uint8_t PictureType;  // the variable type of a picture
  VariableNaming Naming;
  PictureSize Screen;
  PictureSize Graph;  // what a picture recalled on the graph screen covers without clipping
  LinkFamily Link;
  PictureSize LinkScreen;  // the screen as the link sends it
  const char* UsbName;     // the model of the row with a USB link of its own, or nullptr
  int UsbLibraryModel;     // its CalcModel, or 0
  // A picture's variable data from its pixels (raises RaisedError when it does not fit), whether
  // data is such a picture as its header says, and its pixels back.
  std::vector<std::uint8_t> (*Encode)(const MonoPicture& Picture);
  bool (*Holds)(const std::vector<std::uint8_t>& PicData);
  MonoPicture (*Decode)(const std::vector<std::uint8_t>& PicData);
};

// Every row, in the order of CalcModelId.
std::span<const CalcModelInfo> CalcModels();
const CalcModelInfo& InfoOf(CalcModelId Model);
// The model --model names ("89", "92p", "v200", "83p"), or nullptr.
const CalcModelInfo* ModelByOption(std::string_view Option);
// The model whose library model (CalcModel) this is, or nullptr.
const CalcModelInfo* ModelOfLibrary(int LibraryModel);
PictureSize AreaOf(CalcModelId Model, TargetArea Area);
// Whether Model names its pictures Pic1..Pic9, Pic0.
bool IsNumbered(CalcModelId Model);

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

// A picture of Model made from Source fitted into Area with Options: its pixels as ToMono gives
// them (with how they were made), as the calculator will show them, and its variable data.
struct MadePicture {
  MonoPicture Mono;
  MonoPicture Shown;
  std::vector<std::uint8_t> PicData;
};
MadePicture CalcPictureOf(CalcModelId Model, const QImage& Source, PictureSize Area,
                          const PictureOptions& Options);

}  // namespace pictrane::capture
