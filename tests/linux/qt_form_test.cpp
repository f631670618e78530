// SPDX-License-Identifier: GPL-3.0-or-later
// The real Qt window of the program, built from its layout and driven with Qt Test.

#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "FakePlatform.h"
#include "linux/DesktopLinux.h"
#include "linux/FormLinux.h"
#include "startup/modMain.h"
#include "window/FormRules.h"
#include "window/frmMain.h"
#include "window/frmMainLayout.h"
#include "../core/window_scenarios.h"

using namespace pictrane;
using namespace pictrane::linux_desktop;
using namespace pictrane::control;
using namespace pictrane::testing;

class QtFormTest : public QObject {
  Q_OBJECT

  // The program's start-up with Qt's window and fakes for everything else.
  using Settings = std::map<std::string, std::string>;

  struct Program {
    explicit Program(std::map<std::string, std::string> settings = {}) {
      fp.FileSystem.Put("C:\\tool\\cap.exe");
      fp.FileSystem.Put("C:\\app\\dummy.bmp");
      auto& values = fp.ProfileStore.Values["C:\\app\\settings.ini"];
      values = std::move(settings);
      values["settings/screencapturepath"] = "C:\\tool\\cap.exe";
      Main(p, state);
      window = QApplication::topLevelWidgets().isEmpty() ? nullptr : Find<QWidget>(kForm);
    }
    template <typename T>
    static T* Find(const char* name) {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name) return qobject_cast<T*>(top);
        if (auto* w = top->findChild<T*>(name)) return w;
      }
      return nullptr;
    }
    Transcript Writes() const { return fp.Only({"WriteString"}); }

    FakePlatform fp;
    FormFactoryLinux toolkit{nullptr};
    TableFormFactory forms{toolkit};
    Platform p{fp.ProfileStore, fp.Clock,       fp.CommonControls, fp.FolderDialog,
               fp.WindowSystem, fp.Processes,   fp.FileSystem,     fp.DirectoryListing,
               forms,           fp.RunProgress, fp.DesktopNotifier};
    ProgramState state;
    QPointer<QWidget> window;
  };

  const Transcript kSaved = {"WriteString [Settings] DeleteBMPs=1",
                             "WriteString [Settings] LastDeviceDir=main",
                             "WriteString [Settings] LastDir=/pics"};

 private slots:
  void restoresFieldsAndOpensWithConvertFocused() {
    Program prog(Settings{{"settings/lastdir", "/pics"},
                          {"settings/lastdevicedir", "main"},
                          {"settings/deletebmps", "2"}});
    QVERIFY(prog.window);
    QVERIFY(QTest::qWaitForWindowActive(prog.window));
    QCOMPARE(prog.window->windowTitle(), QString(kWindowCaption));
    QCOMPARE(Program::Find<QLineEdit>(kTxtPath)->text(), QString("/pics"));
    QCOMPARE(Program::Find<QLineEdit>(kTxtTI89Dir)->text(), QString("main"));
    QCOMPARE(Program::Find<QCheckBox>(kChkDeleteBMPs)->checkState(), Qt::PartiallyChecked);
    QCOMPARE(QApplication::focusWidget(), Program::Find<QWidget>(kCmdConvert));
    prog.window->close();
  }

  void layoutInPixelsAtTheScreensDpi() {
    Program prog;
    const double dpi = prog.window->screen()->logicalDotsPerInch();
    QCOMPARE(prog.window->size(), QSize(TwipsToPixels(7185, dpi), TwipsToPixels(2250, dpi)));
    auto* path = Program::Find<QLineEdit>(kTxtPath);
    QCOMPARE(path->geometry(),
             QRect(TwipsToPixels(1140, dpi), 0, TwipsToPixels(4935, dpi), TwipsToPixels(315, dpi)));
    QVERIFY(path->isReadOnly());
    QCOMPARE(path->palette().color(QPalette::Base), path->palette().color(QPalette::Button));
    QCOMPARE(prog.window->minimumSize(), prog.window->maximumSize());  // fixed size
    QCOMPARE(Program::Find<QPushButton>(kCmdBrowse)->parentWidget()->objectName(),
             QString(kPicture));
    prog.window->close();
  }

  void tabOrderFollowsTheTable() {
    Program prog;
    QVERIFY(QTest::qWaitForWindowActive(prog.window));
    QStringList order;
    QWidget* w = Program::Find<QWidget>(kCmdConvert);
    for (int i = 0; i < 6; ++i) {
      order << w->objectName();
      w = w->nextInFocusChain();
      while (w->focusPolicy() == Qt::NoFocus || !w->isVisible()) w = w->nextInFocusChain();
    }
    QCOMPARE(order, (QStringList{kCmdConvert, kTxtPath, kCmdBrowse, kTxtTI89Dir, kChkDeleteBMPs,
                                 kCmdExit}));
    prog.window->close();
  }

  // The same cases as the Win32 window's.
  void answersTheFormCallsAsEveryToolkit() {
    struct Quiet : FormEvents {
      void Load() override {}
      void Unload(bool&) override {}
      void Click(const std::string&) override {}
    };
    for (const scenarios::FormScenario& scenario : scenarios::FormScenarios()) {
      Quiet events;
      FormFactoryLinux toolkit(nullptr);
      TableFormFactory forms(toolkit);
      auto view = forms.Create(frmMainLayout(), events);
      view->Show();
      const std::vector<std::string> differences = scenarios::RunFormScenario(*view, scenario);
      for (const std::string& d : differences) qWarning("%s", d.c_str());
      QVERIFY2(differences.empty(), scenario.Name.c_str());
    }
  }

  // The limit holds typing and pasting, never what the settings hold; a paste loses its line
  // breaks.
  void deviceFolderLimitsTypingOnly() {
    struct Case {
      const char* stored;
      const char* typed;   // typed after the stored text
      const char* pasted;  // then pasted at the end
      const char* expected;
    };
    const Case cases[] = {
        {"", "abcdefghi", "", "abcdefgh"},
        {"abcdefghij", "x", "yz", "abcdefghij"},
        {"", "ab", "c\r\nd\n", "abcd"},
        {"main", "", "0123456789", "main0123"},
        {"", "", "\n", ""},
    };
    for (const Case& c : cases) {
      Program prog(Settings{{"settings/lastdevicedir", c.stored}});
      QVERIFY(QTest::qWaitForWindowActive(prog.window));
      auto* dir = Program::Find<QLineEdit>(kTxtTI89Dir);
      QCOMPARE(dir->text(), QString(c.stored));
      dir->setFocus();
      dir->end(false);
      QTest::keyClicks(dir, c.typed);
      QApplication::clipboard()->setText(c.pasted);
      if (*c.pasted) QTest::keySequence(dir, QKeySequence::Paste);
      QCOMPARE(dir->text(), QString(c.expected));
      QTest::mouseClick(Program::Find<QPushButton>(kCmdExit), Qt::LeftButton);
      QVERIFY(prog.Writes().size() == 3);
      QCOMPARE(prog.Writes()[1], "WriteString [Settings] LastDeviceDir=" + std::string(c.expected));
      QTRY_VERIFY(!prog.window);
    }
    // Deleting below the limit is still possible in an over-long stored value.
    Program prog(Settings{{"settings/lastdevicedir", "abcdefghij"}});
    auto* dir = Program::Find<QLineEdit>(kTxtTI89Dir);
    dir->setFocus();
    dir->end(false);
    QTest::keyClick(dir, Qt::Key_Backspace);
    QCOMPARE(dir->text(), QString("abcdefghi"));
    prog.window->close();
  }

  // Neither button is the default one, so Enter presses whichever has the focus.
  void enterPressesTheFocusedButton() {
    struct Case {
      const char* button;
      Qt::Key key;
    };
    for (const Case& c : {Case{kCmdConvert, Qt::Key_Return}, Case{kCmdConvert, Qt::Key_Enter},
                          Case{kCmdExit, Qt::Key_Return}, Case{kTxtTI89Dir, Qt::Key_Return}}) {
      Program prog;
      QVERIFY(QTest::qWaitForWindowActive(prog.window));
      QWidget* focused = Program::Find<QWidget>(c.button);
      focused->setFocus();
      QCOMPARE(QApplication::focusWidget(), focused);
      QTest::keyClick(focused, c.key);
      const bool exit = c.button == std::string(kCmdExit);
      const bool convert = c.button == std::string(kCmdConvert);
      QCOMPARE(prog.fp.Only({"MessageBox"}).size(), convert ? std::size_t{1} : std::size_t{0});
      QCOMPARE(prog.Writes().size(), exit ? std::size_t{3} : std::size_t{0});
      if (!exit) prog.window->close();
      QTRY_VERIFY(!prog.window);
    }
  }

  void checkBoxStatesMapBothWays() {
    Program prog(Settings{{"settings/deletebmps", "1"}});
    auto* box = Program::Find<QCheckBox>(kChkDeleteBMPs);
    QCOMPARE(box->checkState(), Qt::Checked);
    FormView& view = prog.state.MainForm->View();
    for (int v : {0, 1, 2}) {
      view.SetValue(kChkDeleteBMPs, v);
      QCOMPARE(view.Value(kChkDeleteBMPs), v);
    }
    QCOMPARE(box->checkState(), Qt::PartiallyChecked);
    // A click only checks or unchecks; greyed is the program's to set.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QCOMPARE(view.Value(kChkDeleteBMPs), 1);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QCOMPARE(view.Value(kChkDeleteBMPs), 0);
    prog.window->close();
  }

  // A field left as loaded gives back the stored bytes, even those it cannot show (a lone
  // surrogate read from a UTF-16 file, which the field shows as U+FFFD).
  void exitSavesInOrder() {
    for (const std::string dir : {"/pics", "/p\xED\xA0\x80ics"}) {
      Program prog(Settings{{"settings/lastdir", dir},
                            {"settings/lastdevicedir", "main"},
                            {"settings/deletebmps", "1"}});
      QTest::mouseClick(Program::Find<QPushButton>(kCmdExit), Qt::LeftButton);
      QCOMPARE(prog.Writes(),
               (Transcript{kSaved[0], kSaved[1], "WriteString [Settings] LastDir=" + dir}));
      QTRY_VERIFY(!prog.window);
    }
  }

  void closeBoxSavesInOrder() {
    Program prog(Settings{{"settings/lastdir", "/pics"},
                          {"settings/lastdevicedir", "main"},
                          {"settings/deletebmps", "1"}});
    prog.window->close();
    QCOMPARE(prog.Writes(), kSaved);
    QTRY_VERIFY(!prog.window);
  }

  void browseKeepsTheFolderOnCancel() {
    Program prog(Settings{{"settings/lastdir", "/pics"}});
    prog.fp.FolderDialog.Answer = std::nullopt;
    QTest::mouseClick(Program::Find<QPushButton>(kCmdBrowse), Qt::LeftButton);
    QCOMPARE(Program::Find<QLineEdit>(kTxtPath)->text(), QString("/pics"));
    prog.fp.FolderDialog.Answer = "/home/u/Bilder";
    QTest::mouseClick(Program::Find<QPushButton>(kCmdBrowse), Qt::LeftButton);
    QCOMPARE(Program::Find<QLineEdit>(kTxtPath)->text(), QString("/home/u/Bilder"));
    prog.window->close();
  }

  // Every control carries the table's tip, the window the program's icon.
  void toolTipsAndIconFromTheTable() {
    Program prog;
    for (const ControlEntry& c : frmMainLayout().Controls)
      QCOMPARE(Program::Find<QWidget>(c.Name.c_str())->toolTip().toStdString(), c.ToolTip);
    QCOMPARE(Program::Find<QWidget>(kTxtTI89Dir)->toolTip(),
             QString("the folder on the calculator that receives the pictures; the calculator "
                     "takes up to 8 letters or digits, starting with a letter"));
    QVERIFY(!prog.window->windowIcon().availableSizes().isEmpty());
    prog.window->close();
  }

  // The picker opens at the field's folder, or at home when there is none to open.
  void folderPickerOpensAtTheFieldsFolder() {
    QTemporaryDir folder;
    const QString gone = folder.path() + "/gone";
    for (const QString& field : {folder.path(), QString(), gone}) {
      QString openedAt;
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
          openedAt = dialog->directory().absolutePath();
          dialog->reject();
        }
      });
      poll.start(20);
      FolderDialogLinux picker;
      QCOMPARE(picker.BrowseForFolder(0, "Pick", field.toStdString()), std::nullopt);
      QCOMPARE(openedAt, field == folder.path() ? field : QDir::homePath());
    }
  }

  void emptyFieldsAskForInputAndKeepTheWindow() {
    Program prog;
    QTest::mouseClick(Program::Find<QPushButton>(kCmdConvert), Qt::LeftButton);
    QCOMPARE(prog.fp.Only({"MessageBox"}),
             Transcript{"MessageBox Exclamation [Pictrane Converter] Please specify folder."});
    QVERIFY(prog.window && prog.window->isVisible());
    prog.window->close();
  }

  // Whatever a handler throws reaches the run-time error report, never Qt's event loop.
  void anyErrorOfAHandlerIsReported() {
    struct Throwing : FormEvents {
      std::function<void()> Throw;
      void Load() override {}
      void Unload(bool&) override {}
      void Click(const std::string&) override { Throw(); }
    };
    struct Case {
      std::function<void()> Throw;
      int Number;
      std::string Description;
    };
    const std::vector<Case> cases{
        {[] { throw RaisedError(53, "clsINI", "File not found"); }, 53, "File not found"},
        {[] { throw std::bad_alloc(); }, 7, "Out of memory"},
        {[] { throw std::out_of_range("vector"); }, 51, "Internal error: vector"},
        {[] { throw 42; }, 51, "Internal error"},
    };
    for (const Case& c : cases) {
      std::vector<RaisedError> reported;
      FormFactoryLinux toolkit([&](const RaisedError& e) { reported.push_back(e); });
      TableFormFactory forms(toolkit);
      Throwing events;
      events.Throw = c.Throw;
      auto view = forms.Create(frmMainLayout(), events);
      view->Show();
      QTest::mouseClick(Program::Find<QPushButton>(kCmdConvert), Qt::LeftButton);
      QCOMPARE(reported.size(), std::size_t{1});
      QCOMPARE(reported[0].Number, c.Number);
      QCOMPARE(reported[0].Description, c.Description);
    }
  }
};

QTEST_MAIN(QtFormTest)
#include "qt_form_test.moc"
