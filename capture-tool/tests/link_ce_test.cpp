// SPDX-License-Identifier: GPL-3.0-or-later
// The TI-84 Plus CE's link end to end: libticalcs itself, as the calculator's linking program,
// against the stand-in in its CE mode, in an IPC namespace of its own.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "TestSupport.h"
#include "calc/CePictures.h"
#include "calc/TiLibraries.h"
#include "link_test.h"

namespace pictrane::capture {
namespace {

// The TI-84 Plus CE on DirectUSB: libticalcs itself, as a TI-84 Plus CE, sends an Image and a Pic
// to the stand-in in its CE mode and takes its screen. The test program runs itself as the
// linking program (PICTRANE_CE_LINK names its files), inside the stand-in's namespace.
enum CeStep { kCeLinked = 0, kCeNoCable = 10, kCeNotReady, kCeNoFile, kCeNotSent, kCeNoScreen };

int LinkAsCe(const QStringList& Files, const QString& ScreenOut) {
  ticables_library_init();
  ticalcs_library_init();
  tifiles_library_init();
  CableHandle* Cable = ticables_handle_new(CABLE_VTI, PORT_2);
  CalcHandle* Calc = ticalcs_handle_new(CALC_TI84PCE_USB);
  if (Cable == nullptr || Calc == nullptr) return kCeNoCable;
  ticables_options_set_timeout(Cable, 20);
  if (ticalcs_cable_attach(Calc, Cable) != 0) return kCeNoCable;
  if (ticalcs_calc_isready(Calc) != 0) return kCeNotReady;
  for (const QString& File : Files) {
    FileContent* Content = tifiles_content_create_regular(CALC_TI84PCE_USB);
    if (tifiles_file_read_regular(File.toLocal8Bit().constData(), Content) != 0) return kCeNoFile;
    const int Sent = ticalcs_calc_send_var(Calc, MODE_NORMAL, Content);
    tifiles_content_delete_regular(Content);
    if (Sent != 0) return kCeNotSent;
  }
  CalcScreenCoord Coord{};
  Coord.format = SCREEN_FULL;
  uint8_t* Bitmap = nullptr;
  if (ticalcs_calc_recv_screen(Calc, &Coord, &Bitmap) != 0 || Coord.width != 320 ||
      Coord.height != 240 || Coord.pixel_format != CALC_PIXFMT_RGB_565_LE) {
    return kCeNoScreen;
  }
  QFile Out(ScreenOut);
  const bool Written =
      Out.open(QIODevice::WriteOnly) &&
      Out.write(reinterpret_cast<const char*>(Bitmap), 320 * 240 * 2) == 320 * 240 * 2;
  ticalcs_free_screen(Bitmap);
  ticalcs_cable_detach(Calc);
  ticalcs_handle_del(Calc);
  ticables_handle_del(Cable);
  return Written ? kCeLinked : kCeNoScreen;
}

TEST(Link, CeTakesImageAndPicByDirectUsbAndShowsThemOnItsScreen) {
  if (const QByteArray Job = qgetenv("PICTRANE_CE_LINK"); !Job.isEmpty()) {
    QStringList Files = QString::fromLocal8Bit(Job).split('\n');
    const QString Screen = Files.takeLast();
    std::exit(LinkAsCe(Files, Screen));
  }
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  QImage Photo(400, 300, QImage::Format_RGB32);
  for (int Y = 0; Y < 300; ++Y) {
    for (int X = 0; X < 400; ++X)
      Photo.setPixel(X, Y, QColor::fromHsv(X * 359 / 400, 255, 100 + Y / 2).rgb());
  }
  const CeVariable Image{CeImageName(0), kCeImageType, EncodeCeImage(FitColour(Photo, kCeImage))};
  PalettePicture Stripes{kCePicShown.Width, kCePicShown.Height, {}};
  for (int I = 0; I < kCePicShown.Width * kCePicShown.Height; ++I) {
    Stripes.Index.push_back(static_cast<std::uint8_t>(I / 7 % 3 == 0 ? 0 : I % 15 + 1));
  }
  const CeVariable Pic{CePicName(1), kCePicType, EncodeCePic(Stripes)};
  const QString ImageFile = Folder.filePath("photo.8ca");
  const QString PicFile = Folder.filePath("stripes.8ci");
  WriteCeVariable(ImageFile.toStdString(), Image);
  WriteCeVariable(PicFile.toStdString(), Pic);
  const QString Self = QFileInfo("/proc/self/exe").symLinkTarget();

  struct Case {
    QStringList Failure;
    int Status;
  };
  const std::vector<Case> Cases = {
      {{}, kCeLinked},
      {{"--fail", "busy"}, kCeNotReady},
      {{"--fail", "silent"}, kCeNotReady},
      {{"--fail", "memory"}, kCeNotSent},
      {{"--fail", "locked", "--after", "1"}, kCeNotSent},
      {{"--fail", "vanish", "--after", "1"}, kCeNotSent},
  };
  for (const Case& C : Cases) {
    const QString Received = Folder.filePath("received");
    QDir(Received).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(Received));
    const QString Screen = Folder.filePath("screen.raw");
    QFile::remove(Screen);
    qputenv("PICTRANE_CE_LINK", (ImageFile + "\n" + PicFile + "\n" + Screen).toLocal8Bit());
    const LinkRun Run = RunLinked(QStringList{"--model", "84pce", "--save", Received} << C.Failure,
                                  {"--gtest_filter=Link.CeTakes*"}, {Self});
    qunsetenv("PICTRANE_CE_LINK");
    ASSERT_EQ(Run.Status, C.Status) << C.Failure.join(' ').toStdString() << Run.Err.toStdString();
    if (C.Status != kCeLinked) continue;
    // Every byte arrived, with the attributes the file gave: archived, version 0x0A.
    EXPECT_EQ(ReadBytes(Received + "/Image1.var"), Image.Data);
    EXPECT_EQ(ReadBytes(Received + "/Pic2.var"), Pic.Data);
    const auto Info = [&](const char* Name) {
      const std::vector<std::uint8_t> Text = ReadBytes(Received + "/" + Name + ".info");
      return std::string(Text.begin(), Text.end());
    };
    EXPECT_EQ(Info("Image1"), "type 1A version 0A archived 1\n");
    EXPECT_EQ(Info("Pic2"), "type 07 version 0A archived 1\n");
    // The screen: colour bars around the graph area; in it the Pic over the doubled Image.
    const std::vector<std::uint8_t> Raw = ReadBytes(Screen);
    ASSERT_EQ(Raw.size(), 320u * 240 * 2);
    const auto At = [&Raw](int X, int Y) {
      const std::size_t I = 2 * (static_cast<std::size_t>(Y) * 320 + X);
      return static_cast<std::uint16_t>(Raw[I] | Raw[I + 1] << 8);
    };
    EXPECT_EQ(At(0, 0), 0xFFFF);
    EXPECT_EQ(At(319, 239), 0x0000);
    const std::vector<std::uint8_t>& Words = Image.Data;
    for (int Y = 0; Y < kCePicShown.Height; ++Y) {
      for (int X = 0; X < kCePicShown.Width; ++X) {
        const int Index = Stripes.At(X, Y);
        const std::size_t Word = 3 + (82 - Y / 2) * 268u + 2 * static_cast<std::size_t>(X / 2);
        const std::uint16_t Want =
            Index != 0 ? CeColour565(Index)
                       : static_cast<std::uint16_t>(Words[Word] | Words[Word + 1] << 8);
        ASSERT_EQ(At(27 + X, 37 + Y), Want) << X << "," << Y;
      }
    }
  }
}

}  // namespace
}  // namespace pictrane::capture
