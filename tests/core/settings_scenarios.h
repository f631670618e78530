// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Profile-file scenarios shared by the tests that run them through our engine and by the test
// that runs them through the system's own profile functions under Windows. Each scenario starts
// from a file (or no file), performs calls in order and states what every read returns. Final is
// the exact bytes our engine leaves; the system formats some new lines differently, so the
// comparison with the system's functions looks at what reads return, not at the bytes.

#include <optional>
#include <string>
#include <vector>

namespace pictrane::scenarios {

enum class ProfileOp {
  Read,           // GetPrivateProfileString(Section, Key): Expected
  Keys,           // GetPrivateProfileString(Section, no key): Names
  Sections,       // GetPrivateProfileString(no section, no key): Names
  Write,          // WritePrivateProfileString(Section, Key, Value)
  DeleteKey,      // WritePrivateProfileString(Section, Key, no value)
  DeleteSection,  // WritePrivateProfileString(Section, no key, no value)
};

struct ProfileStep {
  ProfileOp Op = ProfileOp::Read;
  std::string Section;
  std::string Key;
  std::string Value;               // Write: what is written
  std::string Expected;            // Read: what comes back
  std::vector<std::string> Names;  // Keys, Sections: the names, in order
};

struct ProfileScenario {
  std::string Name;
  std::optional<std::string> Initial;  // the file before the steps; nothing: no file
  std::vector<ProfileStep> Steps;
  std::optional<std::string> Final;  // our bytes after the steps; nothing: still no file
  // False where the system's documentation says nothing and the expected results are our choice;
  // a comparison with the system reports a difference there rather than failing.
  bool Documented = true;
};

inline ProfileStep Read(std::string Section, std::string Key, std::string Expected) {
  ProfileStep S;
  S.Op = ProfileOp::Read;
  S.Section = std::move(Section);
  S.Key = std::move(Key);
  S.Expected = std::move(Expected);
  return S;
}

inline ProfileStep Keys(std::string Section, std::vector<std::string> Names) {
  ProfileStep S;
  S.Op = ProfileOp::Keys;
  S.Section = std::move(Section);
  S.Names = std::move(Names);
  return S;
}

inline ProfileStep Sections(std::vector<std::string> Names) {
  ProfileStep S;
  S.Op = ProfileOp::Sections;
  S.Names = std::move(Names);
  return S;
}

inline ProfileStep Write(std::string Section, std::string Key, std::string Value) {
  ProfileStep S;
  S.Op = ProfileOp::Write;
  S.Section = std::move(Section);
  S.Key = std::move(Key);
  S.Value = std::move(Value);
  return S;
}

inline ProfileStep DeleteKey(std::string Section, std::string Key) {
  ProfileStep S;
  S.Op = ProfileOp::DeleteKey;
  S.Section = std::move(Section);
  S.Key = std::move(Key);
  return S;
}

inline ProfileStep DeleteSection(std::string Section) {
  ProfileStep S;
  S.Op = ProfileOp::DeleteSection;
  S.Section = std::move(Section);
  return S;
}

inline std::vector<ProfileScenario> ProfileScenarios() {
  const std::string Long300(300, 'x');
  return {
      {"missing file reads as empty",
       std::nullopt,
       {Read("Settings", "LastDir", ""), Keys("Settings", {}), Sections({})},
       std::nullopt},

      {"write to a missing file creates it with CRLF lines",
       std::nullopt,
       {Write("Settings", "LastDir", "/home/u/pics"), Read("Settings", "LastDir", "/home/u/pics")},
       "[Settings]\r\nLastDir=/home/u/pics\r\n"},

      {"deletes on a missing file create nothing",
       std::nullopt,
       {DeleteKey("Settings", "LastDir"), DeleteSection("Settings"), Read("Settings", "x", "")},
       std::nullopt,
       false},

      {"names match without regard to case and keep their spelling",
       "[Settings]\r\nLastDir=/a\r\n",
       {Read("SETTINGS", "lastdir", "/a"), Write("settings", "LASTDIR", "/b"),
        Read("Settings", "LastDir", "/b"), Keys("SeTtInGs", {"LastDir"}), Sections({"Settings"})},
       "[Settings]\r\nLastDir=/b\r\n"},

      {"blanks around section names, key names and values do not count",
       "  [ Settings ]  \r\n\t LastDir \t=  /some dir \t\r\nDeleteBMPs=1   \r\n",
       {Read("Settings", "LastDir", "/some dir"), Read("Settings", "DeleteBMPs", "1"),
        Keys("Settings", {"LastDir", "DeleteBMPs"}), Sections({"Settings"})},
       "  [ Settings ]  \r\n\t LastDir \t=  /some dir \t\r\nDeleteBMPs=1   \r\n"},

      {"blanks around the names asked for do not count either",
       "[Settings]\r\nLastDir=/a\r\n",
       {Read(" Settings\t", "\tLastDir ", "/a"), Write(" Settings ", " Fresh ", "1")},
       "[Settings]\r\nLastDir=/a\r\nFresh=1\r\n",
       false},

      {"one pair of matching quotes is removed",
       "[Q]\r\na=\"double\"\r\nb='single'\r\nc=\"mixed'\r\nd=\"\r\ne=\"\"\r\nf= \" padded \" \r\n"
       "g=\"in\"side\"\r\nh=''quoted''\r\n",
       {Read("Q", "a", "double"), Read("Q", "b", "single"), Read("Q", "c", "\"mixed'"),
        Read("Q", "d", "\""), Read("Q", "e", ""), Read("Q", "f", " padded "),
        Read("Q", "g", "in\"side"), Read("Q", "h", "'quoted'")},
       "[Q]\r\na=\"double\"\r\nb='single'\r\nc=\"mixed'\r\nd=\"\r\ne=\"\"\r\nf= \" padded \" \r\n"
       "g=\"in\"side\"\r\nh=''quoted''\r\n"},

      {"a value keeps semicolons and equals signs after the first",
       "[S]\r\nk=a ; b = c\r\n",
       {Read("S", "k", "a ; b = c")},
       "[S]\r\nk=a ; b = c\r\n"},

      {"empty values read as empty",
       "[S]\r\nk=\r\nj =   \r\n",
       {Read("S", "k", ""), Read("S", "j", ""), Keys("S", {"k", "j"}), Write("S", "j", "v")},
       "[S]\r\nk=\r\nj =   v\r\n"},

      {"a value is returned whole, however long",
       "[S]\r\nk=" + Long300 + "\r\n",
       {Read("S", "k", Long300), Write("S", "n", Long300 + "y"), Read("S", "n", Long300 + "y")},
       "[S]\r\nk=" + Long300 + "\r\nn=" + Long300 + "y\r\n"},

      {"only a semicolon starts a comment",
       "[S]\r\n;k=1\r\n  ; j=2\r\n#h=3\r\nk=4\r\n",
       {Read("S", "k", "4"), Read("S", "j", ""), Read("S", "#h", "3"), Keys("S", {"#h", "k"})},
       "[S]\r\n;k=1\r\n  ; j=2\r\n#h=3\r\nk=4\r\n",
       false},

      {"a line without an equals sign is a key without a value, given one in place",
       "[S]\r\nk=1\r\n  alone \r\n[T]\r\n",
       {Read("S", "alone", ""), Keys("S", {"k"}), Write("S", "n", "2"), Keys("S", {"k", "n"}),
        Write("S", "ALONE", "3"), Read("S", "alone", "3"), Keys("S", {"k", "alone", "n"})},
       "[S]\r\nk=1\r\n  alone=3\r\nn=2\r\n[T]\r\n"},

      {"a key without a value can be deleted",
       "[S]\r\nalone\r\nalone=1\r\n",
       {Read("S", "alone", ""), DeleteKey("S", "alone"), Read("S", "alone", "1")},
       "[S]\r\nalone=1\r\n"},

      {"the first of duplicate sections wins",
       "[S]\r\nk=1\r\n[s]\r\nk=2\r\nj=3\r\n",
       {Read("S", "k", "1"), Read("S", "j", ""), Sections({"S", "s"}), Keys("s", {"k"}),
        Write("S", "j", "4"), Read("S", "j", "4")},
       "[S]\r\nk=1\r\nj=4\r\n[s]\r\nk=2\r\nj=3\r\n",
       false},

      {"the first of duplicate keys wins",
       "[S]\r\nk=1\r\nK=2\r\n",
       {Read("S", "k", "1"), Keys("S", {"k", "K"}), Write("S", "K", "9"), Read("S", "k", "9"),
        DeleteKey("S", "k"), Read("S", "k", "2"), Keys("S", {"K"})},
       "[S]\r\nK=2\r\n"},

      {"LF lines read, and new lines follow them",
       "[S]\nk=1\n",
       {Read("S", "k", "1"), Write("S", "n", "2"), Write("T", "x", "y"), Read("T", "x", "y")},
       "[S]\nk=1\nn=2\n[T]\nx=y\n"},

      {"a last line without a line end reads, and a new key ends it",
       "[S]\r\nk=1",
       {Read("S", "k", "1"), Write("S", "n", "2"), Read("S", "n", "2")},
       "[S]\r\nk=1\r\nn=2\r\n"},

      {"a new section after a last line without a line end",
       "[S]\nk=1",
       {Write("T", "x", "y"), Read("S", "k", "1"), Read("T", "x", "y")},
       "[S]\nk=1\n[T]\nx=y\n"},

      {"a new key goes after the last key of its section",
       "[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\ny=2\r\n",
       {Write("A", "z", "3"), Keys("A", {"x", "z"}), Read("B", "y", "2")},
       "[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\n"},

      {"a new key in a section without keys goes under its header",
       "[A]\r\n\r\n[B]\r\ny=2\r\n",
       {Write("A", "k", "v"), Read("A", "k", "v"), Keys("A", {"k"})},
       "[A]\r\nk=v\r\n\r\n[B]\r\ny=2\r\n"},

      {"a new section goes at the end of the file",
       "[A]\r\nx=1\r\n\r\n; tail\r\n",
       {Write("B", "k", "v"), Sections({"A", "B"}), Read("B", "k", "v")},
       "[A]\r\nx=1\r\n\r\n; tail\r\n[B]\r\nk=v\r\n"},

      {"a rewrite changes the value and keeps every other byte",
       "; head\r\n[A]\r\n  x = 1   \r\n\r\ny=\"2\"\n[B]\r\nz=3",
       {Write("a", "X", "new"), Write("A", "y", "two"), Read("A", "x", "new"),
        Read("A", "y", "two"), Read("B", "z", "3")},
       "; head\r\n[A]\r\n  x = new\r\n\r\ny=two\n[B]\r\nz=3"},

      {"writing the value already there leaves the file as it was",
       "[S]\r\nk = v\r\n",
       {Write("S", "k", "v"), Read("S", "k", "v")},
       "[S]\r\nk = v\r\n"},

      {"deleting a key removes its line only",
       "[S]\r\na=1\r\n; note\r\nb=2\r\nc=3",
       {DeleteKey("s", "B"), Keys("S", {"a", "c"}), DeleteKey("S", "c"), Keys("S", {"a"}),
        Read("S", "b", "")},
       "[S]\r\na=1\r\n; note\r\n"},

      {"deleting a section removes it with all its keys",
       "[A]\r\nx=1\r\n; inner\r\ny=2\r\n\r\n; about B\r\n[B]\r\nz=3\r\n",
       {DeleteSection("a"), Sections({"B"}), Read("A", "x", ""), Keys("A", {}),
        Read("B", "z", "3")},
       "\r\n; about B\r\n[B]\r\nz=3\r\n"},

      {"deleting a section without keys removes its header",
       "[A]\r\n; c\r\n[B]\r\nk=1\r\n",
       {DeleteSection("A"), Sections({"B"})},
       "; c\r\n[B]\r\nk=1\r\n"},

      {"deleting what is not there changes nothing",
       "[S]\r\nk=1\r\n",
       {DeleteKey("S", "j"), DeleteKey("T", "k"), DeleteSection("T"), Read("S", "k", "1")},
       "[S]\r\nk=1\r\n"},

      {"names and values pass through as bytes",
       "[R\xC3\xA9glages]\r\ncl\xC3\xA9=v\xC3\xA4lue \xE2\x82\xAC\r\n",
       {Read("R\xC3\xA9glages", "cl\xC3\xA9", "v\xC3\xA4lue \xE2\x82\xAC"),
        Write("R\xC3\xA9glages", "\xC3\xBC", "\xC3\xB6"),
        Read("R\xC3\xA9glages", "\xC3\xBC", "\xC3\xB6")},
       "[R\xC3\xA9glages]\r\ncl\xC3\xA9=v\xC3\xA4lue \xE2\x82\xAC\r\n\xC3\xBC=\xC3\xB6\r\n"},

      {"keys above the first section are in the section \"\"",
       "; head\r\nk=0\r\n[S]\r\nk=1\r\n",
       {Read("S", "k", "1"), Read("", "k", "0"), Keys("", {"k"}), Sections({"S"}),
        Write("", "j", "2"), Read("", "j", "2"), Read("S", "j", "")},
       "; head\r\nk=0\r\nj=2\r\n[S]\r\nk=1\r\n"},

      {"a key written to the section \"\" goes above the first header",
       "[S]\r\nk=1\r\n",
       {Write("", "top", "1"), Read("", "top", "1"), Read("S", "top", ""), Keys("S", {"k"})},
       "top=1\r\n[S]\r\nk=1\r\n"},

      {"^Z, VT and FF are blanks",
       "[ S\x1a]\x1a\r\n\v k \f=\x1a v \v\r\n",
       {Read("S", "k", "v"), Keys("S", {"k"}), Sections({"S"})},
       "[ S\x1a]\x1a\r\n\v k \f=\x1a v \v\r\n"},

      {"a write that reads back the same leaves the file as it is",
       "[S]\r\nLastDir=  /p\r\nq=\"x\"\r\n",
       {Write("S", "LastDir", "  /p"), Write("S", "LastDir", "/p"), Write("S", "q", "x"),
        Read("S", "LastDir", "/p"), Read("S", "q", "x")},
       "[S]\r\nLastDir=  /p\r\nq=\"x\"\r\n"},

      {"a header needs its closing bracket and ends at the last one",
       "[A]\r\n[B\r\nk=1\r\n[C] trailing\r\nm=2\r\n",
       {Sections({"A", "C"}), Read("A", "k", "1"), Read("A", "[B", ""), Read("C", "m", "2")},
       "[A]\r\n[B\r\nk=1\r\n[C] trailing\r\nm=2\r\n",
       false},

      {"what could not be read back as written is not written",
       std::nullopt,
       {Write("S", "", "v"), Write("S", "a=b", "v"), Write("S", ";c", "v"), Write("S", "[T]", "v"),
        Write("S", "[T", "v"), Write("S", "k", "line\r\nbreak=1"), Write("S\n", "k", "v"),
        Sections({})},
       std::nullopt,
       false},

      {"lone CR line ends read",
       "[S]\rk=1\rj=2",
       {Read("S", "k", "1"), Read("S", "j", "2"), Write("S", "n", "3")},
       "[S]\rk=1\rj=2\rn=3\r",
       false},

      {"a last line ending in a lone CR, after LF lines",
       "[S]\nk=1\r",
       {Read("S", "k", "1"), Write("S", "n", "2"), Read("S", "n", "2"), Keys("S", {"k", "n"})},
       "[S]\nk=1\rn=2\n"},

      {"a UTF-8 byte order mark is skipped and kept",
       "\xEF\xBB\xBF[S]\r\nk=1\r\n",
       {Read("S", "k", "1"), DeleteSection("S"), Sections({})},
       "\xEF\xBB\xBF",
       false},
  };
}

}  // namespace pictrane::scenarios
