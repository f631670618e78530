// SPDX-License-Identifier: GPL-3.0-or-later
// The window's calculator actions against the stand-in calculator: this test runs as the
// stand-in's command (see CMakeLists.txt), in an IPC namespace of its own.

#include <sys/ipc.h>
#include <sys/shm.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "window/CableDialog.h"
#include "calc/CalcFile.h"
#include "calc/CePictures.h"
#include "calc/Models.h"
#include "window/CaptureWindow.h"
#include "window/LinkActions.h"
#include "calc/PicLayout.h"
#include "window/PictureMenu.h"

namespace pictrane::capture {

class LinkActionsTest : public QObject {
  Q_OBJECT

 private:
  QWidget Window_;
  QTemporaryDir Folder_;
  const QString Received_ = qEnvironmentVariable("PICTRANE_STANDIN_SAVE");

  // The stand-in opens its end again after each session; link only once it has.
  static bool CableReady() {
    return shmget(ftok("/tmp", 0), 0, 0) != -1 && shmget(ftok("/tmp", 1), 0, 0) != -1;
  }

  QString Picture(const char32_t* Name, int Seed) {
    MonoPicture Mono{100, 60, std::vector<std::uint8_t>(6000)};
    for (std::size_t I = 0; I < Mono.Dark.size(); ++I) Mono.Dark[I] = (I * 31 + Seed) % 7 < 3;
    const QString Path = Folder_.filePath(QString::fromUcs4(Name) + ".89i");
    WriteCalcPicture(Path.toStdString(), {CalcModelId::Ti89, Name, U"main", EncodePic(Mono)});
    return Path;
  }

  static QByteArray VariableOf(const QString& Path) {
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
  }

  static QAction* FileAction(const QWidget& Window, const QString& Text) {
    for (QAction* Each : Window.actions()) {
      if (Each->text() == Text) return Each;
    }
    return nullptr;
  }

  void CloseReport() {
    for (QWidget* Each : QApplication::topLevelWidgets()) {
      if (auto* Box = qobject_cast<QMessageBox*>(Each); Box != nullptr && Box->isVisible()) {
        Box->accept();
      }
    }
    QTRY_VERIFY(CableReady());
  }

