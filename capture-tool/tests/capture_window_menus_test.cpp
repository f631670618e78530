// SPDX-License-Identifier: GPL-3.0-or-later
// The capture window's menus, panels and options from the keyboard: closing the tool, mnemonics
// and the About box, Save As over the open picture, the Picture menu's remembered choices and the
// model; the open dialog, dropped and recent files, undo with Ctrl+S, and zoom.

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTextStream>
#include <QUrl>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QtTest>

#include "batch/BatchConvert.h"
#include "picture/PictureFile.h"
#include "picture/PixelConversion.h"
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

// The manual's Ctrl+1 to Ctrl+6, whatever order the methods are listed in.
void CaptureWindowTest::documentedShortcutsChooseTheirMethods_data() {
  using pictrane::capture::ToneMethod;
  QTest::addColumn<int>("digit");
  QTest::addColumn<int>("method");
  QTest::newRow("Ctrl+1 is Threshold") << 1 << int(ToneMethod::Threshold);
  QTest::newRow("Ctrl+2 is Floyd-Steinberg") << 2 << int(ToneMethod::FloydSteinberg);
  QTest::newRow("Ctrl+3 is Atkinson") << 3 << int(ToneMethod::Atkinson);
  QTest::newRow("Ctrl+4 is Bayer 4x4") << 4 << int(ToneMethod::Bayer4);
  QTest::newRow("Ctrl+5 is Bayer 8x8") << 5 << int(ToneMethod::Bayer8);
  QTest::newRow("Ctrl+6 is Automatic") << 6 << int(ToneMethod::Auto);
}

void CaptureWindowTest::documentedShortcutsChooseTheirMethods() {
  using pictrane::capture::ToneMethod;
  QFETCH(int, digit);
  QFETCH(int, method);
  QVERIFY(Window_->OpenPicture(Put("k.bmp", MakeBitmap(Kind::Screen160x100Rle8).Bytes)));
  pictrane::capture::PictureOptions Other;
  const auto Expected = static_cast<ToneMethod>(method);
  Other.Method = Expected == ToneMethod::Threshold ? ToneMethod::Bayer8 : ToneMethod::Threshold;
  Window_->SetOptions(Other);
  Press(static_cast<Qt::Key>(Qt::Key_0 + digit), Qt::ControlModifier);
  QCOMPARE(Window_->Options().Method, Expected);
}

// Ctrl+O shows the file dialog in the folder of the picture opened last, listing the pictures the
// tool reads and nothing else; the name field has the focus, and a typed full path and Enter open.
void CaptureWindowTest::openDialogListsTheFolderAndOpensATypedPath() {
  const QByteArray Bytes = MakeBitmap(Kind::Odd37x23).Bytes;
  const QString First = Put("shots/first.bmp", Bytes);
  Put("shots/notes.txt", "text");
  Put("shots/old.89i", "**TI89**");
  const QString Second = Put("elsewhere/second.bmp", Bytes);
  QVERIFY(Window_->OpenPicture(First));
  Press(Qt::Key_O, Qt::ControlModifier);
  auto* Dialog = Window_->findChild<QFileDialog*>();
  QVERIFY(Dialog != nullptr && Dialog->isVisible() && !Dialog->isWindow());
  QCOMPARE(QApplication::focusWidget(), Dialog->findChild<QLineEdit*>("fileNameEdit"));
  const auto Listed = [Dialog] {
    auto* View = Dialog->findChild<QListView*>("listView");
    QStringList Names;
    for (int Row = 0; Row < View->model()->rowCount(View->rootIndex()); ++Row)
      Names << View->model()->index(Row, 0, View->rootIndex()).data().toString();
    return Names;
  };
  QTRY_COMPARE(Listed(), QStringList({"first.bmp", "old.89i"}));
  Type(Second);
  QVERIFY(!Dialog->findChild<QListView*>("listView")->selectionModel()->hasSelection());
  QVERIFY(Dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->isEnabled());
  Press(Qt::Key_Return);
  QCOMPARE(Window_->PicturePath(), Second);
  QVERIFY(!Dialog->isVisible());
}

void CaptureWindowTest::droppedFilesOpenAndSeveralAreConverted_data() {
  QTest::addColumn<int>("files");
  QTest::addColumn<int>("answer");
  QTest::addColumn<int>("converted");
  QTest::newRow("one opens") << 1 << 0 << 0;
  QTest::newRow("three, Y converts them all") << 3 << int(Qt::Key_Y) << 3;
  QTest::newRow("three, Esc opens the first only") << 3 << int(Qt::Key_Escape) << 0;
}

