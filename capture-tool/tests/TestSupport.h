// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The capture tool's own test helpers, beside the file fixtures.

#include "FileFixtures.h"
#include "picture/PixelConversion.h"

namespace pictrane::capture::test {

// Picture in the middle of a light picture of Size, as a TI-83 Plus picture holds a smaller one.
MonoPicture Centred(const MonoPicture& Picture, PictureSize Size);

}  // namespace pictrane::capture::test
