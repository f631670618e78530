// SPDX-License-Identifier: GPL-3.0-or-later
// The capture window driven by the converter's file script, key by key, as Qt delivers keys from
// the window system: shortcuts first, then the focus widget or the open popup. The fixture and the
// test bitmaps; the tests by topic in capture_window_*_test.cpp.

#include "capture_window_test.h"

#include <QApplication>
#include <QBuffer>
#include <QDirIterator>
#include <QImage>
#include <QWindow>
#include <QtTest>

bool Pattern(int X, int Y) {
  return (X * 7 + Y * 3) % 5 < 2;
}

QByteArray SavedByQt(const QImage& Image) {
  QByteArray Bytes;
  QBuffer Buffer(&Bytes);
  Buffer.open(QIODevice::WriteOnly);
  Image.save(&Buffer, "BMP");
  return Bytes;
}

namespace {

test::IndexedPicture PatternPicture(int Width, int Height) {
  test::IndexedPicture Picture;
  Picture.Width = Width;
  Picture.Height = Height;
  Picture.Palette = {{qRgb(250, 240, 230), false}, {qRgb(30, 60, 90), true}};
  for (int Y = 0; Y < Height; ++Y) {
    for (int X = 0; X < Width; ++X) Picture.Index.push_back(Pattern(X, Y) ? 1 : 0);
  }
  return Picture;
}

}  // namespace

Bitmap MakeBitmap(Kind Which) {
  switch (Which) {
    case Kind::Odd37x23: {
      QImage Image(37, 23, QImage::Format_RGB32);
      for (int Y = 0; Y < 23; ++Y) {
        for (int X = 0; X < 37; ++X)
          Image.setPixel(X, Y, Pattern(X, Y) ? qRgb(40, 40, 40) : qRgb(230, 230, 230));
      }
      return {SavedByQt(Image), 37, 23, Pattern};
    }
    case Kind::Screen160x100Rle8:
      return {test::EncodeBmp(PatternPicture(160, 100), test::BmpVariant::Rle8), 160, 100, Pattern};
    case Kind::Double320x200: {
      // Each 2x2 block has one colour, so halving must give the pattern back exactly.
      QImage Image(320, 200, QImage::Format_RGB32);
      for (int Y = 0; Y < 200; ++Y) {
        for (int X = 0; X < 320; ++X) {
          Image.setPixel(X, Y, Pattern(X / 2, Y / 2) ? qRgb(0, 0, 160) : qRgb(255, 255, 0));
        }
      }
      return {SavedByQt(Image), 160, 100, Pattern};
    }
    case Kind::Single1x1: {
      test::IndexedPicture Picture;
      Picture.Width = Picture.Height = 1;
      Picture.Palette = {{qRgb(255, 255, 255), false}, {qRgb(0, 0, 0), true}};
      Picture.Index = {1};
      return {test::EncodeBmp(Picture, test::BmpVariant::Bpp1), 1, 1,
              [](int, int) { return true; }};
    }
    case Kind::Large640x480: {
      // Left half black, a black band over the top quarter: 640 x 480 becomes 133 x 100 by area
      // averaging; columns 0..66 (column 66 half black, 127.5 < 128) and rows 0..24 come out dark.
      QImage Image(640, 480, QImage::Format_RGB32);
      Image.fill(qRgb(255, 255, 255));
      for (int Y = 0; Y < 480; ++Y) {
        for (int X = 0; X < 640; ++X) {
          if (X < 320 || Y < 120) Image.setPixel(X, Y, qRgb(0, 0, 0));
        }
      }
      return {SavedByQt(Image), 133, 100, [](int X, int Y) { return X < 67 || Y < 25; }};
    }
    case Kind::TopDown9x5:
      return {test::EncodeBmp(PatternPicture(9, 5), test::BmpVariant::TopDown24), 9, 5, Pattern};
  }
  return {};
}

