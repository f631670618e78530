// SPDX-License-Identifier: GPL-3.0-or-later
// The batch: names from file names, the files it writes for every model and as a group (read
// back through libtifiles), and the real program's exit statuses and output, run without a
// display.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <map>
#include <string>
#include <vector>

#include "batch/BatchConvert.h"
#include "CalcNameTable.h"
#include "calc/CalcFile.h"
#include "calc/Models.h"
#include "pictrane/CalcName.h"
#include "calc/PicLayout.h"
#include "picture/PictureFile.h"
#include "TestSupport.h"
#include "calc/TiLibraries.h"

namespace pictrane::capture {
namespace {

using test::GroupEntry;
using test::Photo;
using test::ReadGroup;

TEST(Batch, WritesAPictureEveryModelReadsBack) {
  struct Case {
    CalcModelId Model;
    const char* Extension;
    int ReadModel;
    TargetArea Area;
    PictureSize Size;
    int Kind = 0;
  };
  const std::vector<Case> Cases = {
      {CalcModelId::Ti89, "89i", CALC_TI89, TargetArea::Screen, {160, 96}},
      {CalcModelId::Ti89, "89i", CALC_TI89, TargetArea::Graph, {128, 77}},
      {CalcModelId::Ti92Plus, "9xi", CALC_TI92P, TargetArea::Screen, {200, 120}},
      {CalcModelId::Voyage200, "v2i", CALC_TI92P, TargetArea::Graph, {172, 103}},
      // Always the whole 96 x 63, the photo centred in it.
      {CalcModelId::Ti83Plus, "8xi", CALC_TI83P, TargetArea::Screen, {96, 63}},
      // The colour calculators' Pic and Image: their whole size too, the photo centred.
      {CalcModelId::Ti84PlusCe, "8ci", CALC_TI83P, TargetArea::Screen, {265, 165}},
      {CalcModelId::Ti84PlusCe, "8ca", CALC_TI83P, TargetArea::Graph, {133, 83}, 1},
  };
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const QString Source = Folder.filePath("My photo.png");
  ASSERT_TRUE(Photo().save(Source));
  for (const Case& C : Cases) {
    BatchOptions Options;
    Options.Model = C.Model;
    Options.Kind = C.Kind;
    Options.Picture.Method = ToneMethod::FloydSteinberg;
    Options.Picture.Area = C.Area;
    Options.Folder = "Photos";
    Options.Files = {Source};
    QString Lines;
    QTextStream Out(&Lines);
    ASSERT_EQ(RunBatch(Options, Out), kExitDone) << Lines.toStdString();
    const QString Target = Folder.filePath(QStringLiteral("My photo.") + C.Extension);
    const bool Ti83Plus = C.Model == CalcModelId::Ti83Plus;
    const VariableKind& Kind = KindOf(C.Model, C.Kind);
    if (IsColour(C.Model)) {
      // Every byte the picture made has, archived, under its numbered name.
      const MadePicture Made =
          CalcPictureOf(C.Model, LoadPicture(Source), C.Size, Options.Picture, C.Kind);
      EXPECT_EQ(Lines, "written: " + Source + " -> " + Target + " as " + Kind.Stem + "1 (" +
                           QString::fromStdString(Made.Said) + ")\n");
      const test::CalcFileContent Read = test::ReadCalcFile(Target);
      EXPECT_EQ(Read.Model, C.ReadModel);  // the signature the colour calculators share
      EXPECT_EQ(Read.Type, Kind.Type);
      EXPECT_EQ(Read.Attribute, ATTRB_ARCHIVED);
      EXPECT_EQ(Read.Data, Made.PicData) << C.Extension;
      EXPECT_EQ(Read.StoredChecksum, Read.ComputedChecksum) << C.Extension;
      EXPECT_EQ(PictureSize({Made.Shown.width(), Made.Shown.height()}), C.Size);
      continue;
    }
    EXPECT_EQ(Lines, "written: " + Source + " -> " + Target + " as " +
                         (Ti83Plus ? "Pic1" : "photos\\myphoto") + " (Floyd-Steinberg)\n");

    const test::CalcFileContent Read = test::ReadCalcFile(Target);
    ASSERT_EQ(Read.ReadResult, 0);
    EXPECT_EQ(Read.Model, C.ReadModel);
    EXPECT_EQ(Read.Name, Ti83Plus ? std::string("\x60") : "myphoto");  // Pic1's token: 60 00
    EXPECT_EQ(Read.Folder, Ti83Plus ? "" : "photos");
    EXPECT_EQ(Read.Type, Ti83Plus ? 0x07 : 0x10);
    EXPECT_EQ(Read.StoredChecksum, Read.ComputedChecksum) << C.Extension;
    const test::DecodedPic Pic = test::DecodePic(Read.Data);
    ASSERT_TRUE(Pic.Valid) << C.Extension;
    EXPECT_EQ(PictureSize({Pic.Width, Pic.Height}), C.Size) << C.Extension;
    const MonoPicture Expected =
        test::Centred(ToMono(LoadPicture(Source), C.Size, Options.Picture), C.Size);
    EXPECT_EQ(Pic.Dark, Expected.Dark) << C.Extension;
  }
}

TEST(Batch, GroupHoldsEveryPictureAndReportsTheOthers) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const QStringList Files = {Folder.filePath("sea.png"), Folder.filePath("Sea.bmp"),
                             Folder.filePath("broken.bmp"), Folder.filePath("hill.png"),
                             Folder.filePath("42.png")};
  ASSERT_TRUE(Photo().save(Files[0]));
  ASSERT_TRUE(Photo().mirrored().save(Files[1]));
  ASSERT_TRUE(test::WriteFile(Files[2], QByteArray("BM") + QByteArray(40, '\0')));
  ASSERT_TRUE(Photo().mirrored(true, false).save(Files[3]));
  ASSERT_TRUE(Photo().save(Files[4]));
  BatchOptions Options;
  Options.Model = CalcModelId::Ti92Plus;
  Options.Picture.Method = ToneMethod::Bayer8;
  Options.Group = Folder.filePath("all");
  Options.Files = Files;
  QString Lines;
  QTextStream Out(&Lines);
  EXPECT_EQ(RunBatch(Options, Out), kExitNotAllWritten);

