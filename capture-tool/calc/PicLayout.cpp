// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/PicLayout.h"

#include <cstddef>

#include "pictrane/RaisedError.h"

namespace pictrane::capture {

namespace {

void PutWord(std::vector<std::uint8_t>& Out, std::size_t Value) {
  Out.push_back(static_cast<std::uint8_t>((Value >> 8) & 0xFF));
  Out.push_back(static_cast<std::uint8_t>(Value & 0xFF));
}

}  // namespace

std::vector<std::uint8_t> EncodePic(const MonoPicture& Picture) {
  if (Picture.Width <= 0 || Picture.Height <= 0) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, "PicLayout", "The picture is empty.");
  }
  const auto Width = static_cast<std::size_t>(Picture.Width);
  const auto Height = static_cast<std::size_t>(Picture.Height);
  const std::size_t RowBytes = (Width + 7) / 8;
  const std::size_t Size = 4 + Height * RowBytes + 1;
  if (Size > 0xFFFF) {
    throw RaisedError(ErrorNumber::Overflow, "PicLayout",
                      "The picture is too large for a calculator variable.");
  }

  std::vector<std::uint8_t> Data;
  Data.reserve(2 + Size);
  PutWord(Data, Size);
  PutWord(Data, Height);
  PutWord(Data, Width);
  for (std::size_t Y = 0; Y < Height; ++Y) {
    for (std::size_t ByteStart = 0; ByteStart < Width; ByteStart += 8) {
      std::uint8_t Byte = 0;
      for (std::size_t Bit = 0; Bit < 8 && ByteStart + Bit < Width; ++Bit) {
        if (Picture.Dark[Y * Width + ByteStart + Bit] != 0) {
          Byte = static_cast<std::uint8_t>(Byte | (0x80u >> Bit));
        }
      }
      Data.push_back(Byte);
    }
  }
  Data.push_back(kPicTag);
  return Data;
}

std::vector<std::uint8_t> EncodePic(const MonoPicture& Picture, CalcModelId Model) {
  if (Model != CalcModelId::Ti83Plus) return EncodePic(Picture);
  const PictureSize Size = kTi83PlusPicture;
  if (Picture.Width <= 0 || Picture.Height <= 0 || Picture.Width > Size.Width ||
      Picture.Height > Size.Height) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, "PicLayout",
                      "A TI-83 Plus picture is at most 96 x 63 pixels.");
  }
  const int Left = (Size.Width - Picture.Width) / 2;
  const int Top = (Size.Height - Picture.Height) / 2;
  std::vector<std::uint8_t> Data(2 + kTi83PlusPicBytes, 0);
  Data[0] = static_cast<std::uint8_t>(kTi83PlusPicBytes & 0xFF);
  Data[1] = static_cast<std::uint8_t>(kTi83PlusPicBytes >> 8);
  const std::size_t RowBytes = static_cast<std::size_t>(Size.Width) / 8;
  for (int Y = 0; Y < Picture.Height; ++Y) {
    for (int X = 0; X < Picture.Width; ++X) {
      if (!Picture.At(X, Y)) continue;
      const std::size_t Column = static_cast<std::size_t>(Left + X);
      std::uint8_t& Byte = Data[2 + static_cast<std::size_t>(Top + Y) * RowBytes + Column / 8];
      Byte = static_cast<std::uint8_t>(Byte | (0x80u >> (Column % 8)));
    }
  }
  return Data;
}

}  // namespace pictrane::capture
