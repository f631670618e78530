// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileFixtures.h"

#include <QFile>

#include "calc/TiLibraries.h"

namespace pictrane::capture::test {

namespace {

void PutLe(QByteArray& Out, std::uint32_t Value, int Bytes) {
  for (int i = 0; i < Bytes; ++i) Out.append(static_cast<char>((Value >> (8 * i)) & 0xFF));
}

void PadToFour(QByteArray& Row) {
  while (Row.size() % 4 != 0) Row.append('\0');
}

int BitsPerPixel(BmpVariant Variant) {
  switch (Variant) {
    case BmpVariant::Bpp1:
      return 1;
    case BmpVariant::Bpp4:
    case BmpVariant::Rle4:
      return 4;
    case BmpVariant::Bpp8:
    case BmpVariant::Rle8:
      return 8;
    case BmpVariant::Bpp16:
      return 16;
    case BmpVariant::Bpp24:
    case BmpVariant::TopDown24:
      return 24;
    case BmpVariant::Bpp32:
      return 32;
  }
  return 24;
}

QByteArray UncompressedRow(const IndexedPicture& Picture, int Y, int Bits) {
  QByteArray Row;
  if (Bits <= 8) {
    const int PerByte = 8 / Bits;
    for (int X = 0; X < Picture.Width; X += PerByte) {
      std::uint32_t Byte = 0;
      for (int i = 0; i < PerByte; ++i) {
        const std::uint32_t Index = X + i < Picture.Width ? Picture.At(X + i, Y) : 0;
        Byte |= Index << (8 - Bits * (i + 1));
      }
      Row.append(static_cast<char>(Byte));
    }
  } else {
    for (int X = 0; X < Picture.Width; ++X) {
      const QRgb Colour = Picture.Palette[Picture.At(X, Y)].Colour;
      const auto R = static_cast<std::uint32_t>(qRed(Colour));
      const auto G = static_cast<std::uint32_t>(qGreen(Colour));
      const auto B = static_cast<std::uint32_t>(qBlue(Colour));
      if (Bits == 16) {
        PutLe(Row, ((R >> 3) << 10) | ((G >> 3) << 5) | (B >> 3), 2);
      } else {
        PutLe(Row, B | (G << 8) | (R << 16), Bits == 24 ? 3 : 4);
      }
    }
  }
  PadToFour(Row);
  return Row;
}

// One row in run-length encoding: runs of two or more equal pixels as (count, value), other
// stretches of three or more pixels in absolute mode (0, count, values, padded to a word).
QByteArray RleRow(const IndexedPicture& Picture, int Y, bool FourBit) {
  QByteArray Out;
  auto Packed = [&](const std::vector<std::uint8_t>& Values) {
    QByteArray Bytes;
    if (FourBit) {
      for (std::size_t i = 0; i < Values.size(); i += 2) {
        const int Low = i + 1 < Values.size() ? Values[i + 1] : 0;
        Bytes.append(static_cast<char>((Values[i] << 4) | Low));
      }
    } else {
      for (std::uint8_t Value : Values) Bytes.append(static_cast<char>(Value));
    }
    return Bytes;
  };
  int X = 0;
  while (X < Picture.Width) {
    int Run = 1;
    while (X + Run < Picture.Width && Run < 255 && Picture.At(X + Run, Y) == Picture.At(X, Y))
      ++Run;
    if (Run >= 2) {
      const int Value = Picture.At(X, Y);
      Out.append(static_cast<char>(Run));
      Out.append(static_cast<char>(FourBit ? (Value << 4) | Value : Value));
      X += Run;
      continue;
    }
    // Gather pixels up to the next run of two.
    std::vector<std::uint8_t> Literal;
    while (X < Picture.Width && Literal.size() < 255 &&
           !(X + 1 < Picture.Width && Picture.At(X + 1, Y) == Picture.At(X, Y))) {
      Literal.push_back(Picture.At(X, Y));
      ++X;
    }
    if (Literal.size() >= 3) {
      Out.append('\0');
      Out.append(static_cast<char>(Literal.size()));
      QByteArray Bytes = Packed(Literal);
      if (Bytes.size() % 2 != 0) Bytes.append('\0');
      Out.append(Bytes);
    } else {
      for (std::uint8_t Value : Literal) {
        Out.append('\1');
        Out.append(static_cast<char>(FourBit ? (Value << 4) | Value : Value));
      }
    }
  }
  return Out;
}

}  // namespace

QByteArray EncodeBmp(const IndexedPicture& Picture, BmpVariant Variant, int HeaderWidth,
                     int RowsEncoded) {
  const int Bits = BitsPerPixel(Variant);
  const bool Rle = Variant == BmpVariant::Rle4 || Variant == BmpVariant::Rle8;
  const bool TopDown = Variant == BmpVariant::TopDown24;

  QByteArray Pixels;
  for (int Step = 0; Step < Picture.Height; ++Step) {
    const int Y = TopDown ? Step : Picture.Height - 1 - Step;
    if (Rle) {
      Pixels.append(RleRow(Picture, Y, Variant == BmpVariant::Rle4));
      const bool Last = Step + 1 == (RowsEncoded < 0 ? Picture.Height : RowsEncoded);
      Pixels.append('\0');
      Pixels.append(Last ? '\1' : '\0');  // end of line, end of bitmap
      if (Last) break;
    } else {
      Pixels.append(UncompressedRow(Picture, Y, Bits));
    }
  }

  QByteArray Palette;
  if (Bits <= 8) {
    for (int i = 0; i < (1 << Bits); ++i) {
      const QRgb Colour =
          i < static_cast<int>(Picture.Palette.size()) ? Picture.Palette[i].Colour : qRgb(0, 0, 0);
      PutLe(
          Palette,
          static_cast<std::uint32_t>(qBlue(Colour) | (qGreen(Colour) << 8) | (qRed(Colour) << 16)),
          4);
    }
  }

  const auto Offset = static_cast<std::uint32_t>(14 + 40 + Palette.size());
  QByteArray File("BM");
  PutLe(File, Offset + static_cast<std::uint32_t>(Pixels.size()), 4);
  PutLe(File, 0, 4);
  PutLe(File, Offset, 4);
  PutLe(File, 40, 4);
  PutLe(File, static_cast<std::uint32_t>(HeaderWidth > 0 ? HeaderWidth : Picture.Width), 4);
  PutLe(File, static_cast<std::uint32_t>(TopDown ? -Picture.Height : Picture.Height), 4);
  PutLe(File, 1, 2);
  PutLe(File, static_cast<std::uint32_t>(Bits), 2);
  PutLe(File, Variant == BmpVariant::Rle8 ? 1 : Variant == BmpVariant::Rle4 ? 2 : 0, 4);
  PutLe(File, static_cast<std::uint32_t>(Pixels.size()), 4);
  PutLe(File, 2835, 4);
  PutLe(File, 2835, 4);
  PutLe(File, 0, 4);
  PutLe(File, 0, 4);
  File.append(Palette);
  File.append(Pixels);
  return File;
}

bool WriteFile(const QString& Path, const QByteArray& Bytes) {
  QFile File(Path);
  return File.open(QIODevice::WriteOnly) && File.write(Bytes) == Bytes.size();
}

CalcFileContent ReadCalcFile(const QString& Path) {
  CalcFileContent Result;
  const QByteArray NativePath = QFile::encodeName(Path);
  FileContent* Content = tifiles_content_create_regular(CALC_TI89);
  Result.ReadResult = tifiles_file_read_regular(NativePath.constData(), Content);
  if (Result.ReadResult != 0) return Result;  // the library has released Content itself
  Result.Model = Content->model;
  Result.Entries = Content->num_entries;
  if (Content->num_entries >= 1) {
    const VarEntry* Entry = Content->entries[0];
    Result.Name = Entry->name;
    Result.Folder = Entry->folder;
    Result.Type = Entry->type;
    Result.Attribute = Entry->attr;
    Result.Data.assign(Entry->data, Entry->data + Entry->size);
  }
  tifiles_content_delete_regular(Content);

  // Independently of the library: a single-variable file keeps its data's offset at 0x3C; there
  // 4 zero bytes precede the data, whose first word gives the length of the rest, and the
  // little-endian sum of all data bytes follows.
  QFile File(Path);
  if (!File.open(QIODevice::ReadOnly)) return Result;
  const QByteArray Raw = File.readAll();
  auto Byte = [&](qsizetype At) { return static_cast<std::uint8_t>(Raw.at(At)); };
  // A TI-83 Plus file: the little-endian sum of everything after its 0x37-byte header but the
  // last two bytes, which hold it.
  if (Raw.startsWith("**TI83F*") && Raw.size() > 0x39) {
    int Sum = 0;
    for (qsizetype I = 0x37; I < Raw.size() - 2; ++I) Sum = (Sum + Byte(I)) & 0xFFFF;
    Result.ComputedChecksum = Sum;
    Result.StoredChecksum = Byte(Raw.size() - 2) | (Byte(Raw.size() - 1) << 8);
    return Result;
  }
  if (Raw.size() < 0x52) return Result;
  const qsizetype Offset = Byte(0x3C) | (Byte(0x3D) << 8) | (Byte(0x3E) << 16) | (Byte(0x3F) << 24);
  if (Offset + 6 > Raw.size()) return Result;
  const qsizetype Length = 2 + ((Byte(Offset + 4) << 8) | Byte(Offset + 5));
  if (Offset + 4 + Length + 2 != Raw.size()) return Result;
  int Sum = 0;
  for (qsizetype i = 0; i < Length; ++i) Sum = (Sum + Byte(Offset + 4 + i)) & 0xFFFF;
  Result.ComputedChecksum = Sum;
  Result.StoredChecksum = Byte(Offset + 4 + Length) | (Byte(Offset + 4 + Length + 1) << 8);
  return Result;
}

DecodedPic DecodePic(const std::vector<std::uint8_t>& Data) {
  DecodedPic Pic;
  if (Data.size() == 758 && Data[0] == 0xF4 && Data[1] == 0x02) {
    Pic.Width = 96;
    Pic.Height = 63;
    for (std::size_t I = 0; I < 96 * 63; ++I) {
      Pic.Dark.push_back(static_cast<std::uint8_t>((Data[2 + I / 8] >> (7 - I % 8)) & 1));
    }
    Pic.Valid = true;
    return Pic;
  }
  if (Data.size() < 7) return Pic;
  auto Word = [&](std::size_t At) { return (Data[At] << 8) | Data[At + 1]; };
  const std::size_t Size = static_cast<std::size_t>(Word(0));
  Pic.Height = Word(2);
  Pic.Width = Word(4);
  const std::size_t RowBytes = static_cast<std::size_t>((Pic.Width + 7) / 8);
  if (Size + 2 != Data.size() || Size != 4 + RowBytes * Pic.Height + 1 || Data.back() != 0xDF) {
    return Pic;
  }
  for (int Y = 0; Y < Pic.Height; ++Y) {
    for (int X = 0; X < Pic.Width; ++X) {
      const std::uint8_t Byte = Data[6 + Y * RowBytes + static_cast<std::size_t>(X / 8)];
      Pic.Dark.push_back(static_cast<std::uint8_t>((Byte >> (7 - X % 8)) & 1));
    }
    // Bits past the width must be clear.
    if (Pic.Width % 8 != 0) {
      const std::uint8_t Last = Data[6 + Y * RowBytes + RowBytes - 1];
      if ((Last & (0xFF >> (Pic.Width % 8))) != 0) return Pic;
    }
  }
  Pic.Valid = true;
  return Pic;
}

bool IsTi89(const CalcFileContent& File) {
  return File.Model == CALC_TI89;
}

}  // namespace pictrane::capture::test
