// SPDX-License-Identifier: GPL-3.0-or-later
// The calculator link end to end: the program itself against the stand-in calculator
// (standin_calc.cpp) on the virtual cable, each run in an IPC namespace of its own.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "batch/BatchConvert.h"
#include "calc/CalcFile.h"
#include "calc/CalcRead.h"
#include "calc/Models.h"
#include "calc/CePictures.h"
#include "batch/LinkCommands.h"
#include "calc/PicLayout.h"
#include "picture/PictureFile.h"
#include "TestSupport.h"
#include "link_test.h"
#include "calc/TiLibraries.h"

namespace pictrane::capture {

namespace {

TEST(Link, PictureAndGroupArriveByteForByte) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const QString Received = Folder.filePath("received");
  const CalcPicture Single = PictureNamed(U"photo", kTi89Screen, 1);
  const std::vector<CalcPicture> Group = {PictureNamed(U"sea", {160, 100}, 2),
                                          PictureNamed(U"hill", {77, 59}, 3),
                                          PictureNamed(U"sky", {1, 1}, 4)};
  const QString One = Folder.filePath("photo.89i");
  const QString Three = Folder.filePath("views.89g");
  WriteCalcPicture(One.toStdString(), Single);
  WriteCalcGroup(Three.toStdString(), CalcModelId::Ti89, Group);
  // Photos converted and sent in one command.
  ASSERT_TRUE(QDir().mkpath(Folder.filePath("photos")));
  const QString Photo = Folder.filePath("photos/photo.jpg");
  const QString Beach = Folder.filePath("photos/beach.jpg");
  for (const QString& Each : {Photo, Beach}) {
    QImage Image(320, 240, QImage::Format_RGB32);
    for (int Y = 0; Y < Image.height(); ++Y) {
      for (int X = 0; X < Image.width(); ++X)
        Image.setPixel(X, Y, qRgb((X * Y) % 256, Y, Each == Photo ? X % 256 : 255 - X % 256));
    }
    ASSERT_TRUE(Image.save(Each));
  }
  const QString Written = Folder.filePath("photos/photo.89i");
  const QString Both = Folder.filePath("photos/both.89g");

  struct Arrival {
    const char* Saved;  // the stand-in's file for the variable
    QString File;       // the calculator file holding it, after the run
    std::size_t Index;  // its place in the file
  };
  // TI-83 Plus pictures: a single one and a group, and photos converted for it.
  const QString Ti83One = Folder.filePath("three.8xi");
  const QString Ti83Two = Folder.filePath("pair.8xg");
  const auto Ti83Picture = [](const char32_t* Name, unsigned Seed) {
    return CalcPicture{CalcModelId::Ti83Plus,
                       Name,
                       {},
                       EncodePic(Scrambled(kTi83PlusPicture, Seed), CalcModelId::Ti83Plus)};
  };
  WriteCalcPicture(Ti83One.toStdString(), Ti83Picture(U"Pic3", 5));
  WriteCalcGroup(Ti83Two.toStdString(), CalcModelId::Ti83Plus,
                 {Ti83Picture(U"Pic1", 6), Ti83Picture(U"Pic2", 7)});
  const QString Ti83Photo = Folder.filePath("photos/photo.8xi");
  const QString Ti83Beach = Folder.filePath("photos/beach.8xi");
  // The colour calculators' pictures, sent archived (the stand-in's NAME.info says so).
  const QString CePhoto = Folder.filePath("photos/photo.8ci");
  const QString CeBeach = Folder.filePath("photos/beach.8ci");
  const QString CeImage = Folder.filePath("photos/photo.8ca");
  const QString CeSaid = " (colour: OKLab Floyd-Steinberg, 15 colours)\n";