  const QStringList Said = Lines.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(Said.size(), 5) << Lines.toStdString();
  EXPECT_TRUE(Said[0].startsWith("written: " + Files[0] + " -> " + Folder.filePath("all.9xg")));
  EXPECT_EQ(Said[1], "written: " + Files[1] + " -> " + Folder.filePath("all.9xg") +
                         " as main\\sea1 (main\\sea is taken by " + Files[0] + ") (Bayer 8x8)");
  EXPECT_TRUE(Said[2].startsWith("not written: " + Files[2]) && Said[2].contains("damaged"));
  EXPECT_TRUE(Said[3].startsWith("written: " + Files[3]));
  EXPECT_EQ(Said[4],
            "written: " + Files[4] + " -> " + Folder.filePath("all.9xg") +
                " as main\\pic1 (\"42\" holds no letter a calculator name takes) (Bayer 8x8)");

  int Model = 0;
  const std::vector<GroupEntry> Entries = ReadGroup(Folder.filePath("all.9xg"), Model);
  ASSERT_EQ(Entries.size(), 4u);
  EXPECT_EQ(Model, CALC_TI92P);
  EXPECT_EQ(Entries[0].Name, "sea");
  EXPECT_EQ(Entries[1].Name, "sea1");
  EXPECT_EQ(Entries[2].Name, "hill");
  EXPECT_EQ(Entries[3].Name, "pic1");
  for (std::size_t I = 0; I < 4; ++I) {
    EXPECT_EQ(Entries[I].Folder, "main");
    const QImage Source = LoadPicture(Files[I < 2 ? I : I + 1]);
    EXPECT_EQ(Entries[I].Data, EncodePic(ToMono(Source, kTi92Screen, Options.Picture)));
  }
  // Nothing is written beside the files when a group is asked for.
  EXPECT_FALSE(QFile::exists(Folder.filePath("sea.9xi")));

  // A TI-83 Plus has ten pictures, Pic1 to Pic0: an eleventh file gets none.
  Options.Model = CalcModelId::Ti83Plus;
  Options.Files = QStringList(11, Files[0]);
  QString Ti83Lines;
  QTextStream Ti83Out(&Ti83Lines);
  EXPECT_EQ(RunBatch(Options, Ti83Out), kExitNotAllWritten);
  const QStringList Ti83 = Ti83Lines.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(Ti83.size(), 11) << Ti83Lines.toStdString();
  EXPECT_TRUE(Ti83[9].endsWith(Folder.filePath("all.8xg") + " as Pic0 (Bayer 8x8)"))
      << Ti83[9].toStdString();
  EXPECT_TRUE(Ti83[10].startsWith("not written: " + Files[0] + ": a TI-83 Plus has ten pictures"));
  EXPECT_EQ(test::ReadCalcFile(Folder.filePath("all.8xg")).Entries, 10u);
}

struct ToolRun {
  int Status = -1;
  QString Out;
  QString Err;
};

// The program itself, with no display to open.
ToolRun RunTool(const QStringList& Arguments) {
  QProcess Process;
  QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
  Environment.remove("DISPLAY");
  Environment.remove("WAYLAND_DISPLAY");
  Environment.remove("QT_QPA_PLATFORM");
  Process.setProcessEnvironment(Environment);
  Process.start(QStringLiteral(PICTRANE_CAPTURE_PATH), Arguments);
  Process.waitForFinished(30000);
  return {Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1,
          QString::fromUtf8(Process.readAllStandardOutput()),
          QString::fromUtf8(Process.readAllStandardError())};
}

TEST(Batch, ProgramAnswersHelpVersionAndConvertsWithoutADisplay) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const QString Good = Folder.filePath("good.png");
  const QString Bad = Folder.filePath("bad.bmp");
  ASSERT_TRUE(Photo().save(Good));
  ASSERT_TRUE(test::WriteFile(
      Bad, test::EncodeBmp({2, 2, {{0, true}}, {0, 0, 0, 0}}, test::BmpVariant::Bpp24).left(60)));
  struct Case {
    QStringList Arguments;
    int Status;
    QString OutStart;  // what stdout starts with
    QString ErrStart;  // what stderr starts with
  };
  const std::vector<Case> Cases = {
      {{"--help"}, 0, "Usage: pictrane-capture", ""},
      {{"-h"}, 0, "Usage: pictrane-capture", ""},
      {{"--version"}, 0, QString("pictrane-capture %1\n").arg(pictrane::kProjectVersion), ""},
      {{"--bogus"}, 2, "", "pictrane-capture: unknown option \"--bogus\"\nUsage:"},
      {{"--convert"}, 2, "", "pictrane-capture: --convert needs files"},
      {{"--convert", "--model", "83", Good}, 2, "", "pictrane-capture: --model: \"83\""},
      {{"--convert", "--dither", "floyd-steinberg", Good}, 0, "written: " + Good, ""},
      {{"--convert", Bad, Good}, 3, "not written: " + Bad, ""},
  };
  for (const Case& C : Cases) {
    const ToolRun R = RunTool(C.Arguments);
    const std::string Name = C.Arguments.join(' ').toStdString();
    EXPECT_EQ(R.Status, C.Status) << Name << "\n" << R.Err.toStdString();
    EXPECT_TRUE(C.OutStart.isEmpty() || R.Out.startsWith(C.OutStart))
        << Name << ": " << R.Out.toStdString();
    EXPECT_EQ(R.Out.isEmpty(), C.OutStart.isEmpty()) << Name;
    EXPECT_TRUE(C.ErrStart.isEmpty() || R.Err.startsWith(C.ErrStart))
        << Name << ": " << R.Err.toStdString();
    EXPECT_EQ(R.Err.isEmpty(), C.ErrStart.isEmpty()) << Name;
  }
  EXPECT_TRUE(QFile::exists(Folder.filePath("good.89i")));
  EXPECT_FALSE(QFile::exists(Folder.filePath("bad.89i")));
  EXPECT_FALSE(QFile::exists(Folder.filePath("--help")));
}

