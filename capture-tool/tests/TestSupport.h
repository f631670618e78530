// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The capture tool's own test helpers, beside the file fixtures.

#include <QImage>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "FileFixtures.h"
#include "picture/PixelConversion.h"

namespace pictrane::capture::test {

// Picture in the middle of a light picture of Size, as a TI-83 Plus picture holds a smaller one.
MonoPicture Centred(const MonoPicture& Picture, PictureSize Size);

// A 200 x 120 picture with a gradient and a diagonal.
QImage Photo();

// A calculator file's variables as libtifiles reads them back; Model receives the file's model.
struct GroupEntry {
  std::string Name;
  std::string Folder;
  std::vector<std::uint8_t> Data;
};
std::vector<GroupEntry> ReadGroup(const QString& Path, int& Model);

}  // namespace pictrane::capture::test
