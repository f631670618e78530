// SPDX-License-Identifier: GPL-3.0-or-later
// The link tests' runs and pictures (link_test.h).

#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include "calc/PicLayout.h"
#include "link_test.h"

namespace pictrane::capture {

namespace test {

LinkRun RunLinked(const QStringList& StandIn, const QStringList& Tool, const QStringList& Program) {
  QStringList Arguments = {"--ipc"};
  if (geteuid() != 0) Arguments << "--map-root-user";
  Arguments << PICTRANE_STANDIN_PATH << StandIn << "--" << Program << Tool;
  QProcess Process;
  QElapsedTimer Clock;
  Clock.start();
  if (StandIn.isEmpty()) {
    Process.start(PICTRANE_CAPTURE_PATH, Tool);
  } else {
    Process.start("unshare", Arguments);
  }
  Process.waitForFinished(60000);
  return {Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1,
          QString::fromUtf8(Process.readAllStandardOutput()),
          QString::fromUtf8(Process.readAllStandardError()), Clock.elapsed()};
}

std::vector<std::uint8_t> ReadBytes(const QString& Path) {
  QFile File(Path);
  if (!File.open(QIODevice::ReadOnly)) return {};
  const QByteArray Bytes = File.readAll();
  return {Bytes.begin(), Bytes.end()};
}

// A picture of Size whose pixels follow no simple rule, so that a shifted or cut row shows.
MonoPicture Scrambled(PictureSize Size, unsigned Seed) {
  MonoPicture Picture{Size.Width, Size.Height, {}};
  for (int I = 0; I < Size.Width * Size.Height; ++I) {
    Seed = Seed * 1103515245u + 12345u;
    Picture.Dark.push_back(static_cast<std::uint8_t>((Seed >> 16) & 1u));
  }
  return Picture;
}

CalcPicture PictureNamed(const char32_t* Name, PictureSize Size, unsigned Seed) {
  return {CalcModelId::Ti89, Name, U"main", EncodePic(Scrambled(Size, Seed))};
}

std::vector<std::uint8_t> DarkOf(const QImage& Image) {
  std::vector<std::uint8_t> Dark;
  for (int Y = 0; Y < Image.height(); ++Y) {
    for (int X = 0; X < Image.width(); ++X) Dark.push_back(qGray(Image.pixel(X, Y)) < 128);
  }
  return Dark;
}

}  // namespace test

}  // namespace pictrane::capture
