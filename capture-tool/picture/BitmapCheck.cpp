// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture/BitmapCheck.h"

#include <QBuffer>
#include <cstdint>

namespace pictrane::capture {

namespace {

std::uint32_t Le(const QByteArray& Bytes, qsizetype At, int Size) {
  std::uint32_t Value = 0;
  for (int I = Size - 1; I >= 0; --I) {
    Value = (Value << 8) | static_cast<std::uint8_t>(Bytes.at(At + I));
  }
  return Value;
}

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

// The bytes of a device from an offset on, read in blocks.
class ByteStream {
 public:
  ByteStream(QIODevice& File, qint64 Start) : File_(File) { Ok_ = File_.seek(Start); }
  // The next byte; false at the end of the file.
  bool Next(std::uint8_t& Byte) {
    if (At_ == Block_.size()) {
      if (!Ok_) return false;
      Block_ = File_.read(kBlock);
      At_ = 0;
      if (Block_.isEmpty()) {
        Ok_ = false;
        return false;
      }
    }
    Byte = static_cast<std::uint8_t>(Block_.at(At_++));
    return true;
  }
  bool Skip(qsizetype Count) {
    std::uint8_t Ignored = 0;
    for (qsizetype I = 0; I < Count; ++I) {
      if (!Next(Ignored)) return false;
    }
    return true;
  }

