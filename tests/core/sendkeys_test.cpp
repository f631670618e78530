// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/SendKeys.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <cstddef>
#include <utility>
#include <string>
#include <vector>

#include "platform/KeyAction.h"
#include "pictrane/RaisedError.h"

namespace pictrane {
namespace {

KeyAction Char(char32_t C, std::uint8_t Modifiers = kNoModifier, int Count = 1) {
  KeyAction Action;
  Action.Type = KeyAction::Kind::Character;
  Action.Character = C;
  Action.Modifiers = Modifiers;
  Action.Count = Count;
  return Action;
}

KeyAction Key(NamedKey K, std::uint8_t Modifiers = kNoModifier, int Count = 1) {
  KeyAction Action;
  Action.Type = KeyAction::Kind::Named;
  Action.Key = K;
  Action.Modifiers = Modifiers;
  Action.Count = Count;
  return Action;
}

KeyActions Chars(std::u32string_view Text) {
  KeyActions Actions;
  for (char32_t C : Text) Actions.push_back(Char(C));
  return Actions;
}

constexpr std::uint8_t kCtrlShift = kControl | kShift;
constexpr std::uint8_t kAll = kControl | kAlt | kShift;

struct ParseCase {
  std::string Keys;
  KeyActions Expected;
};

TEST(SendKeysTest, ParsesWellFormedStrings) {
  const std::vector<ParseCase> Cases = {
      {"", {}},
      {"abc", Chars(U"abc")},
      {"C:/pics/a b.bmp", Chars(U"C:/pics/a b.bmp")},
      {"^o", {Char(U'o', kControl)}},
      {"%f", {Char(U'f', kAlt)}},
      {"+a", {Char(U'a', kShift)}},
      {"^+a", {Char(U'a', kCtrlShift)}},
      {"%^+x", {Char(U'x', kAll)}},
      {"^^a", {Char(U'a', kControl)}},
      {"^{F4}", {Key(NamedKey::F4, kControl)}},
      {"%{F4}", {Key(NamedKey::F4, kAlt)}},
      {"{F4}", {Key(NamedKey::F4)}},
      {"~", {Key(NamedKey::Enter)}},
      {"+~a~", {Key(NamedKey::Enter, kShift), Char(U'a'), Key(NamedKey::Enter)}},
      // A modifier reaches only the next key, a group carries it to each of its keys.
      {"+ab", {Char(U'a', kShift), Char(U'b')}},
      {"+(ab)c", {Char(U'a', kShift), Char(U'b', kShift), Char(U'c')}},
      {"+(a^b)c", {Char(U'a', kShift), Char(U'b', kCtrlShift), Char(U'c')}},
      {"^(+(a)b){DEL}", {Char(U'a', kCtrlShift), Char(U'b', kControl), Key(NamedKey::Delete)}},
      {"%(^(+x))", {Char(U'x', kAll)}},
      {"((a))", {Char(U'a')}},
      {"+({ENTER 2}~)", {Key(NamedKey::Enter, kShift, 2), Key(NamedKey::Enter, kShift)}},
      // Repeats.
      {"{DOWN 5}", {Key(NamedKey::Down, kNoModifier, 5)}},
      {"{down 1}", {Key(NamedKey::Down)}},
      {"{a 3}", {Char(U'a', kNoModifier, 3)}},
      {"{+ 2}", {Char(U'+', kNoModifier, 2)}},
      {"{} 2}", {Char(U'}', kNoModifier, 2)}},
      {"{  2}", {Char(U' ', kNoModifier, 2)}},
      {"+{a 1000}", {Char(U'a', kShift, 1000)}},
      {"{TAB 007}", {Key(NamedKey::Tab, kNoModifier, 7)}},
      // Braced characters are typed as themselves.
      {"{+}{^}{%}{~}", Chars(U"+^%~")},
      {"{(}{)}{{}{}}{[}{]}", Chars(U"(){}[]")},
      {"{ }", Chars(U" ")},
      {"{a}{Z}{1}", Chars(U"aZ1")},
      {"^{+}", {Char(U'+', kControl)}},
      {"[a]", Chars(U"[a]")},
      // Characters outside ASCII, of two, three and four bytes.
      {"Grüße é", Chars(U"Grüße é")},
      {"€😀", Chars(U"€😀")},
      {"^é{ü 2}", {Char(U'é', kControl), Char(U'ü', kNoModifier, 2)}},
  };
  for (const ParseCase& Case : Cases) {
    EXPECT_EQ(ParseKeys(Case.Keys), Case.Expected) << "keys: " << Case.Keys;
  }
}

struct NamedCase {
  std::string Name;
  NamedKey Key;
  std::string Description;
};

TEST(SendKeysTest, KnowsEveryKeyNameWithoutRegardToCase) {
  const std::vector<NamedCase> Cases = {
      {"ENTER", NamedKey::Enter, "Enter"},
      {"TAB", NamedKey::Tab, "Tab"},
      {"ESC", NamedKey::Escape, "Escape"},
      {"ESCAPE", NamedKey::Escape, "Escape"},
      {"BS", NamedKey::Backspace, "Backspace"},
      {"BACKSPACE", NamedKey::Backspace, "Backspace"},
      {"BKSP", NamedKey::Backspace, "Backspace"},
      {"DEL", NamedKey::Delete, "Delete"},
      {"DELETE", NamedKey::Delete, "Delete"},
      {"INS", NamedKey::Insert, "Insert"},
      {"INSERT", NamedKey::Insert, "Insert"},
      {"HOME", NamedKey::Home, "Home"},
      {"END", NamedKey::End, "End"},
      {"PGUP", NamedKey::PageUp, "PageUp"},
      {"PGDN", NamedKey::PageDown, "PageDown"},
      {"UP", NamedKey::Up, "Up"},
      {"DOWN", NamedKey::Down, "Down"},
      {"LEFT", NamedKey::Left, "Left"},
      {"RIGHT", NamedKey::Right, "Right"},
      {"BREAK", NamedKey::Break, "Break"},
      {"CAPSLOCK", NamedKey::CapsLock, "CapsLock"},
      {"NUMLOCK", NamedKey::NumLock, "NumLock"},
      {"SCROLLLOCK", NamedKey::ScrollLock, "ScrollLock"},
      {"PRTSC", NamedKey::PrintScreen, "PrintScreen"},
      {"HELP", NamedKey::Help, "Help"},
      {"F1", NamedKey::F1, "F1"},
      {"F2", NamedKey::F2, "F2"},
      {"F3", NamedKey::F3, "F3"},
      {"F4", NamedKey::F4, "F4"},
      {"F5", NamedKey::F5, "F5"},
      {"F6", NamedKey::F6, "F6"},
      {"F7", NamedKey::F7, "F7"},
      {"F8", NamedKey::F8, "F8"},
      {"F9", NamedKey::F9, "F9"},
      {"F10", NamedKey::F10, "F10"},
      {"F11", NamedKey::F11, "F11"},
      {"F12", NamedKey::F12, "F12"},
      {"F13", NamedKey::F13, "F13"},
      {"F14", NamedKey::F14, "F14"},
      {"F15", NamedKey::F15, "F15"},
      {"F16", NamedKey::F16, "F16"},
  };
  for (const NamedCase& Case : Cases) {
    std::string Lower = Case.Name;
    for (char& C : Lower) C = static_cast<char>(C >= 'A' && C <= 'Z' ? C - 'A' + 'a' : C);
    std::string Mixed = Lower;
    Mixed[0] = Case.Name[0];

    for (const std::string& Spelling : {Case.Name, Lower, Mixed}) {
      EXPECT_EQ(ParseKeys("{" + Spelling + "}"), KeyActions{Key(Case.Key)}) << Spelling;
      EXPECT_EQ(ParseKeys("^{" + Spelling + " 12}"), KeyActions{Key(Case.Key, kControl, 12)})
          << Spelling;
    }
    EXPECT_EQ(DescribeNamedKey(Case.Key), Case.Description);
  }
}

struct FailCase {
  std::string Keys;
  std::string Message;
};

TEST(SendKeysTest, RefusesMalformedStringsNamingProblemAndPosition) {
  const std::vector<FailCase> Cases = {
      {"{ENTER", "Unclosed brace at position 1."},
      {"ab{", "Unclosed brace at position 3."},
      {"é{DOWN 2", "Unclosed brace at position 2."},
      {"{} 2", "Unclosed brace at position 1."},
      {"{ENTER x}", "Bad repeat count 'x' at position 1."},
      {"a{DOWN }", "Bad repeat count '' at position 2."},
      {"{a -1}", "Bad repeat count '-1' at position 1."},
      {"{a 2 }", "Bad repeat count '2 ' at position 1."},
      {"{a 1.5}", "Bad repeat count '1.5' at position 1."},
      {"{DOWN 0}", "Repeat count '0' out of range 1..1000 at position 1."},
      {"{DOWN 1001}", "Repeat count '1001' out of range 1..1000 at position 1."},
      {"{a 99999999999999999999}",
       "Repeat count '99999999999999999999' out of range 1..1000 at position 1."},
      {"{BOGUS}", "Unknown key name 'BOGUS' at position 1."},
      {"{BOGUS 3}", "Unknown key name 'BOGUS' at position 1."},
      {"x{F17}", "Unknown key name 'F17' at position 2."},
      {"{F0}", "Unknown key name 'F0' at position 1."},
      {"{ÉNTER}", "Unknown key name 'ÉNTER' at position 1."},
      {"{ab{c}", "Unknown key name 'ab{c' at position 1."},
      {"{}", "Empty braces at position 1."},
      {"a{}b}", "Empty braces at position 2."},
      {"+(ab", "Unclosed group at position 2."},
      {"((a)", "Unclosed group at position 1."},
      {"(a(b", "Unclosed group at position 3."},
      {"()", "Empty group at position 1."},
      {"+()", "Empty group at position 2."},
      {"a}", "Unexpected '}' at position 2."},
      {"+}", "Unexpected '}' at position 2."},
      {"a)", "Unexpected ')' at position 2."},
      {"(a))", "Unexpected ')' at position 4."},
      {"a^", "Modifier '^' without a key at position 2."},
      {"+", "Modifier '+' without a key at position 1."},
      {"%", "Modifier '%' without a key at position 1."},
      {"%(a+)", "Modifier '+' without a key at position 4."},
      {"a\xFF", "Invalid UTF-8 at position 2."},
      {"\xC3", "Invalid UTF-8 at position 1."},
      {"ab\xE2\x82", "Invalid UTF-8 at position 3."},
      {"é\x80", "Invalid UTF-8 at position 2."},
      {"\xC3x", "Invalid UTF-8 at position 1."},
      {"\xC0\xAF", "Invalid UTF-8 at position 1."},          // overlong "/"
      {"\xED\xA0\x80", "Invalid UTF-8 at position 1."},      // surrogate
      {"\xF4\x90\x80\x80", "Invalid UTF-8 at position 1."},  // above U+10FFFF
      {"\xF8\x88\x80\x80\x80", "Invalid UTF-8 at position 1."},
  };
  for (const FailCase& Case : Cases) {
    try {
      const KeyActions Actions = ParseKeys(Case.Keys);
      ADD_FAILURE() << "parsed: " << Case.Keys << " as " << DescribeKeys(Actions);
    } catch (const RaisedError& Error) {
      EXPECT_EQ(Error.Number, 5) << Case.Keys;
      EXPECT_EQ(Error.Source, "SendKeys") << Case.Keys;
      EXPECT_EQ(Error.Description, Case.Message) << Case.Keys;
    }
  }
}

TEST(SendKeysTest, ParsesDeepNestingWithoutRecursion) {
  const std::size_t Depth = 100000;
  const std::string Keys = "+" + std::string(Depth, '(') + "a" + std::string(Depth, ')');
  EXPECT_EQ(ParseKeys(Keys), KeyActions{Char(U'a', kShift)});
}

struct EscapeCase {
  std::string Text;
  std::string Escaped;
  std::u32string CodePoints;
};

TEST(SendKeysTest, EscapedTextArrivesAsItself) {
  const std::vector<EscapeCase> Cases = {
      {"", "", U""},
      {"a+b^c%d~e(f)g{h}i[j]k", "a{+}b{^}c{%}d{~}e{(}f{)}g{{}h{}}i{[}j{]}k",
       U"a+b^c%d~e(f)g{h}i[j]k"},
      {"Grüße é", "Grüße é", U"Grüße é"},
      {"C:/My Pics/(1) 100%.89i", "C:/My Pics/{(}1{)} 100{%}.89i", U"C:/My Pics/(1) 100%.89i"},
      {"}}{{ ~~", "{}}{}}{{}{{} {~}{~}", U"}}{{ ~~"},
      {"😀+€", "😀{+}€", U"😀+€"},
  };
  for (const EscapeCase& Case : Cases) {
    EXPECT_EQ(EscapeKeys(Case.Text), Case.Escaped) << Case.Text;
    EXPECT_EQ(ParseKeys(EscapeKeys(Case.Text)), Chars(Case.CodePoints)) << Case.Text;
  }
}

// A control character must never reach the keyboard as Return or Tab: a name holding one
// would otherwise confirm a dialog half-way.
TEST(SendKeysTest, EscapingRefusesControlCharacters) {
  const std::vector<std::pair<std::string, std::string>> Cases = {
      {"a.bmp\rz.bmp", "Control character U+000D cannot be typed as itself at position 6."},
      {"ab\nc.bmp", "Control character U+000A cannot be typed as itself at position 3."},
      {"\t", "Control character U+0009 cannot be typed as itself at position 1."},
      {std::string("x\0y", 3), "Control character U+0000 cannot be typed as itself at position 2."},
      {"é\x1F", "Control character U+001F cannot be typed as itself at position 2."},
      {"€{\x7F", "Control character U+007F cannot be typed as itself at position 3."},
      {"Ü\xC2\x85", "Control character U+0085 cannot be typed as itself at position 2."},
      {"\xC2\x9F", "Control character U+009F cannot be typed as itself at position 1."},
  };
  for (const auto& [Text, Message] : Cases) {
    try {
      EscapeKeys(Text);
      ADD_FAILURE() << "no error for " << Message;
    } catch (const RaisedError& Error) {
      EXPECT_EQ(Error.Number, ErrorNumber::InvalidProcedureCall);
      EXPECT_EQ(Error.Description, Message);
    }
  }
  // The neighbours of the C1 range are ordinary letters.
  EXPECT_EQ(ParseKeys(EscapeKeys("\xC2\xA0\xC3\x80")), Chars(U"\u00A0\u00C0"));
}

TEST(SendKeysTest, DescribesActionsCompactly) {
  const std::vector<std::pair<std::string, std::string>> Cases = {
      {"", ""},
      {"^{F4}", "Ctrl+F4"},
      {"%f", "Alt+f"},
      {"{DOWN 5}", "Down x5"},
      {"~", "Enter"},
      {"C:/", "'C' ':' '/'"},
      {"a b", "'a' ' ' 'b'"},
      {"{' 2}", "''' x2"},
      {"^+a", "Ctrl+Shift+a"},
      {"+%^{DEL 2}", "Ctrl+Alt+Shift+Delete x2"},
      {"+ ", "Shift+Space"},
      {"^é", "Ctrl+é"},
      {"ü€", "'ü' '€'"},
      {"\t^\n\x7F", "U+0009 Ctrl+U+000A U+007F"},
      {"\xC2\x85", "U+0085"},
      {"{a 3}{ENTER}", "'a' x3 Enter"},
  };
  for (const auto& [Keys, Description] : Cases) {
    EXPECT_EQ(DescribeKeys(ParseKeys(Keys)), Description) << Keys;
  }
  EXPECT_EQ(DescribeNamedKey(static_cast<NamedKey>(200)), "Key200");
}

// A keyboard of three batches whose looks, reports of others' keys and injections go as a row
// says, recording every call the typing loop makes and the events of each batch.
struct ScriptedKeys final : KeyInjector {
  std::string Events = "PPP";  // P a key press, r another event (a release, a group change)
  int LostAtLook = 0;          // this look (1: the string's first) finds the focus elsewhere
  int OthersAfter = -1;        // others' keys come after this many batches (0: in the pause)
  int ThrowAt = 0;             // this batch's injection raises
  bool Held = false;           // others hold a key before the first
  KeysOutcome Closing = KeysOutcome::Sent;
  std::vector<std::string> Log, Batches;
  int Looks = 0, Sent = 0;
  std::size_t Next = 0;
  bool Forgiven = false;

