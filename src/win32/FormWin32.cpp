// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/FormWin32.h"

#include <commctrl.h>  // after <windows.h>, which FormWin32.h brings

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "pictrane/win32/Errors.h"
#include "win32/MessageLoop.h"
#include "resource.h"

namespace pictrane::win32 {

namespace {

constexpr int kFirstControlId = 100;  // clear of IDOK and IDCANCEL: no default or cancel button

struct Control {
  ControlEntry Entry;
  HWND Window = nullptr;
};

class FormViewWin32 final : public FormControls {
 public:
  FormViewWin32(HINSTANCE Instance, const FormLayout& Layout, FormControlEvents& Events,
                const FormFactoryWin32::ErrorHandler& OnError);
  ~FormViewWin32() override;
  FormViewWin32(const FormViewWin32&) = delete;
  FormViewWin32& operator=(const FormViewWin32&) = delete;

  WindowHandle Handle() override { return reinterpret_cast<WindowHandle>(Window_); }
  void Show() override;
  void Unload() override;

  static LRESULT CALLBACK FormProc(HWND Window, UINT Message, WPARAM W, LPARAM L);

  HWND WindowOf(const std::string& Name) {
    for (const Control& C : Controls_) {
      if (C.Entry.Name == Name) return C.Window;
    }
    return nullptr;
  }

  std::string ReadText(std::size_t Index) override;
  void WriteText(std::size_t Index, const std::string& Text) override;
  int ReadValue(std::size_t Index) override;
  void WriteValue(std::size_t Index, int Value) override;

 private:
  const FormLayout& Layout() const { return Layout_; }
  bool Gone() const { return Gone_; }
  void Build(HINSTANCE Instance);
  void AddToolTips(HINSTANCE Instance);
  HWND CreateControl(HINSTANCE Instance, Control& C, int Id);
  // The window a control lives in and its position there: group frames hold no windows of their
  // own, so what they contain goes into their own parent, moved by their position.
  HWND ParentOf(const ControlEntry& Entry, POINT& Offset) const;
  Control* FindByWindow(HWND Window);
  int Pixels(int Twips) const { return TwipsToPixels(Twips, Dpi_); }

  LRESULT OnMessage(UINT Message, WPARAM W, LPARAM L);
  void Guarded(const std::function<void()>& Handler);
  void RequestUnload();

  FormLayout Layout_;
  FormControlEvents& Events_;
  bool Gone_ = false;
  FormFactoryWin32::ErrorHandler OnError_;
  std::vector<Control> Controls_;
  HWND Window_ = nullptr;
  HWND Tips_ = nullptr;
  HFONT Font_ = nullptr;
  HWND LastFocus_ = nullptr;
  int Dpi_ = 96;
  bool QuitWhenGone_ = true;
};

LRESULT CALLBACK ContainerProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
  switch (Message) {
    // Controls report to their parent; the form that owns the container answers for them.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return ::SendMessageW(::GetAncestor(Window, GA_ROOT), Message, W, L);
    // It keeps the window's font like any control.
    case WM_SETFONT:
      ::SetWindowLongPtrW(Window, 0, static_cast<LONG_PTR>(W));
      return 0;
    case WM_GETFONT:
      return ::GetWindowLongPtrW(Window, 0);
    default:
      return ::DefWindowProcW(Window, Message, W, L);
  }
}

std::wstring ClipboardText(HWND Owner) {
  std::wstring Text;
  if (!::IsClipboardFormatAvailable(CF_UNICODETEXT) || !::OpenClipboard(Owner)) return Text;
  if (HANDLE Data = ::GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* Chars = static_cast<const wchar_t*>(::GlobalLock(Data))) {
      Text = Chars;
      ::GlobalUnlock(Data);
    }
  }
  ::CloseClipboard();
  return Text;
}

