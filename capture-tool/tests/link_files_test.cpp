// SPDX-License-Identifier: GPL-3.0-or-later
// Calculator files read back by the program: --to-png, and files cut short or damaged given to
// --to-png and --send, against the stand-in calculator on the virtual cable.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdint>
#include <vector>

#include "TestSupport.h"
#include "batch/BatchConvert.h"
#include "calc/CalcFile.h"
#include "calc/PicLayout.h"
#include "picture/PictureFile.h"
#include "link_test.h"

namespace pictrane::capture {
namespace {

TEST(Link, PicturesComeBackAsPng) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const QString Source = Folder.filePath("Photo.png");
  QImage Photo(300, 200, QImage::Format_RGB32);
  for (int Y = 0; Y < Photo.height(); ++Y) {
    for (int X = 0; X < Photo.width(); ++X) Photo.setPixel(X, Y, qRgb(X % 256, Y, (X * Y) % 256));
  }
  ASSERT_TRUE(Photo.save(Source));
  QStringList Files;
  // Each model's picture comes back as the calculator shows it (a TI-83 Plus picture is always
  // its whole screen; the colour calculators' Pic and Image in their colours).
  std::vector<std::pair<QString, QImage>> Expected;
  const std::pair<CalcModelId, int> Made[] = {
      {CalcModelId::Ti89, 0},     {CalcModelId::Ti92Plus, 0},   {CalcModelId::Voyage200, 0},
      {CalcModelId::Ti83Plus, 0}, {CalcModelId::Ti84PlusCe, 0}, {CalcModelId::Ti84PlusCe, 1}};
  for (const auto& [Model, Kind] : Made) {
    BatchOptions Options;
    Options.Model = Model;
    Options.Kind = Kind;
    Options.Picture.Method = ToneMethod::Atkinson;
    Options.Files = {Source};
    QString Lines;
    QTextStream Out(&Lines);
    ASSERT_EQ(RunBatch(Options, Out), kExitDone);
    const VariableKind& Of = KindOf(Model, Kind);
    const QString Written = Folder.filePath(QStringLiteral("Photo.") + Of.Extension);
    Files << Written;
    Expected.emplace_back(
        Written + ".png",
        CalcPictureOf(Model, LoadPicture(Source), Of.Screen, Options.Picture, Kind).Shown);
  }
  const QString Group = Folder.filePath("views.89g");
  const std::vector<CalcPicture> Members = {PictureNamed(U"sea", {50, 40}, 8),
                                            PictureNamed(U"hill", {160, 100}, 9)};
  WriteCalcGroup(Group.toStdString(), CalcModelId::Ti89, Members);
  Files << Group << Folder.filePath("missing.89i");
  Expected.emplace_back(Group + "-sea.png", ToImage(Scrambled({50, 40}, 8)));
  Expected.emplace_back(Group + "-hill.png", ToImage(Scrambled({160, 100}, 9)));

