// SPDX-License-Identifier: GPL-3.0-or-later
// The capture tool of the Windows tests: a window that writes every key it receives, one per
// line, to "keys.log" beside itself, and writes a picture (".89i" beside the bitmap it was told
// to open) when a file's keys are complete, so the run sees its conversions succeed.
//
// Lines: "args <command-line arguments>", "show <window state>", then one per key:
//   'c'            a character typed without Ctrl or Alt (UTF-8)
//   Ctrl+o Alt+F4  a key pressed with Ctrl, Alt or Shift (modifiers in that order)
//   Enter Down F4  a key that types no character, pressed on its own
// Each key string must have been taken in whole before the next one's first key arrived (a pause
// counts from then): where a string's first key was queued before the last key message before it
// was handled, a line "! late: <line>" says so. A new string begins at every key but the second
// and later Down of a run, and at the first character after a key or after the lone "a" of Alt+F,
// A. Alt+F4 closes the window, as it closes the real tool; so do two minutes without it. A close
// request (WM_CLOSE) from elsewhere leaves "keys.log.closed" beside the log.
// With PICTRANE_RECORDER_SHOW_AFTER=MS in its environment it shows its window only MS
// milliseconds after making it, as a slow program starts. With PICTRANE_RECORDER_KEY_MS=MS it
// takes MS milliseconds over every key and character before writing it, as a busy tool does.
// With PICTRANE_RECORDER_COVERED=1 a child window covers all of its window's client area, which
// is left nothing to paint of its own (WS_CLIPCHILDREN); the keys still come to the window.
// Named launcher.exe it stands for a launcher that handed over to another program: it ends at
// once with status 0, writing nothing.
// With "--read-box TITLE FILE" it records nothing: it waits up to 30 s for a message box titled
// TITLE, writes the box's text to FILE and presses its button, for the scripts that cannot read
// a box through the X server.

#include "pictrane/win32/Win32.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "pictrane/win32/Text.h"