// A field takes a paste without its line breaks, as in the other toolkit; the control alone would
// keep the first line only. The replacement still stops at the field's limit.
LRESULT CALLBACK FieldProc(HWND Window, UINT Message, WPARAM W, LPARAM L, UINT_PTR, DWORD_PTR) {
  if (Message == WM_PASTE && (::GetWindowLongPtrW(Window, GWL_STYLE) & ES_READONLY) == 0) {
    std::wstring Text = ClipboardText(Window);
    std::erase_if(Text, [](wchar_t C) { return C == L'\r' || C == L'\n'; });
    ::SendMessageW(Window, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(Text.c_str()));
    return 0;
  }
  if (Message == WM_NCDESTROY) ::RemoveWindowSubclass(Window, FieldProc, 0);
  return ::DefSubclassProc(Window, Message, W, L);
}

void RegisterClasses(HINSTANCE Instance) {
  static bool Registered = false;
  if (Registered) return;
  WNDCLASSEXW Form{};
  Form.cbSize = sizeof Form;
  Form.lpfnWndProc = FormViewWin32::FormProc;
  Form.hInstance = Instance;
  Form.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  Form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  Form.lpszClassName = kFormClass;
  Form.hIcon = static_cast<HICON>(::LoadImageW(Instance, MAKEINTRESOURCEW(IDI_PICTRANE), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXICON),
                                               ::GetSystemMetrics(SM_CYICON), 0));
  Form.hIconSm = static_cast<HICON>(::LoadImageW(Instance, MAKEINTRESOURCEW(IDI_PICTRANE),
                                                 IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), 0));
  ::RegisterClassExW(&Form);

  WNDCLASSEXW Container{};
  Container.cbSize = sizeof Container;
  Container.lpfnWndProc = ContainerProc;
  Container.cbWndExtra = sizeof(LONG_PTR);
  Container.hInstance = Instance;
  Container.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  Container.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  Container.lpszClassName = kContainerClass;
  ::RegisterClassExW(&Container);
  Registered = true;
}

FormViewWin32::FormViewWin32(HINSTANCE Instance, const FormLayout& Layout,
                             FormControlEvents& Events,
                             const FormFactoryWin32::ErrorHandler& OnError)
    : Layout_(Layout), Events_(Events), OnError_(OnError), Dpi_(ScreenDpi()) {
  RegisterClasses(Instance);
  Build(Instance);
}

FormViewWin32::~FormViewWin32() {
  if (Window_ != nullptr) {
    QuitWhenGone_ = false;  // the owner is going away, not the user closing the window
    ::DestroyWindow(Window_);
  }
  if (Font_ != nullptr) ::DeleteObject(Font_);
}

void FormViewWin32::Build(HINSTANCE Instance) {
  // Tahoma 8.25 pt is 11 pixels high at 96 dpi.
  const int Height = -static_cast<int>(std::lround(Layout().FontSize * Dpi_ / 72.0));
  Font_ = ::CreateFontW(Height, 0, 0, 0, Layout().FontWeight, FALSE, FALSE, FALSE,
                        static_cast<DWORD>(Layout().FontCharset), OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        Widen(Layout().FontName).c_str());

  // No WS_CLIPCHILDREN: a group frame paints only its outline, the window paints what is inside.
  const DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                      (Layout().FixedSize ? 0 : WS_THICKFRAME | WS_MAXIMIZEBOX);
  const DWORD ExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
  RECT Frame{0, 0, Pixels(Layout().ClientWidth), Pixels(Layout().ClientHeight)};
  ::AdjustWindowRectEx(&Frame, Style, FALSE, ExStyle);
  const int Width = Frame.right - Frame.left, FullHeight = Frame.bottom - Frame.top;
  int X = CW_USEDEFAULT, Y = CW_USEDEFAULT;
  if (Layout().CentreOnScreen) {
    X = (::GetSystemMetrics(SM_CXSCREEN) - Width) / 2;
    Y = (::GetSystemMetrics(SM_CYSCREEN) - FullHeight) / 2;
  }
  Window_ = ::CreateWindowExW(ExStyle, kFormClass, Widen(Layout().Caption).c_str(), Style, X, Y,
                              Width, FullHeight, nullptr, nullptr, Instance, this);
  if (Window_ == nullptr) {
    const DWORD Code = ::GetLastError();
    throw RaisedError(
        ErrorNumber::InvalidProcedureCall, kErrorSource,
        "Cannot create the window " + Layout().Name + " (" + SystemMessage(Code) + ")");
  }

  // Controls are created in tab order: the dialog navigation follows creation order.
  for (const ControlEntry& Entry : Layout().Controls) {
    Control C;
    C.Entry = Entry;
    Controls_.push_back(std::move(C));
  }
  for (std::size_t Index : TabOrder(Layout())) {
    CreateControl(Instance, Controls_[Index], kFirstControlId + static_cast<int>(Index));
  }
  AddToolTips(Instance);
  AddDialogNavigation(Window_);
}

