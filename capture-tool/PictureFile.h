// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pictures read and written through Qt's image plug-ins.

#include <QImage>
#include <QString>

#include "PixelConversion.h"

namespace pictrane::capture {

// Reads the picture at Path, whatever its name says, with every variant Qt's readers know (for
// bitmaps: 1, 4, 8, 16, 24 and 32 bits per pixel, RLE-compressed, bottom-up or top-down). Returns
// it as ARGB32 (or RGB32, opaque); raises RaisedError with a message for a person when the file is
// missing, unreadable, not a picture or damaged (a bitmap whose headers disagree with its bytes is
// refused before Qt sees it: BitmapCheck.h).
QImage LoadPicture(const QString& Path);

MonoPicture ToMono(const QImage& Picture, PictureSize Bounds, const PictureOptions& Options = {});

// The one-bit picture as a two-colour image: white for light, black for dark.
QImage ToImage(const MonoPicture& Picture);

// Saves Picture at Path in Qt's Format ("BMP", "PNG") through a temporary file (AtomicFile.h).
void SaveImage(const QImage& Picture, const QString& Path, const char* Format);

}  // namespace pictrane::capture
