// SPDX-License-Identifier: GPL-3.0-or-later
// The converter's file script typed into the capture window: the pictures it writes, bad input
// that writes nothing, the save-type list and Ctrl+F4.

#include <algorithm>
#include <initializer_list>

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QStatusBar>
#include <QtTest>

#include "picture/PictureFile.h"
#include "capture_window_test.h"

void CaptureWindowTest::scriptWritesThePicture_data() {
  QTest::addColumn<QString>("source");
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("folder");
  QTest::addColumn<QByteArray>("storedName");
  QTest::addColumn<QByteArray>("storedFolder");

  QTest::newRow("blank and plus, odd width")
      << "pics/holiday pic+1.bmp" << int(Kind::Odd37x23) << "holiday pic+1"
      << "main" << QByteArray("holidayp") << QByteArray("main");
  QTest::newRow("send-keys specials, RLE8")
      << "odd +^%~(){}[] dir/a+^%~(){}[]b.bmp" << int(Kind::Screen160x100Rle8) << "a+^%~(){}[]b"
      << "Pics_2" << QByteArray("ab") << QByteArray("pics_2");
  QTest::newRow("accented letters, halved")
      << "Bilder ä/Ünïcødé été.bmp" << int(Kind::Double320x200) << "Ünïcødé été"
      << "Größe"
      << QByteArray(
             "\xFCn\xEF"
             "c\xF8"
             "d\xE9\xE9")
      << QByteArray(
             "gr\xF6\xDF"
             "e");
  QTest::newRow("greek letters, 1x1") << "Ω/ΔΣ photo.bmp" << int(Kind::Single1x1) << "ΔΣ photo"
                                      << "ΩMEGA"
                                      << QByteArray(
                                             "\x85\x8F"
                                             "photo")
                                      << QByteArray("\x94mega");
  QTest::newRow("long name, 640x480")
      << "big/Camera 0001.bmp" << int(Kind::Large640x480) << "Camera 0001"
      << "main" << QByteArray("camera00") << QByteArray("main");
  QTest::newRow("hyphen, top-down") << "td/Top-down.bmp" << int(Kind::TopDown9x5) << "Top-down"
                                    << "main" << QByteArray("topdown") << QByteArray("main");
  // No letter a calculator name takes: the panel's proposal, the batch's fallback, stays.
  for (const QString Name : {"Привет мир", "日本語", "жук", "~~~", "+", "(1)"}) {
    QTest::newRow(qPrintable("no letter: " + Name))
        << "x/" + Name + ".bmp" << int(Kind::Odd37x23) << Name << "main" << QByteArray("pic1")
        << QByteArray("main");
  }
}

void CaptureWindowTest::scriptWritesThePicture() {
  QFETCH(QString, source);
  QFETCH(int, kind);
  QFETCH(QString, name);
  QFETCH(QString, folder);
  QFETCH(QByteArray, storedName);
  QFETCH(QByteArray, storedFolder);

  const Bitmap Expected = MakeBitmap(static_cast<Kind>(kind));
  const QString Source = Put(source, Expected.Bytes);
  const QString Target = Source.chopped(4) + QStringLiteral(".89i");
  RunFileScript(Source, Target, name, folder);
  CheckWritten(Target, storedName, storedFolder, Expected);
  QCOMPARE(FilesEndingIn(Dir_->path(), {".89i", ".tmp"}), QStringList{Target});
  QCOMPARE(Window_->PicturePath(), Source);
  QCOMPARE(Window_->statusBar()->currentMessage().contains("holds no letter a calculator name"),
           storedName == "pic1");
}

void CaptureWindowTest::badInputShowsMessageWritesNothingAndNextFileWorks_data() {
  QTest::addColumn<QString>("source");
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("target");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("folder");
  QTest::addColumn<QByteArray>("there");  // a file at the target beforehand, which must stay

  const QByteArray Good = MakeBitmap(Kind::Odd37x23).Bytes;
  QTest::newRow("corrupt bitmap") << "broken.bmp" << QByteArray("BM\x12\x34 not really a bitmap")
                                  << "broken.89i"
                                  << "broken"
                                  << "main" << QByteArray();
  // Cut short after the headers and half its pixels: Qt alone would read a partly black picture.
  QTest::newRow("truncated bitmap") << "cut.bmp" << Good.left(Good.size() / 2) << "cut.89i"
                                    << "cut"
                                    << "main" << QByteArray();
  QTest::newRow("text named .bmp") << "notes.bmp" << QByteArray("Dear diary,\n") << "notes.89i"
                                   << "notes"
                                   << "main" << QByteArray();
  QTest::newRow("missing bitmap") << "" << QByteArray() << "gone.89i"
                                  << "gone"
                                  << "main" << QByteArray();
  QTest::newRow("nothing valid in the folder") << "pic.bmp" << Good << "pic.89i"
                                               << "pic"
                                               << "123" << QByteArray();
  QTest::newRow("target folder missing") << "pic.bmp" << Good << "nowhere/pic.89i"
                                         << "pic"
                                         << "main" << QByteArray();
  QTest::newRow("target folder is a file") << "pic.bmp" << Good << "pic.bmp/pic.89i"
                                           << "pic"
                                           << "main" << QByteArray();
  QTest::newRow("text at the picture's name") << "notes.bmp" << Good << "notes.89i"
                                              << "notes"
                                              << "main" << QByteArray("Dear diary,\n");
}

