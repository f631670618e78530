// SPDX-License-Identifier: GPL-3.0-or-later
// The progress window of the Windows build under Wine, over the key recorder standing for the
// capture tool: counts and names, where it stands, and that clicks never take the foreground.

#include "Win32TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "conversion/SendKeys.h"
#include "win32/ProgressWindowWin32.h"
#include "window/ProgressReport.h"
#include "win32/WindowSystemWin32.h"

namespace pictrane::win32::testing {
namespace {

constexpr DWORD kTimeoutMs = 10000;

void Pump(DWORD Ms) {
  const ULONGLONG Until = ::GetTickCount64() + Ms;
  do {
    MSG M;
    while (::PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&M);
      ::DispatchMessageW(&M);
    }
    ::Sleep(10);
  } while (::GetTickCount64() < Until);
}

// The close box, found as the system finds it: the point of the caption it says is HTCLOSE.
std::optional<POINT> CloseBoxOf(HWND Window) {
  RECT R{};
  ::GetWindowRect(Window, &R);
  for (int Y = R.top; Y < R.top + 40; Y += 2) {
    for (int X = R.right - 1; X > R.right - 60; X -= 2) {
      const LRESULT Hit = ::SendMessageW(Window, WM_NCHITTEST, 0, MAKELPARAM(X, Y));
      if (Hit == HTCLOSE) return POINT{X, Y};
    }
  }
  return std::nullopt;
}

class ProgressWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring Recorder = Folder_ / L"recorder.exe";
    ASSERT_TRUE(
        ::CopyFileW(PathFromEnvironment("PICTRANE_RECORDER").c_str(), Recorder.c_str(), FALSE));
    Tool_.emplace(L"\"" + Recorder + L"\" dummy.bmp");
    ToolWindow_ = WaitForTopWindow(*Tool_, L"PictraneKeyRecorder", kTimeoutMs);
    ASSERT_NE(ToolWindow_, nullptr);
    ::SetForegroundWindow(ToolWindow_);
    Pump(200);
    ASSERT_EQ(::GetForegroundWindow(), ToolWindow_);
  }

  std::wstring Text(int Id) {
    wchar_t Buffer[512] = {};
    ::GetDlgItemTextW(Window_.Window(), Id, Buffer, 512);
    return Buffer;
  }

  // The keyboard still belongs to the tool: the focus check passes and a key arrives there.
  void ExpectToolKeepsKeys(const std::string& Context) {
    SCOPED_TRACE(Context);
    EXPECT_EQ(::GetForegroundWindow(), ToolWindow_);
    WindowSystemWin32 Windows;
    ASSERT_TRUE(SendKeys(Windows.Keyboard(), ParseKeys("k"), static_cast<ProcessId>(Tool_->Id())));
    const ULONGLONG Until = ::GetTickCount64() + kTimeoutMs;
    std::string Last;
    while (Last != "'k'" && ::GetTickCount64() < Until) {
      Pump(20);
      std::ifstream Log(Narrow(Folder_ / L"keys.log"));
      for (std::string Line; std::getline(Log, Line);) Last = Line;
    }
    EXPECT_EQ(Last, "'k'");  // the recorder quotes characters
  }

  TempFolder Folder_{L"progress"};
  std::optional<ChildProcess> Tool_;
  HWND ToolWindow_ = nullptr;
  ProgressWindowWin32 Window_{::GetModuleHandleW(nullptr), std::make_unique<Taskbar>()};
  ProgressReport Progress_{Window_};
};

TEST_F(ProgressWindowTest, ShowsEachFileOverTheToolWithoutTheFocus) {
  Progress_.Begin(3);
  HWND Window = Window_.Window();
  // Names reach the window as they are (what it says is the core's; see ProgressContent).
  std::size_t Index = 0;
  for (const std::string Name :
       {"a.bmp", "\xC5\xBEluou\xC4\x8Dk\xC3\xBD \xE6\x97\xA5.bmp", "&amp; 50%.bmp"}) {
    SCOPED_TRACE(Name);
    Progress_.Step(++Index, Name);
    EXPECT_EQ(Text(ProgressWindowWin32::kNameId), Widen(Name));
  }
  Pump(300);
  EXPECT_TRUE(::IsWindowVisible(Window));
  const LONG_PTR ExStyle = ::GetWindowLongPtrW(Window, GWL_EXSTYLE);
  for (LONG_PTR Bit : {WS_EX_TOPMOST, WS_EX_NOACTIVATE, WS_EX_TOOLWINDOW})
    EXPECT_EQ(ExStyle & Bit, Bit) << std::hex << Bit;
  EXPECT_EQ(ExStyle & WS_EX_APPWINDOW, 0);
  // At the bottom-right corner of the work area of the tool's screen.
  MONITORINFO Monitor{};
  Monitor.cbSize = sizeof Monitor;
  ASSERT_TRUE(
      ::GetMonitorInfoW(::MonitorFromWindow(ToolWindow_, MONITOR_DEFAULTTOPRIMARY), &Monitor));
  RECT R{};
  ::GetWindowRect(Window, &R);
  const RECT& Work = Monitor.rcWork;
  EXPECT_TRUE(R.left >= Work.left && R.top >= Work.top && R.right <= Work.right &&
              R.bottom <= Work.bottom);
  EXPECT_GT(R.right, Work.right - 64);
  EXPECT_GT(R.bottom, Work.bottom - 64);
  ExpectToolKeepsKeys("after the steps");
  Progress_.End(false);
  EXPECT_FALSE(::IsWindowVisible(Window));
}

TEST_F(ProgressWindowTest, ClicksAndCloseBoxNeverTakeTheFocus) {
  struct Case {
    const char* What;
    bool Cancels;
  };
  for (const Case C : {Case{"label", false}, Case{"cancel", true}, Case{"close", true}}) {
    SCOPED_TRACE(C.What);
    Progress_.Begin(4);
    Progress_.Step(2, "b.bmp");
    Pump(100);
    HWND Window = Window_.Window();
    std::optional<POINT> At;
    if (std::strcmp(C.What, "close") == 0)
      At = CloseBoxOf(Window);
    else
      At = CentreOf(::GetDlgItem(Window, std::strcmp(C.What, "label") == 0
                                             ? ProgressWindowWin32::kCountId
                                             : ProgressWindowWin32::kCancelId));
    ASSERT_TRUE(At.has_value());
    Click(*At);
    Pump(400);
    EXPECT_EQ(Progress_.CancelRequested(), C.Cancels);
    EXPECT_TRUE(::IsWindowVisible(Window)) << "it stays until the run has stopped";
    ExpectToolKeepsKeys(C.What);
    Progress_.End(!C.Cancels);
  }
}

}  // namespace
}  // namespace pictrane::win32::testing
