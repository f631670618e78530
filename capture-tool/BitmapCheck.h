// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A Windows bitmap's headers checked against its bytes before any reader decodes it. Qt's reader
// fills whatever is missing with black, so a bitmap cut short would become a dark picture and,
// with the converter's delete option, the bitmap would be lost; we refuse it instead.

#include <QByteArray>
#include <QString>

namespace pictrane::capture {

// True when Bytes start like a bitmap file ("BM").
bool LooksLikeBitmap(const QByteArray& Bytes);

// What is wrong with the bitmap in Bytes, for a person, or an empty string when its headers agree
// with each other and with its size: the file and info headers, the sizes, the planes, the bits
// per pixel and the compression that goes with them, the palette count, where the pixels start,
// and that the pixel data (for run-length data: its runs up to the end mark) is all there.
QString BitmapProblem(const QByteArray& Bytes);

}  // namespace pictrane::capture
