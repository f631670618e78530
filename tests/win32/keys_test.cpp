// SPDX-License-Identifier: GPL-3.0-or-later
// Keystrokes through SendInput: the events a key string becomes, and keys typed for real into a
// window of this process.

#include "Win32TestSupport.h"

#include <algorithm>
#include <optional>
#include "conversion/SendKeys.h"
#include "conversion/ToolStart.h"
#include "win32/KeyInput.h"
#include "win32/ProcessesWin32.h"
#include "win32/WindowSystemWin32.h"

namespace pictrane::win32::testing {
namespace {

// "+Ctrl" for a key pressed, "-Ctrl" released, "u0061" for a Unicode packet, "x" for the
// extended (cursor block) keys.
std::string Describe(const std::vector<INPUT>& Inputs) {
  std::string Text;
  for (const INPUT& In : Inputs) {
    const bool Up = (In.ki.dwFlags & KEYEVENTF_KEYUP) != 0;
    std::string Key;
    if ((In.ki.dwFlags & KEYEVENTF_UNICODE) != 0) {
      char Hex[8];
      std::snprintf(Hex, sizeof Hex, "u%04X", In.ki.wScan);
      Key = Hex;
    } else {
      switch (In.ki.wVk) {
        case VK_CONTROL:
          Key = "Ctrl";
          break;
        case VK_MENU:
          Key = "Alt";
          break;
        case VK_SHIFT:
          Key = "Shift";
          break;
        case VK_RETURN:
          Key = "Enter";
          break;
        case VK_DELETE:
          Key = "Del";
          break;
        case VK_DOWN:
          Key = "Down";
          break;
        case VK_F4:
          Key = "F4";
          break;
        default:
          Key = std::string(1, static_cast<char>(In.ki.wVk));
      }
      if (In.ki.wScan == 0) Key += "?";  // every virtual key carries its scan code
      if ((In.ki.dwFlags & KEYEVENTF_EXTENDEDKEY) != 0) Key += "x";
    }
    Text += (Text.empty() ? "" : " ") + std::string(Up ? "-" : "+") + Key;
  }
  return Text;
}

TEST(KeyInputs, ShortcutsAsKeysAndTextAsCharacters) {
  const struct {
    std::string Keys;
    std::string Events;
  } Cases[] = {
      {"^{F4}", "+Ctrl +F4 -F4 -Ctrl"},
      {"^o", "+Ctrl +O -O -Ctrl"},
      {"%f", "+Alt +F -F -Alt"},
      {"%{F4}", "+Alt +F4 -F4 -Alt"},
      {"+a", "+Shift +A -A -Shift"},
      {"^O", "+Ctrl +Shift +O -O -Shift -Ctrl"},  // the capital needs Shift on the key
      {"a", "+u0061 -u0061"},
      {"A", "+u0041 -u0041"},
      {"{DOWN 3}", "+Downx -Downx +Downx -Downx +Downx -Downx"},
      {"{DEL}~", "+Delx -Delx +Enter -Enter"},
      {"{+}{{}", "+u002B -u002B +u007B -u007B"},
      {"\xC3\xA9\xCE\xA9", "+u00E9 -u00E9 +u03A9 -u03A9"},
      {"\xF0\x9D\x84\x9E", "+uD834 -uD834 +uDD1E -uDD1E"},  // beyond the first plane: a pair
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(Describe(KeyInputs(ParseKeys(Case.Keys))), Case.Events) << Case.Keys;
  }
}

TEST(KeyInputs, AShortcutWithoutAKeyRaisesBeforeAnything) {
  // No keyboard layout has a key for this ideograph, so Ctrl cannot go with it.
  EXPECT_THROW(KeyInputs(ParseKeys("ab^\xE4\xB8\xAD")), RaisedError);
}

// A window of this thread that writes down the keys it gets.
class RecordingWindow {
 public:
  RecordingWindow() {
    WNDCLASSW Class{};
    Class.lpfnWndProc = Proc;
    Class.hInstance = ::GetModuleHandleW(nullptr);
    Class.lpszClassName = L"PictraneKeysTest";
    ::RegisterClassW(&Class);
    Window = ::CreateWindowExW(0, Class.lpszClassName, L"keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                               0, 300, 200, nullptr, nullptr, Class.hInstance, nullptr);
    ::SetForegroundWindow(Window);
    ::SetFocus(Window);
    PumpPendingMessages();
    Record().clear();
  }
  ~RecordingWindow() {
    ::DestroyWindow(Window);
    PumpPendingMessages();
  }

  // Brings the window forward to stay: under Wine a focus change another process made reaches
  // this one as X events, taken in only when this thread looks at its messages, and may then
  // move the foreground again. Forward counts once three looks 20 ms apart all find it there.
  void ComeForward() const {
    for (int Steady = 0, Tries = 0; Steady < 3 && Tries < 100; ++Tries) {
      ::Sleep(20);
      PumpPendingMessages();
      if (::GetForegroundWindow() == Window) {
        ++Steady;
      } else {
        Steady = 0;
        ::SetForegroundWindow(Window);
        ::SetFocus(Window);
      }
    }
  }

  static std::vector<std::string>& Record() {
    static std::vector<std::string> Keys;
    return Keys;
  }

  HWND Window = nullptr;

 private:
  static void PumpPendingMessages() {
    MSG M;
    while (::PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&M);
      ::DispatchMessageW(&M);
    }
  }
  static LRESULT CALLBACK Proc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
    const bool Ctrl = ::GetKeyState(VK_CONTROL) < 0;
    const bool Alt = ::GetKeyState(VK_MENU) < 0;
    switch (Message) {
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        if (W == VK_RETURN || W == VK_F4 || ((Ctrl || Alt) && W >= 'A' && W <= 'Z')) {
          Record().push_back(std::string(Ctrl ? "Ctrl+" : "") + (Alt ? "Alt+" : "") +
                             (W == VK_RETURN ? "Enter"
                              : W == VK_F4   ? "F4"
                                             : std::string(1, static_cast<char>(W))));
        }
        return 0;
      case WM_CHAR:
        if (W >= 0x20 && !Ctrl && !Alt)
          Record().push_back(Narrow(std::wstring(1, static_cast<wchar_t>(W))));
        return 0;
      case WM_SYSCHAR:
      case WM_SYSKEYUP:
        return 0;
      default:
        return ::DefWindowProcW(Window, Message, W, L);
    }
  }
};

TEST(WindowSystemWin32, TypesIntoTheForegroundWindowAndWaitsForIt) {
  RecordingWindow Target;
  WindowSystemWin32 Windows;
  ASSERT_EQ(Windows.FocusedProcess(), static_cast<ProcessId>(::GetCurrentProcessId()));

  ASSERT_TRUE(SendKeys(Windows.Keyboard(),
                       ParseKeys("^o" + EscapeKeys("C:\\a+b \xCE\xA9{1}") + "~%{F4}"),
                       static_cast<ProcessId>(::GetCurrentProcessId())));
  // Nothing is pumped here: the keys were handled before SendKeys returned.
  EXPECT_EQ(RecordingWindow::Record(),
            (std::vector<std::string>{"Ctrl+O", "C", ":", "\\", "a", "+", "b", " ", "\xCE\xA9", "{",
                                      "1", "}", "Enter", "Alt+F4"}));
  // No modifier is left held.
  EXPECT_GE(::GetAsyncKeyState(VK_CONTROL), 0);
  EXPECT_GE(::GetAsyncKeyState(VK_MENU), 0);
  EXPECT_GE(::GetAsyncKeyState(VK_SHIFT), 0);
}

// Another program's window comes forward after batch StealAt of a string: the rest of the
// string is not sent, and nothing stays held.
TEST(WindowSystemWin32, StopsWhenAnotherWindowComesForwardMidString) {
  const std::wstring Recorder = PathFromEnvironment("PICTRANE_RECORDER");
  ASSERT_FALSE(Recorder.empty());
  const std::wstring Log = Recorder.substr(0, Recorder.find_last_of(L'\\') + 1) + L"keys.log";
  ::DeleteFileW(Log.c_str());
  ChildProcess Intruder(L"\"" + Recorder + L"\"");
  const HWND IntruderWindow = WaitForTopWindow(Intruder, L"PictraneKeyRecorder", 10000);
  ASSERT_NE(IntruderWindow, nullptr);
  auto KeyLines = [&] {
    const std::optional<std::string> Text = ReadBytes(Log);
    std::size_t Lines = 0;
    std::size_t Start = 0;
    for (std::size_t End; Text && (End = Text->find('\n', Start)) != std::string::npos;
         Start = End + 1)
      if (Text->compare(Start, 5, "args ") != 0 && Text->compare(Start, 5, "show ") != 0) ++Lines;
    return Lines;
  };

  RecordingWindow Target;
  WindowSystemWin32 Windows;
  const auto Self = static_cast<ProcessId>(::GetCurrentProcessId());
  // 11 batches (a key down with the key ups after it) when all goes through: a, b, Ctrl, o with
  // the ups of o and Ctrl, five Down, c, d.
  const KeyActions Actions = ParseKeys("ab^o{DOWN 5}cd");
  const std::vector<std::string> Whole{"a", "b", "Ctrl+O", "c", "d"};
  for (int StealAt : {1, 3, 4, 6, 10}) {
    SCOPED_TRACE("the foreground moves after batch " + std::to_string(StealAt));
    Target.ComeForward();
    ASSERT_EQ(Windows.FocusedProcess(), Self);
    RecordingWindow::Record().clear();
    const std::size_t StrayBefore = KeyLines();
    int Events = 0;
    Windows.Keyboard().SetAfterKeyBatch([&] {
      if (++Events == StealAt) ::SetForegroundWindow(IntruderWindow);
    });
    EXPECT_FALSE(SendKeys(Windows.Keyboard(), Actions, Self));
    Windows.Keyboard().SetAfterKeyBatch(nullptr);
    EXPECT_EQ(Events, StealAt) << "a key went out after the foreground moved";
    EXPECT_GE(::GetAsyncKeyState(VK_CONTROL), 0);
    EXPECT_GE(::GetAsyncKeyState(VK_SHIFT), 0);
    EXPECT_GE(::GetAsyncKeyState(VK_DOWN), 0);
    const std::vector<std::string>& Got = RecordingWindow::Record();
    ASSERT_LE(Got.size(), Whole.size());
    EXPECT_TRUE(std::equal(Got.begin(), Got.end(), Whole.begin())) << "not the string's start";
    ::Sleep(200);  // the recorder writes what it got
    EXPECT_LE(KeyLines(), StrayBefore + 1);
  }

  // A window of a process the target started counts as the target's: the keys follow it there.
  ProcessesWin32 Programs;
  EXPECT_EQ(Programs.ParentProcess(static_cast<ProcessId>(Intruder.Id())), Self);
  ClockWin32 Time;
  ToolProcess Tool(Windows, Programs, Time, Self);
  Target.ComeForward();
  RecordingWindow::Record().clear();
  const std::size_t StrayBefore = KeyLines();
  int Events = 0;
  Windows.Keyboard().SetAfterKeyBatch([&] {
    if (++Events == 6) ::SetForegroundWindow(IntruderWindow);
  });
  EXPECT_EQ(SendKeys(Windows.Keyboard(), Actions, Tool), KeysOutcome::Sent);
  Windows.Keyboard().SetAfterKeyBatch(nullptr);
  EXPECT_EQ(Events, 11);
  ::Sleep(200);  // the recorder writes what it got
  EXPECT_GT(KeyLines(), StrayBefore) << "the rest went to the started process";
}

// Another program's key, sent with SendInput as the user's keyboard would: not ours, whatever
// the process, since it lacks our mark.
void OthersKey(WORD Key, bool Up, ULONG_PTR ExtraInfo = 0) {
  INPUT In{};
  In.ki.dwExtraInfo = ExtraInfo;
  In.type = INPUT_KEYBOARD;
  In.ki.wVk = Key;
  In.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(Key, MAPVK_VK_TO_VSC));
  In.ki.dwFlags = Up ? KEYEVENTF_KEYUP : 0;
  ::SendInput(1, &In, sizeof In);
}