  struct Case {
    QStringList StandIn;
    QStringList Tool;
    QString Out;
    std::vector<Arrival> Arrivals;
  };
  const QString Ti89 = "TI-89 answering";
  const QString Ti83 = "TI-83 Plus or TI-84 Plus answering";
  const std::vector<Case> Cases = {
      {{},
       {"--send", "--cable", "vti", "--timeout", "20", One, Three},
       "sent: " + One + "\nsent: " + Three + "\n",
       {{"main.photo", One, 0},
        {"main.sea", Three, 0},
        {"main.hill", Three, 1},
        {"main.sky", Three, 2}}},
      {{},
       {"--convert", "--send", "--cable", "vti", Photo},
       "sent: " + Photo + " -> " + Written + " as main\\photo (photo: levels + Floyd-Steinberg)\n",
       {{"main.photo", Written, 0}}},
      {{},
       {"--convert", "--group", Both, "--send", "--cable", "vti", Photo, Beach},
       "sent: " + Photo + " -> " + Both +
           " as main\\photo (photo: levels + Floyd-Steinberg)\nsent: " + Beach + " -> " + Both +
           " as main\\beach (photo: levels + Floyd-Steinberg)\n",
       {{"main.photo", Both, 0}, {"main.beach", Both, 1}}},
      {{"--model", "83p"},
       {"--send", "--cable", "vti", Ti83One, Ti83Two},
       "sent: " + Ti83One + "\nsent: " + Ti83Two + "\n",
       {{"Pic3", Ti83One, 0}, {"Pic1", Ti83Two, 0}, {"Pic2", Ti83Two, 1}}},
      {{"--model", "83p"},
       {"--convert", "--model", "83p", "--send", "--cable", "vti", Photo, Beach},
       "sent: " + Photo + " -> " + Ti83Photo +
           " as Pic1 (photo: levels + Floyd-Steinberg)\nsent: " + Beach + " -> " + Ti83Beach +
           " as Pic2 (photo: levels + Floyd-Steinberg)\n",
       {{"Pic1", Ti83Photo, 0}, {"Pic2", Ti83Beach, 0}}},
      // A name the calculator holds is replaced only with --replace, else the next free one.
      {{"--hold", "main\\photo", "--hold", "main\\img_2024"},
       {"--send", "--cable", "vti", One},
       "sent: " + One + " as main\\photo1 (main\\photo is on the calculator already)\n",
       {{"main.photo1", One, 0}}},
      {{"--hold", "main\\photo"},
       {"--send", "--replace", "--cable", "vti", One},
       "sent: " + One + " (it replaced main\\photo on the calculator)\n",
       {{"main.photo", One, 0}}},
      {{"--hold", "main\\photo", "--hold", "main\\img_2024"},
       {"--convert", "--send", "--replace", "--cable", "vti", Photo},
       "sent: " + Photo + " -> " + Written +
           " as main\\photo (it replaced the calculator's) (photo: levels + Floyd-Steinberg)\n",
       {{"main.photo", Written, 0}}},
      {{"--model", "83p", "--hold", "Pic1"},
       {"--convert", "--model", "83p", "--send", "--cable", "vti", Photo, Beach},
       "sent: " + Photo + " -> " + Ti83Photo +
           " as Pic2 (Pic1 is on the calculator already) (photo: levels + Floyd-Steinberg)\n" +
           "sent: " + Beach + " -> " + Ti83Beach + " as Pic3 (photo: levels + Floyd-Steinberg)\n",
       {{"Pic2", Ti83Photo, 0}, {"Pic3", Ti83Beach, 0}}},
      {{"--model", "83p", "--hold", "Pic1"},
       {"--convert", "--model", "83p", "--name", "Pic1", "--send", "--cable", "vti", Photo},
       "sent: " + Photo + " -> " + Ti83Photo +
           " as Pic2 (Pic1 is on the calculator already) (photo: levels + Floyd-Steinberg)\n",
       {{"Pic2", Ti83Photo, 0}}},
      {{"--model", "84pce"},
       {"--convert", "--model", "84pce", "--send", "--cable", "vti", Photo, Beach},
       "sent: " + Photo + " -> " + CePhoto + " as Pic1" + CeSaid + "sent: " + Beach + " -> " +
           CeBeach + " as Pic2" + CeSaid,
       {{"Pic1", CePhoto, 0}, {"Pic2", CeBeach, 0}}},
      {{"--model", "84pce", "--hold", "Image1"},
       {"--convert", "--model", "84pce", "--image", "--send", "--cable", "vti", Photo},
       "sent: " + Photo + " -> " + CeImage +
           " as Image2 (Image1 is on the calculator already) (colour: RGB565, ordered 8x8)\n",
       {{"Image2", CeImage, 0}}},
      {{"--model", "84pce", "--hold", "Pic1"},
       {"--send", "--cable", "vti", CePhoto},
       "sent: " + CePhoto + " as Pic2 (Pic1 is on the calculator already)\n",
       {{"Pic2", CePhoto, 0}}},
  };
  for (const Case& C : Cases) {
    ASSERT_TRUE(QDir(Received).removeRecursively() && QDir().mkpath(Received));
    const LinkRun R = RunLinked(C.StandIn + QStringList{"--save", Received}, C.Tool);
    const std::string Name = C.Tool.join(' ').toStdString();
    ASSERT_EQ(R.Status, kExitDone) << Name << R.Out.toStdString() << R.Err.toStdString();
    EXPECT_EQ(R.Out, C.Out) << Name;
    const bool Colour = C.StandIn.contains("84pce");
    EXPECT_TRUE(R.Err.contains(Colour ? QString("TI-84 Plus CE on the virtual cable")
                                      : "virtual cable on port 2, " +
                                            (C.StandIn.contains("83p") ? Ti83 : Ti89)))
        << R.Err.toStdString();
    EXPECT_EQ(QDir(Received).entryList({"*.var"}, QDir::Files).size(), C.Arrivals.size()) << Name;
    for (const Arrival& A : C.Arrivals) {
      if (Colour) {
        const std::vector<std::uint8_t> Info = ReadBytes(Received + "/" + A.Saved + ".info");
        EXPECT_TRUE(std::string(Info.begin(), Info.end()).ends_with("archived 1\n")) << A.Saved;
      }
      const std::vector<StoredPicture> Stored = ReadCalcPictures(A.File.toStdString());
      ASSERT_LT(A.Index, Stored.size()) << Name;
      EXPECT_EQ(ReadBytes(Received + "/" + A.Saved + ".var"), Stored[A.Index].PicData)
          << Name << ": " << A.Saved;
    }
  }

