// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The colour calculators' two picture variables (Models.h), as a variable file carries their data
// (little-endian throughout):
//
// Pic (type 0x07, files .8ci, names Pic1..Pic9, Pic0):
//   offset 0  size word: 21945, the bytes that follow
//   offset 2  165 rows from the top, each of 133 bytes: 266 pixels at two a byte, the left one in
//             the high nibble, each a colour index (CeColour.h). The graph shows 265 columns;
//             the 266th nibble is written 0 (no colour).
//
// Image (type 0x1A, files .8ca, names Image1..Image9, Image0), shown doubled as the graph's
// background:
//   offset 0  size word: 22245
//   offset 2  0x81
//   offset 3  83 rows from the bottom up, each of 134 RGB565 words (low byte first): 133 pixels
//             and one word of padding, 0.
//
// Both are written with version 0x0A (the colour calculators' pictures) and archived, as the
// calculator keeps them.

#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

#include "picture/PixelConversion.h"
#include "calc/CeColour.h"

namespace pictrane::capture {

inline constexpr PictureSize kCePicStored{266, 165};
inline constexpr PictureSize kCePicShown{265, 165};
inline constexpr PictureSize kCeImage{133, 83};
inline constexpr PictureSize kCeScreen{320, 240};
inline constexpr std::uint8_t kCePicType = 0x07;
inline constexpr std::uint8_t kCeImageType = 0x1A;
inline constexpr std::size_t kCePicBytes = 21945;
inline constexpr std::size_t kCeImageBytes = 22245;
inline constexpr std::uint8_t kCeImageMagic = 0x81;
inline constexpr std::uint8_t kCeVersion = 0x0A;

// Picture, at most 265 x 165, centred on no colour. Raises RaisedError when it is larger or
// empty, or holds an index above 15.
std::vector<std::uint8_t> EncodeCePic(const PalettePicture& Picture);
// Picture (at most 133 x 83) ordered-dithered to RGB565 and centred on white; raises RaisedError
// when it is larger or empty.
std::vector<std::uint8_t> EncodeCeImage(const QImage& Picture);

// The 266 x 165 pixels of a Pic's data, no colour as transparent white; the 133 x 83 of an
// Image's. Raise RaisedError when the data is not of that variable (size word, magic).
QImage DecodeCePic(const std::vector<std::uint8_t>& Data);
QImage DecodeCeImage(const std::vector<std::uint8_t>& Data);
// A Pic as the graph shows it: its 265 x 165 pixels, no colour as the white graph.
QImage ShowCePic(const std::vector<std::uint8_t>& Data);

// The names a run gives, in its order: Pic1..Pic9 then Pic0, Image1..Image9 then Image0.
std::string CePicName(int Index);
std::string CeImageName(int Index);

struct CeVariable {
  std::string Name;  // CePicName or CeImageName
  std::uint8_t Type = kCePicType;
  std::vector<std::uint8_t> Data;  // as EncodeCePic or EncodeCeImage make it
};

// Writes Variable as a single-variable file of the colour calculators through libtifiles, whole or
// not at all (FileWrite.h). Raises RaisedError naming the file when the name does not fit the type,
// the data is not of the type, the file there is write-protected or not a calculator file
// (CalcFile.h), or it cannot be written.
void WriteCeVariable(const std::string& Path, const CeVariable& Variable);

}  // namespace pictrane::capture