void CaptureWindowTest::droppedFilesOpenAndSeveralAreConverted() {
  QFETCH(int, files);
  QFETCH(int, answer);
  QFETCH(int, converted);
  QList<QUrl> Urls;
  for (int I = 0; I < files; ++I)
    Urls << QUrl::fromLocalFile(
        Put(QStringLiteral("drop/d%1.bmp").arg(I), MakeBitmap(Kind::Odd37x23).Bytes));
  Urls << QUrl(QStringLiteral("https://example.org/not-a-file.bmp"));
  QMimeData Data;
  Data.setUrls(Urls);
  QDragEnterEvent Enter(QPoint(10, 10), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Window_.get(), &Enter);
  QVERIFY(Enter.isAccepted());
  QDropEvent Drop(QPointF(10, 10), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Window_.get(), &Drop);
  QCOMPARE(Window_->PicturePath(), Urls.first().toLocalFile());
  QCOMPARE(Window_->MessageText().contains("Convert all 3 files"), files > 1);
  if (answer != 0) Press(static_cast<Qt::Key>(answer));
  QCOMPARE(Window_->MessageText(), QString());
  QCOMPARE(FilesEndingIn(Dir_->path(), {".89i"}).size(), converted);
}

// The files opened are listed under File, "Open recent", the latest first, in a new run too;
// one gone since is left out, and choosing one opens it.
void CaptureWindowTest::recentFilesSurviveARestart() {
  const QByteArray Bytes = MakeBitmap(Kind::Odd37x23).Bytes;
  const QString Kept = Put("recent/kept.bmp", Bytes);
  const QString Gone = Put("recent/gone.bmp", Bytes);
  QVERIFY(Window_->OpenPicture(Kept));
  QVERIFY(Window_->OpenPicture(Gone));
  for (int I = 0; I < 12; ++I)
    Window_->OpenPicture(Put(QStringLiteral("recent/%1.bmp").arg(I), Bytes));
  QCOMPARE(Window_->RecentFiles().size(), 10);
  QVERIFY(Window_->OpenPicture(Gone));
  QVERIFY(Window_->OpenPicture(Kept));
  QVERIFY(QFile::remove(Gone));
  Window_ = std::make_unique<CaptureWindow>();
  QCOMPARE(Window_->RecentFiles().mid(0, 2), QStringList({Kept, Dir_->filePath("recent/11.bmp")}));
  QMenu* Recent = Window_->menuBar()->actions().first()->menu()->findChild<QMenu*>();
  QVERIFY(Recent != nullptr);
  QCOMPARE(Recent->actions().first()->data().toString(), Kept);
  Recent->actions().first()->trigger();
  QCOMPARE(Window_->PicturePath(), Kept);
}

// Ctrl+I then Ctrl+Z leaves the picture as it was: Ctrl+S asks once (Save As proposes what the
// batch would write), then saves again at once, and what it writes is --convert's picture.
void CaptureWindowTest::undoThenCtrlSSavesWhatTheBatchWrites() {
  using namespace pictrane::capture;
  const QByteArray Bytes = MakeBitmap(Kind::Large640x480).Bytes;
  const QString Source = Put("photo.bmp", Bytes);
  BatchOptions Batch;
  Batch.Files = {Put("batch/photo.bmp", Bytes)};
  QString Lines;
  QTextStream Out(&Lines);
  QCOMPARE(RunBatch(Batch, Out), kExitDone);
  const std::vector<std::uint8_t> Converted =
      test::ReadCalcFile(Dir_->filePath("batch/photo.89i")).Data;
  QVERIFY(!Converted.empty());

  QVERIFY(Window_->OpenPicture(Source));
  const QString Target = Dir_->filePath("photo.89i");
  Press(Qt::Key_I, Qt::ControlModifier);
  Press(Qt::Key_Z, Qt::ControlModifier);
  Press(Qt::Key_S, Qt::ControlModifier);
  Press(Qt::Key_Return);
  Press(Qt::Key_Return);
  QCOMPARE(test::ReadCalcFile(Target).Data, Converted);
  Press(Qt::Key_I, Qt::ControlModifier);
  Press(Qt::Key_S, Qt::ControlModifier);
  QVERIFY(test::ReadCalcFile(Target).Data != Converted);
  Press(Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier);  // nothing to redo: stays inverted
  QVERIFY(Window_->Options().Invert);
  Press(Qt::Key_Z, Qt::ControlModifier);
  Press(Qt::Key_S, Qt::ControlModifier);
  QCOMPARE(test::ReadCalcFile(Target).Data, Converted);
  QCOMPARE(FilesEndingIn(Dir_->path(), {".89i", ".tmp"}).size(), 2);
}

