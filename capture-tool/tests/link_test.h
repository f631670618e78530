// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The link tests' runs of the program against the stand-in calculator, in link_test*.cpp.

#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "calc/CalcFile.h"
#include "picture/PixelConversion.h"

namespace pictrane::capture::test {

struct LinkRun {
  int Status = -1;
  QString Out;
  QString Err;
  qint64 Milliseconds = 0;
};

// The stand-in with StandIn, in a namespace of its own, running the program with Tool (or
// Program, a command that runs it); without StandIn, the program alone.
LinkRun RunLinked(const QStringList& StandIn, const QStringList& Tool,
                  const QStringList& Program = {PICTRANE_CAPTURE_PATH});

std::vector<std::uint8_t> ReadBytes(const QString& Path);

// A picture of Size whose pixels follow no simple rule, so that a shifted or cut row shows.
MonoPicture Scrambled(PictureSize Size, unsigned Seed);
// A TI-89 picture in main of such pixels.
CalcPicture PictureNamed(const char32_t* Name, PictureSize Size, unsigned Seed);
// The dark pixels of an image, row by row.
std::vector<std::uint8_t> DarkOf(const QImage& Image);

}  // namespace pictrane::capture::test

namespace pictrane::capture {
using test::DarkOf;
using test::LinkRun;
using test::PictureNamed;
using test::ReadBytes;
using test::RunLinked;
using test::Scrambled;
}  // namespace pictrane::capture
