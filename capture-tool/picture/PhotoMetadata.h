// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a photo says about itself in its Exif block: which way up it is and when it was taken.
// The block is a JPEG's APP1 segment that begins "Exif" (another APP1, such as XMP, may come
// first) or a PNG's eXIf chunk.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

namespace pictrane::capture {

struct PhotoMetadata {
  int Orientation = 1;                    // the Exif orientation, 1 (upright) to 8
  std::optional<int> DamagedOrientation;  // a tag there but not 1 to 8, or not one number
  QString Taken;                          // DateTimeOriginal, "2024:06:12 18:30:15", or empty
};

// Reads Head, a picture file's first bytes (its segments or chunks before the picture data);
// what it cannot follow is left out.
PhotoMetadata ReadPhotoMetadata(const QByteArray& Head);

// Head's size that holds the metadata of nearly every photo.
inline constexpr qsizetype kMetadataHead = 256 * 1024;

// Picture as stored, turned the way Orientation says it shows.
QImage Upright(const QImage& Picture, int Orientation);

}  // namespace pictrane::capture
