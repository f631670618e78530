// SPDX-License-Identifier: GPL-3.0-or-later
// The main window built from its layout with Win32 controls: geometry, font, tab order and
// focus, the fields' properties, and how clicks and unloading reach the handlers.

#include <cmath>
#include <cstring>

#include "Win32TestSupport.h"  // first: <windows.h> before <commctrl.h>

#include <commctrl.h>
#include "conversion/SendKeys.h"
#include "win32/FormWin32.h"
#include "win32/WindowSystemWin32.h"
#include "window/FormRules.h"
#include "window/frmMainLayout.h"
#include "../core/window_scenarios.h"

namespace pictrane::win32::testing {
namespace {

class Recorder : public FormEvents {
 public:
  void Load() override {
    Calls.push_back("Load");
    VisibleOnLoad = ::IsWindowVisible(reinterpret_cast<HWND>(View->Handle())) != FALSE;
  }
  void Unload(bool& Cancel) override {
    Calls.push_back("Unload");
    Cancel = CancelUnload;
  }
  void Click(const std::string& Control) override {
    Calls.push_back("Click " + Control);
    if (Control == control::kCmdExit && FailOnExit)
      throw RaisedError(53, "test", "raised in a handler");
  }
  FormView* View = nullptr;
  std::vector<std::string> Calls;
  bool VisibleOnLoad = true;
  bool CancelUnload = false;
  bool FailOnExit = false;
};

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    View = Factory.Create(frmMainLayout(), Events);
    Events.View = View.get();
    Form = reinterpret_cast<HWND>(View->Handle());
  }
  void TearDown() override {
    View.reset();
    Pump();
    MSG Quit;  // the window's end asks the loop to quit; this thread's next test needs none
    while (::PeekMessageW(&Quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  static void Pump() {
    MSG M;
    while (::PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) {
      if (M.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(M.wParam));
        return;
      }
      ::TranslateMessage(&M);
      ::DispatchMessageW(&M);
    }
  }
  HWND Control(const std::string& Name) {
    return ControlWindow(static_cast<TableForm&>(*View).Controls(), Name);
  }
  std::string NameOf(HWND Window) {
    for (const ControlEntry& Entry : frmMainLayout().Controls) {
      if (Control(Entry.Name) == Window) return Entry.Name;
    }
    return "?";
  }

  Recorder Events;
  std::vector<RaisedError> Errors;
  FormFactoryWin32 Toolkit{::GetModuleHandleW(nullptr),
                           [this](const RaisedError& Error) { Errors.push_back(Error); }};
  TableFormFactory Factory{Toolkit};
  std::unique_ptr<FormView> View;
  HWND Form = nullptr;
};

int Pixels(int Twips, int Dpi) {
  return static_cast<int>(std::lround(Twips * Dpi / 1440.0));
}

TEST_F(FormTest, ControlsSitWhereTheLayoutPutsThemInTwips) {
  const int Dpi = ScreenDpi();
  const FormLayout& Layout = frmMainLayout();
  RECT Client;
  ::GetClientRect(Form, &Client);
  EXPECT_EQ(Client.right, Pixels(Layout.ClientWidth, Dpi));
  EXPECT_EQ(Client.bottom, Pixels(Layout.ClientHeight, Dpi));

  auto Origin = [&](const std::string& Container, auto& Self) -> POINT {
    if (Container.empty()) return {0, 0};
    for (const ControlEntry& Entry : Layout.Controls) {
      if (Entry.Name != Container) continue;
      POINT Outer = Self(Entry.Container, Self);
      return {Outer.x + Pixels(Entry.Left, Dpi), Outer.y + Pixels(Entry.Top, Dpi)};
    }
    return {-1000, -1000};
  };
  for (const ControlEntry& Entry : Layout.Controls) {
    HWND Window = Control(Entry.Name);
    ASSERT_NE(Window, nullptr) << Entry.Name;
    RECT Box;
    ::GetWindowRect(Window, &Box);
    ::MapWindowPoints(nullptr, Form, reinterpret_cast<POINT*>(&Box), 2);
    const POINT At = Origin(Entry.Container, Origin);
    EXPECT_EQ(Box.left, At.x + Pixels(Entry.Left, Dpi)) << Entry.Name;
    EXPECT_EQ(Box.top, At.y + Pixels(Entry.Top, Dpi)) << Entry.Name;
    if (!Entry.SizedToText) {
      EXPECT_EQ(Box.right - Box.left, Pixels(Entry.Width, Dpi)) << Entry.Name;
      EXPECT_EQ(Box.bottom - Box.top, Pixels(Entry.Height, Dpi)) << Entry.Name;
    }
    EXPECT_EQ(Narrow(TextOf(Window)), Entry.Caption) << Entry.Name;

    LOGFONTW Font{};
    HFONT Handle = reinterpret_cast<HFONT>(::SendMessageW(Window, WM_GETFONT, 0, 0));
    ASSERT_NE(Handle, nullptr) << Entry.Name;
    ::GetObjectW(Handle, sizeof Font, &Font);
    EXPECT_EQ(std::wstring(Font.lfFaceName), L"Tahoma") << Entry.Name;
    EXPECT_EQ(Font.lfHeight, -static_cast<LONG>(std::lround(8.25 * Dpi / 72))) << Entry.Name;
    EXPECT_EQ(Font.lfWeight, 400) << Entry.Name;
    EXPECT_EQ(Font.lfCharSet, 0) << Entry.Name;
  }

  // A fixed single border, centred on the screen, with the layout's caption.
  const LONG_PTR Style = ::GetWindowLongPtrW(Form, GWL_STYLE);
  EXPECT_EQ(Style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
  EXPECT_NE(Style & WS_SYSMENU, 0);
  EXPECT_EQ(Narrow(TextOf(Form)), kWindowCaption);
  EXPECT_NE(::GetClassLongPtrW(Form, GCLP_HICON), 0);  // the program's icon in the title bar
  EXPECT_NE(::GetClassLongPtrW(Form, GCLP_HICONSM), 0);
  RECT Outer;
  ::GetWindowRect(Form, &Outer);
  EXPECT_NEAR((Outer.left + Outer.right) / 2, ::GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((Outer.top + Outer.bottom) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

TEST_F(FormTest, LoadRunsBeforeShowingAndFocusFollowsTheTabOrder) {
  View->Show();
  Pump();
  EXPECT_EQ(Events.Calls, std::vector<std::string>{"Load"});
  EXPECT_FALSE(Events.VisibleOnLoad);
  EXPECT_TRUE(::IsWindowVisible(Form));
  EXPECT_EQ(NameOf(::GetFocus()), control::kCmdConvert);

  std::vector<std::string> Order{NameOf(::GetFocus())};
  HWND At = ::GetFocus();
  for (int I = 0; I < 6; ++I) {
    At = ::GetNextDlgTabItem(Form, At, FALSE);
    Order.push_back(NameOf(At));
  }
  EXPECT_EQ(Order,
            (std::vector<std::string>{control::kCmdConvert, control::kTxtPath, control::kCmdBrowse,
                                      control::kTxtTI89Dir, control::kChkDeleteBMPs,
                                      control::kCmdExit, control::kCmdConvert}));

  // Tab, typed for real, moves the focus the same way.
  WindowSystemWin32 Windows;
  SendKeys(Windows.Keyboard(), ParseKeys("{TAB}{TAB}"),
           static_cast<ProcessId>(::GetCurrentProcessId()));
  Pump();
  EXPECT_EQ(NameOf(::GetFocus()), control::kCmdBrowse);
}

TEST_F(FormTest, FieldsKeepTheirLimitsAndColours) {
  View->Show();
  Pump();
  HWND Path = Control(control::kTxtPath), Device = Control(control::kTxtTI89Dir);
  EXPECT_NE(::GetWindowLongPtrW(Path, GWL_STYLE) & ES_READONLY, 0);
  EXPECT_EQ(::GetWindowLongPtrW(Device, GWL_STYLE) & ES_READONLY, 0);
  EXPECT_EQ(::SendMessageW(Device, EM_GETLIMITTEXT, 0, 0), 8);

  // The ninth character typed is refused.
  ::SetFocus(Device);
  WindowSystemWin32 Windows;
  SendKeys(Windows.Keyboard(), ParseKeys("abcdefghi"),
           static_cast<ProcessId>(::GetCurrentProcessId()));
  Pump();
  EXPECT_EQ(View->Text(control::kTxtTI89Dir), "abcdefgh");
  // Over the limit, typing is refused and deleting still works.
  View->SetText(control::kTxtTI89Dir, "abcdefghij");
  ::SendMessageW(Device, EM_SETSEL, 10, 10);
  SendKeys(Windows.Keyboard(), ParseKeys("x{BACKSPACE}"),
           static_cast<ProcessId>(::GetCurrentProcessId()));
  Pump();
  EXPECT_EQ(View->Text(control::kTxtTI89Dir), "abcdefghi");

  // The read-only field sits on the button face; the other one on the window colour.
  ::RedrawWindow(Form, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  auto Background = [](HWND Window) {
    RECT Box;
    ::GetClientRect(Window, &Box);
    HDC Dc = ::GetDC(Window);
    const COLORREF Colour = ::GetPixel(Dc, Box.right - 3, Box.bottom - 3);
    ::ReleaseDC(Window, Dc);
    return Colour;
  };
  EXPECT_EQ(Background(Path), ::GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(Background(Device), ::GetSysColor(COLOR_WINDOW));
}

// A paste loses its line breaks, as in the other toolkit, and still stops at the limit.
// Every control with a tip in the table has it in the window's tooltip control.
TEST_F(FormTest, ControlsCarryTheTablesToolTips) {
  HWND Tips = nullptr;
  for (HWND W = ::FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); W != nullptr;
       W = ::FindWindowExW(nullptr, W, TOOLTIPS_CLASSW, nullptr)) {
    if (::GetWindow(W, GW_OWNER) == Form) Tips = W;
  }
  ASSERT_NE(Tips, nullptr);
  int WithTips = 0;
  for (const ControlEntry& C : frmMainLayout().Controls) {
    SCOPED_TRACE(C.Name);
    if (C.ToolTip.empty()) continue;
    ++WithTips;
    wchar_t Text[512] = {};
    TOOLINFOW Info{};
    Info.cbSize = sizeof Info;
    Info.hwnd = ::GetParent(Control(C.Name));
    Info.uId = reinterpret_cast<UINT_PTR>(Control(C.Name));
    Info.lpszText = Text;
    ::SendMessageW(Tips, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&Info));
    EXPECT_EQ(Narrow(Text), C.ToolTip);
  }
  EXPECT_EQ(::SendMessageW(Tips, TTM_GETTOOLCOUNT, 0, 0), WithTips);
}

TEST_F(FormTest, APasteLosesItsLineBreaks) {
  View->Show();
  Pump();
  HWND Device = Control(control::kTxtTI89Dir);
  WindowSystemWin32 Windows;
  struct Case {
    const char* Before;
    std::wstring Pasted;
    const char* After;
  };
  for (const Case& C :
       {Case{"", L"ab\r\ncd\n", "abcd"}, Case{"main", L"01\r\n23456789", "main0123"}}) {
    View->SetText(control::kTxtTI89Dir, C.Before);
    ASSERT_TRUE(::OpenClipboard(Form));
    ::EmptyClipboard();
    const std::size_t Bytes = (C.Pasted.size() + 1) * sizeof(wchar_t);
    HGLOBAL Data = ::GlobalAlloc(GMEM_MOVEABLE, Bytes);
    std::memcpy(::GlobalLock(Data), C.Pasted.c_str(), Bytes);
    ::GlobalUnlock(Data);
    ::SetClipboardData(CF_UNICODETEXT, Data);
    ::CloseClipboard();
    ::SetFocus(Device);
    ::SendMessageW(Device, EM_SETSEL, 100, 100);
    SendKeys(Windows.Keyboard(), ParseKeys("^v"), static_cast<ProcessId>(::GetCurrentProcessId()));
    Pump();
    EXPECT_EQ(View->Text(control::kTxtTI89Dir), C.After);
  }
}

// Neither button is the default one: Enter presses the focused button, and nothing elsewhere.
TEST_F(FormTest, EnterPressesTheFocusedButton) {
  View->Show();
  Pump();
  WindowSystemWin32 Windows;
  for (const char* Name :
       {control::kCmdConvert, control::kCmdBrowse, control::kTxtTI89Dir, control::kChkDeleteBMPs}) {
    ::SetFocus(Control(Name));
    SendKeys(Windows.Keyboard(), ParseKeys("{ENTER}"),
             static_cast<ProcessId>(::GetCurrentProcessId()));
    Pump();
  }
  EXPECT_EQ(Events.Calls,
            (std::vector<std::string>{"Load", "Click cmdConvert", "Click cmdBrowse"}));
}

// The same cases as the Qt window's.
TEST(FormScenarios, AnswerTheFormCallsAsEveryToolkit) {
  struct Quiet : FormEvents {
    void Load() override {}
    void Unload(bool&) override {}
    void Click(const std::string&) override {}
  };
  FormFactoryWin32 Toolkit(::GetModuleHandleW(nullptr), [](const RaisedError&) {});
  TableFormFactory Factory(Toolkit);
  for (const scenarios::FormScenario& Scenario : scenarios::FormScenarios()) {
    Quiet Events;
    std::unique_ptr<FormView> View = Factory.Create(frmMainLayout(), Events);
    View->Show();
    EXPECT_EQ(scenarios::RunFormScenario(*View, Scenario), std::vector<std::string>{});
    View.reset();
    MSG Quit;  // an unloaded window asks the loop to quit; the next scenario needs none
    while (::PeekMessageW(&Quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
}

TEST_F(FormTest, TheCheckBoxHasThreeStates) {
  HWND Box = Control(control::kChkDeleteBMPs);
  EXPECT_EQ(::GetWindowLongPtrW(Box, GWL_STYLE) & BS_TYPEMASK, BS_3STATE);
  for (int Value : {2, 1, 0}) {
    View->SetValue(control::kChkDeleteBMPs, Value);
    EXPECT_EQ(::SendMessageW(Box, BM_GETCHECK, 0, 0), Value);
    EXPECT_EQ(View->Value(control::kChkDeleteBMPs), Value);
  }
  // A click only checks or unchecks, as in the Linux window; greyed is the program's to set.
  View->SetValue(control::kChkDeleteBMPs, 2);
  std::vector<int> Seen;
  for (int I = 0; I < 3; ++I) {
    ::SendMessageW(Box, BM_CLICK, 0, 0);
    Seen.push_back(View->Value(control::kChkDeleteBMPs));
  }
  EXPECT_EQ(Seen, (std::vector<int>{1, 0, 1}));
  EXPECT_TRUE(Events.Calls.empty());  // a check box is no button to the handlers
}

TEST_F(FormTest, ButtonsClickAndUnloadingCanBeCancelled) {
  View->Show();
  Pump();
  ::SendMessageW(Control(control::kCmdBrowse), BM_CLICK, 0, 0);  // inside the picture box
  ::SendMessageW(Control(control::kCmdConvert), BM_CLICK, 0, 0);
  Events.FailOnExit = true;
  ::SendMessageW(Control(control::kCmdExit), BM_CLICK, 0, 0);
  ASSERT_EQ(Errors.size(), 1u);  // caught at the window procedure, handed to the top level
  EXPECT_EQ(Errors[0].Number, 53);

  Events.CancelUnload = true;
  ::SendMessageW(Form, WM_CLOSE, 0, 0);
  EXPECT_TRUE(::IsWindow(Form));
  View->SetValue(control::kChkDeleteBMPs, 2);
  View->SetText(control::kTxtTI89Dir, "dev");

  Events.CancelUnload = false;
  ::SendMessageW(Form, WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindow(Form));
  EXPECT_EQ(Events.Calls, (std::vector<std::string>{"Load", "Click cmdBrowse", "Click cmdConvert",
                                                    "Click cmdExit", "Unload", "Unload"}));
  MSG Quit;
  EXPECT_TRUE(::PeekMessageW(&Quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  // What the window showed last can still be read, as the run may do after an unload.
  EXPECT_EQ(View->Text(control::kTxtTI89Dir), "dev");
  EXPECT_EQ(View->Value(control::kChkDeleteBMPs), 2);
  View->Unload();  // nothing left to unload
  EXPECT_EQ(Events.Calls.size(), 6u);
}

}  // namespace
}  // namespace pictrane::win32::testing