void CaptureWindowTest::badInputShowsMessageWritesNothingAndNextFileWorks() {
  QFETCH(QString, source);
  QFETCH(QByteArray, bytes);
  QFETCH(QString, target);
  QFETCH(QString, name);
  QFETCH(QString, folder);
  QFETCH(QByteArray, there);

  const QString Source = source.isEmpty() ? Dir_->filePath("missing.bmp") : Put(source, bytes);
  const QString Target = Dir_->filePath(target);
  if (!there.isEmpty()) Put(target, there);
  RunFileScript(Source, Target, name, folder);
  QVERIFY2(!Window_->MessageText().isEmpty(), "no message shown");
  QVERIFY(Window_->isVisible());
  QCOMPARE(FilesEndingIn(Dir_->path(), {".89i", ".tmp"}),
           there.isEmpty() ? QStringList() : QStringList{Target});
  if (!there.isEmpty()) {
    QFile Kept(Target);
    QVERIFY(Kept.open(QIODevice::ReadOnly));
    QCOMPARE(Kept.readAll(), there);
  }

  // The next file's script starts with Ctrl+F4 and must work as if nothing had happened.
  const Bitmap Next = MakeBitmap(Kind::Odd37x23);
  const QString NextSource = Put("next/after error.bmp", Next.Bytes);
  const QString NextTarget = NextSource.chopped(4) + QStringLiteral(".89i");
  RunFileScript(NextSource, NextTarget, "after error", "main");
  CheckWritten(NextTarget, "aftererr", "main", Next);
}

