// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pictures read and written through Qt's image plug-ins.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>
#include <string>

#include "picture/PixelConversion.h"

namespace pictrane::capture {

// File names as the system holds them: bytes, mostly UTF-8. A byte that is no part of a UTF-8
// character stays in the text as U+DC80 + byte (a lone surrogate no decoded name holds), so every
// name given on the command line comes back to its own bytes.
QString NameFromBytes(const QByteArray& Bytes);
std::string BytesOfName(const QString& Name);
// A name as a message shows it, escaped as the converter's report does ("\xE9" for a byte that
// is not UTF-8).
QString ShownName(const QString& Name);

// The largest picture LoadPicture reads, in millions of pixels: what Qt's allocation limit holds
// at four bytes a pixel.
int MegapixelLimit();

// Reads the picture at Path, whatever its name says, with every variant Qt's readers know (for
// bitmaps: 1, 4, 8, 16, 24 and 32 bits per pixel, RLE-compressed, bottom-up or top-down). Returns
// it as ARGB32 (or RGB32, opaque); raises RaisedError with a message for a person when the file is
// missing, unreadable, not a picture, larger than MegapixelLimit() or damaged (a bitmap whose
// headers disagree with its bytes is refused before Qt sees it: BitmapCheck.h; a JPEG or PNG whose
// reader reports data that ends early or is corrupt is refused too). The file is read through,
// never held whole: memory goes to the decoded picture only.
// Note, when given, receives what its line or status bar should say about a picture that was read
// but not quite as it asked: a JPEG whose Exif orientation tag is damaged is read as stored.
// Shrink, when given, is where the picture goes and how (ToMono's Bounds and Options.Fit), for a
// caller that only shrinks it there: a JPEG much larger than that is then decoded at a half, a
// quarter or an eighth of its size (libjpeg's scaling in the decoder, which reads the file
// through all the same), leaving more than one decoded pixel along each side for every pixel of
// the result, so ToMono's area shrink gives nearly the same picture, of the same size, in a
// fraction of the time and memory. What the automatic tone would not take for a photograph (a
// drawing saved as JPEG, whose pale thin lines would fade) is read again whole. With
// LightnessOnly (a caller that tones the picture on the display scale alone, in grey), that
// reduced decode leaves the colour out (JpegLightness.h).
struct ShrinkTarget {
  PictureSize Bounds;
  Sizing Fit = Sizing::Fit;
  bool LightnessOnly = false;
};
QImage LoadPicture(const QString& Path, QString* Note = nullptr,
                   const std::optional<ShrinkTarget>& Shrink = std::nullopt);

MonoPicture ToMono(const QImage& Picture, PictureSize Bounds, const PictureOptions& Options = {});

// The one-bit picture as a two-colour image: white for light, black for dark.
QImage ToImage(const MonoPicture& Picture);

// Saves Picture at Path in Qt's Format ("BMP", "PNG"), whole or not at all (FileWrite.h): on a
// full disk the file there stays as it was and the error says "the disk is full".
void SaveImage(const QImage& Picture, const QString& Path, const char* Format);

}  // namespace pictrane::capture