 private slots:
  void initTestCase() {
    // The test's own settings file (CMakeLists.txt sets XDG_CONFIG_HOME), never the user's.
    QVERIFY(ToolSettingsPath().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME") + "/"));
    QFile::remove(ToolSettingsPath());
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QVERIFY(Folder_.isValid());
    QVERIFY(!Received_.isEmpty());
    QVERIFY(QDir().mkpath(Received_));
    QTRY_VERIFY(CableReady());
  }

  void SendsFilesAndTakesTheScreen() {
    LinkActions Link(&Window_, {CableKind::Virtual, 0, 20, {}});
    QCOMPARE(Link.SendAction()->text(), QStringLiteral("Send to calculator..."));
    QCOMPARE(Link.ScreenAction()->text(), QStringLiteral("Take the calculator's screen"));
    QSignalSpy Finished(&Link, &LinkActions::Finished);
    const QStringList Files = {Picture(U"first", 1), Picture(U"second", 2)};
    Link.SendFiles(Files);
    QVERIFY(Link.Busy());
    QVERIFY(!Link.SendAction()->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(Finished.count(), 1, 20000);
    QCOMPARE(Finished[0][0].toBool(), true);
    QCOMPARE(Finished[0][1].toString(), QStringLiteral("Sent: main\\first\nSent: main\\second"));
    QVERIFY(Link.SendAction()->isEnabled());
    for (const char* Name : {"first", "second"}) {
      const QByteArray Got = VariableOf(Received_ + "/main." + Name + ".var");
      QVERIFY(!Got.isEmpty());
      QVERIFY(VariableOf(Folder_.filePath(QString(Name) + ".89i")).contains(Got));
    }
    CloseReport();

    // The calculator holds first now: the send asks, and says what it did.
    struct Row {
      const char* Button;
      QString Summary;
      const char* Arrived;
    };
    for (const Row& R :
         {Row{"Send as a &new name",
              "Sent: main\\first1 (main\\first is on the calculator already)", "/main.first1.var"},
          Row{"&Replace", "Sent: main\\first (replaced the calculator's)", "/main.first.var"}}) {
      QFile::remove(Received_ + R.Arrived);
      const qsizetype Before = Finished.count();
      Link.SendFiles({Files[0]});
      QPushButton* Answer = nullptr;
      QTRY_VERIFY_WITH_TIMEOUT((Answer = [&]() -> QPushButton* {
                                 for (auto* Box : Window_.findChildren<QMessageBox*>()) {
                                   for (auto* Button : Box->findChildren<QPushButton*>()) {
                                     if (Box->isVisible() && Button->text() == R.Button)
                                       return Button;
                                   }
                                 }
                                 return nullptr;
                               }()) != nullptr,
                               20000);
      QTest::mouseClick(Answer, Qt::LeftButton);
      QTRY_COMPARE_WITH_TIMEOUT(Finished.count(), Before + 1, 20000);
      QCOMPARE(Finished.last()[1].toString(), R.Summary);
      QVERIFY(!VariableOf(Received_ + R.Arrived).isEmpty());
      CloseReport();
    }
    Finished.clear();

    QSignalSpy Screens(&Link, &LinkActions::ScreenTaken);
    Link.ScreenAction()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Finished.count(), 1, 20000);
    QCOMPARE(Screens.count(), 1);
    const QImage Screen = Screens[0][0].value<QImage>();
    QCOMPARE(Screen.size(), QSize(160, 100));
    for (int Y = 0; Y < Screen.height(); ++Y) {
      for (int X = 0; X < Screen.width(); ++X) {
        QCOMPARE(qGray(Screen.pixel(X, Y)) < 128, (X + Y) % 2 == 0);
      }
    }
    CloseReport();
  }

  // The window's link to a colour calculator (a run of its own against the stand-in as one,
  // CMakeLists.txt): a Pic arrives archived, byte for byte, and the screen comes in colour with
  // the Pic on its graph area (at 27, 37), a red picture centred in the Pic red in its middle.
  void ColourCalculatorTakesAPicAndGivesItsScreen() {
    if (qEnvironmentVariable("PICTRANE_STANDIN_MODEL") != QLatin1String("84pce"))
      QSKIP("the stand-in as a colour calculator runs this case");
    LinkActions Link(&Window_, {CableKind::Virtual, 0, 20, CalcModelId::Ti84PlusCe});
    QSignalSpy Finished(&Link, &LinkActions::Finished);
    QSignalSpy Screens(&Link, &LinkActions::ScreenTaken);
    QImage Red(40, 30, QImage::Format_RGB32);
    Red.fill(Qt::red);
    const CalcPicture Pic{CalcModelId::Ti84PlusCe,
                          U"Pic4",
                          {},
                          CalcPictureOf(CalcModelId::Ti84PlusCe, Red, kCePicShown, {}).PicData};
    const QString File = Folder_.filePath("red.8ci");
    WriteCalcPicture(File.toStdString(), Pic);
    Link.SendFiles({File});
    QTRY_COMPARE_WITH_TIMEOUT(Finished.count(), 1, 20000);
    QCOMPARE(Finished[0][1].toString(), QStringLiteral("Sent: Pic4"));
    QCOMPARE(VariableOf(Received_ + "/Pic4.var"),
             QByteArray(reinterpret_cast<const char*>(Pic.PicData.data()),
                        static_cast<qsizetype>(Pic.PicData.size())));
    QVERIFY(VariableOf(Received_ + "/Pic4.info").endsWith("archived 1\n"));
    CloseReport();
    Link.ScreenAction()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Finished.count(), 2, 20000);
    const QImage Screen = Screens[0][0].value<QImage>();
    QCOMPARE(Screen.size(), QSize(320, 240));
    QCOMPARE(Screen.pixel(27 + 132, 37 + 82), qRgb(255, 0, 0));
    CloseReport();
  }

  // The window's File menu: the screen lands in the preview ready to save, the picture saved last
  // is the one offered, and a calculator picture opens back into the preview.
  void WindowTakesTheScreenAndOpensPictures() {
    CaptureWindow Window(nullptr, {CableKind::Virtual, 0, 20, {}});
    auto* Link = Window.findChild<LinkActions*>();
    QVERIFY(Link != nullptr);
    QSignalSpy Finished(Link, &LinkActions::Finished);
    QAction* Screen = nullptr;
    for (QAction* Each : Window.actions()) {
      if (Each->text() == QStringLiteral("&Take the calculator's screen")) Screen = Each;
    }
    QVERIFY(Screen != nullptr);
    Screen->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Finished.count(), 1, 20000);
    QCOMPARE(Window.Shown().Width, 160);
    QCOMPARE(Window.Shown().Height, 100);
    for (int Y = 0; Y < 100; ++Y) {
      for (int X = 0; X < 160; ++X) QCOMPARE(Window.Shown().At(X, Y), (X + Y) % 2 == 0);
    }
    CloseReport();

    const QString Saved = Picture(U"back", 3);
    QVERIFY(Window.OpenPicture(Saved));
    QCOMPARE(Window.Shown().Width, 100);
    QCOMPARE(Window.Shown().Height, 60);
    for (std::size_t I = 0; I < Window.Shown().Dark.size(); ++I) {
      QCOMPARE(Window.Shown().Dark[I] != 0, (I * 31 + 3) % 7 < 3);
    }
  }