  // Two phone photos of one time of day, sent one after the other to a calculator holding
  // img_2024: two pictures, the second's line saying why its name moved on.
  QStringList Phones;
  for (const char* Name : {"IMG_20240612_183015.jpg", "IMG_20240613_183015.jpg"}) {
    Phones << Folder.filePath(QStringLiteral("photos/%1").arg(Name));
    ASSERT_TRUE(QFile::copy(Photo, Phones.back()));
  }
  const LinkRun Twice = RunLinked(
      {"--hold", "main\\img_2024"}, Phones,
      {"sh", "-c",
       R"("$0" --convert --send --cable vti "$1" && "$0" --convert --send --cable vti "$2")",
       PICTRANE_CAPTURE_PATH});
  ASSERT_EQ(Twice.Status, kExitDone) << Twice.Out.toStdString() << Twice.Err.toStdString();
  EXPECT_TRUE(Twice.Out.contains(".89i as main\\im183015 (photo: levels + Floyd-Steinberg)\n"))
      << Twice.Out.toStdString();
  EXPECT_TRUE(
      Twice.Out.contains(".89i as main\\im1830_1 (main\\im183015 is on the calculator already) "
                         "(photo: levels + Floyd-Steinberg)\n"))
      << Twice.Out.toStdString();
}

TEST(Link, ScreenIsClippedToWhatTheUserSees) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  // The served screen: 240x128, rows of 30 bytes, 1 = black.
  const MonoPicture Full = Scrambled({240, 128}, 7);
  QByteArray Served(3840, '\0');
  for (int Y = 0; Y < 128; ++Y) {
    for (int X = 0; X < 240; ++X) {
      if (Full.At(X, Y))
        Served[Y * 30 + X / 8] = static_cast<char>(Served[Y * 30 + X / 8] | (0x80 >> (X % 8)));
    }
  }
  const QString ScreenFile = Folder.filePath("screen.bin");
  QFile Out(ScreenFile);
  ASSERT_TRUE(Out.open(QIODevice::WriteOnly) && Out.write(Served) == Served.size());
  Out.close();

