// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/ProgressWindowWin32.h"

#include <commctrl.h>

#include <string>

#include "pictrane/win32/Text.h"

namespace pictrane::win32 {

namespace {

constexpr wchar_t kClassName[] = L"PictraneProgress";
constexpr UINT kToolAnswerMs = 200;  // at most, for the tool's thread to answer before showing

// Pixels for a length at 96 dots per inch, on this screen.
int Scaled(int Pixels) {
  HDC Screen = ::GetDC(nullptr);
  const int Dpi = Screen != nullptr ? ::GetDeviceCaps(Screen, LOGPIXELSY) : 96;
  if (Screen != nullptr) ::ReleaseDC(nullptr, Screen);
  return ::MulDiv(Pixels, Dpi, 96);
}

}  // namespace

ProgressWindowWin32::ProgressWindowWin32(HINSTANCE Instance, std::unique_ptr<Taskbar> Bar)
    : Instance_(Instance), Bar_(std::move(Bar)) {}

ProgressWindowWin32::~ProgressWindowWin32() {
  if (Window_ != nullptr) ::DestroyWindow(Window_);
  if (Marker_ != nullptr) ::DestroyWindow(Marker_);
  if (Font_ != nullptr) ::DeleteObject(Font_);
}

void ProgressWindowWin32::Create() {
  INITCOMMONCONTROLSEX Controls{sizeof Controls, ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&Controls);
  WNDCLASSW Class{};
  Class.lpfnWndProc = Proc;
  Class.hInstance = Instance_;
  Class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  Class.lpszClassName = kClassName;
  ::RegisterClassW(&Class);  // fails harmlessly when a second window registers it again

  NONCLIENTMETRICSW Metrics{};
  Metrics.cbSize = sizeof Metrics;
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof Metrics, &Metrics, 0))
    Font_ = ::CreateFontIndirectW(&Metrics.lfMessageFont);

  const int Width = Scaled(360), Line = Scaled(20), Gap = Scaled(8), Button = Scaled(26);
  RECT Frame{0, 0, Width, Gap + Line + Line + Gap + Scaled(16) + Gap + Button + Gap};
  // Topmost over the maximised tool, no taskbar button, and never activated.
  const DWORD ExStyle = WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
  const DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  ::AdjustWindowRectEx(&Frame, Style, FALSE, ExStyle);
  Window_ = ::CreateWindowExW(ExStyle, kClassName, Widen(View_.Title).c_str(), Style, 0, 0,
                              Frame.right - Frame.left, Frame.bottom - Frame.top, nullptr, nullptr,
                              Instance_, this);
  if (Window_ == nullptr) return;
  Marker_ = ::CreateWindowExW(ExStyle, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              Instance_, nullptr);

  auto Child = [&](const wchar_t* ClassName, const wchar_t* Text, DWORD ChildStyle, int Id, int Y,
                   int Height, int X = -1, int ChildWidth = -1) {
    if (X < 0) X = Gap;
    if (ChildWidth < 0) ChildWidth = Width - 2 * Gap;
    HWND C = ::CreateWindowExW(
        0, ClassName, Text, WS_CHILD | WS_VISIBLE | ChildStyle, X, Y, ChildWidth, Height, Window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), Instance_, nullptr);
    if (Font_ != nullptr) ::SendMessageW(C, WM_SETFONT, reinterpret_cast<WPARAM>(Font_), FALSE);
    return C;
  };
  int Y = Gap;
  Count_ = Child(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, kCountId, Y, Line);
  // A long name is shortened in the middle, keeping its end (the extension) in view.
  Name_ = Child(L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, kNameId, Y += Line, Line);
  Progress_ = Child(PROGRESS_CLASSW, L"", 0, kBarId, Y += Line + Gap, Scaled(16));
  const int ButtonWidth = Scaled(88);
  Cancel_ = Child(L"BUTTON", Widen(View_.CancelCaption).c_str(), BS_PUSHBUTTON, kCancelId,
                  Y += Scaled(16) + Gap, Button, Width - Gap - ButtonWidth, ButtonWidth);
  // A button takes the focus when pressed, which would activate this window: it gets its own
  // mouse handling.
  ::SetWindowLongPtrW(Cancel_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ButtonDefault_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(Cancel_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ButtonProc)));
}

void ProgressWindowWin32::Draw(const ProgressView& View) {
  ::SetWindowTextW(Window_, Widen(View.Title).c_str());
  ::SetWindowTextW(Count_, Widen(View.Counter).c_str());
  ::SetWindowTextW(Name_, Widen(View.Name).c_str());
  ::SendMessageW(Progress_, PBM_SETRANGE32, 0, static_cast<LPARAM>(View.Total));
  ::SendMessageW(Progress_, PBM_SETPOS, static_cast<WPARAM>(View.Done), 0);
  ::SetWindowTextW(Cancel_, Widen(View.CancelCaption).c_str());
  ::EnableWindow(Cancel_, View.CanCancel ? TRUE : FALSE);
}

