// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A picture variable's data as the 68000 calculators (Models.h) store it, which is what a variable
// file carries between its entry table and its checksum:
//
//   offset 0  size word: the number of bytes that follow it (all words big-endian)
//   offset 2  height in pixels
//   offset 4  width in pixels
//   offset 6  height rows of ceil(width / 8) bytes, the leftmost pixel in the most significant
//             bit, 1 for a dark pixel, unused bits of a row's last byte 0
//   last      the type tag 0xDF
//
// The variable file format adds its own 4 zero bytes before and the checksum after.
//
// The numbered models' picture (the fixed layout) is the graph screen but for its bottom row,
// 96 x 63, as the calculator's developer guide describes it:
//
//   offset 0  size word, little-endian: 756
//   offset 2  63 rows of 12 bytes, the leftmost pixel in the most significant bit, 1 for dark

#include <cstdint>
#include <vector>

#include "calc/Models.h"
#include "picture/PixelConversion.h"

namespace pictrane::capture {

inline constexpr std::uint8_t kPicTag = 0xDF;

// The sized layout, the 68000 calculators'. Raises RaisedError when the picture is empty or too
// large for a size word.
std::vector<std::uint8_t> EncodePic(const MonoPicture& Picture);
// The fixed layout: a picture smaller than 96 x 63 is centred on light pixels
// (a larger one raises RaisedError).
std::vector<std::uint8_t> EncodeFixedPic(const MonoPicture& Picture);
// The picture variable of Model, in its layout (Models.h).
std::vector<std::uint8_t> EncodePic(const MonoPicture& Picture, CalcModelId Model);

// Whether PicData holds a picture of the layout as its header describes it (its size, height and
// width, and every row), and its pixels, which only such data gives.
bool HoldsSizedPic(const std::vector<std::uint8_t>& PicData);
bool HoldsFixedPic(const std::vector<std::uint8_t>& PicData);
MonoPicture DecodeSizedPic(const std::vector<std::uint8_t>& PicData);
MonoPicture DecodeFixedPic(const std::vector<std::uint8_t>& PicData);

inline constexpr std::size_t kFixedPicBytes = 756;

}  // namespace pictrane::capture