namespace {

using pictrane::win32::Narrow;

std::FILE* Log = nullptr;
std::wstring ClosedMark;
int ShowCommand = SW_SHOW;
DWORD KeyMs = 0;

constexpr UINT_PTR kGiveUpTimer = 1, kShowTimer = 2;

void ShowNow(HWND Window) {
  ::ShowWindow(Window, ShowCommand);
  ::SetForegroundWindow(Window);
  ::SetFocus(Window);
}

// What the keys have said so far: the bitmap to open (typed between Ctrl+O and Enter) and
// whether the device folder is being typed (after Delete, up to the Enter that ends the file).
std::wstring Typed, Opened;
// For the check that each string was taken in before the next began: when the last key message
// was handled, and for the key down that began the current combination, when it was queued and
// when the key message before it had been handled.
DWORD LastHandled = 0, StartQueued = 0, HandledBeforeStart = 0;
enum class Last { Nothing, Key, Character, LoneA } LastLine = Last::Nothing;
std::string LastKey;
bool TypingPath = false, TypingFolder = false;
wchar_t PendingHigh = 0;

void Write(const std::string& Line) {
  std::fputs((Line + "\n").c_str(), Log);
  std::fflush(Log);
}

std::string KeyName(WPARAM Key) {
  if (Key >= 'A' && Key <= 'Z') return std::string(1, static_cast<char>(Key - 'A' + 'a'));
  if (Key >= '0' && Key <= '9') return std::string(1, static_cast<char>(Key));
  if (Key >= VK_F1 && Key <= VK_F24) return "F" + std::to_string(Key - VK_F1 + 1);
  switch (Key) {
    case VK_RETURN:
      return "Enter";
    case VK_TAB:
      return "Tab";
    case VK_ESCAPE:
      return "Escape";
    case VK_BACK:
      return "Backspace";
    case VK_DELETE:
      return "Delete";
    case VK_INSERT:
      return "Insert";
    case VK_HOME:
      return "Home";
    case VK_END:
      return "End";
    case VK_PRIOR:
      return "PageUp";
    case VK_NEXT:
      return "PageDown";
    case VK_UP:
      return "Up";
    case VK_DOWN:
      return "Down";
    case VK_LEFT:
      return "Left";
    case VK_RIGHT:
      return "Right";
    case VK_SPACE:
      return "Space";
    default:
      return "VK" + std::to_string(Key);
  }
}

bool TypesCharacter(WPARAM Key) {
  return Key == VK_SPACE || (Key >= '0' && Key <= 'Z') || (Key >= VK_OEM_1 && Key <= VK_OEM_8) ||
         (Key >= VK_NUMPAD0 && Key <= VK_DIVIDE) || Key == VK_OEM_102;
}

void WritePicture() {
  if (Opened.size() < 4) return;
  const std::wstring Target = Opened.substr(0, Opened.size() - 4) + L".89i";
  HANDLE Out = ::CreateFileW(Target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Out == INVALID_HANDLE_VALUE) return;
  DWORD Put = 0;
  ::WriteFile(Out, "**TI89**", 8, &Put, nullptr);
  ::CloseHandle(Out);
}

// Line begins a new key string: it must have come after the one before was handled.
void CheckStart(const std::string& Line) {
  if (static_cast<LONG>(StartQueued - HandledBeforeStart) < 0) Write("! late: " + Line);
}

void Key(const std::string& Name) {
  if (!(Name == "Down" && LastKey == "Down")) CheckStart(Name);
  LastLine = Last::Key;
  LastKey = Name;
  Write(Name);
  if (Name == "Ctrl+o") {
    TypingPath = true;
    Typed.clear();
  } else if (Name == "Delete") {
    TypingFolder = true;
  } else if (Name == "Enter") {
    if (TypingPath) Opened = Typed;
    if (TypingFolder) WritePicture();
    TypingPath = TypingFolder = false;
  }
}

LRESULT CALLBACK RecorderProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
  if (KeyMs != 0 && (Message == WM_KEYDOWN || Message == WM_SYSKEYDOWN || Message == WM_CHAR))
    ::Sleep(KeyMs);
  switch (Message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const bool Ctrl = ::GetKeyState(VK_CONTROL) < 0;
      const bool Alt = ::GetKeyState(VK_MENU) < 0 || (L & (1 << 29)) != 0;
      const bool Shift = ::GetKeyState(VK_SHIFT) < 0;
      // The first key down of a combination (no other modifier held) may begin a string.
      if (!((Ctrl && W != VK_CONTROL) || (Alt && W != VK_MENU) || (Shift && W != VK_SHIFT))) {
        StartQueued = static_cast<DWORD>(::GetMessageTime());
        HandledBeforeStart = LastHandled;
      }
      if (W == VK_SHIFT || W == VK_CONTROL || W == VK_MENU || W == VK_PACKET) return 0;
      if (!Ctrl && !Alt && TypesCharacter(W)) return 0;  // its character follows
      Key(std::string(Ctrl ? "Ctrl+" : "") + (Alt ? "Alt+" : "") + (Shift ? "Shift+" : "") +
          KeyName(W));
      // Closed at once, not through WM_CLOSE: the mark says that somebody else asked.
      if (Alt && W == VK_F4) ::DestroyWindow(Window);
      return 0;
    }
    case WM_CHAR: {
      const auto Unit = static_cast<wchar_t>(W);
      if (Unit < 0x20 || Unit == 0x7F) return 0;  // made by Enter, Backspace, Ctrl+letter
      if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) return 0;
      if (Unit >= 0xD800 && Unit <= 0xDBFF) {
        PendingHigh = Unit;
        return 0;
      }
      std::wstring Character =
          PendingHigh != 0 ? std::wstring{PendingHigh, Unit} : std::wstring{Unit};
      PendingHigh = 0;
      const std::string Line = "'" + Narrow(Character) + "'";
      if (LastLine != Last::Character) CheckStart(Line);
      LastLine = LastKey == "Alt+f" && LastLine == Last::Key && Character == L"a" ? Last::LoneA
                                                                                  : Last::Character;
      LastKey.clear();
      if (TypingPath) Typed += Character;
      Write(Line);
      return 0;
    }
    // Alt combinations stay here: no menu mode, no system menu.
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
      return 0;
    case WM_TIMER:
      if (W == kShowTimer) {
        ::KillTimer(Window, kShowTimer);
        ShowNow(Window);
        return 0;
      }
      ::DestroyWindow(Window);  // nobody closed it: the run that started it is gone
      return 0;
    case WM_CLOSE:
      if (std::FILE* Mark = ::_wfopen(ClosedMark.c_str(), L"wb")) std::fclose(Mark);
      ::DestroyWindow(Window);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(Window, Message, W, L);
  }
}

struct BoxSearch {
  const wchar_t* Title;
  HWND Found = nullptr;
};

BOOL CALLBACK FindBox(HWND Window, LPARAM Parameter) {
  auto* Search = reinterpret_cast<BoxSearch*>(Parameter);
  wchar_t Text[256] = {}, Class[16] = {};
  ::GetClassNameW(Window, Class, 16);
  ::GetWindowTextW(Window, Text, 256);
  if (!::IsWindowVisible(Window) || wcscmp(Class, L"#32770") != 0 ||
      wcscmp(Text, Search->Title) != 0)
    return TRUE;
  Search->Found = Window;
  return FALSE;
}

