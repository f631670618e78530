// The real Qt window of the program, built from its layout and driven with Qt Test.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "FakePlatform.h"
#include "platform/linux/QtPlatform.h"
#include "startup/modMain.h"
#include "window/frmMain.h"
#include "window/frmMainLayout.h"

using namespace pictrane;
using namespace pictrane::testing;

class QtFormTest : public QObject {
  Q_OBJECT

  // The program's start-up with Qt's window and fakes for everything else.
  using Settings = std::map<std::string, std::string>;

  struct Program {
    explicit Program(std::map<std::string, std::string> settings = {}) {
      fp.Files.Put("C:\\tool\\cap.exe");
      fp.Files.Put("C:\\app\\dummy.bmp");
      auto& values = fp.Profile.Values["C:\\app\\settings.ini"];
      values = std::move(settings);
      values["settings/screencapturepath"] = "C:\\tool\\cap.exe";
      Main(p, state);
      window = QApplication::topLevelWidgets().isEmpty() ? nullptr : Find<QWidget>("frmMain");
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
    QtFormFactory forms{nullptr};
    Platform p{fp.Profile, fp.Time,    fp.Controls, fp.Folders,  fp.Windows, fp.Programs,
               fp.Files,   fp.Listing, forms,       fp.Progress, fp.Notices};
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
    QCOMPARE(prog.window->windowTitle(), QString("Pictrane Converter 1.1"));
    QCOMPARE(Program::Find<QLineEdit>("txtPath")->text(), QString("/pics"));
    QCOMPARE(Program::Find<QLineEdit>("txtTI89Dir")->text(), QString("main"));
    QCOMPARE(Program::Find<QCheckBox>("chkDeleteBMPs")->checkState(), Qt::PartiallyChecked);
    QCOMPARE(QApplication::focusWidget(), Program::Find<QWidget>("cmdConvert"));
    prog.window->close();
  }

  void layoutInPixelsAtTheScreensDpi() {
    Program prog;
    const double dpi = prog.window->screen()->logicalDotsPerInch();
    QCOMPARE(prog.window->size(), QSize(TwipsToPixels(7185, dpi), TwipsToPixels(2250, dpi)));
    auto* path = Program::Find<QLineEdit>("txtPath");
    QCOMPARE(path->geometry(),
             QRect(TwipsToPixels(1140, dpi), 0, TwipsToPixels(4935, dpi), TwipsToPixels(315, dpi)));
    QVERIFY(path->isReadOnly());
    QCOMPARE(path->palette().color(QPalette::Base), path->palette().color(QPalette::Button));
    QCOMPARE(prog.window->minimumSize(), prog.window->maximumSize());  // fixed size
    QCOMPARE(Program::Find<QPushButton>("cmdBrowse")->parentWidget()->objectName(),
             QString("Picture1"));
    prog.window->close();
  }

  void tabOrderFollowsTheTable() {
    Program prog;
    QVERIFY(QTest::qWaitForWindowActive(prog.window));
    QStringList order;
    QWidget* w = Program::Find<QWidget>("cmdConvert");
    for (int i = 0; i < 6; ++i) {
      order << w->objectName();
      w = w->nextInFocusChain();
      while (w->focusPolicy() == Qt::NoFocus || !w->isVisible()) w = w->nextInFocusChain();
    }
    QCOMPARE(order, (QStringList{"cmdConvert", "txtPath", "cmdBrowse", "txtTI89Dir",
                                 "chkDeleteBMPs", "cmdExit"}));
    prog.window->close();
  }

  void deviceFolderTakesEightCharacters() {
    Program prog;
    auto* dir = Program::Find<QLineEdit>("txtTI89Dir");
    dir->setFocus();
    QTest::keyClicks(dir, "abcdefghi");
    QCOMPARE(dir->text(), QString("abcdefgh"));
    prog.window->close();
  }

  void checkBoxStatesMapBothWays() {
    Program prog(Settings{{"settings/deletebmps", "1"}});
    auto* box = Program::Find<QCheckBox>("chkDeleteBMPs");
    QCOMPARE(box->checkState(), Qt::Checked);
    FormView& view = prog.state.MainForm->View();
    for (int v : {0, 1, 2}) {
      view.SetValue("chkDeleteBMPs", v);
      QCOMPARE(view.Value("chkDeleteBMPs"), v);
    }
    QCOMPARE(box->checkState(), Qt::PartiallyChecked);
    // A click only checks or unchecks; greyed is the program's to set.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QCOMPARE(view.Value("chkDeleteBMPs"), 1);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QCOMPARE(view.Value("chkDeleteBMPs"), 0);
    prog.window->close();
  }

  void exitSavesInOrder() {
    Program prog(Settings{{"settings/lastdir", "/pics"},
                          {"settings/lastdevicedir", "main"},
                          {"settings/deletebmps", "1"}});
    QTest::mouseClick(Program::Find<QPushButton>("cmdExit"), Qt::LeftButton);
    QCOMPARE(prog.Writes(), kSaved);
    QTRY_VERIFY(!prog.window);
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
    prog.fp.Folders.Answer = std::nullopt;
    QTest::mouseClick(Program::Find<QPushButton>("cmdBrowse"), Qt::LeftButton);
    QCOMPARE(Program::Find<QLineEdit>("txtPath")->text(), QString("/pics"));
    prog.fp.Folders.Answer = "/home/u/Bilder";
    QTest::mouseClick(Program::Find<QPushButton>("cmdBrowse"), Qt::LeftButton);
    QCOMPARE(Program::Find<QLineEdit>("txtPath")->text(), QString("/home/u/Bilder"));
    prog.window->close();
  }

  void emptyFieldsAskForInputAndKeepTheWindow() {
    Program prog;
    QTest::mouseClick(Program::Find<QPushButton>("cmdConvert"), Qt::LeftButton);
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
      QtFormFactory forms([&](const RaisedError& e) { reported.push_back(e); });
      Throwing events;
      events.Throw = c.Throw;
      auto view = forms.Create(frmMainLayout(), events);
      view->Show();
      QTest::mouseClick(Program::Find<QPushButton>("cmdConvert"), Qt::LeftButton);
      QCOMPARE(reported.size(), std::size_t{1});
      QCOMPARE(reported[0].Number, c.Number);
      QCOMPARE(reported[0].Description, c.Description);
    }
  }
};

QTEST_MAIN(QtFormTest)
#include "qt_form_test.moc"