  // The window's own choice of link, made in "Calculator link..." with the keyboard: kept in the
  // settings file, so that the window started again sends the picture it shows (its send dialog
  // open at that picture's folder) and takes the screen over the virtual cable.
  void WindowRemembersTheLinkChosenInIt() {
    const QString Shown = Picture(U"shown", 4);
    {
      CaptureWindow Window;
      Window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&Window));
      auto* Link = Window.findChild<LinkActions*>();
      QVERIFY(!Link->Settings().Cable.has_value());  // a USB calculator or SilverLink, found
      FileAction(Window, QStringLiteral("Calculator &link..."))->trigger();
      auto* Dialog = Window.findChild<CableDialog*>();
      QVERIFY(Dialog != nullptr);
      QTRY_VERIFY(Dialog->isVisible());
      auto* Cable = Dialog->findChild<QComboBox*>();
      Cable->setFocus();
      QTest::keyClick(Cable, Qt::Key_End);  // the virtual cable, last in the list
      QTest::keyClick(Dialog->findChild<QSpinBox*>(), Qt::Key_Up);
      QTest::keyClick(Dialog->findChild<QSpinBox*>(), Qt::Key_Up);
      QTest::keyClick(Dialog, Qt::Key_Return);
      QCOMPARE(Link->Settings().Cable, std::optional<CableKind>(CableKind::Virtual));
      QCOMPARE(Link->Settings().Port, 2);
    }

    CaptureWindow Window;
    Window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Window));
    auto* Link = Window.findChild<LinkActions*>();
    QCOMPARE(Link->Settings().Cable, std::optional<CableKind>(CableKind::Virtual));
    QCOMPARE(Link->Settings().Port, 2);
    QSignalSpy Finished(Link, &LinkActions::Finished);
    QVERIFY(Window.OpenPicture(Shown));
    FileAction(Window, QStringLiteral("&Send to calculator..."))->trigger();
    auto* Files = Window.findChild<QFileDialog*>();
    QVERIFY(Files != nullptr);
    QCOMPARE(QDir(Files->directory()).canonicalPath(), QDir(Folder_.path()).canonicalPath());
    auto* Name = Files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(Name != nullptr);
    QTRY_VERIFY(Files->isVisible());
    Name->clear();
    QTest::keyClicks(Name, QStringLiteral("shown.89i"));
    QTest::keyClick(Name, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(Finished.count(), 1, 20000);
    QCOMPARE(Finished[0][1].toString(), QStringLiteral("Sent: main\\shown"));
    const QByteArray Got = VariableOf(Received_ + "/main.shown.var");
    QVERIFY(!Got.isEmpty());
    QVERIFY(VariableOf(Shown).contains(Got));
    CloseReport();

    FileAction(Window, QStringLiteral("&Take the calculator's screen"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Finished.count(), 2, 20000);
    QCOMPARE(Finished[1][0].toBool(), true);
    QCOMPARE(Window.Shown().Width, 160);
    QCOMPARE(Window.Shown().Height, 100);
    CloseReport();
  }

  // A choice the settings file cannot keep is used, and the window says it is not remembered.
  void SaysWhenTheLinkChosenCannotBeStored() {
    QFile::remove(ToolSettingsPath());
    QVERIFY(QDir().mkpath(ToolSettingsPath()));  // a folder where the file would go
    LinkActions Link(&Window_);
    Link.ChooseAction()->trigger();
    auto* Dialog = Window_.findChild<CableDialog*>();
    QVERIFY(Dialog != nullptr);
    QTRY_VERIFY(Dialog->isVisible());
    Dialog->accept();
    QMessageBox* Box = nullptr;
    QTRY_VERIFY((Box = Window_.findChild<QMessageBox*>()) != nullptr && Box->isVisible());
    QVERIFY2(Box->text().contains("cannot be remembered: " + ToolSettingsPath()),
             qPrintable(Box->text()));
    Box->accept();
    QVERIFY(QDir(ToolSettingsPath()).removeRecursively());
  }

  void CancelStopsBeforeTheNextFile() {
    LinkActions Link(&Window_, {CableKind::Virtual, 0, 20, {}});
    QSignalSpy Finished(&Link, &LinkActions::Finished);
    QStringList Files;
    for (int I = 0; I < 20; ++I) {
      const std::u32string Name = U"many" + std::u32string(1, static_cast<char32_t>(U'a' + I));
      Files << Picture(Name.c_str(), I);
    }
    Link.SendFiles(Files);
    auto* Progress = Window_.findChild<QProgressDialog*>();
    QVERIFY(Progress != nullptr);
    auto* Cancel = Progress->findChild<QPushButton*>();
    QVERIFY(Cancel != nullptr);
    QTest::mouseClick(Cancel, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Finished.count(), 1, 20000);
    QCOMPARE(Finished[0][0].toBool(), false);
    const QString Summary = Finished[0][1].toString();
    QVERIFY2(Summary.endsWith("cancelled"), qPrintable(Summary));
    QVERIFY2(Summary.count("Sent: ") < Files.size(), qPrintable(Summary));
    CloseReport();
  }
};

}  // namespace pictrane::capture

QTEST_MAIN(pictrane::capture::LinkActionsTest)
#include "link_actions_test.moc"
