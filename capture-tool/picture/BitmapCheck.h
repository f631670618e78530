// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A Windows bitmap's headers checked against its bytes before any reader decodes it. Qt's reader
// fills whatever is missing with black, so a bitmap cut short would become a dark picture and,
// with the converter's delete option, the bitmap would be lost; we refuse it instead.

#include <QByteArray>
#include <QIODevice>
#include <QSize>
#include <QString>

namespace pictrane::capture {

// True when Bytes start like a bitmap file ("BM").
bool LooksLikeBitmap(const QByteArray& Bytes);

// What is wrong with the bitmap File holds, for a person, or an empty string when its headers agree
// with each other and with its size: the file and info headers, the sizes, the planes, the bits
// per pixel and the compression that goes with them, the palette count, where the pixels start,
// and that the pixel data (for run-length data: its runs up to the end mark) is all there. Reads
// the headers and the runs from the device's start, never uncompressed pixels, so a file's size
// costs no memory. Runs past a row's end are clipped and an early end mark leaves the rest to
// palette entry 0, as Windows reads them; the caller hands the reader a picture filled with 0.
// Size, when given, receives the picture's size once the headers have been read.
QString BitmapProblem(QIODevice& File, QSize* Size = nullptr);
QString BitmapProblem(const QByteArray& Bytes);

}  // namespace pictrane::capture
