// SPDX-License-Identifier: GPL-3.0-or-later
// The progress window on a real X server (Xvfb), with openbox or with no window manager (the
// first argument: "openbox" or "bare"), over a key recorder standing for the capture tool.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "ProgressTestX11.h"
#include "X11TestSupport.h"
#include "linux/ProgressWindowLinux.h"
#include "window/ProgressReport.h"
#include "conversion/SendKeys.h"
#include "linux/X11Session.h"

using namespace pictrane;
using namespace pictrane::linux_desktop;
using namespace progresstest;

namespace {

constexpr int kTimeoutMs = 5000;

class ProgressWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    Session_ = X11Session::Open();
    Tool_.emplace();
    ToolWindow_ = Tool_->WaitUntilReady();
    ASSERT_NE(ToolWindow_, 0u);
    ASSERT_TRUE(Session_->ShowMaximisedWithFocus(Tool_->Pid(), kTimeoutMs));
  }

  // Shown with the tool focused, then given time to take the focus if it ever would.
  void Begin(std::size_t Total) {
    Progress_.Begin(Total);
    QTest::qWait(300);
  }

  unsigned long ProgressWindow() { return Window_.Widget().winId(); }
  QString Text(const char* Name) { return Window_.Widget().findChild<QLabel*>(Name)->text(); }

  // The keyboard still belongs to the tool: the focus check passes and a key arrives there.
  void ExpectToolKeepsKeys(const std::string& Context) {
    SCOPED_TRACE(Context);
    EXPECT_EQ(Session_->FocusedProcess(), Tool_->Pid());
    const std::size_t Before = Tool_->Lines().size();
    EXPECT_TRUE(pictrane::SendKeys(*Session_, {x11test::Char(U'k')}, Tool_->Pid()));
    EXPECT_TRUE(Tool_->WaitForMarker(Before, "k"));
  }

  std::unique_ptr<X11Session> Session_;
  std::optional<x11test::KeyRecorder> Tool_;
  unsigned long ToolWindow_ = 0;
  ProgressWindowLinux Window_;
  ProgressReport Progress_{Window_};
};

TEST_F(ProgressWindowTest, ShowsEachFileOverTheToolWithoutTheFocus) {
  Begin(3);
  const unsigned long Window = ProgressWindow();
  // Shown once the tool's window has taken the focus: above it from the start.
  EXPECT_TRUE(QTest::qWaitFor([&] { return StackedAbove(Window, ToolWindow_); }, kTimeoutMs));
  // Short names whole; a long one shortened in the middle, its end (the extension) kept. The
  // tool raised again (as starting it does) goes under the window at the next file.
  const std::string Long = std::string(200, 'x') + ".bmp";
  // (What it says is the core's; see ProgressContent.)
  struct Case {
    std::size_t Index;
    std::string Name;
    QString Shown;
  };
  for (const Case& C :
       {Case{1, "a.bmp", "a.bmp"}, Case{2, "Ünïcödé €.bmp", "Ünïcödé €.bmp"}, Case{3, Long, ""}}) {
    SCOPED_TRACE(C.Index);
    Raise(ToolWindow_);
    Progress_.Step(C.Index, C.Name);
    if (C.Shown.isEmpty())
      EXPECT_TRUE(Text("name").endsWith(".bmp") && Text("name").size() < 100)
          << Text("name").size();
    else
      EXPECT_EQ(Text("name"), C.Shown);
    EXPECT_TRUE(QTest::qWaitFor([&] { return StackedAbove(Window, ToolWindow_); }, kTimeoutMs));
    ExpectToolKeepsKeys("after the step");
  }

  EXPECT_FALSE(Window_.Widget().windowIcon().availableSizes().isEmpty());
  EXPECT_FALSE(InputAccepted(Window));
  const std::vector<std::string> States = NetWmState(Window);
  for (const char* Wanted : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR"})
    EXPECT_NE(std::find(States.begin(), States.end(), Wanted), States.end()) << Wanted;
  // At the work area's bottom-right corner, its size not following the name.
  const QRect Work = QGuiApplication::primaryScreen()->availableGeometry();
  const Point At = RootOrigin(Window);
  const QSize Size = Window_.Widget().size();
  EXPECT_EQ(Size, Window_.Widget().minimumSize());
  EXPECT_TRUE(Work.contains(QRect(At.X, At.Y, Size.width(), Size.height())));
  EXPECT_GT(At.X + Size.width(), Work.right() - 64);
  EXPECT_GT(At.Y + Size.height(), Work.bottom() - 64);
  Progress_.End(true);
  EXPECT_FALSE(Window_.Widget().isVisible());
}

TEST_F(ProgressWindowTest, ClicksAndCloseBoxNeverTakeTheFocus) {
  struct Case {
    const char* What;
    bool Cancels;
  };
  for (const Case C : {Case{"label", false}, Case{"cancel", true}, Case{"close", true}}) {
    SCOPED_TRACE(C.What);
    Begin(4);
    Progress_.Step(2, "b.bmp");
    QTest::qWait(100);
    if (std::strcmp(C.What, "close") == 0) {
      // What the close box does: a close request through the window manager, when one runs.
      Session_->CloseWindowsOf(getpid());
    } else {
      const QWidget* Target =
          Window_.Widget().findChild<QWidget*>(C.What == std::string("label") ? "count" : "cancel");
      const QPoint Inside = Target->mapTo(&Window_.Widget(), Target->rect().center());
      const Point Origin = RootOrigin(ProgressWindow());
      Click({Origin.X + Inside.x(), Origin.Y + Inside.y()});
    }
    (void)QTest::qWaitFor([&] { return Progress_.CancelRequested(); },
                          C.Cancels ? kTimeoutMs : 500);
    EXPECT_EQ(Progress_.CancelRequested(), C.Cancels);
    EXPECT_TRUE(Window_.Widget().isVisible()) << "it stays until the run has stopped";
    ExpectToolKeepsKeys(C.What);
    Progress_.End(!C.Cancels);
  }
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const bool WithWindowManager = argc > 1 && std::strcmp(argv[1], "openbox") == 0;
  x11test::XvfbServer Server;
  setenv("DISPLAY", Server.Name().c_str(), 1);
  std::optional<x11test::ChildProcess> Manager;
  if (WithWindowManager) {
    Manager.emplace(std::vector<std::string>{"openbox", "--sm-disable"}, true);
    if (!x11test::Probe().WaitForWindowManager(kTimeoutMs)) {
      std::fprintf(stderr, "openbox did not start\n");
      return 1;
    }
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication App(argc, argv);
  return RUN_ALL_TESTS();
}