// Keys of others held when a string is about to start: nothing is typed until they are let go.
// In a watched sequence the first string forgives what came before it; after that, a key tapped
// between two strings stops the next before its first key.
TEST(WindowSystemWin32, KeysOfOthersHeldOrTappedBetweenStrings) {
  RecordingWindow Target;
  WindowSystemWin32 Windows;
  OneProcess Self(static_cast<ProcessId>(::GetCurrentProcessId()));
  // Wine sets its modifiers to the X server's once the window has the focus: that comes first.
  EXPECT_FALSE(Windows.Keyboard().AskOthersHold());
  ::Sleep(200);
  Windows.DoEvents();
  for (const int Held : {VK_SHIFT, VK_CONTROL, VK_MENU}) {
    SCOPED_TRACE(Held);
    OthersKey(static_cast<WORD>(Held), false);
    EXPECT_TRUE(Windows.Keyboard().AskOthersHold());
    EXPECT_EQ(SendKeys(Windows.Keyboard(), ParseKeys("ab"), Self), KeysOutcome::KeysHeld);
    OthersKey(static_cast<WORD>(Held), true);
    EXPECT_FALSE(Windows.Keyboard().AskOthersHold());
    EXPECT_EQ(SendKeys(Windows.Keyboard(), ParseKeys("cd"), Self), KeysOutcome::Sent);
  }
  // A modifier down with no key event of others to tell of it (a locked one; here one sent with
  // our own mark, which raw input takes for ours) is held too.
  for (const int Locked : {VK_SHIFT, VK_CONTROL, VK_MENU}) {
    SCOPED_TRACE(Locked);
    OthersKey(static_cast<WORD>(Locked), false, kOwnInput);
    EXPECT_EQ(SendKeys(Windows.Keyboard(), ParseKeys("ab"), Self), KeysOutcome::KeysHeld);
    OthersKey(static_cast<WORD>(Locked), true, kOwnInput);
    EXPECT_EQ(SendKeys(Windows.Keyboard(), ParseKeys("cd"), Self), KeysOutcome::Sent);
  }
  // Others' keys since the previous string count where the pacing says so.
  struct Counting final : KeyPacing {
    void BeforeFirstKey() override {}
    void Handed() override {}
    bool EarlierKeysCount() override { return true; }
  } Earlier;
  Windows.Keyboard().WatchKeyboard();
  OthersKey(VK_F11, false);
  OthersKey(VK_F11, true);
  EXPECT_EQ(SendKeys(Windows.Keyboard(), ParseKeys("e"), Self),
            KeysOutcome::Sent);  // F11 does not count
  EXPECT_EQ(SendKeys(Windows.Keyboard(), ParseKeys("f"), Self, Earlier), KeysOutcome::Sent);
  OthersKey(VK_F11, false);
  OthersKey(VK_F11, true);
  EXPECT_EQ(SendKeys(Windows.Keyboard(), ParseKeys("g"), Self, Earlier), KeysOutcome::OthersKeys);
  EXPECT_EQ(SendKeys(Windows.Keyboard(), ParseKeys("h"), Self),
            KeysOutcome::Sent);  // nor does g's F11
  EXPECT_EQ(RecordingWindow::Record(),
            (std::vector<std::string>{"c", "d", "c", "d", "c", "d", "c", "d", "c", "d", "c", "d",
                                      "e", "f", "h"}));
}