QStringList FilesEndingIn(const QString& Folder, const QStringList& Suffixes) {
  QStringList Found;
  QDirIterator It(Folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (It.hasNext()) {
    const QString Path = It.next();
    for (const QString& Suffix : Suffixes) {
      if (Path.endsWith(Suffix)) Found << Path;
    }
  }
  return Found;
}

void CaptureWindowTest::initTestCase() {
  tifiles_library_init();
  // The tool's settings go to a folder of this test's own, so no earlier run or user choice
  // changes the pictures.
  QVERIFY(Settings_.isValid());
  qputenv("XDG_CONFIG_HOME", Settings_.path().toLocal8Bit());
}

void CaptureWindowTest::init() {
  QFile::remove(Settings_.filePath(QStringLiteral("pictrane-converter/pictrane-capture.conf")));
  Dir_ = std::make_unique<QTemporaryDir>();
  QVERIFY(Dir_->isValid());
  Window_ = std::make_unique<CaptureWindow>();
  Window_->resize(900, 700);
  Window_->show();
  Window_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(Window_.get()));
}

void CaptureWindowTest::cleanup() {
  Window_.reset();
  Dir_.reset();
}

// Keys go where the window system would send them: to an open popup, which holds the keyboard
// grab (the tool's own menus and lists are not popups, but a person may open the menu bar's), or
// else to the tool's window.
QWindow* CaptureWindowTest::KeyTarget() const {
  if (QWidget* Popup = QApplication::activePopupWidget()) return Popup->windowHandle();
  return Window_->windowHandle();
}

void CaptureWindowTest::Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers) {
  QTest::keyClick(KeyTarget(), Key, Modifiers);
}

void CaptureWindowTest::Type(const QString& Text) {
  for (const uint Code : Text.toUcs4()) {
    const auto Character = static_cast<char32_t>(Code);
    const QString One = QString::fromUcs4(&Character, 1);
    QTest::sendKeyEvent(QTest::Click, KeyTarget(), static_cast<Qt::Key>(QChar::toUpper(Code)), One,
                        Qt::NoModifier);
  }
}

// The converter's file script, step by step.
void CaptureWindowTest::RunFileScript(const QString& Source, const QString& Target,
                                      const QString& Name, const QString& Folder) {
  Press(Qt::Key_F4, Qt::ControlModifier);
  Press(Qt::Key_O, Qt::ControlModifier);
  Type(Source);
  Press(Qt::Key_Return);
  Press(Qt::Key_F, Qt::AltModifier);
  Type(QStringLiteral("a"));
  Type(Target);
  Press(Qt::Key_V, Qt::AltModifier);
  Press(Qt::Key_F4);
  for (int i = 0; i < 5; ++i) Press(Qt::Key_Down);
  Press(Qt::Key_Return);
  Press(Qt::Key_Return);
  Type(Name);
  Press(Qt::Key_A, Qt::AltModifier);
  Press(Qt::Key_D, Qt::AltModifier);
  Press(Qt::Key_Delete);
  Type(Folder);
  Press(Qt::Key_Return);
}

QString CaptureWindowTest::Put(const QString& Relative, const QByteArray& Bytes) {
  const QString Path = Dir_->filePath(Relative);
  QDir().mkpath(QFileInfo(Path).absolutePath());
  if (!test::WriteFile(Path, Bytes)) qWarning("cannot write %s", qPrintable(Path));
  return Path;
}

void CaptureWindowTest::CheckWritten(const QString& Target, const QByteArray& Name,
                                     const QByteArray& Folder, const Bitmap& Expected, int Model) {
  QCOMPARE(Window_->MessageText(), QString());
  const test::CalcFileContent Read = test::ReadCalcFile(Target);
  QCOMPARE(Read.ReadResult, 0);
  QCOMPARE(Read.Model, Model);
  QCOMPARE(Read.Entries, 1u);
  QCOMPARE(QByteArray::fromStdString(Read.Name), Name);
  QCOMPARE(QByteArray::fromStdString(Read.Folder), Folder);
  QCOMPARE(Read.Type, 0x10);
  QCOMPARE(Read.Attribute, static_cast<int>(ATTRB_NONE));
  QCOMPARE(Read.StoredChecksum, Read.ComputedChecksum);
  const test::DecodedPic Pic = test::DecodePic(Read.Data);
  QVERIFY(Pic.Valid);
  QCOMPARE(Pic.Width, Expected.Width);
  QCOMPARE(Pic.Height, Expected.Height);
  int Wrong = 0;
  for (int Y = 0; Y < Pic.Height; ++Y) {
    for (int X = 0; X < Pic.Width; ++X) Wrong += Pic.DarkAt(X, Y) != Expected.Dark(X, Y) ? 1 : 0;
  }
  QCOMPARE(Wrong, 0);
}

QTEST_MAIN(CaptureWindowTest)
