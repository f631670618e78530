// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The files of the tests, made and read without the capture tool's code: bitmaps written byte by
// byte in the variants Qt cannot write itself, and a calculator file read back through libtifiles
// with its checksum recomputed independently. The converter's end-to-end tests use them too.

#include <QByteArray>
#include <QColor>
#include <QRgb>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace pictrane::capture::test {

// A picture as palette indices; each palette entry also says whether it should come out dark.
struct PaletteColour {
  QRgb Colour;
  bool Dark;
};

struct IndexedPicture {
  int Width = 0;
  int Height = 0;
  std::vector<PaletteColour> Palette;
  std::vector<std::uint8_t> Index;  // row by row from the top

  std::uint8_t At(int X, int Y) const { return Index[static_cast<std::size_t>(Y * Width + X)]; }
  bool DarkAt(int X, int Y) const { return Palette[At(X, Y)].Dark; }
};

enum class BmpVariant { Bpp1, Bpp4, Bpp8, Rle4, Rle8, Bpp16, Bpp24, Bpp32, TopDown24 };

// The bytes of a Windows bitmap file (BITMAPINFOHEADER) holding Picture in Variant. For run-length
// variants, HeaderWidth (when set) is the width the header gives, so rows may carry more pixels,
// and RowsEncoded (when set) the rows, from the bottom, before the end-of-bitmap mark.
QByteArray EncodeBmp(const IndexedPicture& Picture, BmpVariant Variant, int HeaderWidth = 0,
                     int RowsEncoded = -1);

bool WriteFile(const QString& Path, const QByteArray& Bytes);

// A calculator file as read back by libtifiles, plus what the raw bytes say.
struct CalcFileContent {
  int ReadResult = -1;  // tifiles_file_read_regular's result, 0 when it succeeded
  int Model = 0;        // CalcModel
  unsigned Entries = 0;
  std::string Name;  // in the calculator's character set
  std::string Folder;
  int Type = -1;
  int Attribute = -1;
  std::vector<std::uint8_t> Data;  // the variable's data as libtifiles returns it
  // From the raw file: the checksum stored after the data, and the sum of the data bytes.
  int StoredChecksum = -1;
  int ComputedChecksum = -2;
};

CalcFileContent ReadCalcFile(const QString& Path);

// A picture variable's data taken apart byte by byte; Valid is false when the layout is wrong.
struct DecodedPic {
  bool Valid = false;
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Dark;  // row by row, 1 = dark

  bool DarkAt(int X, int Y) const { return Dark[static_cast<std::size_t>(Y * Width + X)] != 0; }
};

// The 68000 layout, or the TI-83 Plus's (756 bytes after their little-endian size).
DecodedPic DecodePic(const std::vector<std::uint8_t>& Data);

// True when File holds a TI-89 file.
bool IsTi89(const CalcFileContent& File);

}  // namespace pictrane::capture::test
