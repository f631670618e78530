// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Calculator variable files, written with libtifiles, the calculator-file library of the field.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calc/Models.h"
#include "picture/PixelConversion.h"

namespace pictrane::capture {

struct CalcPicture {
  CalcModelId Model = CalcModelId::Ti89;
  std::u32string Name;    // a valid name (CalcName.h), in any case; numbered: Pic0..Pic9 (the
                          // kind's stem and a digit)
  std::u32string Folder;  // the device folder, a valid name too; numbered models: unused
  std::vector<std::uint8_t> PicData;  // as the kind's Make makes it
  int Kind = 0;                       // of the model's picture kinds (Models.h)
};

// The ten picture names of a numbered model's kind (Models.h), in the order a run gives them:
// Pic1..Pic9, then Pic0 (or another stem).
inline constexpr int kNumberedPictures = 10;
std::u32string NumberedPictureName(int Index, std::u32string_view Stem = U"Pic");
// Whether Name (any case) is one of them; the stem of a numbered name (any stem), or empty.
bool IsNumberedPictureName(std::u32string_view Name, std::u32string_view Stem = U"Pic");
std::u32string StemOf(std::u32string_view Name);

// Text in the calculator's own character set (one byte a character), converted by libticonv.
std::string ToCalcCharset(std::u32string_view Text);

// True when Path is a calculator variable file (single or group), as its signature says.
bool IsCalcFile(const std::string& Path);

// True when something is at Path that is not a calculator file (a text, a picture, a folder): the
// one rule of every write of a calculator file, which never replaces such a file.
bool HoldsOtherFile(const std::string& Path);
inline constexpr const char* kOtherFileText = "it is not a calculator file, so it is left as it is";
// Throws why the calculator file at Path may not be replaced: it is write-protected (a person who
// took the write permission away meant it to stay) or it is not a calculator file.
void RefuseUnreplaceable(const std::string& Path);

// Writes a single-variable file holding Picture as a picture variable (archived when its kind
// is kept so, CePictures.h for the colour calculators' kinds): the name and
// folder lower-cased and converted to the calculator's character set. The file appears complete
// or not at all (FileWrite.h). Raises RaisedError when the name or folder is invalid or the file
// cannot be written, the existing file is write-protected (no write permission for its owner: it
// is left as it is) or not a calculator file (HoldsOtherFile), or the disk is full.
void WriteCalcPicture(const std::string& Path, const CalcPicture& Picture);

// Writes a group file holding every picture of Pictures (at least one, all of Model, no two with
// the same folder and name) the same way.
void WriteCalcGroup(const std::string& Path, CalcModelId Model,
                    const std::vector<CalcPicture>& Pictures);

}  // namespace pictrane::capture
