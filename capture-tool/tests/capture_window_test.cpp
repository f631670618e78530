// SPDX-License-Identifier: GPL-3.0-or-later
// The capture window driven by the converter's file script, key by key, as Qt delivers keys from
// the window system: shortcuts first, then the focus widget or the open popup.

#include <QApplication>
#include <QDirIterator>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>
#include <functional>
#include <memory>

#include "BatchConvert.h"
#include "CaptureWindow.h"
#include "PictureFile.h"
#include "PixelConversion.h"
#include "TestSupport.h"
#include "TiLibraries.h"

using pictrane::capture::CaptureWindow;
namespace test = pictrane::capture::test;

namespace {

bool Pattern(int X, int Y) {
  return (X * 7 + Y * 3) % 5 < 2;
}

// A test bitmap: its bytes and the one-bit picture the tool must make of it.
struct Bitmap {
  QByteArray Bytes;
  int Width = 0;
  int Height = 0;
  std::function<bool(int, int)> Dark;
};

QByteArray SavedByQt(const QImage& Image) {
  QByteArray Bytes;
  QBuffer Buffer(&Bytes);
  Buffer.open(QIODevice::WriteOnly);
  Image.save(&Buffer, "BMP");
  return Bytes;
}

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

enum class Kind { Odd37x23, Screen160x100Rle8, Double320x200, Single1x1, Large640x480, TopDown9x5 };

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

}  // namespace

class CaptureWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void scriptWritesThePicture_data();
  void scriptWritesThePicture();
  void badInputShowsMessageWritesNothingAndNextFileWorks_data();
  void badInputShowsMessageWritesNothingAndNextFileWorks();
  void saveTypeListReachesTi89FromAnyEntry();
  void ctrlF4DismissesAnOpenListAndPanel();
  void fileMenuOrAltF4ClosesTheTool_data();
  void fileMenuOrAltF4ClosesTheTool();
  void menusHaveMnemonicsAndHelpShowsAbout();
  void saveAsOverTheOpenPictureAsksFirst_data();
  void saveAsOverTheOpenPictureAsksFirst();
  void pictureOptionsShowAreSavedAndRemembered();

 private:
  QWindow* KeyTarget() const;
  void Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier);
  void Type(const QString& Text);
  void RunFileScript(const QString& Source, const QString& Target, const QString& Name,
                     const QString& Folder);
  QString Put(const QString& Relative, const QByteArray& Bytes);
  void CheckWritten(const QString& Target, const QByteArray& Name, const QByteArray& Folder,
                    const Bitmap& Expected, int Model = CALC_TI89);

  QTemporaryDir Settings_;
  std::unique_ptr<QTemporaryDir> Dir_;
  std::unique_ptr<CaptureWindow> Window_;
};

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
}

void CaptureWindowTest::badInputShowsMessageWritesNothingAndNextFileWorks_data() {
  QTest::addColumn<QString>("source");
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("target");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("folder");

  const QByteArray Good = MakeBitmap(Kind::Odd37x23).Bytes;
  QTest::newRow("corrupt bitmap") << "broken.bmp" << QByteArray("BM\x12\x34 not really a bitmap")
                                  << "broken.89i"
                                  << "broken"
                                  << "main";
  // Cut short after the headers and half its pixels: Qt alone would read a partly black picture.
  QTest::newRow("truncated bitmap") << "cut.bmp" << Good.left(Good.size() / 2) << "cut.89i"
                                    << "cut"
                                    << "main";
  QTest::newRow("text named .bmp") << "notes.bmp" << QByteArray("Dear diary,\n") << "notes.89i"
                                   << "notes"
                                   << "main";
  QTest::newRow("missing bitmap") << "" << QByteArray() << "gone.89i"
                                  << "gone"
                                  << "main";
  QTest::newRow("nothing valid in the name") << "+.bmp" << Good << "+.89i"
                                             << "+"
                                             << "main";
  QTest::newRow("digits and brackets only") << "(1).bmp" << Good << "(1).89i"
                                            << "(1)"
                                            << "main";
  QTest::newRow("nothing valid in the folder") << "pic.bmp" << Good << "pic.89i"
                                               << "pic"
                                               << "123";
  QTest::newRow("target folder missing") << "pic.bmp" << Good << "nowhere/pic.89i"
                                         << "pic"
                                         << "main";
  QTest::newRow("target folder is a file") << "pic.bmp" << Good << "pic.bmp/pic.89i"
                                           << "pic"
                                           << "main";
}

void CaptureWindowTest::badInputShowsMessageWritesNothingAndNextFileWorks() {
  QFETCH(QString, source);
  QFETCH(QByteArray, bytes);
  QFETCH(QString, target);
  QFETCH(QString, name);
  QFETCH(QString, folder);

  const QString Source = source.isEmpty() ? Dir_->filePath("missing.bmp") : Put(source, bytes);
  RunFileScript(Source, Dir_->filePath(target), name, folder);
  QVERIFY2(!Window_->MessageText().isEmpty(), "no message shown");
  QVERIFY(Window_->isVisible());
  QCOMPARE(FilesEndingIn(Dir_->path(), {".89i", ".tmp"}), QStringList());

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

  // TI-92 picture, the third entry: fitted to its 240 x 128 screen.
  Press(Qt::Key_F, Qt::AltModifier);
  Type("a" + Dir_->filePath("types/shot.92i"));
  Press(Qt::Key_V, Qt::AltModifier);
  Press(Qt::Key_F4);
  Press(Qt::Key_Down);
  Press(Qt::Key_Down);
  Press(Qt::Key_Return);
  Press(Qt::Key_Return);
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

  // Monochrome bitmap, the first entry, saved without the variable panel.
  Press(Qt::Key_F, Qt::AltModifier);
  Type("a" + Dir_->filePath("types/shot-mono.bmp"));
  Press(Qt::Key_V, Qt::AltModifier);
  Press(Qt::Key_F4);
  for (int i = 0; i < 5; ++i) Press(Qt::Key_Up);
  Press(Qt::Key_Return);
  Press(Qt::Key_Return);
  QCOMPARE(Window_->MessageText(), QString());
  const QImage Mono = pictrane::capture::LoadPicture(Dir_->filePath("types/shot-mono.bmp"));
  QCOMPARE(Mono.size(), QSize(160, 100));
  QCOMPARE(qGray(Mono.pixel(0, 0)) < 128, Pattern(0, 0));
  QCOMPARE(qGray(Mono.pixel(3, 1)) < 128, Pattern(3, 1));

  // And the whole script, starting from the remembered first entry, writes a TI-89 picture.
  const QString Target = Dir_->filePath("types/shot.89i");
  RunFileScript(Source, Target, "shot", "main");
  CheckWritten(Target, "shot", "main", Halved);
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

// Alt+F, A, Enter proposes the open picture itself as a monochrome bitmap: only Y replaces it.
// Any other answer goes back to Save As, where the proposed name follows the type chosen.
void CaptureWindowTest::saveAsOverTheOpenPictureAsksFirst() {
  QFETCH(int, answer);
  QFETCH(bool, alt);
  QFETCH(bool, replaced);
  const Bitmap Photo = MakeBitmap(Kind::Large640x480);
  const QString Source = Put("photo.bmp", Photo.Bytes);
  QVERIFY(Window_->OpenPicture(Source));
  Press(Qt::Key_F, Qt::AltModifier);
  Type("a");
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

QTEST_MAIN(CaptureWindowTest)
#include "capture_window_test.moc"