int ReadBox(const wchar_t* Title, const wchar_t* Path) {
  BoxSearch Search{Title};
  for (int Tries = 0; Tries < 600 && Search.Found == nullptr; ++Tries) {
    ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&Search));
    if (Search.Found == nullptr) ::Sleep(50);
  }
  if (Search.Found == nullptr) return 1;
  std::wstring Text;
  HWND Button = nullptr;
  for (HWND Child = ::GetWindow(Search.Found, GW_CHILD); Child != nullptr;
       Child = ::GetWindow(Child, GW_HWNDNEXT)) {
    wchar_t Class[16] = {}, Line[2048] = {};
    ::GetClassNameW(Child, Class, 16);
    ::GetWindowTextW(Child, Line, 2048);
    if (_wcsicmp(Class, L"Button") == 0) Button = Child;
    if (_wcsicmp(Class, L"Static") == 0 && Line[0] != 0) Text = Line;
  }
  std::FILE* Out = ::_wfopen(Path, L"wb");
  if (Out == nullptr) return 2;
  const std::string Bytes = Narrow(Text);
  std::fwrite(Bytes.data(), 1, Bytes.size(), Out);
  std::fclose(Out);
  if (Button != nullptr) ::PostMessageW(Button, BM_CLICK, 0, 0);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE, LPSTR, int Show) {
  int Count = 0;
  wchar_t** Arguments = ::CommandLineToArgvW(::GetCommandLineW(), &Count);
  if (Arguments != nullptr && Count == 4 && wcscmp(Arguments[1], L"--read-box") == 0)
    return ReadBox(Arguments[2], Arguments[3]);
  ::LocalFree(Arguments);
  wchar_t Self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, Self, MAX_PATH);
  std::wstring LogPath = Self;
  const std::size_t Folder = LogPath.find_last_of(L'\\') + 1;
  if (_wcsicmp(LogPath.c_str() + Folder, L"launcher.exe") == 0) return 0;
  LogPath = LogPath.substr(0, Folder) + L"keys.log";
  ClosedMark = LogPath + L".closed";
  Log = ::_wfopen(LogPath.c_str(), L"wb");
  if (Log == nullptr) return 3;

  // The arguments: what follows the program's name on the command line.
  std::wstring Line = ::GetCommandLineW();
  std::size_t Rest = 0;
  if (!Line.empty() && Line[0] == L'"') {
    Rest = Line.find(L'"', 1);
    Rest = Rest == std::wstring::npos ? Line.size() : Rest + 1;
  } else {
    Rest = Line.find(L' ');
    if (Rest == std::wstring::npos) Rest = Line.size();
  }
  while (Rest < Line.size() && Line[Rest] == L' ') ++Rest;
  Write("args " + Narrow(Line.substr(Rest)));
  Write("show " + std::to_string(Show));

  WNDCLASSW Class{};
  Class.lpfnWndProc = RecorderProc;
  Class.hInstance = Instance;
  Class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  Class.lpszClassName = L"PictraneKeyRecorder";
  ::RegisterClassW(&Class);
  const bool Covered = ::GetEnvironmentVariableW(L"PICTRANE_RECORDER_COVERED", nullptr, 0) > 0;
  HWND Window =
      ::CreateWindowExW(0, Class.lpszClassName, L"Key recorder",
                        WS_OVERLAPPEDWINDOW | (Covered ? WS_CLIPCHILDREN : 0), CW_USEDEFAULT,
                        CW_USEDEFAULT, 400, 300, nullptr, nullptr, Instance, nullptr);
  if (Covered) {
    RECT Client{};
    ::GetClientRect(Window, &Client);
    ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, Client.right, Client.bottom,
                      Window, nullptr, Instance, nullptr);
  }
  ::SetTimer(Window, kGiveUpTimer, 120000, nullptr);
  ShowCommand = Show;
  wchar_t Delay[16] = {};
  if (::GetEnvironmentVariableW(L"PICTRANE_RECORDER_KEY_MS", Delay, 16) > 0)
    KeyMs = static_cast<DWORD>(_wtoi(Delay));
  if (::GetEnvironmentVariableW(L"PICTRANE_RECORDER_SHOW_AFTER", Delay, 16) > 0)
    ::SetTimer(Window, kShowTimer, static_cast<UINT>(_wtoi(Delay)), nullptr);
  else
    ShowNow(Window);

  MSG Message;
  while (::GetMessageW(&Message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&Message);
    ::DispatchMessageW(&Message);
    if (Message.message >= WM_KEYFIRST && Message.message <= WM_KEYLAST)
      LastHandled = ::GetTickCount();
  }
  std::fclose(Log);
  return 0;
}
