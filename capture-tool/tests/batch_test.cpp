// SPDX-License-Identifier: GPL-3.0-or-later
// The batch command line: option parsing, names from file names, the files it writes for every
// model and as a group (read back through libtifiles), and the real program's exit statuses and
// output, run without a display.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "BatchConvert.h"
#include "CalcName.h"
#include "PicLayout.h"
#include "PictureFile.h"
#include "TestSupport.h"
#include "TiLibraries.h"

namespace pictrane::capture {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, TakesThePictureOptionsAndRefusesBadUsage) {
  struct Case {
    QStringList Arguments;
    Action What;
    std::function<bool(const CommandLine&)> Check;
  };
  const auto Any = [](const CommandLine&) { return true; };
  const std::vector<Case> Cases = {
      {{}, Action::Window, [](const CommandLine& L) { return L.PicturePath.isEmpty(); }},
      {{"a", "b.bmp"},
       Action::Window,
       [](const CommandLine& L) { return L.PicturePath == "a b.bmp"; }},
      {{"--", "-x.bmp"},
       Action::Window,
       [](const CommandLine& L) { return L.PicturePath == "-x.bmp"; }},
      {{"--help"}, Action::Help, Any},
      {{"--version"}, Action::Version, Any},
      {{"--convert", "--help"}, Action::Help, Any},
      {{"--convert",     "--model",  "v200",         "--dither=atkinson",
        "--threshold",   "100",      "--brightness", "-20",
        "--contrast=30", "--invert", "--fit",        "fill",
        "--area",        "graph",    "--folder",     "Pics",
        "--group",       "all",      "a.png",        "--",
        "--b.png"},
       Action::Convert,
       [](const CommandLine& L) {
         const BatchOptions& B = L.Batch;
         return B.Model == CalcModelId::Voyage200 && B.Picture.Method == ToneMethod::Atkinson &&
                B.Picture.Level == 100 && B.Picture.Brightness == -20 && B.Picture.Contrast == 30 &&
                B.Picture.Invert && B.Picture.Fit == Sizing::Fill &&
                B.Picture.Area == TargetArea::Graph && B.Folder == "Pics" && B.Group == "all" &&
                B.Files == QStringList{"a.png", "--b.png"};
       }},
      {{"--convert", "a.png"},
       Action::Convert,
       [](const CommandLine& L) {
         return L.Batch.Picture == PictureOptions{} && L.Batch.Folder == "main";
       }},
      {{"--bogus"}, Action::BadUsage, Any},
      {{"--convert"}, Action::BadUsage, Any},
      {{"--convert", "--model", "83", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--threshold", "257", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--contrast", "-101", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--folder", "1st", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "a.png", "--model"}, Action::BadUsage, Any},
      {{"--convert", "--unknown", "a.png"}, Action::BadUsage, Any},
  };
  for (const Case& C : Cases) {
    const CommandLine Line = ParseCommandLine(C.Arguments);
    EXPECT_EQ(Line.What, C.What) << C.Arguments.join(' ').toStdString();
    EXPECT_TRUE(C.Check(Line)) << C.Arguments.join(' ').toStdString();
    EXPECT_EQ(Line.Problem.isEmpty(), C.What != Action::BadUsage)
        << C.Arguments.join(' ').toStdString();
  }
}

TEST(CalcName, NamesFromFileNamesFollowTheNameFieldsRules) {
  const std::vector<std::pair<std::u32string, std::u32string>> Cases = {
      {U"holiday pic+1", U"holidayp"},
      {U"Été 2024", U"Été2024"},
      {U"2024-sea", U"sea"},
      {U"_x_1", U"x_1"},
      {U"123", U""},
      {U"a.b.c", U"abc"},
      {U"Ωmega-π", U"Ωmega"},
      {U"абв", U""},
      {U"img_0001", U"img_0001"},
  };
  for (const auto& [File, Name] : Cases) EXPECT_TRUE(NameFromTyping(File) == Name);
}

// A 200 x 120 picture with a gradient and a diagonal, saved as PNG.
QImage Photo() {
  QImage Image(200, 120, QImage::Format_RGB32);
  for (int Y = 0; Y < 120; ++Y) {
    for (int X = 0; X < 200; ++X) {
      const int V = (X + Y) % 256;
      Image.setPixel(X, Y, X == Y ? qRgb(0, 0, 0) : qRgb(V, 255 - V / 2, V / 3));
    }
  }
  return Image;
}

struct GroupEntry {
  std::string Name;
  std::string Folder;
  std::vector<std::uint8_t> Data;
};

std::vector<GroupEntry> ReadGroup(const QString& Path, int& Model) {
  std::vector<GroupEntry> Entries;
  FileContent* Content = tifiles_content_create_regular(CALC_TI89);
  if (tifiles_file_read_regular(QFile::encodeName(Path).constData(), Content) != 0) return Entries;
  Model = Content->model;
  for (unsigned I = 0; I < Content->num_entries; ++I) {
    const VarEntry* E = Content->entries[I];
    Entries.push_back({E->name, E->folder, std::vector<std::uint8_t>(E->data, E->data + E->size)});
  }
  tifiles_content_delete_regular(Content);
  return Entries;
}

TEST(Batch, WritesAPictureEveryModelReadsBack) {
  struct Case {
    CalcModelId Model;
    const char* Extension;
    int ReadModel;
    TargetArea Area;
    PictureSize Size;
  };
  const std::vector<Case> Cases = {
      {CalcModelId::Ti89, "89i", CALC_TI89, TargetArea::Screen, {160, 96}},
      {CalcModelId::Ti89, "89i", CALC_TI89, TargetArea::Graph, {128, 77}},
      {CalcModelId::Ti92Plus, "9xi", CALC_TI92P, TargetArea::Screen, {200, 120}},
      {CalcModelId::Voyage200, "v2i", CALC_TI92P, TargetArea::Graph, {172, 103}},
  };
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const QString Source = Folder.filePath("My photo.png");
  ASSERT_TRUE(Photo().save(Source));
  for (const Case& C : Cases) {
    BatchOptions Options;
    Options.Model = C.Model;
    Options.Picture.Method = ToneMethod::FloydSteinberg;
    Options.Picture.Area = C.Area;
    Options.Folder = "Photos";
    Options.Files = {Source};
    QString Lines;
    QTextStream Out(&Lines);
    ASSERT_EQ(RunBatch(Options, Out), kExitDone) << Lines.toStdString();
    const QString Target = Folder.filePath(QStringLiteral("My photo.") + C.Extension);
    EXPECT_EQ(Lines, "written: " + Source + " -> " + Target + " as photos\\myphoto\n");

    const test::CalcFileContent Read = test::ReadCalcFile(Target);
    ASSERT_EQ(Read.ReadResult, 0);
    EXPECT_EQ(Read.Model, C.ReadModel);
    EXPECT_EQ(Read.Name, "myphoto");
    EXPECT_EQ(Read.Folder, "photos");
    EXPECT_EQ(Read.Type, 0x10);
    EXPECT_EQ(Read.StoredChecksum, Read.ComputedChecksum);
    const test::DecodedPic Pic = test::DecodePic(Read.Data);
    ASSERT_TRUE(Pic.Valid);
    EXPECT_EQ(PictureSize({Pic.Width, Pic.Height}), C.Size) << C.Extension;
    const MonoPicture Expected = ToMono(LoadPicture(Source), C.Size, Options.Picture);
    EXPECT_EQ(Pic.Dark, Expected.Dark);
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
  EXPECT_TRUE(Said[1].startsWith("not written: " + Files[1]) && Said[1].contains("already taken"));
  EXPECT_TRUE(Said[2].startsWith("not written: " + Files[2]) && Said[2].contains("damaged"));
  EXPECT_TRUE(Said[3].startsWith("written: " + Files[3]));
  EXPECT_TRUE(Said[4].startsWith("not written: " + Files[4]) &&
              Said[4].contains("no calculator name"));

  int Model = 0;
  const std::vector<GroupEntry> Entries = ReadGroup(Folder.filePath("all.9xg"), Model);
  ASSERT_EQ(Entries.size(), 2u);
  EXPECT_EQ(Model, CALC_TI92P);
  EXPECT_EQ(Entries[0].Name, "sea");
  EXPECT_EQ(Entries[1].Name, "hill");
  for (std::size_t I = 0; I < 2; ++I) {
    EXPECT_EQ(Entries[I].Folder, "main");
    const QImage Source = LoadPicture(Files[I == 0 ? 0 : 3]);
    EXPECT_EQ(Entries[I].Data, EncodePic(ToMono(Source, kTi92Screen, Options.Picture)));
  }
  // Nothing is written beside the files when a group is asked for.
  EXPECT_FALSE(QFile::exists(Folder.filePath("sea.9xi")));
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

}  // namespace
}  // namespace pictrane::capture
