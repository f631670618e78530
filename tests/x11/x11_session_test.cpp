// SPDX-License-Identifier: GPL-3.0-or-later
// Keystrokes and focus between real processes: the key recorder runs as its own X client on an
// Xvfb of the tests' own, and what it received is compared with what was sent.

#include "linux/X11Session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "X11TestSupport.h"
#include "conversion/SendKeys.h"
#include "pictrane/RaisedError.h"
#include "linux/X11Connection.h"

namespace {

using pictrane::KeyActions;
using pictrane::NamedKey;
using pictrane::linux_desktop::X11Session;
using namespace x11test;

// Every test process gets an Xvfb of its own (tests type keys and move the focus; they must not
// do that on a developer's desktop), unless PICTRANE_TEST_DISPLAY names a display to use.
class OwnDisplay : public testing::Environment {
 public:
  void SetUp() override {
    if (const char* Given = getenv("PICTRANE_TEST_DISPLAY"); Given && *Given) {
      setenv("DISPLAY", Given, 1);
      return;
    }
    Server_ = std::make_unique<XvfbServer>();
    setenv("DISPLAY", Server_->Name().c_str(), 1);
  }
  void TearDown() override { Server_.reset(); }

 private:
  std::unique_ptr<XvfbServer> Server_;
};

testing::Environment* const kOwnDisplay = testing::AddGlobalTestEnvironment(new OwnDisplay);

constexpr int kTimeoutMs = 5000;

}  // namespace

namespace x11test {
namespace {

// What Recorder received for Actions, an F12 after them marking the end.
std::vector<std::string> Typed(X11Session& Session, KeyRecorder& Recorder, KeyActions Actions) {
  const std::size_t Before = Recorder.Lines().size();
  Actions.push_back(Named(NamedKey::F12));
  if (!pictrane::SendKeys(Session, Actions, Recorder.Pid())) {
    ADD_FAILURE() << "the recorder did not have the focus";
    return {};
  }
  if (!Recorder.WaitForMarker(Before, "F12")) {
    ADD_FAILURE() << "the end marker never arrived";
    return {};
  }
  const std::vector<std::string> Lines = Recorder.Lines();
  return {Lines.begin() + static_cast<std::ptrdiff_t>(Before), Lines.end() - 1};
}

}  // namespace
}  // namespace x11test

namespace {

class X11SessionTest : public testing::Test {
 protected:
  void SetUp() override {
    Probe_ = std::make_unique<Probe>();
    Session_ = X11Session::Open();
  }

  // A recorder brought forward the way a run brings up the capture tool.
  std::unique_ptr<KeyRecorder> StartRecorder(const std::vector<std::string>& Options = {}) {
    auto Recorder = std::make_unique<KeyRecorder>(Options);
    EXPECT_NE(Recorder->WaitUntilReady(), 0UL);
    EXPECT_TRUE(Session_->ShowMaximisedWithFocus(Recorder->Pid(), kTimeoutMs));
    return Recorder;
  }

  std::vector<std::string> Typed(KeyRecorder& Recorder, const KeyActions& Actions) {
    return x11test::Typed(*Session_, Recorder, Actions);
  }