void FormViewWin32::AddToolTips(HINSTANCE Instance) {
  INITCOMMONCONTROLSEX Classes{sizeof Classes, ICC_BAR_CLASSES};  // the tooltip class among them
  ::InitCommonControlsEx(&Classes);
  // Owned by the window, so it goes with it.
  Tips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, Window_, nullptr, Instance, nullptr);
  if (Tips_ == nullptr) return;  // the window works without them
  // Long tips wrap rather than run across the screen.
  ::SendMessageW(Tips_, TTM_SETMAXTIPWIDTH, 0, Pixels(5000));
  for (const Control& C : Controls_) {
    if (C.Entry.ToolTip.empty()) continue;
    std::wstring Text = Widen(C.Entry.ToolTip);
    TOOLINFOW Info{};
    Info.cbSize = sizeof Info;
    Info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;  // the tool is the control's own window
    Info.hwnd = ::GetParent(C.Window);
    Info.uId = reinterpret_cast<UINT_PTR>(C.Window);
    Info.lpszText = Text.data();  // copied by the control
    ::SendMessageW(Tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&Info));
  }
}

HWND FormViewWin32::ParentOf(const ControlEntry& Entry, POINT& Offset) const {
  Offset = {0, 0};
  if (Entry.Container.empty()) return Window_;
  for (const Control& C : Controls_) {
    if (C.Entry.Name != Entry.Container) continue;
    if (C.Entry.Kind != ControlKind::GroupFrame) return C.Window;
    HWND Parent = ParentOf(C.Entry, Offset);
    Offset.x += Pixels(C.Entry.Left);
    Offset.y += Pixels(C.Entry.Top);
    return Parent;
  }
  return Window_;
}