 private:
  static constexpr qint64 kBlock = 64 * 1024;
  QIODevice& File_;
  QByteArray Block_;
  qsizetype At_ = 0;
  bool Ok_ = false;
};

// Walks run-length data from Start; true when an end-of-bitmap mark is reached before the data
// ends, without a jump past the last row. Runs past a row's end are clipped by the reader, and
// rows the data leaves out stay palette entry 0, so neither makes a bitmap damaged.
bool RunsComplete(QIODevice& File, qint64 Start, std::int64_t Rows, bool FourBit) {
  ByteStream Stream(File, Start);
  std::int64_t Y = 0;
  std::uint8_t Count = 0;
  std::uint8_t Code = 0;
  while (Stream.Next(Count) && Stream.Next(Code)) {
    if (Count != 0) continue;
    if (Code == 0) {
      ++Y;
    } else if (Code == 1) {
      return true;
    } else if (Code == 2) {
      std::uint8_t Right = 0;
      std::uint8_t Down = 0;
      if (!Stream.Next(Right) || !Stream.Next(Down)) return false;
      Y += Down;
    } else {
      // Code pixels copied as they are, padded to a whole word.
      const qsizetype Length = FourBit ? (Code + 1) / 2 : Code;
      if (!Stream.Skip(Length + (Length % 2))) return false;
    }
    if (Y > Rows) return false;
  }
  return false;
}

}  // namespace

bool LooksLikeBitmap(const QByteArray& Bytes) {
  return Bytes.startsWith("BM");
}

QString BitmapProblem(const QByteArray& Bytes) {
  QByteArray Copy = Bytes;
  QBuffer Buffer(&Copy);
  Buffer.open(QIODevice::ReadOnly);
  return BitmapProblem(Buffer);
}

QString BitmapProblem(QIODevice& File, QSize* Size) {
  const qint64 FileSize = File.size();
  if (!File.seek(0)) return QStringLiteral("the bitmap cannot be read");
  // The file header and the largest info header.
  const QByteArray Bytes = File.read(14 + 124);
  const auto Damaged = [](const QString& What) {
    return QStringLiteral("the bitmap is damaged: %1").arg(What);
  };
  if (Bytes.size() < 14 + 12) return Damaged(QStringLiteral("its headers are cut short"));
  const std::uint32_t Offset = Le(Bytes, 10, 4);
  const std::uint32_t HeaderSize = Le(Bytes, 14, 4);
  const bool Core = HeaderSize == 12;
  if (!Core && HeaderSize != 40 && HeaderSize != 52 && HeaderSize != 56 && HeaderSize != 64 &&
      HeaderSize != 108 && HeaderSize != 124) {
    return Damaged(QStringLiteral("its header size %1 is not one a bitmap has").arg(HeaderSize));
  }
  if (14 + static_cast<qsizetype>(HeaderSize) > Bytes.size()) {
    return Damaged(QStringLiteral("its headers are cut short"));
  }
  // The core header's sizes are unsigned words, the others' signed (a negative height is top-down).
  const std::int64_t Width =
      Core ? static_cast<std::int64_t>(Le(Bytes, 18, 2))
           : static_cast<std::int64_t>(static_cast<std::int32_t>(Le(Bytes, 18, 4)));
  const std::int64_t SignedHeight =
      Core ? static_cast<std::int64_t>(Le(Bytes, 20, 2))
           : static_cast<std::int64_t>(static_cast<std::int32_t>(Le(Bytes, 22, 4)));
  const std::uint32_t Planes = Le(Bytes, Core ? 22 : 26, 2);
  const std::uint32_t Bits = Le(Bytes, Core ? 24 : 28, 2);
  const std::uint32_t Compression = Core ? kRgb : Le(Bytes, 30, 4);
  const std::uint32_t ImageSize = Core ? 0 : Le(Bytes, 34, 4);
  const std::uint32_t Colours = Core ? 0 : Le(Bytes, 46, 4);
  const std::int64_t Height = SignedHeight < 0 ? -SignedHeight : SignedHeight;

  if (Width <= 0 || Height == 0) {
    return Damaged(
        QStringLiteral("its size %1 x %2 is not a picture's").arg(Width).arg(SignedHeight));
  }
  if (Size != nullptr && Width <= INT32_MAX && Height <= INT32_MAX) {
    *Size = QSize(static_cast<int>(Width), static_cast<int>(Height));
  }
  if (Planes != 1) return Damaged(QStringLiteral("it says %1 planes instead of 1").arg(Planes));
  if (Bits != 1 && Bits != 4 && Bits != 8 && Bits != 16 && Bits != 24 && Bits != 32) {
    return Damaged(QStringLiteral("%1 bits per pixel is not a bitmap's").arg(Bits));
  }
  const bool Rle = Compression == kRle8 || Compression == kRle4;
  const bool CompressionFits =
      Compression == kRgb || (Compression == kRle8 && Bits == 8) ||
      (Compression == kRle4 && Bits == 4) ||
      ((Compression == kBitFields || Compression == kAlphaBitFields) && (Bits == 16 || Bits == 32));
  if (!CompressionFits) {
    return Damaged(QStringLiteral("compression %1 does not go with %2 bits per pixel")
                       .arg(Compression)
                       .arg(Bits));
  }
  if (Rle && SignedHeight < 0) {
    return Damaged(QStringLiteral("run-length data cannot be stored top-down"));
  }
  if (Bits <= 8 && Colours > (1u << Bits)) {
    return Damaged(
        QStringLiteral("it has %1 palette colours for %2 bits per pixel").arg(Colours).arg(Bits));
  }
  // Palette (or colour masks) between the headers and the pixels.
  const std::uint64_t PaletteEntries = Bits <= 8 ? (Colours != 0 ? Colours : (1u << Bits)) : 0;
  std::uint64_t TableEnd = 14 + HeaderSize + PaletteEntries * (Core ? 3 : 4);
  if (HeaderSize == 40 && (Compression == kBitFields || Compression == kAlphaBitFields)) {
    TableEnd += Compression == kBitFields ? 12 : 16;
  }
  if (Offset < TableEnd || Offset > static_cast<std::uint64_t>(FileSize)) {
    return Damaged(QStringLiteral("its pixels are said to start at %1, which does not fit its "
                                  "headers and palette (%2 bytes) and its size (%3 bytes)")
                       .arg(Offset)
                       .arg(TableEnd)
                       .arg(FileSize));
  }
  const std::uint64_t Available = static_cast<std::uint64_t>(FileSize) - Offset;
  if (Rle) {
    if (ImageSize != 0 && ImageSize > Available) {
      return Damaged(QStringLiteral("it holds %1 bytes of pixel data where its header says %2")
                         .arg(Available)
                         .arg(ImageSize));
    }
    if (!RunsComplete(File, Offset, Height, Compression == kRle4)) {
      return Damaged(QStringLiteral("its run-length data ends before the end-of-picture mark"));
    }
    return {};
  }
  const std::uint64_t RowBytes = ((static_cast<std::uint64_t>(Width) * Bits + 31) / 32) * 4;
  const std::uint64_t Needed = RowBytes * static_cast<std::uint64_t>(Height);
  if (Needed > Available) {
    return Damaged(QStringLiteral("it holds %1 bytes of pixel data where %2 x %3 pixels need %4")
                       .arg(Available)
                       .arg(Width)
                       .arg(Height)
                       .arg(Needed));
  }
  return {};
}

}  // namespace pictrane::capture