void ProgressWindowWin32::Begin(const ProgressView& View) {
  View_ = View;
  Pressed_ = false;
  if (Window_ == nullptr) Create();
  if (Window_ == nullptr) return;
  Draw(View_);

  // The bottom-right corner of the work area of the screen the tool (in the foreground) is on.
  MONITORINFO Monitor{};
  Monitor.cbSize = sizeof Monitor;
  HWND Tool = ::GetForegroundWindow();
  HMONITOR Screen = ::MonitorFromWindow(Tool, MONITOR_DEFAULTTOPRIMARY);
  RECT Frame{};
  ::GetWindowRect(Window_, &Frame);
  if (::GetMonitorInfoW(Screen, &Monitor)) {
    const RECT& Work = Monitor.rcWork;
    const ScreenPoint At =
        ProgressWindowOrigin(Work.left, Work.top, Work.right - Work.left, Work.bottom - Work.top,
                             Frame.right - Frame.left, Frame.bottom - Frame.top);
    ::SetWindowPos(Window_, HWND_TOPMOST, At.X, At.Y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  }
  // The tool's window has just taken the focus, but under Wine the X server may not show it
  // yet: once its thread has answered a message it has reached its message loop, and with it
  // sent on what it asked of X (a hung tool is not waited for long).
  if (Tool != nullptr)
    ::SendMessageTimeoutW(Tool, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kToolAnswerMs, nullptr);
  ::ShowWindow(Window_, SW_SHOWNOACTIVATE);
  StayAbove();
  if (Bar_) {
    Bar_->Start();
    Bar_->Progress(0, View_.Total);
  }
}

void ProgressWindowWin32::Step(const ProgressView& Next) {
  View_ = Next;
  if (Window_ == nullptr) return;
  const ProgressView& View = View_;
  ::SetWindowTextW(Count_, Widen(View.Counter).c_str());
  ::SetWindowTextW(Name_, Widen(View.Name).c_str());
  ::SendMessageW(Progress_, PBM_SETPOS, static_cast<WPARAM>(View.Done), 0);
  if (Bar_) Bar_->Progress(View.Done, View.Total);
  StayAbove();
  // Painted now, not at the run's next DoEvents, which comes only after this file's keys.
  ::UpdateWindow(Window_);
}

void ProgressWindowWin32::End(bool Complete) {
  if (Window_ != nullptr) ::ShowWindow(Window_, SW_HIDE);
  if (Bar_) Bar_->Finish(Complete);
}

// Topmost again, without moving, sizing or activating it. Windows keeps a topmost window above
// the tool by itself, but under Wine the X server may show the tool's window, mapped or raised a
// moment later, over it while Windows still counts it first. HWND_TOPMOST alone would then change
// nothing (the window is first already) and nothing would be restacked on X, so the window steps
// between the top and the place after the marker, a topmost window never shown: a move each time,
// which Wine passes on as a raise. It stays topmost throughout; stepping out of the topmost band
// and back would, under a window manager, move it out of the "above" layer and under the focused
// tool for a moment, leaving it to be repainted.
void ProgressWindowWin32::StayAbove() {
  constexpr UINT Flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  const bool AfterMarker = Marker_ != nullptr && ::GetWindow(Window_, GW_HWNDPREV) == Marker_;
  ::SetWindowPos(Window_, AfterMarker || Marker_ == nullptr ? HWND_TOPMOST : Marker_, 0, 0, 0, 0,
                 Flags);
  // A look at the queue that waits for nothing: Wine sends what it asks of X on there, and not
  // only at the run's next DoEvents, after this file's keys.
  ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
}

void ProgressWindowWin32::RequestCancel() {
  if (Pressed_) return;
  Pressed_ = true;
  Draw(View_ = Pressed(View_));
}

LRESULT CALLBACK ProgressWindowWin32::Proc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
  if (Message == WM_NCCREATE) {
    const auto* Create = reinterpret_cast<const CREATESTRUCTW*>(L);
    ::SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Create->lpCreateParams));
  }
  auto* Self = reinterpret_cast<ProgressWindowWin32*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
  switch (Message) {
    case WM_MOUSEACTIVATE:
      // A click anywhere on it, frame and controls included, leaves the tool active.
      return MA_NOACTIVATE;
    case WM_COMMAND:
      if (LOWORD(W) == kCancelId && HIWORD(W) == BN_CLICKED && Self != nullptr)
        Self->RequestCancel();
      return 0;
    case WM_CLOSE:
      // The close box cancels; the window stays until the run has stopped.
      if (Self != nullptr) Self->RequestCancel();
      return 0;
    default:
      return ::DefWindowProcW(Window, Message, W, L);
  }
}

LRESULT CALLBACK ProgressWindowWin32::ButtonProc(HWND Button, UINT Message, WPARAM W, LPARAM L) {
  auto* Self = reinterpret_cast<ProgressWindowWin32*>(::GetWindowLongPtrW(Button, GWLP_USERDATA));
  switch (Message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // Pressed, without the focus the button's own handling would take.
      ::SendMessageW(Button, BM_SETSTATE, TRUE, 0);
      ::SetCapture(Button);
      return 0;
    case WM_LBUTTONUP:
      if (::GetCapture() == Button) {
        ::ReleaseCapture();
        ::SendMessageW(Button, BM_SETSTATE, FALSE, 0);
        RECT Inside{};
        ::GetClientRect(Button, &Inside);
        const POINT At{static_cast<short>(LOWORD(L)), static_cast<short>(HIWORD(L))};
        if (::PtInRect(&Inside, At)) Self->RequestCancel();
      }
      return 0;
    default:
      return ::CallWindowProcW(Self->ButtonDefault_, Button, Message, W, L);
  }
}

}  // namespace pictrane::win32