  struct Case {
    const char* Model;
    const char* Target;
    PictureSize Size;
    const char* Variable;  // for a calculator picture
    const char* Named;     // what the line adds
  };
  for (const Case& C :
       {Case{"89", "shot.png", kTi89Screen, "", ""},
        Case{"92p", "shot.9xi", kTi92Screen, "shot", ""},
        Case{"89", "shot.bmp", kTi89Screen, "", ""},
        Case{"83p", "shot83.png", kTi83PlusScreen, "", ""},
        // The TI-83 Plus's picture leaves the screen's bottom row out; it is one of Pic0..Pic9.
        Case{"83p", "shot.8xi", kTi83PlusPicture, "Pic1", " as Pic1"},
        Case{"83p", "pic7.8xi", kTi83PlusPicture, "Pic7", ""}}) {
    const QString Target = Folder.filePath(C.Target);
    const LinkRun R = RunLinked({"--model", C.Model, "--screen", ScreenFile},
                                {"--screenshot", "--cable", "vti", Target});
    ASSERT_EQ(R.Status, kExitDone) << C.Target << R.Out.toStdString() << R.Err.toStdString();
    EXPECT_EQ(R.Out, "written: " + Target + C.Named + "\n");
    std::vector<std::uint8_t> Expected;
    for (int Y = 0; Y < C.Size.Height; ++Y) {
      for (int X = 0; X < C.Size.Width; ++X) Expected.push_back(Full.At(X, Y));
    }
    if (Target.endsWith("i")) {
      const std::vector<StoredPicture> Read = ReadCalcPictures(Target.toStdString());
      ASSERT_EQ(Read.size(), 1u);
      EXPECT_EQ(Read[0].Name, C.Variable);
      const MonoPicture Got = DecodePic(Read[0].PicData, Read[0].Model);
      EXPECT_EQ(PictureSize({Got.Width, Got.Height}), C.Size);
      EXPECT_EQ(Got.Dark, Expected) << C.Target;
    } else {
      const QImage Got(Target);
      EXPECT_EQ(PictureSize({Got.width(), Got.height()}), C.Size);
      EXPECT_EQ(DarkOf(Got), Expected) << C.Target;
    }
  }

  // A colour calculator's screen in its colours (the stand-in's colour bars: yellow, then cyan
  // in the second and third eighths), and made into a Pic.
  const QString CeShot = Folder.filePath("shotce.png");
  const QString CePic = Folder.filePath("shotce.8ci");
  const LinkRun Ce = RunLinked(
      {"--model", "84pce"}, {CeShot, CePic},
      {"sh", "-c",
       R"("$0" --screenshot --model 84pce --cable vti "$1" && "$0" --screenshot --cable vti "$2")",
       PICTRANE_CAPTURE_PATH});
  ASSERT_EQ(Ce.Status, kExitDone) << Ce.Out.toStdString() << Ce.Err.toStdString();
  const QImage Colours(CeShot);
  EXPECT_EQ(PictureSize({Colours.width(), Colours.height()}), kCeScreen);
  EXPECT_EQ(Colours.pixel(60, 120), qRgb(255, 255, 0));
  EXPECT_EQ(Colours.pixel(100, 120), qRgb(0, 255, 255));
  EXPECT_EQ(ReadCalcPictures(CePic.toStdString()).at(0).Name, "Pic1");

  // A TI-83 Plus picture sent, then taken back from the screen it shows: the same bytes.
  const QString Sent = Folder.filePath("sent.8xi");
  const QString Back = Folder.filePath("pic2.8xi");
  const CalcPicture Picture{CalcModelId::Ti83Plus,
                            U"Pic2",
                            {},
                            EncodePic(Scrambled(kTi83PlusPicture, 9), CalcModelId::Ti83Plus)};
  WriteCalcPicture(Sent.toStdString(), Picture);
  const LinkRun R = RunLinked(
      {"--model", "83p"}, {Sent, Back},
      {"sh", "-c", R"("$0" --send --cable vti "$1" && "$0" --screenshot --cable vti "$2")",
       PICTRANE_CAPTURE_PATH});
  ASSERT_EQ(R.Status, kExitDone) << R.Out.toStdString() << R.Err.toStdString();
  EXPECT_EQ(R.Out, "sent: " + Sent + "\nwritten: " + Back + "\n");
  EXPECT_EQ(ReadCalcPictures(Back.toStdString()).at(0).PicData, Picture.PicData);
}

