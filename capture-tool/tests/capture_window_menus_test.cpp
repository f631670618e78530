// SPDX-License-Identifier: GPL-3.0-or-later
// The capture window's menus, panels and options from the keyboard: closing the tool, mnemonics
// and the About box, Save As over the open picture, and the Picture menu's remembered choices.

#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QtTest>

#include "BatchConvert.h"
#include "PictureFile.h"
#include "PixelConversion.h"
#include "capture_window_test.h"

void CaptureWindowTest::fileMenuOrAltF4ClosesTheTool_data() {
  QTest::addColumn<bool>("throughMenu");
  QTest::newRow("Alt+F4") << false;
  QTest::newRow("Alt+F, X") << true;
}

void CaptureWindowTest::fileMenuOrAltF4ClosesTheTool() {
  QFETCH(bool, throughMenu);
  if (throughMenu) {
    Press(Qt::Key_F, Qt::AltModifier);
    QVERIFY(Window_->HasDropDown());
    Type("x");
  } else {
    Press(Qt::Key_F4, Qt::AltModifier);
  }
  QVERIFY(!Window_->isVisible());
}

// Every menu and item has a mnemonic, no label spells out its shortcut, and no menu title takes a
// panel's letter (Alt+A, D, N, V). Alt+H, A shows the About box; the script's keys still work.
void CaptureWindowTest::menusHaveMnemonicsAndHelpShowsAbout() {
  QVERIFY(!Window_->windowIcon().isNull());
  for (QAction* Title : Window_->menuBar()->actions()) {
    const QString Key = QKeySequence::mnemonic(Title->text()).toString();
    QVERIFY2(!Key.isEmpty() && !QStringList({"Alt+A", "Alt+D", "Alt+N", "Alt+V"}).contains(Key),
             qPrintable(Title->text()));
    for (QAction* Item : Title->menu()->actions()) {
      if (Item->isSeparator()) continue;
      QVERIFY2(
          Item->text().contains('&') && !Item->text().contains('(') && !Item->text().contains('\t'),
          qPrintable(Item->text()));
    }
  }
  Press(Qt::Key_H, Qt::AltModifier);
  Type("a");
  QMessageBox* About = nullptr;
  QTRY_VERIFY((About = Window_->findChild<QMessageBox*>()) != nullptr && About->isVisible());
  const QString Text = About->text() + About->informativeText();
  for (const QString& Part :
       {QStringLiteral("Pictrane Capture %1").arg(pictrane::capture::kToolVersion),
        QStringLiteral("GPL-3.0-or-later"),
        Settings_.filePath(QStringLiteral("pictrane-converter/pictrane-capture.conf"))}) {
    QVERIFY2(Text.contains(Part), qPrintable(Text));
  }
  About->close();
  Window_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(Window_.get()));

  const Bitmap Expected = MakeBitmap(Kind::Odd37x23);
  const QString Source = Put("after about.bmp", Expected.Bytes);
  RunFileScript(Source, Dir_->filePath("after about.89i"), "after", "main");
  CheckWritten(Dir_->filePath("after about.89i"), "after", "main", Expected);
}

void CaptureWindowTest::saveAsOverTheOpenPictureAsksFirst_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("alt");
  QTest::addColumn<bool>("replaced");
  QTest::newRow("Enter, the default") << int(Qt::Key_Return) << false << false;
  QTest::newRow("Esc") << int(Qt::Key_Escape) << false << false;
  QTest::newRow("N") << int(Qt::Key_N) << false << false;
  QTest::newRow("Y") << int(Qt::Key_Y) << false << true;
  QTest::newRow("Alt+Y") << int(Qt::Key_Y) << true << true;
}

