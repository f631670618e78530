// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Calculator variable files read back with libtifiles: the pictures of a picture or group file,
// and a picture variable's data turned back into pixels.

#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

#include "calc/CalcFile.h"
#include "picture/PixelConversion.h"

namespace pictrane::capture {

struct StoredPicture {
  CalcModelId Model = CalcModelId::Ti89;
  std::string Name;                   // UTF-8, as the calculator shows it
  std::string Folder;                 // UTF-8, empty when the file names none
  std::vector<std::uint8_t> PicData;  // as EncodePic makes it
  bool InGroup = false;               // read from a group file
  int Kind = 0;                       // of the model's picture kinds (Models.h)
};

// Raises RaisedError naming the file (escaped as the converter's report shows names) unless Path is
// a whole calculator variable file of a model we know (CalcModelId) (a single variable or a group,
// any variables): a file cut short or whose data does not match its checksum is "damaged or cut
// short". Whatever the bytes, the file is read once and its content freed once.
void CheckCalcFile(const std::string& Path);

// Every picture variable of the calculator file at Path (a single picture or a group), in
// the file's order; other variables of a group are left out. Raises RaisedError naming the file
// as CheckCalcFile does, when a picture's data is not what its header says ("damaged or cut
// short" too: DecodePic takes every picture returned) and when the file holds no picture.
std::vector<StoredPicture> ReadCalcPictures(const std::string& Path);

// The pixels of a picture variable's data of Model; raises RaisedError when the data is not a
// picture.
MonoPicture DecodePic(const std::vector<std::uint8_t>& PicData,
                      CalcModelId Model = CalcModelId::Ti89);
// A picture read as the calculator shows it, in its colours.
QImage ShownOf(const StoredPicture& Picture);

}  // namespace pictrane::capture