  const LinkRun R = RunLinked({}, QStringList{"--to-png"} + Files);
  EXPECT_EQ(R.Status, kExitNotAllWritten) << R.Out.toStdString();
  EXPECT_TRUE(R.Out.endsWith("not written: " + Folder.filePath("missing.89i") + ": no such file\n"))
      << R.Out.toStdString();
  for (const auto& [Png, Picture] : Expected) {
    const QImage Got(Png);
    ASSERT_FALSE(Got.isNull()) << Png.toStdString();
    EXPECT_EQ(Got.convertToFormat(QImage::Format_RGB32),
              Picture.convertToFormat(QImage::Format_RGB32))
        << Png.toStdString();
  }
}

// Calculator files cut short at every length and with bytes changed at random, as interrupted
// copies and damaged disks leave them: --to-png and --send give each its line and end normally,
// without a signal or (in the sanitizer build) a sanitizer's report; every file cut short is
// named "damaged or cut short".
TEST(Link, MutatedCalculatorFilesGiveTheirLinesNeverASignal) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const QString Single = Folder.filePath("valid.89i");
  const QString Group = Folder.filePath("valid.89g");
  WriteCalcPicture(Single.toStdString(), PictureNamed(U"photo", {12, 7}, 10));
  CalcPicture Other = PictureNamed(U"sea", {3, 2}, 11);
  Other.Folder = U"games";
  WriteCalcGroup(Group.toStdString(), CalcModelId::Ti89, {PictureNamed(U"sea", {5, 4}, 12), Other});
  const QString Ti83 = Folder.filePath("valid.8xi");
  WriteCalcPicture(Ti83.toStdString(),
                   {CalcModelId::Ti83Plus,
                    U"Pic1",
                    {},
                    EncodePic(Scrambled(kTi83PlusPicture, 13), CalcModelId::Ti83Plus)});
  QStringList Files;
  std::vector<bool> Cut;
  unsigned Seed = 29;
  const auto Random = [&Seed](unsigned Below) {
    Seed = Seed * 1103515245u + 12345u;
    return (Seed >> 8) % Below;
  };
  for (int I = 0; I < 650; ++I) {
    // TI-89 pictures and groups in turn, then TI-83 Plus pictures.
    const int Kind = I >= 500 ? 2 : I % 2;
    QFile Valid(Kind == 0 ? Single : Kind == 1 ? Group : Ti83);
    ASSERT_TRUE(Valid.open(QIODevice::ReadOnly));
    QByteArray Bytes = Valid.readAll();
    // The first files of each kind each cut at one length (the larger TI-83 Plus file at every
    // eighth), the rest with one to four bytes changed.
    const int Length = Kind == 2 ? (I - 500) * 8 : I / 2;
    const bool CutShort = Length < Bytes.size();
    if (CutShort) {
      Bytes.truncate(Length);
    } else {
      for (unsigned N = 1 + Random(4); N > 0; --N)
        Bytes[Random(static_cast<unsigned>(Bytes.size()))] = static_cast<char>(Random(256));
    }
    Files << Folder.filePath(QStringLiteral("m%1.%2")
                                 .arg(I, 3, 10, QChar('0'))
                                 .arg(Kind == 0   ? "89i"
                                      : Kind == 1 ? "89g"
                                                  : "8xi"));
    Cut.push_back(CutShort);
    QFile Out(Files.back());
    ASSERT_TRUE(Out.open(QIODevice::WriteOnly) && Out.write(Bytes) == Bytes.size());
  }
  for (const QStringList& Tool :
       {QStringList{"--to-png"} + Files,
        QStringList{"--send", "--cable", "vti", "--timeout", "5"} + Files}) {
    const LinkRun R =
        RunLinked(Tool.first() == "--send" ? QStringList{"--model", "89"} : QStringList{}, Tool);
    ASSERT_TRUE(R.Status == kExitDone || R.Status == kExitNotAllWritten)
        << Tool.first().toStdString() << ": status " << R.Status << "\n"
        << R.Err.toStdString();
    EXPECT_FALSE(R.Err.contains("Sanitizer") || R.Err.contains("runtime error"))
        << R.Err.toStdString();
    const QStringList Lines = R.Out.split('\n', Qt::SkipEmptyParts);
    // Changed bytes the library cannot tell (a name, a comment) leave files that still go.
    EXPECT_TRUE(Lines.filter(QRegularExpression("^(written|sent): ")).size() > 50)
        << R.Out.toStdString();
    for (int I = 0; I < Files.size(); ++I) {
      const auto Said = std::find_if(Lines.begin(), Lines.end(),
                                     [&](const QString& Line) { return Line.contains(Files[I]); });
      ASSERT_NE(Said, Lines.end()) << Files[I].toStdString() << " has no line";
      if (Cut[static_cast<std::size_t>(I)]) {
        EXPECT_TRUE(Said->endsWith(Files[I] + ": the file is damaged or cut short"))
            << Said->toStdString();
      }
    }
  }
}

}  // namespace
}  // namespace pictrane::capture