// A key of others after batch At of a string: no event of the string follows it, nothing
// stays held, and the string answers OthersKeys.
TEST(WindowSystemWin32, StopsAtAKeyOfOthersMidString) {
  RecordingWindow Target;
  WindowSystemWin32 Windows;
  OneProcess Self(static_cast<ProcessId>(::GetCurrentProcessId()));
  // 11 batches when all goes through, as above.
  const KeyActions Actions = ParseKeys("ab^o{DOWN 5}cd");
  const std::vector<std::string> Whole{"a", "b", "Ctrl+O", "c", "d"};
  for (int At : {1, 3, 4, 6, 10, 11}) {
    SCOPED_TRACE("another's key after batch " + std::to_string(At));
    RecordingWindow::Record().clear();
    int Events = 0;
    Windows.Keyboard().SetAfterKeyBatch([&] {
      if (++Events != At) return;
      OthersKey(VK_F11, false);
      OthersKey(VK_F11, true);
    });
    EXPECT_EQ(SendKeys(Windows.Keyboard(), Actions, Self), KeysOutcome::OthersKeys);
    Windows.Keyboard().SetAfterKeyBatch(nullptr);
    EXPECT_EQ(Events, At) << "a key went out after the other's key";
    EXPECT_GE(::GetAsyncKeyState(VK_CONTROL), 0);
    EXPECT_GE(::GetAsyncKeyState(VK_DOWN), 0);
    const std::vector<std::string>& Got = RecordingWindow::Record();
    ASSERT_LE(Got.size(), Whole.size());
    EXPECT_TRUE(std::equal(Got.begin(), Got.end(), Whole.begin())) << "not the string's start";
  }
  RecordingWindow::Record().clear();
  EXPECT_EQ(SendKeys(Windows.Keyboard(), ParseKeys("ok"), Self), KeysOutcome::Sent);
  EXPECT_EQ(RecordingWindow::Record(), (std::vector<std::string>{"o", "k"}));
}