// The table both programs' names are checked against: the pictures the batch writes of files so
// named hold those names (a file whose name gives none gets a "pic" name of the tool's own).
TEST(Batch, NamesItsPicturesAsTheTableOfNamesSays) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const auto Path = [&](const pictrane::test::CalcNameRow& Row, const char* Extension) {
    return Folder.filePath(QString::fromStdString(Row.Text) + Extension);
  };
  const QByteArray Bitmap =
      test::EncodeBmp({2, 2, {{0, true}}, {0, 0, 0, 0}}, test::BmpVariant::Bpp24);
  QStringList Arguments{"--convert"};
  for (const pictrane::test::CalcNameRow& Row : pictrane::test::kCalcNameRows) {
    ASSERT_TRUE(test::WriteFile(Path(Row, ".bmp"), Bitmap));
    Arguments << Path(Row, ".bmp");
  }
  ASSERT_EQ(RunTool(Arguments).Status, 0);
  for (const pictrane::test::CalcNameRow& Row : pictrane::test::kCalcNameRows) {
    const std::string Stored = test::ReadCalcFile(Path(Row, ".89i")).Name;
    const std::string& Wanted = Row.FromFile.empty() ? Row.Name : Row.FromFile;
    if (Wanted.empty()) {
      EXPECT_EQ(Stored.rfind("pic", 0), 0u) << Row.Text;
    } else {
      EXPECT_EQ(Stored, ToCalcCharset(QString::fromStdString(Wanted).toStdU32String())) << Row.Text;
    }
  }
  // A photo whose file's name gives none is named after the time its Exif block says it was
  // taken (DateTimeOriginal, in the Exif directory that the first directory points to).
  QByteArray Jpeg;
  QBuffer Buffer(&Jpeg);
  ASSERT_TRUE(Buffer.open(QIODevice::WriteOnly) && Photo().save(&Buffer, "JPEG"));
  const char Tiff[] = {'M', 'M', 0,      42,   0, 0, 0, 8,  // heading
                       0,   1,   '\x87', 0x69, 0, 4, 0, 0, 0, 1,  0, 0, 0, 26, 0, 0, 0, 0,  // IFD0
                       0,   1,   '\x90', 0x03, 0, 2, 0, 0, 0, 20, 0, 0, 0, 44, 0, 0, 0, 0};
  const QByteArray Exif = QByteArray("Exif\0\0", 6) + QByteArray(Tiff, sizeof Tiff) +
                          QByteArray("2024:06:12 18:30:15", 20);
  const QString Taken = Folder.filePath("0042.jpg");
  ASSERT_TRUE(test::WriteFile(Taken, Jpeg.left(2) + QByteArray("\xFF\xE1\0", 3) +
                                         static_cast<char>(Exif.size() + 2) + Exif + Jpeg.mid(2)));
  const ToolRun R = RunTool({"--convert", Taken});
  EXPECT_TRUE(R.Out.endsWith(" as main\\p183015 (photo: levels + Floyd-Steinberg)\n"))
      << R.Out.toStdString();
}

}  // namespace
}  // namespace pictrane::capture
