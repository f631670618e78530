// SPDX-License-Identifier: GPL-3.0-or-later
// The batch command line: option parsing, names from file names, the files it writes for every
// model and as a group (read back through libtifiles), and the real program's exit statuses and
// output, run without a display.

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
#include "cli/CommandLine.h"
#include "CalcNameTable.h"
#include "calc/CalcFile.h"
#include "pictrane/CalcName.h"
#include "calc/PicLayout.h"
#include "picture/PictureFile.h"
#include "TestSupport.h"
#include "calc/TiLibraries.h"

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
         return L.Batch.Picture == PictureOptions{} && L.Batch.Folder == "main" &&
                L.Batch.Name.isEmpty() && !L.Batch.Send;
       }},
      {{"--convert", "--dither", "atkinson", "a.png", "--send", "--cable=vti", "--port", "3",
        "b.png"},
       Action::Convert,
       [](const CommandLine& L) {
         return L.Batch.Picture.Method == ToneMethod::Atkinson && L.Batch.Send &&
                L.Batch.Send->Cable == CableKind::Virtual && L.Batch.Send->Port == 3 &&
                L.Batch.Files == QStringList{"a.png", "b.png"};
       }},
      {{"--convert", "--name", "trip#", "a.png", "b.png", "c.png"},
       Action::Convert,
       [](const CommandLine& L) { return L.Batch.Name == "trip#"; }},
      {{"--convert", "--name=trip", "a.png", "b.png"}, Action::BadUsage, Any},
      {{"--convert", "--name", "1st", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--name", "trip#x", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--name", "holidays#", "a.png"}, Action::BadUsage, Any},
      {{"--bogus"}, Action::BadUsage, Any},
      {{"--convert"}, Action::BadUsage, Any},
      {{"--convert", "--model", "83", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--model", "83p", "a.png"},
       Action::Convert,
       [](const CommandLine& L) { return L.Batch.Model == CalcModelId::Ti83Plus; }},
      {{"--convert", "--threshold", "257", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--contrast", "-101", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--folder", "1st", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "a.png", "--model"}, Action::BadUsage, Any},
      {{"--convert", "--unknown", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--cable", "vti", "--send", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--send", "--send", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--send", "--timeout", "0", "a.png"}, Action::BadUsage, Any},
  };
  for (const Case& C : Cases) {
    const CommandLine Line = ParseCommandLine(C.Arguments);
    EXPECT_EQ(Line.What, C.What) << C.Arguments.join(' ').toStdString();
    EXPECT_TRUE(C.Check(Line)) << C.Arguments.join(' ').toStdString();
    EXPECT_EQ(Line.Problem.isEmpty(), C.What != Action::BadUsage)
        << C.Arguments.join(' ').toStdString();
  }
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
      // Always the whole 96 x 63, the photo centred in it.
      {CalcModelId::Ti83Plus, "8xi", CALC_TI83P, TargetArea::Screen, {96, 63}},
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
    const bool Ti83Plus = C.Model == CalcModelId::Ti83Plus;
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

// Every file of a folder with its bytes.
std::map<QString, QByteArray> Snapshot(const QString& Folder) {
  std::map<QString, QByteArray> Files;
  for (const QString& Name : QDir(Folder).entryList(QDir::Files | QDir::Hidden)) {
    QFile File(Folder + '/' + Name);
    if (File.open(QIODevice::ReadOnly)) Files[Name] = File.readAll();
  }
  return Files;
}

TEST(Batch, NeverReplacesAnInputAnotherOutputOrAFileThatIsNotACalculatorFile) {
  // Each script runs in a fresh folder holding these files, the program as $TOOL and the stand-in
  // calculator (standin_calc.cpp) as $STANDIN. No file there may change; a refused command line
  // (status 2) writes nothing at all.
  struct Case {
    const char* Script;
    int Status;
    QStringList Says;  // on standard output, or on standard error for status 2
    // Calculator files written, with the variable names read back from them
    std::vector<std::pair<QString, std::string>> Stored = {};
  };
  const std::vector<Case> Cases = {
      {R"("$TOOL" --convert --group *.png)",
       2,
       {"--group: the group a.png would replace a file that is not a group file (is the group's "
        "name missing?)"}},
      {R"("$TOOL" --convert --group ./a.png a.png b.png)",
       2,
       {"--group: the group ./a.png would replace a.png, one of the files to convert"}},
      {R"("$TOOL" --convert shot.89i)",
       3,
       {"not written: shot.89i: its picture shot.89i would replace shot.89i, one of the files"}},
      {R"("$TOOL" --convert holiday.bmp holiday.png)",
       3,
       {"written: holiday.bmp -> holiday.89i as main\\holiday (photo: levels + Floyd-Steinberg)\n",
        "not written: holiday.png: its picture holiday.89i is already holiday.bmp's\n"}},
      {R"("$TOOL" --convert --group text b.png)",
       2,
       {"the group text.89g would replace a file that"}},
      {R"("$TOOL" --convert locked.png)", 3, {"the existing picture is write-protected"}},
      {R"("$TOOL" --convert --invert=1 a.png)", 2, {"--invert takes no value"}},
      {R"sh("$TOOL" --convert "$(printf 'caf\351.png')" && test -f "$(printf 'caf\351.89i')")sh",
       0,
       {"written: caf\\xE9.png -> caf\\xE9.89i as main\\caf (photo: levels + Floyd-Steinberg)\n"}},
      // The window opens a picture whose name is not UTF-8 too: its title names it.
      {R"sh(HOME="$PWD/.home" QT_QPA_PLATFORM=xcb xvfb-run -a sh -c '"$TOOL" "$(printf "caf\351.png")" &
          timeout 20 xdotool search --sync --name "^caf.*png - Pictrane Capture$" >/dev/null;
          s=$?; kill $!; exit $s')sh",
       0,
       {}},
      // Names that collide keep the part of their files' names that differs, whatever the order.
      {R"("$TOOL" --convert astronaut_1024x768.png astronaut_160x100.png)",
       0,
       {"-> astronaut_1024x768.89i as main\\ast1024x (photo: levels + Floyd-Steinberg)\n",
        "-> astronaut_160x100.89i as main\\ast160x1 (photo: levels + Floyd-Steinberg)\n"},
       {{"astronaut_1024x768.89i", "ast1024x"}, {"astronaut_160x100.89i", "ast160x1"}}},
      {R"(for t in 20240101_120000 20240101_120500 20240215_083000 20240310_174512 \
          20241224_190000; do cp a.png IMG_$t.png; done &&
          "$TOOL" --convert $(ls IMG_*.png | sort -r))",
       0,
       {"written: IMG_20241224_190000.png -> IMG_20241224_190000.89i as main\\im190000 (photo: "
        "levels + Floyd-Steinberg)\n"
        "written: IMG_20240310_174512.png -> IMG_20240310_174512.89i as main\\im174512 (photo: "
        "levels + Floyd-Steinberg)\n"
        "written: IMG_20240215_083000.png -> IMG_20240215_083000.89i as main\\im083000 (photo: "
        "levels + Floyd-Steinberg)\n"
        "written: IMG_20240101_120500.png -> IMG_20240101_120500.89i as main\\im120500 (photo: "
        "levels + Floyd-Steinberg)\n"
        "written: IMG_20240101_120000.png -> IMG_20240101_120000.89i as main\\im120000 (photo: "
        "levels + Floyd-Steinberg)\n"},
       {{"IMG_20241224_190000.89i", "im190000"},
        {"IMG_20240310_174512.89i", "im174512"},
        {"IMG_20240215_083000.89i", "im083000"},
        {"IMG_20240101_120500.89i", "im120500"},
        {"IMG_20240101_120000.89i", "im120000"}}},
      // A TI-83 Plus picture is the Pic --name gives, one of its ten, or none.
      {R"("$TOOL" --convert --model 83p --name Pic5 a.png)",
       0,
       {"-> a.8xi as Pic5 (photo: levels + Floyd-Steinberg)\n"}},
      {R"("$TOOL" --convert --model 83p --name trip a.png)",
       2,
       {"--name: \"trip\" is not a TI-83 Plus picture: Pic0 to Pic9"}},
      // The calculator's own pictures are never replaced without a word.
      {R"(cp a.png IMG_20240612_183015.png && unshare -r --ipc "$STANDIN" --hold 'main\im183015' \
          -- "$TOOL" --convert --send --cable vti IMG_20240612_183015.png 2>/dev/null)",
       0,
       {"sent: IMG_20240612_183015.png -> IMG_20240612_183015.89i as main\\im1830_1 "
        "(main\\im183015 is on the calculator already) (photo: levels + Floyd-Steinberg)\n"}},
      {R"(unshare -r --ipc "$STANDIN" --model 83p --hold Pic1 --hold Pic2 -- "$TOOL" --convert \
          --model 83p --send --cable vti a.png b.png 2>/dev/null)",
       0,
       {"-> a.8xi as Pic3 (Pic1 is on the calculator already) (photo: levels + Floyd-Steinberg)\n",
        "-> b.8xi as Pic4 (photo: levels + Floyd-Steinberg)\n"}},
      // A phone photo alone keeps its time of day; two of one second on two days, one each.
      {R"(cp a.png IMG_20240612_183015.jpg && cp a.png IMG_20240613_183015.png &&
          "$TOOL" --convert IMG_20240612_183015.jpg IMG_20240613_183015.png)",
       0,
       {"-> IMG_20240612_183015.89i as main\\im183015 (photo: levels + Floyd-Steinberg)\n",
        "-> IMG_20240613_183015.89i as main\\im1830_1 (main\\im183015 is taken by "
        "IMG_20240612_183015.jpg) (photo: levels + Floyd-Steinberg)\n"}},
      {R"("$TOOL" --convert --name 'trip#' a.png b.png holiday.png)",
       0,
       {"written: a.png -> a.89i as main\\trip1 (photo: levels + Floyd-Steinberg)\nwritten: b.png "
        "-> b.89i as main\\trip2 (photo: levels + Floyd-Steinberg)\n"
        "written: holiday.png -> holiday.89i as main\\trip3 (photo: levels + Floyd-Steinberg)\n"},
       {{"a.89i", "trip1"}, {"b.89i", "trip2"}, {"holiday.89i", "trip3"}}},
      {R"("$TOOL" --convert --group all --name 'Trip#' a.png b.png)",
       0,
       {"-> all.89g as main\\trip1 (photo: levels + Floyd-Steinberg)\n",
        "-> all.89g as main\\trip2 (photo: levels + Floyd-Steinberg)\n"},
       {{"all.89g", "trip1 trip2"}}},
      {R"("$TOOL" --convert --name trip a.png b.png)",
       2,
       {"pictrane-capture: --name: \"trip\" names one picture, but 2 files are given (\"trip#\" "
        "numbers them)\n"}},
      {R"("$TOOL" --convert --name 1st a.png)",
       2,
       {"pictrane-capture: --name: \"1st\" is not a calculator name"}},
      {R"(mkdir full && unshare -rm sh -c 'mount -t tmpfs -o size=12k none full &&
          cp a.png full/ && { cat /dev/zero >full/fill; } 2>/dev/null;
          exec "$TOOL" --convert full/a.png')",
       3,
       {"the disk is full"}},
      // On a full disk a PNG of --to-png or --screenshot stays as it was.
      {R"(mkdir full && unshare -rm sh -c 'mount -t tmpfs -o size=16k none full &&
          "$TOOL" --to-png pic.89i >/dev/null && mv pic.89i.png full/ && cp pic.89i full/ &&
          cp full/pic.89i.png full/old && { cat /dev/zero >full/fill; } 2>/dev/null;
          "$TOOL" --to-png full/pic.89i; s=$?; cmp full/pic.89i.png full/old || s=9; exit $s')",
       3,
       {"not written: full/pic.89i.png: Cannot write full/pic.89i.png: the disk is full.\n"}},
      {R"(mkdir full && unshare -rm --ipc sh -c 'mount -t tmpfs -o size=16k none full &&
          cp a.png full/shot.png && { cat /dev/zero >full/fill; } 2>/dev/null;
          "$STANDIN" -- "$TOOL" --screenshot --cable vti full/shot.png 2>/dev/null; s=$?;
          cmp full/shot.png a.png || s=9; exit $s')",
       3,
       {"not written: full/shot.png: Cannot write full/shot.png: the disk is full.\n"}},
      // A document at a picture's name stays, whoever would write the picture.
      {R"("$TOOL" --convert notes.bmp)",
       3,
       {"not written: notes.bmp: its picture notes.89i would replace a file that is not a "
        "calculator file, which is left as it is\n"}},
      {R"(unshare -r --ipc "$STANDIN" -- "$TOOL" --screenshot --cable vti notes.89i 2>/dev/null)",
       3,
       {"not written: notes.89i: Cannot write notes.89i: it is not a calculator file, so it is "
        "left as it is.\n"}},
      // A calculator file cut short, as an interrupted copy leaves it, is named as such.
      {R"(head -c 90 pic.89i >cut.89i && "$TOOL" --to-png cut.89i)",
       3,
       {"not written: cut.89i: the file is damaged or cut short\n"}},
      {R"(head -c 90 pic.89i >cut.89i &&
          unshare -r --ipc "$STANDIN" -- "$TOOL" --send --cable vti cut.89i 2>/dev/null)",
       3,
       {"not sent: cut.89i: the file is damaged or cut short\n"}},
      // Any name the system gives, UTF-8 or not, for --to-png and the link.
      {R"sh(cp pic.89i "$(printf 'caf\351.89i')" && "$TOOL" --to-png "$(printf 'caf\351.89i')" &&
          test -f "$(printf 'caf\351.89i.png')")sh",
       0,
       {"written: caf\\xE9.89i -> caf\\xE9.89i.png\n"}},
      {R"sh(cp pic.89i "$(printf 'caf\351.89i')" && unshare -r --ipc "$STANDIN" -- "$TOOL" --send \
          --cable vti "$(printf 'caf\351.89i')" 2>/dev/null)sh",
       0,
       {"sent: caf\\xE9.89i\n"}},
      // A group holding one name in two folders gives a PNG for each.
      {R"("$TOOL" --to-png backup.89g && ! cmp -s backup.89g-main-a.png backup.89g-games-a.png)",
       0,
       {"written: backup.89g -> backup.89g-main-a.png\n",
        "written: backup.89g -> backup.89g-games-a.png\n"}},
      // No letter a calculator name takes: the batch's fallback names, distinct, said.
      {R"(cp a.png 'Привет мир.png' && cp b.png 日本語.png &&
          "$TOOL" --convert 'Привет мир.png' 日本語.png && test -f 'Привет мир.89i')",
       0,
       {"written: Привет мир.png -> Привет мир.89i as main\\pic1 (\"Привет мир\" holds no "
        "letter a calculator name takes) (photo: levels + Floyd-Steinberg)\n",
        "-> 日本語.89i as main\\pic2 ("}},
  };
  const bool CanMount = QProcess::execute("unshare", {"-rm", "true"}) == 0;
  for (const Case& C : Cases) {
    if (QByteArray(C.Script).contains("unshare") && !CanMount) continue;
    QTemporaryDir Folder;
    ASSERT_TRUE(Folder.isValid());
    QImage Small = Photo().scaled(16, 10);
    for (const char* Name : {"a.png", "b.png", "holiday.png", "locked.png",
                             "astronaut_1024x768.png", "astronaut_160x100.png"}) {
      ASSERT_TRUE(Small.save(Folder.filePath(Name)));
      Small = Small.mirrored();
    }
    ASSERT_TRUE(Small.save(Folder.filePath("holiday.bmp"), "BMP"));
    ASSERT_TRUE(Small.save(Folder.filePath("shot.89i"), "BMP"));
    ASSERT_TRUE(test::WriteFile(Folder.filePath("text.89g"), "notes\n"));
    ASSERT_TRUE(Small.save(Folder.filePath("notes.bmp"), "BMP"));
    ASSERT_TRUE(test::WriteFile(Folder.filePath("notes.89i"), "Dear diary,\n"));
    const CalcPicture Old{CalcModelId::Ti89, U"old", U"main", EncodePic(ToMono(Small, {16, 10}))};
    WriteCalcPicture(Folder.filePath("locked.89i").toStdString(), Old);
    ASSERT_TRUE(QFile::setPermissions(Folder.filePath("locked.89i"), QFile::ReadOwner));
    WriteCalcPicture(Folder.filePath("pic.89i").toStdString(), Old);
    const CalcPicture Main{CalcModelId::Ti89, U"a", U"main", EncodePic({2, 1, {1, 0}})};
    const CalcPicture Other{CalcModelId::Ti89, U"a", U"games", EncodePic({2, 1, {0, 1}})};
    WriteCalcGroup(Folder.filePath("backup.89g").toStdString(), CalcModelId::Ti89, {Main, Other});
    // A name that is not UTF-8 ("caf" and the Latin-1 byte of é).
    ASSERT_EQ(QProcess::execute("sh", {"-c", R"sh(cd "$0" && cp a.png "$(printf 'caf\351.png')")sh",
                                       Folder.path()}),
              0);
    const std::map<QString, QByteArray> Before = Snapshot(Folder.path());

    QProcess Process;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.remove("DISPLAY");
    Environment.insert("TOOL", PICTRANE_CAPTURE_PATH);
    Environment.insert("STANDIN", PICTRANE_STANDIN_PATH);
    Process.setProcessEnvironment(Environment);
    Process.setWorkingDirectory(Folder.path());
    Process.start("sh", {"-c", C.Script});
    Process.waitForFinished(30000);
    const QString Out = QString::fromUtf8(Process.readAllStandardOutput());
    const QString Err = QString::fromUtf8(Process.readAllStandardError());
    EXPECT_EQ(Process.exitCode(), C.Status) << C.Script << "\n"
                                            << Out.toStdString() << Err.toStdString();
    for (const QString& Said : C.Says) {
      EXPECT_TRUE((C.Status == 2 ? Err : Out).contains(Said))
          << C.Script << "\n"
          << Out.toStdString() << Err.toStdString();
    }
    for (const auto& [File, Names] : C.Stored) {
      int Model = 0;
      std::string Read;
      for (const GroupEntry& Entry : ReadGroup(Folder.filePath(File), Model)) {
        Read += (Read.empty() ? "" : " ") + Entry.Name;
      }
      EXPECT_EQ(Read, Names) << C.Script << ": " << File.toStdString();
    }
    const std::map<QString, QByteArray> After = Snapshot(Folder.path());
    for (const auto& [Name, Bytes] : Before) {
      EXPECT_EQ(After.at(Name), Bytes) << C.Script << ": " << Name.toStdString();
    }
    EXPECT_TRUE(C.Status != 2 || After.size() == Before.size()) << C.Script;
    // Qt cannot name what is not UTF-8 to remove it.
    QProcess::execute("sh", {"-c", R"(rm -f "$0"/caf*)", Folder.path()});
  }
}

}  // namespace
}  // namespace pictrane::capture