// Another program slow over every key, its window bare or all covered by a child (which then
// shows the pixel the hand-over marks): SendKeys returns only once it has handled them all.
TEST(WindowSystemWin32, WaitsForABusyProgramToHandleEveryKey) {
  const std::wstring Recorder = PathFromEnvironment("PICTRANE_RECORDER");
  ASSERT_FALSE(Recorder.empty());
  const std::wstring Log = Recorder.substr(0, Recorder.find_last_of(L'\\') + 1) + L"keys.log";
  for (const bool Covered : {false, true}) {
    SCOPED_TRACE(Covered ? "covered" : "bare");
    ::DeleteFileW(Log.c_str());
    ::SetEnvironmentVariableW(L"PICTRANE_RECORDER_KEY_MS", L"20");
    ::SetEnvironmentVariableW(L"PICTRANE_RECORDER_COVERED", Covered ? L"1" : nullptr);
    ChildProcess Tool(L"\"" + Recorder + L"\"");
    ::SetEnvironmentVariableW(L"PICTRANE_RECORDER_KEY_MS", nullptr);
    ::SetEnvironmentVariableW(L"PICTRANE_RECORDER_COVERED", nullptr);
    const HWND Window = WaitForTopWindow(Tool, L"PictraneKeyRecorder", 10000);
    ASSERT_NE(Window, nullptr);
    WindowSystemWin32 Windows;
    const auto Id = static_cast<ProcessId>(Tool.Id());
    // Under Wine the window manager's word on the focus may come after the window is made.
    for (int Tries = 0; Tries < 500 && Windows.FocusedProcess() != Id; ++Tries) {
      ::SetForegroundWindow(Window);
      ::Sleep(10);
    }
    ASSERT_EQ(Windows.FocusedProcess(), Id);
    // 16 key messages and 8 characters, the key downs and characters over 20 ms each.
    ASSERT_TRUE(SendKeys(Windows.Keyboard(), ParseKeys("abcdefgh"), Id));
    const std::optional<std::string> Text = ReadBytes(Log);
    ASSERT_TRUE(Text.has_value());
    const std::size_t First = Text->find("'a'");
    ASSERT_NE(First, std::string::npos) << *Text;
    EXPECT_EQ(Text->substr(First), "'a'\n'b'\n'c'\n'd'\n'e'\n'f'\n'g'\n'h'\n");
    // Gone before the next one starts, so that its going does not move the focus then.
    Windows.CloseWindowsOf(Id);
    EXPECT_TRUE(Tool.WaitForExit(10000).has_value());
  }
}

// A close request ends the program without a keystroke.
TEST(WindowSystemWin32, ClosesAnotherProgramsWindowsWithoutKeys) {
  const std::wstring Recorder = PathFromEnvironment("PICTRANE_RECORDER");
  ASSERT_FALSE(Recorder.empty());
  const std::wstring Log = Recorder.substr(0, Recorder.find_last_of(L'\\') + 1) + L"keys.log";
  ::DeleteFileW(Log.c_str());
  ChildProcess Tool(L"\"" + Recorder + L"\"");
  ASSERT_NE(WaitForTopWindow(Tool, L"PictraneKeyRecorder", 10000), nullptr);
  WindowSystemWin32 Windows;
  Windows.CloseWindowsOf(static_cast<ProcessId>(Tool.Id()));
  EXPECT_TRUE(Tool.WaitForExit(10000).has_value());
  const std::optional<std::string> Text = ReadBytes(Log);
  ASSERT_TRUE(Text.has_value());
  EXPECT_EQ(Text->find("\nAlt"), std::string::npos) << *Text;
  EXPECT_EQ(Text->find("\nF4"), std::string::npos) << *Text;
}

}  // namespace
}  // namespace pictrane::win32::testing