void CaptureWindowTest::zoomChangesThePreviewsScale_data() {
  QTest::addColumn<QList<int>>("keys");  // Ctrl with each
  QTest::addColumn<int>("step");         // from the zoom that fits, else the zoom itself
  QTest::addColumn<int>("zoom");
  QTest::newRow("in") << QList<int>{Qt::Key_Plus} << 1 << 0;
  QTest::newRow("in, with =") << QList<int>{Qt::Key_Equal} << 1 << 0;
  QTest::newRow("out") << QList<int>{Qt::Key_Minus} << -1 << 0;
  QTest::newRow("in past 4x") << QList<int>(6, Qt::Key_Plus) << 0 << 4;
  QTest::newRow("out past 1x") << QList<int>(6, Qt::Key_Minus) << 0 << 1;
}

void CaptureWindowTest::zoomChangesThePreviewsScale() {
  QFETCH(QList<int>, keys);
  QFETCH(int, step);
  QFETCH(int, zoom);
  QVERIFY(Window_->OpenPicture(Put("z.bmp", MakeBitmap(Kind::Screen160x100Rle8).Bytes)));
  QTRY_COMPARE(Window_->Zoom(), 2);  // 160 x 100 in half of 900 x 700
  for (const int Key : keys) Press(static_cast<Qt::Key>(Key), Qt::ControlModifier);
  const int Expected = zoom != 0 ? zoom : 2 + step;
  QCOMPARE(Window_->Zoom(), Expected);
  const QList<QLabel*> Labels = Window_->findChildren<QLabel*>();
  QVERIFY(std::any_of(Labels.begin(), Labels.end(), [Expected](const QLabel* Label) {
    return Label->pixmap().size() == QSize(160, 100) * Expected;
  }));
}

// The model chosen in the Picture menu: the preview at once holds its picture at its size, the
// status bar names it, Save As proposes its file type, and Ctrl+Z chooses the one before.
void CaptureWindowTest::modelIsAPictureSettingShownBeforeSaving() {
  using pictrane::capture::CalcModelId;
  const QString Source = Put("m/shot.bmp", MakeBitmap(Kind::Double320x200).Bytes);
  QVERIFY(Window_->OpenPicture(Source));
  QCOMPARE(QSize(Window_->Shown().Width, Window_->Shown().Height), QSize(160, 100));
  QMenu* Models = nullptr;
  for (QMenu* Menu : Window_->menuBar()->findChildren<QMenu*>()) {
    if (Menu->title() == "Calculator &model") Models = Menu;
  }
  QVERIFY(Models != nullptr);
  // The colour calculators last, their picture in colour at its size (320 x 200 fits as 264 x
  // 165, in the 265 x 165 Pic), then the TI-83 Plus before them.
  struct Row {
    int FromLast;
    CalcModelId Model;
    QSize Size;
    const char* Status;
    const char* Extension;
  };
  for (const Row& R :
       {Row{1,
            CalcModelId::Ti84PlusCe,
            {265, 165},
            "TI-84 Plus CE / TI-83 Premium CE: fit into screen 265 x 165 (colour",
            "8ci"},
        Row{2, CalcModelId::Ti83Plus, {96, 63}, "TI-83 Plus / TI-84 Plus: ", "8xi"}}) {
    Models->actions().at(Models->actions().size() - R.FromLast)->trigger();
    QCOMPARE(Window_->Model(), R.Model);
    const QList<QLabel*> Views = Window_->centralWidget()->findChildren<QLabel*>();
    QVERIFY(std::any_of(Views.begin(), Views.end(), [&R](const QLabel* Label) {
      const QSize Drawn = Label->pixmap().size();
      return !Drawn.isEmpty() && Drawn.width() % R.Size.width() == 0 &&
             Drawn / (Drawn.width() / R.Size.width()) == R.Size;
    }));
    const QList<QLabel*> Labels = Window_->statusBar()->findChildren<QLabel*>();
    QVERIFY(std::any_of(Labels.begin(), Labels.end(),
                        [&R](const QLabel* Label) { return Label->text().startsWith(R.Status); }));
    Press(Qt::Key_F, Qt::AltModifier);
    Type("a");
    QCOMPARE(QApplication::focusWidget()->property("text").toString(),
             Dir_->filePath(QStringLiteral("m/shot.") + R.Extension));
    Press(Qt::Key_Escape);
  }
  QCOMPARE(QSize(Window_->Shown().Width, Window_->Shown().Height), QSize(96, 63));
  Press(Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(Window_->Model(), CalcModelId::Ti84PlusCe);
  Press(Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(Window_->Model(), CalcModelId::Ti89);
  QVERIFY(Models->actions().first()->isChecked());
  QCOMPARE(QSize(Window_->Shown().Width, Window_->Shown().Height), QSize(160, 100));
}