// Alt+F, A, the monochrome bitmap type and Enter propose the open picture itself: only Y
// replaces it. Any other answer goes back to Save As, where the proposed name follows the type
// chosen.
void CaptureWindowTest::saveAsOverTheOpenPictureAsksFirst() {
  QFETCH(int, answer);
  QFETCH(bool, alt);
  QFETCH(bool, replaced);
  const Bitmap Photo = MakeBitmap(Kind::Large640x480);
  const QString Source = Put("photo.bmp", Photo.Bytes);
  QVERIFY(Window_->OpenPicture(Source));
  Press(Qt::Key_F, Qt::AltModifier);
  Type("a");
  Press(Qt::Key_V, Qt::AltModifier);
  Press(Qt::Key_F4);
  Press(Qt::Key_Home);
  Press(Qt::Key_Return);
  Press(Qt::Key_Return);
  QVERIFY2(Window_->MessageText().contains(Source), qPrintable(Window_->MessageText()));
  Type("x");  // stray keys answer nothing
  Press(static_cast<Qt::Key>(answer), alt ? Qt::AltModifier : Qt::NoModifier);
  QCOMPARE(Window_->MessageText(), QString());
  QFile Read(Source);
  QVERIFY(Read.open(QIODevice::ReadOnly));
  QCOMPARE(Read.readAll() == Photo.Bytes, !replaced);
  if (replaced) {
    QCOMPARE(pictrane::capture::LoadPicture(Source).size(), QSize(Photo.Width, Photo.Height));
    return;
  }
  Press(Qt::Key_V, Qt::AltModifier);
  Press(Qt::Key_F4);
  for (int i = 0; i < 5; ++i) Press(Qt::Key_Down);
  Press(Qt::Key_Return);
  Press(Qt::Key_Return);
  Type("photo");
  Press(Qt::Key_Return);
  CheckWritten(Dir_->filePath("photo.89i"), "photo", "main", Photo);
}

// The Picture menu from the keyboard: its shortcuts and, through Alt+P, its mnemonics. The result
// shown follows every change; the keystroke-driven save writes what is shown; a new window (a new
// run of the tool) starts with the same choices.
void CaptureWindowTest::pictureOptionsShowAreSavedAndRemembered() {
  using namespace pictrane::capture;
  QImage Photo(640, 480, QImage::Format_RGB32);
  for (int Y = 0; Y < 480; ++Y) {
    for (int X = 0; X < 640; ++X) Photo.setPixel(X, Y, qRgb(X * 255 / 639, Y * 255 / 479, 128));
  }
  const Bitmap Source{SavedByQt(Photo), 0, 0, {}};
  const QString Path = Put(QStringLiteral("photo.bmp"), Source.Bytes);
  QVERIFY(Window_->OpenPicture(Path));
  QCOMPARE(Window_->Options(), PictureOptions{});
  const QImage Loaded = LoadPicture(Path);
  QCOMPARE(Window_->Shown().Dark, ToMono(Loaded, kTi89Screen).Dark);
  // Shown at the largest whole-number zoom its half of the window allows (here 900 x 700).
  const auto Zooms = [this] {
    QList<QSize> Sizes;
    for (const QLabel* Label : Window_->findChildren<QLabel*>()) {
      if (!Label->pixmap().isNull()) Sizes << Label->pixmap().size();
    }
    return Sizes;
  };
  QTRY_VERIFY(Zooms().contains(QSize(133 * 3, 100 * 3)));

  Press(Qt::Key_2, Qt::ControlModifier);   // Floyd-Steinberg
  Press(Qt::Key_Up, Qt::ControlModifier);  // lighter
  Press(Qt::Key_I, Qt::ControlModifier);   // invert
  Press(Qt::Key_P, Qt::AltModifier);       // the Picture menu
  Type(QStringLiteral("g"));               // graph screen
  PictureOptions Expected;
  Expected.Method = ToneMethod::FloydSteinberg;
  Expected.Brightness = 10;
  Expected.Invert = true;
  Expected.Area = TargetArea::Graph;
  QCOMPARE(Window_->Options(), Expected);
  const MonoPicture Shown = ToMono(Loaded, kTi89Graph, Expected);
  QCOMPARE(Window_->Shown().Width, 103);
  QCOMPARE(Window_->Shown().Dark, Shown.Dark);

  const QString Target = Dir_->filePath(QStringLiteral("photo.89i"));
  RunFileScript(Path, Target, QStringLiteral("photo"), QStringLiteral("main"));
  CheckWritten(Target, "photo", "main",
               {{}, Shown.Width, Shown.Height, [&Shown](int X, int Y) { return Shown.At(X, Y); }});

  Window_ = std::make_unique<CaptureWindow>();
  QCOMPARE(Window_->Options(), Expected);
  Window_->show();
  Window_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(Window_.get()));
  Press(Qt::Key_0, Qt::ControlModifier);  // reset
  QCOMPARE(Window_->Options(), PictureOptions{});
}
