// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/PicLayout.h"

#include <cstddef>
#include <string>

#include "pictrane/RaisedError.h"

namespace pictrane::capture {

namespace {

void PutWord(std::vector<std::uint8_t>& Out, std::size_t Value) {
  Out.push_back(static_cast<std::uint8_t>((Value >> 8) & 0xFF));
  Out.push_back(static_cast<std::uint8_t>(Value & 0xFF));
}

unsigned WordAt(const std::vector<std::uint8_t>& Data, std::size_t At) {
  return (static_cast<unsigned>(Data[At]) << 8) | Data[At + 1];
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

std::vector<std::uint8_t> EncodeFixedPic(const MonoPicture& Picture) {
  const PictureSize Size = kTi83PlusPicture;
  if (Picture.Width <= 0 || Picture.Height <= 0 || Picture.Width > Size.Width ||
      Picture.Height > Size.Height) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, "PicLayout",
                      std::string("A ") + InfoOf(CalcModelId::Ti83Plus).Name +
                          " picture is at most 96 x 63 pixels.");
  }
  const int Left = (Size.Width - Picture.Width) / 2;
  const int Top = (Size.Height - Picture.Height) / 2;
  std::vector<std::uint8_t> Data(2 + kFixedPicBytes, 0);
  Data[0] = static_cast<std::uint8_t>(kFixedPicBytes & 0xFF);
  Data[1] = static_cast<std::uint8_t>(kFixedPicBytes >> 8);
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

std::vector<std::uint8_t> EncodePic(const MonoPicture& Picture, CalcModelId Model) {
  return KindOf(Model).Encode(Picture);
}

bool HoldsSizedPic(const std::vector<std::uint8_t>& PicData) {
  if (PicData.size() < 7) return false;
  const unsigned Size = WordAt(PicData, 0);
  const unsigned Height = WordAt(PicData, 2);
  const unsigned Width = WordAt(PicData, 4);
  const std::size_t RowBytes = (Width + 7) / 8;
  return Width != 0 && Height != 0 && Size + 2 <= PicData.size() &&
         6 + Height * RowBytes <= PicData.size();
}

bool HoldsFixedPic(const std::vector<std::uint8_t>& PicData) {
  return PicData.size() >= 2 + kFixedPicBytes &&
         (PicData[0] | (PicData[1] << 8)) == static_cast<int>(kFixedPicBytes);
}

MonoPicture DecodeSizedPic(const std::vector<std::uint8_t>& PicData) {
  const unsigned Height = WordAt(PicData, 2);
  const unsigned Width = WordAt(PicData, 4);
  const std::size_t RowBytes = (Width + 7) / 8;
  MonoPicture Picture;
  Picture.Width = static_cast<int>(Width);
  Picture.Height = static_cast<int>(Height);
  Picture.Dark.resize(static_cast<std::size_t>(Width) * Height);
  for (std::size_t Y = 0; Y < Height; ++Y) {
    for (std::size_t X = 0; X < Width; ++X) {
      const std::uint8_t Byte = PicData[6 + Y * RowBytes + X / 8];
      Picture.Dark[Y * Width + X] = static_cast<std::uint8_t>((Byte >> (7 - X % 8)) & 1u);
    }
  }
  return Picture;
}

MonoPicture DecodeFixedPic(const std::vector<std::uint8_t>& PicData) {
  const PictureSize Size = kTi83PlusPicture;
  MonoPicture Picture{Size.Width, Size.Height, {}};
  for (std::size_t I = 0; I < static_cast<std::size_t>(Size.Width * Size.Height); ++I) {
    Picture.Dark.push_back(static_cast<std::uint8_t>((PicData[2 + I / 8] >> (7 - I % 8)) & 1u));
  }
  return Picture;
}

}  // namespace pictrane::capture