  void Plan(const KeyActions&) override { Log.push_back("Plan"); }
  KeysOutcome StillFree(KeyTarget&) override {
    Log.push_back("Look");
    return ++Looks == LostAtLook ? KeysOutcome::FocusLost : KeysOutcome::Sent;
  }
  bool HasNext() const override { return Next < Events.size(); }
  std::size_t NextPress(std::size_t From) override {
    const std::size_t At = Events.find('P', Next + From);
    return (At == std::string::npos ? Events.size() : At) - Next;
  }
  void Send(std::size_t Count) override {
    Log.push_back("Inject " + std::to_string(Sent + 1));
    if (Sent + 1 == ThrowAt) throw RaisedError(ErrorNumber::InvalidProcedureCall, "Keys", "no");
    Batches.push_back(Events.substr(Next, Count));
    Next += Count;
    ++Sent;
  }
  KeysOutcome Finish(KeyTarget&, const std::function<void()>& Handed) override {
    Log.push_back("Finish");
    Handed();
    return Closing;
  }
  void Abandon() noexcept override { Log.push_back("Abandon"); }
  bool OthersTyped() override { return OthersAfter >= 0 && Sent >= OthersAfter && !Forgiven; }
  void ForgetOthersKeys() override { Forgiven = OthersAfter == 0; }
  bool OthersHold() override { return Held; }
};

struct RecordedPacing final : KeyPacing {
  explicit RecordedPacing(std::vector<std::string>& L, bool Earlier) : Log(L), Earlier_(Earlier) {}
  void BeforeFirstKey() override { Log.push_back("Paused"); }
  void Handed() override { Log.push_back("Handed"); }
  bool EarlierKeysCount() override { return Earlier_; }
  std::vector<std::string>& Log;
  bool Earlier_;
};

TEST(SendKeysTest, TypesBatchByBatchAndStopsAtTheFirstLookThatSaysSo) {
  struct Case {
    std::string Name;
    std::function<void(ScriptedKeys&)> Set;
    bool EarlierCount;
    std::optional<KeysOutcome> Outcome;  // nothing: it raises
    std::vector<std::string> Log;
  };
  const std::vector<std::string> Whole{"Plan",     "Paused", "Look",     "Inject 1", "Look",
                                       "Inject 2", "Look",   "Inject 3", "Finish",   "Handed"};
  const std::vector<Case> Cases = {
      {"all goes", [](ScriptedKeys&) {}, true, KeysOutcome::Sent, Whole},
      {"the focus is elsewhere at the start",
       [](ScriptedKeys& K) { K.LostAtLook = 1; },
       true,
       KeysOutcome::FocusLost,
       {"Plan", "Paused", "Look"}},
      {"the focus moves after a batch",
       [](ScriptedKeys& K) { K.LostAtLook = 3; },
       true,
       KeysOutcome::FocusLost,
       {"Plan", "Paused", "Look", "Inject 1", "Look", "Inject 2", "Look", "Finish", "Handed"}},
      {"others type after a batch",
       [](ScriptedKeys& K) { K.OthersAfter = 1; },
       true,
       KeysOutcome::OthersKeys,
       {"Plan", "Paused", "Look", "Inject 1", "Look", "Finish", "Handed"}},
      {"others typed in the pause, which counts",
       [](ScriptedKeys& K) { K.OthersAfter = 0; },
       true,
       KeysOutcome::OthersKeys,
       {"Plan", "Paused", "Look"}},
      {"others typed in the pause, which does not", [](ScriptedKeys& K) { K.OthersAfter = 0; },
       false, KeysOutcome::Sent, Whole},
      {"others hold a key",
       [](ScriptedKeys& K) { K.Held = true; },
       true,
       KeysOutcome::KeysHeld,
       {"Plan", "Paused", "Look"}},
      {"others type with the last batch", [](ScriptedKeys& K) { K.OthersAfter = 3; }, true,
       KeysOutcome::OthersKeys, Whole},
      {"the closing look finds the focus gone",
       [](ScriptedKeys& K) { K.Closing = KeysOutcome::FocusLost; }, true, KeysOutcome::FocusLost,
       Whole},
      {"the system refuses a batch",
       [](ScriptedKeys& K) { K.ThrowAt = 2; },
       true,
       std::nullopt,
       {"Plan", "Paused", "Look", "Inject 1", "Look", "Inject 2", "Abandon"}},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    ScriptedKeys Keys;
    C.Set(Keys);
    RecordedPacing Pacing(Keys.Log, C.EarlierCount);
    OneProcess Target(1);
    if (C.Outcome) {
      EXPECT_EQ(SendKeys(Keys, {}, Target, Pacing), *C.Outcome);
    } else {
      EXPECT_THROW(SendKeys(Keys, {}, Target, Pacing), RaisedError);
    }
    EXPECT_EQ(Keys.Log, C.Log);
  }
}

TEST(SendKeysTest, ABatchIsOnePressWithTheEventsUpToTheNextPress) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> Cases = {
      {"PPP", {"P", "P", "P"}},
      {"PrrPr", {"Prr", "Pr"}},
      {"rrPrPPrr", {"rrPr", "P", "Prr"}},
      {"rr", {"rr"}},
  };
  for (const auto& [Events, Batches] : Cases) {
    ScriptedKeys Keys;
    Keys.Events = Events;
    OneProcess Target(1);
    EXPECT_EQ(SendKeys(Keys, {}, Target), KeysOutcome::Sent) << Events;
    EXPECT_EQ(Keys.Batches, Batches) << Events;
  }
}

}  // namespace
}  // namespace pictrane