HWND FormViewWin32::CreateControl(HINSTANCE Instance, Control& C, int Id) {
  if (C.Window != nullptr) return C.Window;
  const ControlEntry& Entry = C.Entry;
  // A container is made before what it holds, whatever its tab index.
  for (Control& Other : Controls_) {
    if (Other.Entry.Name == Entry.Container && Other.Window == nullptr) {
      CreateControl(Instance, Other, kFirstControlId + static_cast<int>(&Other - Controls_.data()));
    }
  }
  const wchar_t* Class = WC_BUTTONW;
  DWORD Style = WS_CHILD | WS_VISIBLE;
  DWORD ExStyle = 0;
  switch (Entry.Kind) {
    case ControlKind::PushButton:
      Style |= WS_TABSTOP | BS_PUSHBUTTON;
      break;
    case ControlKind::GroupFrame:
      Style |= BS_GROUPBOX;
      break;
    case ControlKind::PictureBox:
      Class = kContainerClass;
      Style |= WS_CLIPCHILDREN;
      ExStyle |= WS_EX_CONTROLPARENT;  // Tab moves into the controls it holds
      break;
    case ControlKind::TextField:
      Class = WC_EDITW;
      Style |= WS_TABSTOP | ES_AUTOHSCROLL | (Entry.ReadOnly ? ES_READONLY : 0);
      ExStyle |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::Label:
      Class = WC_STATICW;
      // A label lets the mouse through to its parent unless it notifies: its tip needs the mouse.
      Style |= SS_LEFT | (Entry.ToolTip.empty() ? 0 : SS_NOTIFY);
      break;
    case ControlKind::CheckBox:
      // A three-state box changes on clicks itself (see OnMessage): greyed is never a click's.
      Style |= WS_TABSTOP | (Entry.TriState ? BS_3STATE : BS_AUTOCHECKBOX);
      break;
  }
  POINT Offset;
  HWND Parent = ParentOf(Entry, Offset);
  const std::wstring Caption = Widen(Entry.Caption);
  int Width = Pixels(Entry.Width), Height = Pixels(Entry.Height);
  if (Entry.Kind == ControlKind::Label && Entry.SizedToText) {
    HDC Screen = ::GetDC(nullptr);
    HGDIOBJ Old = ::SelectObject(Screen, Font_);
    SIZE Extent{};
    ::GetTextExtentPoint32W(Screen, Caption.c_str(), static_cast<int>(Caption.size()), &Extent);
    ::SelectObject(Screen, Old);
    ::ReleaseDC(nullptr, Screen);
    Width = Extent.cx;
    Height = Extent.cy;
  }
  C.Window =
      ::CreateWindowExW(ExStyle, Class, Caption.c_str(), Style, Offset.x + Pixels(Entry.Left),
                        Offset.y + Pixels(Entry.Top), Width, Height, Parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), Instance, nullptr);
  if (C.Window == nullptr) {
    const DWORD Code = ::GetLastError();
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kErrorSource,
                      "Cannot create the control " + Entry.Name + " (" + SystemMessage(Code) + ")");
  }
  if (Entry.Kind == ControlKind::GroupFrame) {
    // Beneath what it surrounds, and kept from painting over it.
    ::SetWindowLongPtrW(C.Window, GWL_STYLE,
                        ::GetWindowLongPtrW(C.Window, GWL_STYLE) | WS_CLIPSIBLINGS);
    ::SetWindowPos(C.Window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  ::SendMessageW(C.Window, WM_SETFONT, reinterpret_cast<WPARAM>(Font_), FALSE);
  if (Entry.Kind == ControlKind::TextField) {
    ::SetWindowSubclass(C.Window, FieldProc, 0, 0);
    if (Entry.MaxLength > 0) {
      ::SendMessageW(C.Window, EM_LIMITTEXT, static_cast<WPARAM>(Entry.MaxLength), 0);
    }
  }
  return C.Window;
}

Control* FormViewWin32::FindByWindow(HWND Window) {
  for (Control& C : Controls_) {
    if (C.Window == Window && Window != nullptr) return &C;
  }
  return nullptr;
}

std::string FormViewWin32::ReadText(std::size_t Index) {
  HWND Window = Controls_[Index].Window;
  std::wstring Text(static_cast<std::size_t>(::GetWindowTextLengthW(Window)) + 1, L'\0');
  const int Got = ::GetWindowTextW(Window, Text.data(), static_cast<int>(Text.size()));
  Text.resize(static_cast<std::size_t>(std::max(Got, 0)));
  return Narrow(Text);
}

// The edit control's limit holds typing only: the whole text goes in.
void FormViewWin32::WriteText(std::size_t Index, const std::string& Text) {
  ::SetWindowTextW(Controls_[Index].Window, Widen(Text).c_str());
}

int FormViewWin32::ReadValue(std::size_t Index) {
  return static_cast<int>(::SendMessageW(Controls_[Index].Window, BM_GETCHECK, 0, 0));
}

void FormViewWin32::WriteValue(std::size_t Index, int Value) {
  // 0, 1 and 2 are BST_UNCHECKED, BST_CHECKED and BST_INDETERMINATE.
  ::SendMessageW(Controls_[Index].Window, BM_SETCHECK, static_cast<WPARAM>(Value), 0);
}

void FormViewWin32::Show() {
  if (Gone()) return;
  Events_.Load();
  if (Gone()) return;  // Load may unload
  ::ShowWindow(Window_, SW_SHOWNORMAL);
  ::UpdateWindow(Window_);
  ::SetForegroundWindow(Window_);
  for (Control& C : Controls_) {
    if (C.Entry.Name == Layout().FocusedControl) {
      ::SetFocus(C.Window);
      LastFocus_ = C.Window;
    }
  }
}

void FormViewWin32::Unload() {
  if (Gone()) return;
  bool Cancel = false;
  Events_.Unload(Cancel);
  if (!Cancel && !Gone()) ::DestroyWindow(Window_);
}

void FormViewWin32::RequestUnload() {
  Unload();
}

void FormViewWin32::Guarded(const std::function<void()>& Handler) {
  // Exceptions must not unwind through the system's code that called the window procedure.
  try {
    Handler();
  } catch (...) {
    OnError_(CurrentError(kErrorSource));
  }
}

LRESULT FormViewWin32::OnMessage(UINT Message, WPARAM W, LPARAM L) {
  switch (Message) {
    case WM_COMMAND: {
      HWND From = reinterpret_cast<HWND>(L);
      // Enter on a focused button comes from the dialog navigation as IDOK without a control.
      if (From == nullptr && LOWORD(W) == IDOK) From = ::GetFocus();
      Control* C = FindByWindow(From);
      if (C != nullptr && C->Entry.Kind == ControlKind::PushButton && HIWORD(W) == BN_CLICKED) {
        const std::string Name = C->Entry.Name;
        Guarded([&] { Events_.Click(Name); });
      }
      if (C != nullptr && C->Entry.Kind == ControlKind::CheckBox && C->Entry.TriState &&
          HIWORD(W) == BN_CLICKED) {
        const bool Checked = ::SendMessageW(From, BM_GETCHECK, 0, 0) == BST_CHECKED;
        ::SendMessageW(From, BM_SETCHECK, Checked ? BST_UNCHECKED : BST_CHECKED, 0);
      }
      return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      Control* C = FindByWindow(reinterpret_cast<HWND>(L));
      if (C != nullptr && C->Entry.ButtonFaceBackground) {
        HDC Dc = reinterpret_cast<HDC>(W);
        ::SetBkColor(Dc, ::GetSysColor(COLOR_BTNFACE));
        ::SetTextColor(Dc, ::GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    }
    case WM_ACTIVATE:
      // An ordinary window does not keep its focused control across activation; a form does.
      if (LOWORD(W) == WA_INACTIVE) {
        HWND Focus = ::GetFocus();
        if (Focus != nullptr && ::IsChild(Window_, Focus)) LastFocus_ = Focus;
      } else if (LastFocus_ != nullptr && ::IsWindow(LastFocus_)) {
        ::SetFocus(LastFocus_);
        return 0;
      }
      break;
    case WM_CLOSE:
      Guarded([this] { RequestUnload(); });
      return 0;
    case WM_DESTROY:
      Events_.WindowGoing();
      Gone_ = true;
      RemoveDialogNavigation(Window_);
      if (QuitWhenGone_) ::PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(Window_, GWLP_USERDATA, 0);
      Window_ = nullptr;
      for (Control& C : Controls_) C.Window = nullptr;
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(Window_, Message, W, L);
}

LRESULT CALLBACK FormViewWin32::FormProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
  if (Message == WM_NCCREATE) {
    auto* Create = reinterpret_cast<CREATESTRUCTW*>(L);
    auto* View = static_cast<FormViewWin32*>(Create->lpCreateParams);
    View->Window_ = Window;
    ::SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(View));
  }
  auto* View = reinterpret_cast<FormViewWin32*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (View == nullptr) return ::DefWindowProcW(Window, Message, W, L);
  return View->OnMessage(Message, W, L);
}

}  // namespace

HWND ControlWindow(FormControls& View, const std::string& Name) {
  auto* Built = dynamic_cast<FormViewWin32*>(&View);
  return Built != nullptr ? Built->WindowOf(Name) : nullptr;
}

int ScreenDpi() {
  HDC Screen = ::GetDC(nullptr);
  const int Dpi = ::GetDeviceCaps(Screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, Screen);
  return Dpi > 0 ? Dpi : 96;
}

FormFactoryWin32::FormFactoryWin32(HINSTANCE Instance, ErrorHandler OnUnhandledError)
    : Instance_(Instance), OnUnhandledError_(std::move(OnUnhandledError)) {}

std::unique_ptr<FormControls> FormFactoryWin32::Create(const FormLayout& Layout,
                                                       FormControlEvents& Events) {
  return std::make_unique<FormViewWin32>(Instance_, Layout, Events, OnUnhandledError_);
}

}  // namespace pictrane::win32
