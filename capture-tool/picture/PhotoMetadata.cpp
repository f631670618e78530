// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture/PhotoMetadata.h"

#include <QTransform>
#include <cstdint>
#include <utility>

namespace pictrane::capture {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kExifDirectoryTag = 0x8769;
constexpr std::uint16_t kTakenTag = 0x9003;
constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kAscii = 2;

// A TIFF structure, as the Exif block holds it, read with bounds checked.
class Tiff {
 public:
  explicit Tiff(QByteArray Bytes) : Bytes_(std::move(Bytes)), Big_(Bytes_.startsWith("MM")) {}

  std::optional<std::uint32_t> Number(qsizetype From, int Size) const {
    if (From < 0 || Size <= 0 || From + Size > Bytes_.size()) return std::nullopt;
    std::uint32_t Value = 0;
    for (int I = 0; I < Size; ++I) {
      Value = (Value << 8) | static_cast<std::uint8_t>(Bytes_[From + (Big_ ? I : Size - 1 - I)]);
    }
    return Value;
  }

  // The offset of Tag's entry in the directory at Directory.
  std::optional<qsizetype> Entry(std::uint32_t Directory, std::uint16_t Tag) const {
    const auto Count = Number(Directory, 2);
    for (std::uint32_t I = 0; Count && I < *Count; ++I) {
      const qsizetype Start = Directory + 2 + 12 * static_cast<qsizetype>(I);
      const auto Found = Number(Start, 2);
      if (!Found) return std::nullopt;
      if (*Found == Tag) return Start;
    }
    return std::nullopt;
  }

  QByteArray Text(qsizetype EntryAt) const {
    const auto Count = Number(EntryAt + 4, 4);
    if (Number(EntryAt + 2, 2) != kAscii || !Count || *Count > 64) return {};
    const qsizetype At = *Count <= 4 ? EntryAt + 8 : Number(EntryAt + 8, 4).value_or(0);
    if (At <= 0 || At + *Count > Bytes_.size()) return {};
    return Bytes_.mid(At, *Count).split('\0').first();
  }

 private:
  QByteArray Bytes_;
  bool Big_;
};

void ReadExif(const QByteArray& Block, PhotoMetadata& Found) {
  const Tiff T(Block);
  const auto First = T.Number(4, 4);
  if (!First) return;
  if (const auto At = T.Entry(*First, kOrientationTag)) {
    const auto Value = T.Number(*At + 8, 2);
    const bool Whole = T.Number(*At + 2, 2) == kShort && T.Number(*At + 4, 4) == 1u;
    if (Value && Whole && *Value >= 1 && *Value <= 8) {
      Found.Orientation = static_cast<int>(*Value);
    } else if (Value) {
      Found.DamagedOrientation = static_cast<int>(*Value);
    }
  }
  if (const auto At = T.Entry(*First, kExifDirectoryTag)) {
    if (const auto Directory = T.Number(*At + 8, 4)) {
      if (const auto Taken = T.Entry(*Directory, kTakenTag)) {
        Found.Taken = QString::fromLatin1(T.Text(*Taken));
      }
    }
  }
}

std::uint32_t BigEndian(const QByteArray& Bytes, qsizetype At) {
  std::uint32_t Value = 0;
  for (int I = 0; I < 4; ++I) Value = (Value << 8) | static_cast<std::uint8_t>(Bytes[At + I]);
  return Value;
}

}  // namespace

PhotoMetadata ReadPhotoMetadata(const QByteArray& Head) {
  PhotoMetadata Found;
  const auto Byte = [&](qsizetype At) { return static_cast<std::uint8_t>(Head[At]); };
  if (Head.size() >= 4 && Byte(0) == 0xFF && Byte(1) == 0xD8) {
    // Every segment before the picture data: the Exif block need not be the first APP1.
    for (qsizetype At = 2; At + 4 <= Head.size() && Byte(At) == 0xFF && Byte(At + 1) != 0xDA;) {
      const int Marker = Byte(At + 1);
      const qsizetype Length = (Byte(At + 2) << 8) | Byte(At + 3);
      if (Length < 2) break;
      const QByteArray Segment = Head.mid(At + 4, Length - 2);
      At += 2 + Length;
      if (Marker == 0xE1 && Segment.startsWith(QByteArray("Exif\0\0", 6))) {
        ReadExif(Segment.mid(6), Found);
        break;
      }
    }
  } else if (Head.startsWith("\x89PNG\r\n\x1A\n")) {
    for (qsizetype At = 8; At + 12 <= Head.size();) {
      const qsizetype Length = BigEndian(Head, At);
      const QByteArray Type = Head.mid(At + 4, 4);
      if (Type == "IDAT" || Length > Head.size()) break;
      if (Type == "eXIf") {
        QByteArray Block = Head.mid(At + 8, Length);
        // Some writers keep the JPEG segment's "Exif" heading.
        if (Block.startsWith(QByteArray("Exif\0\0", 6))) Block.remove(0, 6);
        ReadExif(Block, Found);
        break;
      }
      At += 12 + Length;
    }
  }
  return Found;
}

QImage Upright(const QImage& Picture, int Orientation) {
  QTransform Turn;
  switch (Orientation) {
    case 2:
      return Picture.mirrored(true, false);
    case 3:
      Turn.rotate(180);
      break;
    case 4:
      return Picture.mirrored(false, true);
    case 5:  // the mirror image about the diagonal
      Turn.rotate(270);
      return Picture.mirrored(true, false).transformed(Turn);
    case 6:
      Turn.rotate(90);
      break;
    case 7:  // about the other diagonal
      Turn.rotate(90);
      return Picture.mirrored(true, false).transformed(Turn);
    case 8:
      Turn.rotate(270);
      break;
    default:
      return Picture;
  }
  return Picture.transformed(Turn);
}

}  // namespace pictrane::capture