// The list keeps the type chosen last; Down pressed five times still ends on the TI-89 picture,
// the last entry, wherever it starts.
void CaptureWindowTest::saveTypeListReachesTi89FromAnyEntry() {
  const Bitmap Double = MakeBitmap(Kind::Double320x200);
  const QString Source = Put("types/shot.bmp", Double.Bytes);
  Press(Qt::Key_O, Qt::ControlModifier);
  Type(Source);
  Press(Qt::Key_Return);
  // Save As to types/Name, the entry reached by Keys in the opened list, then Returns.
  const auto SaveAs = [this](const QString& Name, std::initializer_list<Qt::Key> Keys,
                             int Returns) {
    Press(Qt::Key_F, Qt::AltModifier);
    Type("a" + Dir_->filePath("types/" + Name));
    Press(Qt::Key_V, Qt::AltModifier);
    Press(Qt::Key_F4);
    for (const Qt::Key K : Keys) Press(K);
    for (int I = 0; I < Returns; ++I) Press(Qt::Key_Return);
  };

  // TI-92 picture, the third entry, three above the TI-89's where the list opens: fitted to its
  // 240 x 128 screen.
  SaveAs("shot.92i", {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up}, 2);
  Type("shot");
  Press(Qt::Key_Return);
  const Bitmap Halved = MakeBitmap(Kind::Double320x200);
  const test::CalcFileContent Ti92 = test::ReadCalcFile(Dir_->filePath("types/shot.92i"));
  QCOMPARE(Ti92.ReadResult, 0);
  QCOMPARE(Ti92.Model, static_cast<int>(CALC_TI92));
  const test::DecodedPic Pic92 = test::DecodePic(Ti92.Data);
  QVERIFY(Pic92.Valid);
  QCOMPARE(Pic92.Width, 205);
  QCOMPARE(Pic92.Height, 128);

  // The TI-92 is the model now; back to the TI-89's screen for a monochrome bitmap, the first
  // entry, saved without the variable panel.
  QCOMPARE(Window_->Model(), pictrane::capture::CalcModelId::Ti92);
  Window_->SetModel(pictrane::capture::CalcModelId::Ti89);
  SaveAs("shot-mono.bmp", {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up}, 2);
  QCOMPARE(Window_->MessageText(), QString());
  const QImage Mono = pictrane::capture::LoadPicture(Dir_->filePath("types/shot-mono.bmp"));
  QCOMPARE(Mono.size(), QSize(160, 100));
  QCOMPARE(qGray(Mono.pixel(0, 0)) < 128, Pattern(0, 0));
  QCOMPARE(qGray(Mono.pixel(3, 1)) < 128, Pattern(3, 1));

  // And the whole script, starting from the remembered first entry, writes a TI-89 picture.
  const QString Target = Dir_->filePath("types/shot.89i");
  RunFileScript(Source, Target, "shot", "main");
  CheckWritten(Target, "shot", "main", Halved);

  // The TI-83 Plus picture after it, past where Down stops: End and Up reach it (the colour
  // calculators' Pic and Image come last), named Pic1.
  SaveAs("shot.8xi", {Qt::Key_End, Qt::Key_Up, Qt::Key_Up}, 3);
  QCOMPARE(Window_->MessageText(), QString());
  const test::CalcFileContent Ti83 = test::ReadCalcFile(Dir_->filePath("types/shot.8xi"));
  QCOMPARE(Ti83.ReadResult, 0);
  QCOMPARE(Ti83.Model, static_cast<int>(CALC_TI83P));
  QCOMPARE(Ti83.StoredChecksum, Ti83.ComputedChecksum);
  const test::DecodedPic Pic83 = test::DecodePic(Ti83.Data);
  QVERIFY(Pic83.Valid);
  QCOMPARE(QSize(Pic83.Width, Pic83.Height), QSize(96, 63));
  // 320 x 200 fits as 96 x 60, centred: the rows above and below it stay light.
  const auto Light = [](auto From, auto To) {
    return std::none_of(From, To, [](auto D) { return D; });
  };
  QVERIFY(Light(Pic83.Dark.begin(), Pic83.Dark.begin() + 96));
  QVERIFY(Light(Pic83.Dark.end() - 2 * 96, Pic83.Dark.end()));
  QVERIFY(!Light(Pic83.Dark.begin() + 96, Pic83.Dark.end() - 2 * 96));

  // The colour calculators' Image, the last entry: Image1, archived, of the picture in colour.
  SaveAs("shot.8ca", {Qt::Key_End}, 3);
  QCOMPARE(Window_->MessageText(), QString());
  QCOMPARE(Window_->Model(), pictrane::capture::CalcModelId::Ti84PlusCe);
  const test::CalcFileContent Ce = test::ReadCalcFile(Dir_->filePath("types/shot.8ca"));
  QCOMPARE(Ce.ReadResult, 0);
  QCOMPARE(Ce.Type, 0x1A);
  QCOMPARE(Ce.Attribute, static_cast<int>(ATTRB_ARCHIVED));
  QCOMPARE(Ce.StoredChecksum, Ce.ComputedChecksum);
  QVERIFY(Window_->statusBar()->currentMessage().contains("as Image1"));
  // The view shows the Image saved, not the Pic.
  const QList<QLabel*> Labels = Window_->statusBar()->findChildren<QLabel*>();
  QVERIFY(std::any_of(Labels.begin(), Labels.end(),
                      [](const QLabel* L) { return L->text().contains("RGB565"); }));
}

void CaptureWindowTest::ctrlF4DismissesAnOpenListAndPanel() {
  const QString Source = Put("p.bmp", MakeBitmap(Kind::Odd37x23).Bytes);
  Press(Qt::Key_O, Qt::ControlModifier);
  Type(Source);
  Press(Qt::Key_Return);
  QVERIFY(Window_->HasPicture());
  Press(Qt::Key_F, Qt::AltModifier);
  Type("a");
  Press(Qt::Key_V, Qt::AltModifier);
  Press(Qt::Key_F4);
  QVERIFY(Window_->HasDropDown());
  Press(Qt::Key_F4, Qt::ControlModifier);
  QVERIFY(!Window_->HasDropDown());
  QVERIFY(!Window_->HasPicture());
  // Stray keys with no panel open change nothing and write nothing.
  Type("x");
  Press(Qt::Key_Return);
  Press(Qt::Key_Delete);
  QVERIFY(Window_->isVisible());
  QCOMPARE(Window_->MessageText(), QString());
  QCOMPARE(FilesEndingIn(Dir_->path(), {".89i", ".tmp"}), QStringList());
}