TEST(Link, EachFailureGivesItsMessageAndStatusInTime) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const QString File = Folder.filePath("photo.89i");
  WriteCalcPicture(File.toStdString(), PictureNamed(U"photo", kTi89Screen, 5));
  const QString Shot = Folder.filePath("shot.png");
  const QString Views = Folder.filePath("views.89g");
  WriteCalcGroup(Views.toStdString(), CalcModelId::Ti89,
                 {PictureNamed(U"sea", {8, 8}, 6), PictureNamed(U"hill", {8, 8}, 7)});
  QStringList Photos;
  for (const char* Name : {"p1", "p2", "p3"}) {
    Photos << Folder.filePath(QStringLiteral("%1.png").arg(Name));
    QImage Image(16, 16, QImage::Format_RGB32);
    Image.fill(qRgb(Name[1] * 40, 0, 0));
    ASSERT_TRUE(Image.save(Photos.back()));
  }
  const QString Ti83File = Folder.filePath("pic.8xi");
  WriteCalcPicture(Ti83File.toStdString(),
                   {CalcModelId::Ti83Plus,
                    U"Pic1",
                    {},
                    EncodePic(Scrambled(kTi83PlusPicture, 8), CalcModelId::Ti83Plus)});
  const auto CeAs = [](const QString& Photo, int N) {
    return Photo + " -> " + QString(Photo).replace(".png", ".8ci") +
           QStringLiteral(" as Pic%1 (colour: OKLab Floyd-Steinberg, 15 colours)").arg(N);
  };
  const QString Trip = Folder.filePath("trip.89g");
  const auto As = [](const QString& Photo, const QString& Target, int N) {
    return Photo + " -> " + Target +
           QStringLiteral(
               " as main\\p%1 (few colours: threshold; warning: it came out 100 % black)")
               .arg(N);
  };
  const QString Silence =
      ": the calculator did not answer within 0.5 s (is it on and the cable "
      "pushed home?)\n";
  const QStringList ConvertSend = {"--convert", "--send", "--cable", "vti", "--timeout", "5"};
  struct Case {
    QStringList StandIn;  // empty: no stand-in, no virtual cable
    QStringList Tool;
    int Status;
    QString Out;
  };
  const QStringList Send = {"--send", "--cable", "vti", "--timeout", "5", File};
  const std::vector<Case> Cases = {
      {{"--fail", "silent"},
       Send,
       kExitNoCalculator,
       "not sent: " + File + ": the link: the calculator did not answer within 0.5 s"},
      {{"--fail", "busy"},
       Send,
       kExitNotAllWritten,
       "not sent: " + File + ": the link: the calculator is busy"},
      {{"--fail", "memory"},
       Send,
       kExitNotAllWritten,
       "not sent: " + File + ": the calculator is out of memory"},
      {{"--fail", "locked"},
       Send,
       kExitNotAllWritten,
       "not sent: " + File + ": a variable of that name on the calculator is locked or archived"},
      {{"--fail", "silent"},
       {"--screenshot", "--cable", "vti", "--timeout", "5", Shot},
       kExitNoCalculator,
       "not written: " + Shot + ": the link: the calculator did not answer"},
      {{},
       {"--send", File},
       kExitNoCalculator,
       "not sent: " + File + ": no USB calculator or SilverLink cable found"},
      // Midway: what the calculator acknowledged is named sent, the rest not, each in its time.
      {{"--fail", "silent", "--after", "1"},
       ConvertSend + QStringList{"--group", Trip} + Photos,
       kExitNotAllWritten,
       "sent: " + As(Photos[0], Trip, 1) + "\nnot sent: " + As(Photos[1], Trip, 2) + Silence +
           "not sent: " + As(Photos[2], Trip, 3) + Silence},
      {{"--fail", "vanish", "--after", "1"},
       ConvertSend + Photos,
       kExitNotAllWritten,
       "sent: " + As(Photos[0], Folder.filePath("p1.89i"), 1) +
           "\nnot sent: " + As(Photos[1], Folder.filePath("p2.89i"), 2) + Silence +
           "not sent: " + As(Photos[2], Folder.filePath("p3.89i"), 3) +
           ": not tried, as the calculator stopped answering\n"},
      {{"--fail", "memory", "--after", "2"},
       {"--send", "--cable", "vti", "--timeout", "5", File, Views},
       kExitNotAllWritten,
       "sent: " + File + "\nnot sent: " + Views +
           ": the calculator is out of memory (its first variable arrived)\n"},
      {{"--fail", "silent"},
       ConvertSend + Photos.mid(0, 1),
       kExitNoCalculator,
       "not sent: " + As(Photos[0], Folder.filePath("p1.89i"), 1) +
           ": the link: the calculator did not answer within 0.5 s"},
      // The TI-83 Plus's protocol library takes a refusal to overwrite as "skip" and says done.
      {{"--model", "83p", "--fail", "locked"},
       {"--send", "--cable", "vti", "--timeout", "5", Ti83File},
       kExitNotAllWritten,
       "not sent: " + Ti83File + ": a variable of that name on the calculator is locked"},
      {{"--model", "89"},
       {"--send", "--cable", "vti", "--timeout", "5", Ti83File},
       kExitNotAllWritten,
       "not sent: " + Ti83File + ": a file for the TI-83 Plus or TI-84 Plus; another calculator"},
      // The colour calculators' link, DirectUSB, fails as the others do.
      {{"--model", "84pce", "--fail", "silent"},
       ConvertSend + QStringList{"--model", "84pce", Photos[0]},
       kExitNoCalculator,
       "not sent: " + CeAs(Photos[0], 1) +
           ": the link: the calculator did not answer within 0.5 s"},
      {{"--model", "84pce", "--fail", "busy"},
       ConvertSend + QStringList{"--model", "84pce", Photos[0]},
       kExitNotAllWritten,
       "not sent: " + CeAs(Photos[0], 1) + ": the link: the calculator is busy"},
      {{"--model", "84pce", "--fail", "memory"},
       ConvertSend + QStringList{"--model", "84pce", Photos[0]},
       kExitNotAllWritten,
       "not sent: " + CeAs(Photos[0], 1) + ": the calculator is out of memory"},
      {{"--model", "84pce", "--fail", "vanish", "--after", "1"},
       ConvertSend + QStringList{"--model", "84pce"} + Photos,
       kExitNotAllWritten,
       "sent: " + CeAs(Photos[0], 1) + "\nnot sent: " + CeAs(Photos[1], 2) + Silence +
           "not sent: " + CeAs(Photos[2], 3) +
           ": not tried, as the calculator stopped answering\n"},
      {{"--model", "84pce"},
       {"--send", "--model", "84pce", "--cable", "vti", "--timeout", "5", File},
       kExitNotAllWritten,
       "not sent: " + File +
           ": a file for the TI-89 family; a TI-84 Plus CE or TI-83 Premium CE answers\n"},
      {{}, {"--send", "--cable", "parallel", File}, kExitUsage, ""},
      // A mistyped row of the stand-in's own is refused, not run as a calculator that works.
      {{"--fail", "full"}, Send, kExitUsage, ""},
      {{"--after", "x"}, Send, kExitUsage, ""},
      {{"--model", "83p", "--hold", "main\\photo"}, Send, kExitUsage, ""},
      // The window's own link options, before its picture, and misplaced before a command.
      {{}, {"--cable", "parallel", File}, kExitUsage, ""},
      {{}, {"--cable", "vti", "--send", File}, kExitUsage, ""},
      {{}, {"--screenshot", "--cable", "vti", Folder.filePath("shot.gif")}, kExitUsage, ""},
  };
  for (const Case& C : Cases) {
    const LinkRun R = RunLinked(C.StandIn, C.Tool);
    const std::string Name = (C.StandIn + C.Tool).join(' ').toStdString();
    EXPECT_EQ(R.Status, C.Status) << Name << "\n" << R.Out.toStdString() << R.Err.toStdString();
    EXPECT_TRUE(C.Out.isEmpty() ? R.Out.isEmpty() : R.Out.startsWith(C.Out)) << Name << "\n"
                                                                             << R.Out.toStdString();
    // Each wait ends after half a second; a hang would take the whole test's time.
    EXPECT_LT(R.Milliseconds, 15000) << Name;
    // The libraries' own log reaches the terminal only when asked for with --verbose.
    EXPECT_FALSE(R.Err.contains("ticables") || R.Err.contains("ticalcs")) << R.Err.toStdString();
  }
  EXPECT_FALSE(QFile::exists(Shot));
  const LinkRun Verbose = RunLinked({"--fail", "silent"}, QStringList{"--verbose"} + Send);
  EXPECT_TRUE(Verbose.Err.contains("pictrane-capture: ticables: ")) << Verbose.Err.toStdString();
}

}  // namespace
}  // namespace pictrane::capture
