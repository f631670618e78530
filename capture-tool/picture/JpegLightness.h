// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A JPEG's lightness alone, decoded by libjpeg at a reduced size: for a picture that is only
// shrunk and toned in grey, the colour is never decoded.

#include <QImage>
#include <QStringList>
#include <cstddef>

namespace pictrane::capture {

// The JPEG in Bytes decoded at 1 / Divisor of its size (2, 4 or 8, libjpeg's scaling in the
// decoder) as its luminance, 0.299 R + 0.587 G + 0.114 B, which a JPEG stores as such: an RGB32
// picture with equal channels. What libjpeg warns of (a picture cut short, corrupt data) is added
// to Messages in its own words, as Qt's reader reports it. A null picture when libjpeg cannot
// decode it so (a CMYK picture, damage it stops at): the caller reads it otherwise.
QImage DecodeJpegLightness(const uchar* Bytes, std::size_t Size, int Divisor,
                           QStringList& Messages);

}  // namespace pictrane::capture