  std::unique_ptr<Probe> Probe_;
  std::unique_ptr<X11Session> Session_;
};

std::vector<std::string> Repeated(const std::string& Line, int Count) {
  return std::vector<std::string>(static_cast<std::size_t>(Count), Line);
}

TEST_F(X11SessionTest, BringsTheWindowForwardMaximisedWithTheFocus) {
  KeyRecorder Recorder;
  const unsigned long Window = Recorder.WaitUntilReady();
  ASSERT_NE(Window, 0UL);
  // Another window takes the focus first, so the recorder's own focus-taking proves nothing.
  KeyRecorder Other({"--name", "other"});
  ASSERT_NE(Other.WaitUntilReady(), 0UL);
  ASSERT_TRUE(Session_->FocusBelongsTo(Other.Pid()));

  ASSERT_TRUE(Session_->ShowMaximisedWithFocus(Recorder.Pid(), kTimeoutMs));

  EXPECT_EQ(Probe_->WindowGeometry(Window), Probe_->ScreenSize());
  EXPECT_EQ(Probe_->FocusWindow(), Window);
  EXPECT_EQ(Session_->FocusedProcess(), Recorder.Pid());
  EXPECT_FALSE(Session_->FocusBelongsTo(Other.Pid()));
}

TEST_F(X11SessionTest, GivesUpWhenTheProcessShowsNoWindow) {
  EXPECT_FALSE(Session_->ShowMaximisedWithFocus(getpid(), 200));
  EXPECT_FALSE(Session_->ShowMaximisedWithFocus(0, 200));
}

struct TypingCase {
  std::string Name;
  KeyActions Actions;
  std::vector<std::string> Expected;
};

KeyActions Join(std::initializer_list<KeyActions> Pieces) {
  KeyActions All;
  for (const KeyActions& Piece : Pieces) All.insert(All.end(), Piece.begin(), Piece.end());
  return All;
}

std::vector<TypingCase> TypingCases() {
  using pictrane::kAlt;
  using pictrane::kControl;
  using pictrane::kShift;
  const std::string Ascii = "abc XYZ 0189 /\\.-_=;',`";
  const std::string Shifted = "+^%~(){}[]:\"<>?|!@#$&*";
  const std::string Foreign = "Grüße é Ω 中 naïve ø ß 😀";
  const std::string Path = "/home/ann/Bilder/Übung (1) {x}+[y]~%^.89i";
  return {
      {"PlainAscii", Text(Ascii), CodePoints(Ascii)},
      {"ShiftedCharacters", Text(Shifted), CodePoints(Shifted)},
      {"NamedKeys",
       {Named(NamedKey::Enter),      Named(NamedKey::Tab),    Named(NamedKey::Escape),
        Named(NamedKey::Backspace),  Named(NamedKey::Delete), Named(NamedKey::Insert),
        Named(NamedKey::Home),       Named(NamedKey::End),    Named(NamedKey::PageUp),
        Named(NamedKey::PageDown),   Named(NamedKey::Up),     Named(NamedKey::Down),
        Named(NamedKey::Left),       Named(NamedKey::Right),  Named(NamedKey::F1),
        Named(NamedKey::F4),         Named(NamedKey::F11),    Named(NamedKey::F13),
        Named(NamedKey::F16),        Named(NamedKey::Help),   Named(NamedKey::Break),
        Named(NamedKey::PrintScreen)},
       {"Enter",  "Tab",      "Escape", "Backspace", "Delete", "Insert",     "Home", "End",
        "PageUp", "PageDown", "Up",     "Down",      "Left",   "Right",      "F1",   "F4",
        "F11",    "F13",      "F16",    "Help",      "Break",  "PrintScreen"}},
      {"Repeats",
       {Named(NamedKey::Down, 0, 5), Char('a', 0, 3), Char(U'é', 0, 2), Named(NamedKey::Up, 0, 0)},
       [] {
         std::vector<std::string> Lines = Repeated("Down", 5);
         for (const char* Line : {"a", "a", "a", "é", "é"}) Lines.push_back(Line);
         return Lines;
       }()},
      {"Shortcuts",
       {Named(NamedKey::F4, kControl), Char('o', kControl), Char('f', kAlt), Char('a'),
        Named(NamedKey::F4, kAlt), Char('O', kControl), Char('v', kControl | kAlt),
        Named(NamedKey::Tab, kShift), Char('a', kShift), Char('1', kShift), Char(':', kControl)},
       {"Ctrl+F4", "Ctrl+o", "Alt+f", "a", "Alt+F4", "Ctrl+Shift+O", "Ctrl+Alt+v", "Shift+Tab", "A",
        "!", "Ctrl+Shift+:"}},
      {"LettersOutsideTheKeymap", Text(Foreign), CodePoints(Foreign)},
      {"LineEndsAndTabs", Text("a\tb\nc\r"), {"a", "Tab", "b", "Enter", "c", "Enter"}},
      {"APathWithEverything", Join({Text(Path), {Named(NamedKey::Enter)}}),
       [&] {
         std::vector<std::string> Lines = CodePoints(Path);
         Lines.push_back("Enter");
         return Lines;
       }()},
  };
}

void PrintTo(const TypingCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class TypingTest : public X11SessionTest, public testing::WithParamInterface<TypingCase> {};

TEST_P(TypingTest, ArrivesExactlyAsSent) {
  auto Recorder = StartRecorder();
  EXPECT_EQ(Typed(*Recorder, GetParam().Actions), GetParam().Expected);
  // Typed twice: the second time reuses the keycodes mapped the first time.
  EXPECT_EQ(Typed(*Recorder, GetParam().Actions), GetParam().Expected);
  EXPECT_TRUE(Probe_->KeysDown().empty());
  EXPECT_EQ(Probe_->Modifiers(), 0U);
}

INSTANTIATE_TEST_SUITE_P(Keys, TypingTest, testing::ValuesIn(TypingCases()),
                         [](const auto& Info) { return Info.param.Name; });

TEST_F(X11SessionTest, MoreForeignLettersThanSpareKeycodesStillArrive) {
  auto Recorder = StartRecorder();
  const int Pool = Session_->SpareKeycodeCount();
  ASSERT_GT(Pool, 0);
  // Greek (and Coptic) letters, all missing from the US keymap: more than the four characters
  // each spare keycode can hold, so keycodes are taken over within the string.
  std::string Letters;
  for (int I = 0; I < 5 * Pool; ++I) {
    const char32_t C = static_cast<char32_t>(I % 2 == 0 ? 0x391 + I / 2 : 0x3B1 + I / 2);
    Letters += static_cast<char>(0xC0 | (C >> 6));
    Letters += static_cast<char>(0x80 | (C & 0x3F));
  }
  const KeyActions Actions = Join({Text(Letters), Text("Zß"), Text(Letters)});
  std::vector<std::string> Expected = CodePoints(Letters + "Zß" + Letters);
  EXPECT_EQ(Typed(*Recorder, Actions), Expected);
}

// Xlib fetches a program's keymap on its first key press and follows changes only from then on;
// keycodes borrowed between the keys of that first string would be missed.
TEST_F(X11SessionTest, AProgramThatReadsTheKeymapLateStillGetsForeignLetters) {
  for (int Round = 0; Round < 5; ++Round) {
    Session_ = X11Session::Open();  // the last one gave its keycodes back: all are borrowed anew
    auto Recorder = StartRecorder({"--lazy-keymap"});
    const std::string Word = "ab" + std::string(Round % 2 ? "Grüße Ωµ中" : "¿Jalapeño? Çà");
    EXPECT_EQ(Typed(*Recorder, Text(Word)), CodePoints(Word));
  }
}

TEST_F(X11SessionTest, GivesTheKeymapBackWhenItEnds) {
  auto Recorder = StartRecorder();
  const std::vector<unsigned long> Before = Probe_->WholeKeymap();
  EXPECT_EQ(Typed(*Recorder, Text("中文 ü")), CodePoints("中文 ü"));
  EXPECT_NE(Probe_->WholeKeymap(),
            Before);  // the borrowed keycodes stay mapped while the session lives
  Session_.reset();
  EXPECT_EQ(Probe_->WholeKeymap(), Before);
}

TEST_F(X11SessionTest, ReleasesEveryKeyWhenTypingFailsHalfWay) {
  using pictrane::kAlt;
  using pictrane::kControl;
  using pictrane::kShift;
  auto Recorder = StartRecorder();
  // Ctrl, Alt, Shift down, the key down and up twice, the three up again: ten events.
  const KeyActions Actions{Char(U'é', kControl | kAlt | kShift, 2)};
  const std::size_t Start = Recorder->Lines().size();
  for (int FailAt = 1; FailAt <= 10; ++FailAt) {
    SCOPED_TRACE("failing after event " + std::to_string(FailAt));
    int Events = 0;
    Session_->SetAfterKeyEvent([&] {
      if (++Events == FailAt) throw std::runtime_error("failed on purpose");
    });
    EXPECT_THROW(pictrane::SendKeys(*Session_, Actions, Recorder->Pid()), std::runtime_error);
    EXPECT_EQ(Events, FailAt);
    EXPECT_TRUE(Probe_->KeysDown().empty());
    EXPECT_EQ(Probe_->Modifiers(), 0U);
  }
  Session_->SetAfterKeyEvent(nullptr);
  // The presses that went out before each failure (one when failing after events 4 and 5, two
  // from 6 on) arrived with all three modifiers held; the end marker waits for the last of them.
  Typed(*Recorder, {});
  const std::vector<std::string> Lines = Recorder->Lines();
  const std::vector<std::string> Received(Lines.begin() + static_cast<std::ptrdiff_t>(Start),
                                          Lines.end() - 1);
  ASSERT_EQ(Received.size(), 12U);
  EXPECT_EQ(std::count(Received.begin(), Received.end(), Received.front()), 12);
  EXPECT_EQ(Received.front().rfind("Ctrl+Alt+Shift+", 0), 0U) << Received.front();
  EXPECT_EQ(Typed(*Recorder, Text("ok")), CodePoints("ok"));
}

// Another window takes the focus after key event StealAt of a string: the rest of the string
// must not follow it there. The event in flight when the focus moved may reach it, and releases
// of keys already down, nothing more.
TEST_F(X11SessionTest, StopsWhenAnotherWindowTakesTheFocusMidString) {
  using pictrane::kControl;
  using pictrane::kShift;
  auto Recorder = StartRecorder();
  const unsigned long RecorderWindow = Probe_->FocusWindow();
  KeyRecorder Intruder({"--name", "intruder"});
  const unsigned long IntruderWindow = Intruder.WaitUntilReady();
  ASSERT_NE(IntruderWindow, 0UL);
  // Letters outside the keymap (through borrowed keycodes), a shortcut holding two modifiers,
  // and repeats: 8 + 10 + 6 + 20 + 10 = 54 events when all goes through.
  const KeyActions Actions = Join({Text("abcd"),
                                   Text("αβγδε"),
                                   {Char('x', kControl | kShift)},
                                   {Named(NamedKey::Down, 0, 10)},
                                   Text("ΑΒΓΔΕ")});
  ASSERT_TRUE(Session_->FocusWindow(RecorderWindow, kTimeoutMs));
  const std::vector<std::string> Whole = Typed(*Recorder, Actions);
  ASSERT_EQ(Whole.size(), 25U);
  for (int StealAt : {1, 8, 18, 19, 21, 29, 53}) {
    SCOPED_TRACE("the focus moves after event " + std::to_string(StealAt));
    ASSERT_TRUE(Session_->FocusWindow(RecorderWindow, kTimeoutMs));
    const std::size_t RecorderBefore = Recorder->Lines().size();
    const std::size_t IntruderBefore = Intruder.Lines().size();
    // Releases may still go out (they type nothing); a press after the move shows as one more
    // key held at the next event.
    int Events = 0;
    std::size_t HeldBefore = 0;
    bool PressedAfter = false;
    Session_->SetAfterKeyEvent([&] {
      if (++Events == StealAt) Probe_->SetFocus(IntruderWindow);
      const std::size_t Held = Probe_->KeysDown().size();
      if (Events > StealAt && Held > HeldBefore) PressedAfter = true;
      HeldBefore = Held;
    });
    EXPECT_FALSE(pictrane::SendKeys(*Session_, Actions, Recorder->Pid()));
    Session_->SetAfterKeyEvent(nullptr);
    EXPECT_FALSE(PressedAfter) << "typing went on after the focus moved";
    EXPECT_TRUE(Probe_->KeysDown().empty());
    EXPECT_EQ(Probe_->Modifiers(), 0U);
    // Nothing goes to a window that is not the target's.
    EXPECT_FALSE(pictrane::SendKeys(*Session_, Text("z"), Recorder->Pid()));

    // End markers to both (no more than the event in flight came before them).
    Typed(Intruder, {});
    EXPECT_LE(Intruder.Lines().size(), IntruderBefore + 2) << Intruder.Lines().back();
    ASSERT_TRUE(Session_->FocusWindow(RecorderWindow, kTimeoutMs));
    Typed(*Recorder, {});
    const std::vector<std::string> Lines = Recorder->Lines();
    const std::vector<std::string> Got(Lines.begin() + static_cast<std::ptrdiff_t>(RecorderBefore),
                                       Lines.end() - 1);
    ASSERT_LE(Got.size(), Whole.size());
    EXPECT_TRUE(std::equal(Got.begin(), Got.end(), Whole.begin())) << "not the string's start";
  }
}

// Another client's keys (a second XTEST client standing for the user's keyboard) held when a
// string is about to start: nothing is typed until they are let go, also when they were down
// before the session opened. In a watched sequence the first string forgives what came before
// it; after that, a key tapped between two strings stops the next before its first key.
TEST_F(X11SessionTest, KeysOfOthersHeldOrTappedBetweenStrings) {
  using pictrane::KeysOutcome;
  auto Recorder = StartRecorder();
  pictrane::OneProcess Target(Recorder->Pid());
  // A locked modifier (sticky keys, another client's lock) counts as held; Num Lock does not.
  for (const auto& [Held, Locked] : std::vector<std::pair<const char*, bool>>{{"Shift_L", false},
                                                                              {"Control_L", false},
                                                                              {"Alt_L", false},
                                                                              {"Shift_L", true},
                                                                              {"Control_L", true},
                                                                              {"Alt_L", true},
                                                                              {"Num_Lock", true}}) {
    SCOPED_TRACE(std::string(Held) + (Locked ? " locked" : " held"));
    const bool Counts = std::string(Held) != "Num_Lock";
    Probe_->Modifier(Held, Locked, true);
    EXPECT_EQ(Session_->AskOthersHold(), Counts);
    EXPECT_EQ(pictrane::SendKeys(*Session_, Text("ab"), Target),
              Counts ? KeysOutcome::KeysHeld : KeysOutcome::Sent);
    EXPECT_EQ(pictrane::SendKeys(*Session_, Text("ab"), Target),
              Counts ? KeysOutcome::KeysHeld : KeysOutcome::Sent);
    Probe_->Modifier(Held, Locked, false);
    EXPECT_FALSE(Session_->AskOthersHold());
    // Where ab went through, the recorder takes it in whole before cd is counted.
    if (!Counts) Typed(*Recorder, {});
    EXPECT_EQ(Typed(*Recorder, Text("cd")), CodePoints("cd")) << "ab was typed while held";
  }
  Probe_->FakeKey("Shift_L", true);
  Session_ = X11Session::Open();
  EXPECT_EQ(pictrane::SendKeys(*Session_, Text("ab"), Target), KeysOutcome::KeysHeld);
  Probe_->FakeKey("Shift_L", false);

  // Others' keys since the previous string count where the pacing says so.
  struct Counting final : pictrane::KeyPacing {
    void BeforeFirstKey() override {}
    void Handed() override {}
    bool EarlierKeysCount() override { return true; }
  } Earlier;
  Probe_->FakeKey("F11", true);
  Probe_->FakeKey("F11", false);
  EXPECT_EQ(pictrane::SendKeys(*Session_, Text("e"), Target),
            KeysOutcome::Sent);  // F11 does not count
  EXPECT_EQ(pictrane::SendKeys(*Session_, Text("f"), Target, Earlier), KeysOutcome::Sent);
  Probe_->FakeKey("Shift_L", true);
  Probe_->FakeKey("Shift_L", false);
  EXPECT_EQ(pictrane::SendKeys(*Session_, Text("g"), Target, Earlier), KeysOutcome::OthersKeys);
  EXPECT_EQ(pictrane::SendKeys(*Session_, Text("h"), Target),
            KeysOutcome::Sent);  // nor does g's Shift
  Typed(*Recorder, {});
  const std::vector<std::string> Lines = Recorder->Lines();
  EXPECT_EQ(std::vector<std::string>(Lines.end() - 5, Lines.end() - 1),
            (std::vector<std::string>{"F11", "e", "f", "h"}));
  EXPECT_TRUE(Probe_->KeysDown().empty());
}

// Another client's key after key event At of a string: no press of the string follows it (the
// event already on its way may), nothing stays held, and the string answers OthersKeys. A tap
// (F11, which reaches the recorder too), a held Shift or Ctrl, as a user's hand on the keyboard,
// and a Ctrl locked by another client. Another client's Ctrl pressed just before the string's
// own (after event 18) is the very key the string expects next, from the same XTEST device:
// only the serial tells it is not ours.
TEST_F(X11SessionTest, StopsAtAKeyOfOthersMidString) {
  using pictrane::kControl;
  using pictrane::kShift;
  auto Recorder = StartRecorder();
  pictrane::OneProcess Target(Recorder->Pid());
  // 8 + 10 + 6 + 20 + 10 = 54 events when all goes through, as in the focus test above.
  const KeyActions Actions = Join({Text("abcd"),
                                   Text("αβγδε"),
                                   {Char('x', kControl | kShift)},
                                   {Named(NamedKey::Down, 0, 10)},
                                   Text("ΑΒΓΔΕ")});
  const std::vector<std::string> Whole = Typed(*Recorder, Actions);
  ASSERT_EQ(Whole.size(), 25U);
  enum class Kind { Tapped, Held, Locked };
  struct Other {
    Kind How;
    const char* Key;
    std::vector<int> At;
  };
  // While the string holds Shift itself (after events 20 to 22), or Ctrl (19 to 23), another
  // XTEST client's press of it changes nothing: the server drops it, and no raw event tells of
  // it. A real keyboard is a device of its own, whose press always shows.
  for (const Other& Each : {Other{Kind::Tapped, "F11", {1, 8, 18, 19, 21, 29, 53}},
                            Other{Kind::Held, "Shift_L", {1, 8, 18, 19, 23, 29, 53}},
                            Other{Kind::Held, "Control_L", {1, 8, 18, 24, 29, 53}},
                            Other{Kind::Locked, "Control_L", {1, 8, 18, 21, 29, 53}}}) {
    const bool Hold = Each.How != Kind::Tapped;
    for (int At : Each.At) {
      SCOPED_TRACE(std::string(Each.Key) +
                   (Hold ? Each.How == Kind::Held ? " held" : " locked" : " tapped") +
                   " after event " + std::to_string(At));
      const std::size_t Before = Recorder->Lines().size();
      int Events = 0;
      std::size_t HeldBefore = 0;
      bool PressedAfter = false;
      Session_->SetAfterKeyEvent([&] {
        if (++Events == At) {
          Probe_->Modifier(Each.Key, Each.How == Kind::Locked, true);
          if (!Hold) Probe_->FakeKey(Each.Key, false);
        }
        const std::size_t Held = Probe_->KeysDown().size();
        if (Events > At && Held > HeldBefore) PressedAfter = true;
        HeldBefore = Held;
      });
      EXPECT_EQ(pictrane::SendKeys(*Session_, Actions, Target), pictrane::KeysOutcome::OthersKeys);
      Session_->SetAfterKeyEvent(nullptr);
      EXPECT_FALSE(PressedAfter) << "typing went on after the other's key";
      if (Hold) {
        EXPECT_EQ(pictrane::SendKeys(*Session_, Text("z"), Target),
                  pictrane::KeysOutcome::KeysHeld);
        Probe_->Modifier(Each.Key, Each.How == Kind::Locked, false);
      }
      EXPECT_TRUE(Probe_->KeysDown().empty());
      EXPECT_EQ(Probe_->Modifiers(), 0U);
      // What came was the string's start, and the tapped key wherever it fell in.
      Typed(*Recorder, {});
      const std::vector<std::string> Lines = Recorder->Lines();
      std::vector<std::string> Got(Lines.begin() + static_cast<std::ptrdiff_t>(Before),
                                   Lines.end() - 1);
      std::erase_if(Got, [](const std::string& Line) { return Line.ends_with("F11"); });
      ASSERT_LE(Got.size(), Whole.size());
      // A held or locked modifier may change the event on its way.
      for (std::size_t I = 0; I < Got.size(); ++I) {
        if (I + 1 < Got.size() || !Hold) {
          EXPECT_EQ(Got[I], Whole[I]) << I;
        }
      }
    }
  }
  EXPECT_EQ(Typed(*Recorder, Text("ok")), CodePoints("ok"));
}

// Without a window manager a close request goes to a client that takes it; a window manager
// closes what it manages its own way (and ends a client that does not take close requests).
TEST(X11SessionCloseRequests, CloseWithoutKeys) {
  const bool HaveOpenbox = RunToEnd({"sh", "-c", "command -v openbox >/dev/null"}) == 0;
  struct Case {
    bool Openbox;
    bool TakesCloseRequests;
    bool Ends;
  };
  for (const Case& C : {Case{false, true, true}, Case{false, false, false}, Case{true, true, true},
                        Case{true, false, true}}) {
    SCOPED_TRACE(std::string(C.Openbox ? "openbox, " : "no window manager, ") +
                 (C.TakesCloseRequests ? "takes close requests" : "takes no close requests"));
    if (C.Openbox && !HaveOpenbox) {
      ADD_FAILURE() << "openbox is not installed";
      continue;
    }
    XvfbServer Server;
    ScopedEnvironment Display("DISPLAY", Server.Name());
    std::unique_ptr<ChildProcess> Manager;
    Probe Look;
    if (C.Openbox) {
      Manager =
          std::make_unique<ChildProcess>(std::vector<std::string>{"openbox", "--sm-disable"}, true);
      ASSERT_TRUE(Look.WaitForWindowManager(kTimeoutMs));
    }
    auto Session = X11Session::Open();
    std::vector<std::string> Options;
    if (!C.TakesCloseRequests) Options.push_back("--no-close-protocol");
    KeyRecorder Recorder(Options);
    ASSERT_NE(Recorder.WaitUntilReady(), 0UL);
    ASSERT_TRUE(Session->ShowMaximisedWithFocus(Recorder.Pid(), kTimeoutMs));

    EXPECT_TRUE(Session->CloseWindowsOf(Recorder.Pid()));
    EXPECT_EQ(WaitUntil(C.Ends ? kTimeoutMs : 500, [&] { return Recorder.HasEnded(); }), C.Ends);
    EXPECT_EQ(Recorder.Lines(), std::vector<std::string>{}) << "a close request is no key";
    EXPECT_TRUE(Look.KeysDown().empty());
    EXPECT_FALSE(Session->CloseWindowsOf(0));  // no process: nothing to close, no error
  }
}

TEST_F(X11SessionTest, RefusesBadActionsBeforeTypingAnything) {
  auto Recorder = StartRecorder();
  const std::vector<KeyActions> Bad{{Char('a'), Char(0x01)},
                                    {Char('a'), Char(0xD800)},
                                    {Char('a'), Char(0x110000)},
                                    {Char('a'), Char(0x85)},
                                    {Char('a'), Char('b', 0, -1)}};
  for (const KeyActions& Actions : Bad) {
    try {
      pictrane::SendKeys(*Session_, Actions, Recorder->Pid());
      ADD_FAILURE() << "no error for a bad action";
    } catch (const pictrane::RaisedError& Error) {
      EXPECT_EQ(Error.Number, pictrane::ErrorNumber::InvalidProcedureCall);
      EXPECT_FALSE(Error.Description.empty());
    }
  }
  EXPECT_EQ(Typed(*Recorder, {}), std::vector<std::string>{});
}

TEST_F(X11SessionTest, TypesAsWrittenWhileCapsLockIsOn) {
  auto Recorder = StartRecorder();
  EXPECT_TRUE(pictrane::SendKeys(*Session_, {Named(NamedKey::CapsLock)}, Recorder->Pid()));
  ASSERT_TRUE(Probe_->CapsLocked());
  EXPECT_EQ(Typed(*Recorder, Text("aB1:é中")), CodePoints("aB1:é中"));
  EXPECT_TRUE(Probe_->CapsLocked()) << "Caps Lock must be back on";
  EXPECT_TRUE(pictrane::SendKeys(*Session_, {Named(NamedKey::CapsLock)}, Recorder->Pid()));
  EXPECT_FALSE(Probe_->CapsLocked());
}

TEST_F(X11SessionTest, TypesLettersOfEveryKeyboardGroup) {
  const std::string Display = getenv("DISPLAY");
  ASSERT_EQ(RunToEnd({"setxkbmap", "-display", Display, "-layout", "us,ru"}), 0);
  auto Recorder = StartRecorder();
  Probe_->LockGroup(1);  // the Russian group is in force
  ASSERT_EQ(Probe_->Group(), 1);
  const std::vector<unsigned long> Keymap = Probe_->WholeKeymap();
  // Latin letters live in group 0 only, Cyrillic ones in group 1 only.
  EXPECT_EQ(Typed(*Recorder, Text("path/Жук.bmp")), CodePoints("path/Жук.bmp"));
  EXPECT_EQ(Probe_->Group(), 1) << "the group in force must be put back";
  EXPECT_EQ(Probe_->WholeKeymap(), Keymap) << "typed from the keymap, no keycode borrowed";
  Session_.reset();
  EXPECT_EQ(RunToEnd({"setxkbmap", "-display", Display, "-layout", "us"}), 0);
}

// The focus goes elsewhere between two key strings, or goes and comes back: the next string is
// typed only if the target holds the focus when it starts, and nothing reaches the other window.
TEST_F(X11SessionTest, EachStringChecksTheFocusTheLastOneLeft) {
  auto Recorder = StartRecorder();
  const unsigned long RecorderWindow = Probe_->FocusWindow();
  KeyRecorder Intruder({"--name", "intruder"});
  const unsigned long IntruderWindow = Intruder.WaitUntilReady();
  ASSERT_NE(IntruderWindow, 0UL);
  for (const bool Back : {false, true}) {
    SCOPED_TRACE(Back ? "away and back" : "away");
    ASSERT_TRUE(Session_->FocusWindow(RecorderWindow, kTimeoutMs));
    EXPECT_EQ(Typed(*Recorder, Text("a")), std::vector<std::string>{"a"});
    Probe_->SetFocus(IntruderWindow);
    if (Back) Probe_->SetFocus(RecorderWindow);
    EXPECT_EQ(pictrane::SendKeys(*Session_, Text("b"), Recorder->Pid()), Back);
  }
  Probe_->SetFocus(IntruderWindow);
  EXPECT_EQ(Typed(Intruder, {}), std::vector<std::string>{});
}

// A client holding the keyboard without the focus (a hotkey pop-up, a screen locker) gets no
// key; a pop-up of the target's own (its menu) does.
TEST_F(X11SessionTest, NoKeyGoesToAClientThatGrabsTheKeyboard) {
  struct Case {
    std::string grab;
    bool grabberIsTargets;
    pictrane::KeysOutcome outcome;
    // The grab begins in the pause after a string whose closing look found the keyboard free.
    bool afterAString = false;
  };
  for (const Case& C : {Case{"root", false, pictrane::KeysOutcome::KeyboardGrabbed},
                        Case{"popup", false, pictrane::KeysOutcome::KeyboardGrabbed},
                        Case{"popup", true, pictrane::KeysOutcome::Sent},
                        Case{"popup", false, pictrane::KeysOutcome::KeyboardGrabbed, true}}) {
    SCOPED_TRACE(C.grab + (C.grabberIsTargets ? ", the target's" : ", another's") +
                 (C.afterAString ? ", after a string" : ""));
    auto Recorder = StartRecorder();
    const unsigned long RecorderWindow = Probe_->FocusWindow();
    if (C.afterAString) {
      EXPECT_EQ(Typed(*Recorder, Text("0")), std::vector<std::string>{"0"});
    }
    KeyRecorder Grabber({"--grab", C.grab});
    ASSERT_NE(Grabber.WaitUntilReady(), 0UL);
    // The pause: a round trip of the session's own brings in what the server said meanwhile.
    Session_->FocusedProcess();
    ASSERT_EQ(Probe_->FocusWindow(), RecorderWindow);
    struct : pictrane::KeyTarget {
      std::vector<pictrane::ProcessId> Owned;
      Verdict Judge(pictrane::ProcessId Process) override {
        const bool Found = std::find(Owned.begin(), Owned.end(), Process) != Owned.end();
        return Found ? Verdict::Owned : Verdict::Foreign;
      }
    } Target;
    Target.Owned = {Recorder->Pid()};
    if (C.grabberIsTargets) Target.Owned.push_back(Grabber.Pid());
    EXPECT_EQ(pictrane::SendKeys(*Session_, Join({Text("ab"), {Named(NamedKey::Enter)}}), Target),
              C.outcome);
    EXPECT_TRUE(Probe_->KeysDown().empty());
    const std::vector<std::string> Sent{"a", "b", "Enter"};
    if (C.grabberIsTargets) WaitUntil(kTimeoutMs, [&] { return Grabber.Lines().size() >= 3; });
    EXPECT_EQ(Grabber.Lines(), C.grabberIsTargets ? Sent : std::vector<std::string>{});
    Grabber.Stop();  // lets go of the keyboard
    EXPECT_EQ(Typed(*Recorder, Text("c")), std::vector<std::string>{"c"});
  }
}

TEST_F(X11SessionTest, KeysFollowTheFocusToAnotherProcess) {
  auto First = StartRecorder({"--name", "first"});
  EXPECT_EQ(Typed(*First, Text("1")), std::vector<std::string>{"1"});

  KeyRecorder Second({"--name", "second"});
  const unsigned long SecondWindow = Second.WaitUntilReady();
  ASSERT_NE(SecondWindow, 0UL);
  EXPECT_FALSE(Session_->FocusBelongsTo(First->Pid()));
  EXPECT_TRUE(Session_->FocusBelongsTo(Second.Pid()));
  EXPECT_EQ(Typed(Second, Text("2")), std::vector<std::string>{"2"});
  EXPECT_EQ(First->Lines(), (std::vector<std::string>{"1", "F12"})) << "nothing more for first";

  EXPECT_TRUE(Session_->ShowMaximisedWithFocus(First->Pid(), kTimeoutMs));
  EXPECT_TRUE(Session_->FocusBelongsTo(First->Pid()));
  EXPECT_TRUE(Session_->FocusWindow(SecondWindow, kTimeoutMs));
  EXPECT_EQ(Session_->FocusedProcess(), Second.Pid());
}

struct OwnerCase {
  std::string Name;
  std::vector<std::string> Options;
  bool Identified;  // whether the focused window leads to the recorder's process id
};

void PrintTo(const OwnerCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class FocusOwnerTest : public X11SessionTest, public testing::WithParamInterface<OwnerCase> {};

TEST_P(FocusOwnerTest, IsFoundFromTheFocusedWindow) {
  KeyRecorder Recorder(GetParam().Options);
  ASSERT_NE(Recorder.WaitUntilReady(), 0UL);  // it has given itself the focus
  EXPECT_EQ(Session_->FocusedProcess(),
            GetParam().Identified ? Recorder.Pid() : pictrane::kUnknownProcess);
  EXPECT_EQ(Session_->FocusBelongsTo(Recorder.Pid()), GetParam().Identified);
  EXPECT_FALSE(Session_->FocusBelongsTo(0));
  EXPECT_EQ(
      Session_->ShowMaximisedWithFocus(Recorder.Pid(), GetParam().Identified ? kTimeoutMs : 200),
      GetParam().Identified);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, FocusOwnerTest,
    testing::Values(OwnerCase{"TopLevel", {}, true},
                    OwnerCase{"ChildOfTheTopLevel", {"--layout", "child"}, true},
                    OwnerCase{"FrameAroundTheClient", {"--layout", "frame"}, true},
                    OwnerCase{"ClientLeader", {"--pid", "leader"}, true},
                    OwnerCase{"NoProcessId", {"--pid", "none"}, false}),
    [](const auto& Info) { return Info.param.Name; });

TEST(X11SessionOpen, RefusesClearlyWithoutADisplay) {
  struct Case {
    std::optional<std::string> Display;
    std::string Start;
  };
  const std::vector<Case> Cases{{std::nullopt, "No X display: set DISPLAY"},
                                {"", "No X display: set DISPLAY"},
                                {":4095", "Cannot open the X display \":4095\""}};
  for (const Case& C : Cases) {
    ScopedEnvironment Display("DISPLAY", C.Display);
    try {
      X11Session::Open();
      ADD_FAILURE() << "opened without a display";
    } catch (const pictrane::RaisedError& Error) {
      EXPECT_EQ(Error.Description.rfind(C.Start, 0), 0U) << Error.Description;
    }
  }
}

TEST(X11SessionOpen, RefusesClearlyAServerWithoutXtest) {
  XvfbServer Server({"-tst"});
  ScopedEnvironment Display("DISPLAY", Server.Name());
  try {
    X11Session::Open();
    ADD_FAILURE() << "opened without XTEST";
  } catch (const pictrane::RaisedError& Error) {
    EXPECT_NE(Error.Description.find("lacks the XTEST extension"), std::string::npos)
        << Error.Description;
  }
}

// Under a reparenting window manager that speaks EWMH, as on a desktop: the manager maximises the
// window in its frame, and the focus and the keys still find the client.
TEST(X11SessionUnderAWindowManager, MaximisesFocusesAndTypes) {
  if (RunToEnd({"sh", "-c", "command -v openbox >/dev/null"}) != 0)
    GTEST_SKIP() << "openbox is not installed";
  XvfbServer Server;
  ScopedEnvironment Display("DISPLAY", Server.Name());
  ChildProcess Manager({"openbox", "--sm-disable"}, true);
  Probe Look;
  ASSERT_TRUE(Look.WaitForWindowManager(kTimeoutMs));
  auto Session = X11Session::Open();

  KeyRecorder Recorder;
  const unsigned long Window = Recorder.WaitUntilReady();
  ASSERT_NE(Window, 0UL);
  KeyRecorder Other({"--name", "other"});
  ASSERT_NE(Other.WaitUntilReady(), 0UL);
  ASSERT_TRUE(Session->ShowMaximisedWithFocus(Other.Pid(), kTimeoutMs));
  EXPECT_FALSE(Session->FocusBelongsTo(Recorder.Pid()));

  ASSERT_TRUE(Session->ShowMaximisedWithFocus(Recorder.Pid(), kTimeoutMs));
  EXPECT_TRUE(Look.Reparented(Window));
  EXPECT_TRUE(Look.MaximisedByWindowManager(Window));
  EXPECT_EQ(Session->FocusedProcess(), Recorder.Pid());
  EXPECT_FALSE(Session->FocusBelongsTo(Other.Pid()));
  const KeyActions Keys =
      Join({Text("Grüße Ω:"), {Char('o', pictrane::kControl)}, {Named(NamedKey::Down, 0, 2)}});
  EXPECT_EQ(
      Typed(*Session, Recorder, Keys),
      (std::vector<std::string>{"G", "r", "ü", "ß", "e", " ", "Ω", ":", "Ctrl+o", "Down", "Down"}));
  EXPECT_TRUE(Look.KeysDown().empty());
}

}  // namespace

// A key string's closing look runs under a trap of its own while the string's errors may still be
// on their way: each error goes to the trap its request was sent under, so a window that went
// before the look never turns into a refused key, and a refused key is never lost in the look.
TEST(X11ErrorTrap, EachErrorGoesToTheTrapItsRequestWasSentUnder) {
  namespace x11 = pictrane::linux_desktop::x11;
  x11::Connection C;
  const auto Request = [&C](bool Fails) {
    XMapWindow(C.D, Fails ? XAllocID(C.D) : C.Root);  // an id of ours that names no window
  };
  for (const bool KeysFail : {false, true}) {
    for (const bool LookFails : {false, true}) {
      SCOPED_TRACE(std::to_string(KeysFail) + std::to_string(LookFails));
      x11::ErrorTrap Keys(C.D);
      Request(KeysFail);
      int Look = -1;
      const int KeysError = Keys.Sync([&] {
        x11::ErrorTrap LookTrap(C.D);
        Request(LookFails);
        Look = LookTrap.Sync();
      });
      EXPECT_EQ(KeysError == BadWindow, KeysFail);
      EXPECT_EQ(Look == BadWindow, LookFails);
    }
  }
}
