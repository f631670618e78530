// SPDX-License-Identifier: GPL-3.0-or-later
// Where the batch writes and what it refuses to replace: an input, another output of the run, a
// file that is not a calculator file, run as the real program in a folder of its own.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "calc/CalcFile.h"
#include "calc/PicLayout.h"
#include "picture/PictureFile.h"

namespace pictrane::capture {
namespace {

using test::GroupEntry;
using test::Photo;
using test::ReadGroup;

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
      // Among pictures put on the disk together, one that cannot be written says so in its place.
      {R"("$TOOL" --convert a.png locked.png b.png)",
       3,
       {"written: a.png -> a.89i as main\\a (photo: levels + Floyd-Steinberg)\nnot written: "
        "locked.png: Cannot write locked.89i: the existing picture is write-protected.\nwritten: "
        "b.png -> b.89i as main\\b (photo: levels + Floyd-Steinberg)\n"},
       {{"a.89i", "a"}, {"b.89i", "b"}}},
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
