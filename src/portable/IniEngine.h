// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pictrane {

// The bytes of one INI file, read and edited the way the system's profile functions do it.
//
// Reading: a line whose first non-blank byte is ";" is a comment; "[name]" (up to the last "]")
// starts a section; "name=value" is a key; any other line is a key without a value, which reads
// as "" and is not listed. Lines above the first header form the section "". Blanks (space, tab,
// VT, FF and ^Z) around names and values do not count, and a value wrapped in one pair of
// matching quotes loses them. Of duplicate sections or keys the first is read and written, but
// the name lists hold every one. Lines end in CRLF, LF or a lone CR; the last one may have no end
// at all. A leading UTF-8 byte order mark is skipped.
//
// Nothing is kept besides the bytes: every call scans them once, front to back, so a call takes
// time linear in the file's size, whatever its line ends, and no memory per line.
//
// Writing edits only the lines concerned and keeps every other byte as it was. A new key goes
// right after the last key line of its section (after the header when it has none), so comments
// and blank lines that lead into the next section stay in front of it; a new section goes at the
// end of the file. A key without a value gets its "=value" in place. New lines end the way the
// file's first line does (CRLF in a file without any). A write that does not change what a read
// returns leaves the bytes alone. A write that could not be read back as written (an empty key
// name, a line break in any argument, a key name that would read as a comment, a header or
// another key, or that starts with "[" or a byte order mark) changes nothing.
class IniEngine {
 public:
  explicit IniEngine(std::string Bytes = {});

  // The rules every store of settings follows, here and nowhere else.
  // Blanks around names and values do not count: space, tab, VT, FF and ^Z.
  static bool IsBlank(char C);
  // True when A and B name the same section or key: blanks around them are ignored and ASCII
  // letters compare without regard to case; every other byte must be equal.
  static bool SameName(std::string_view A, std::string_view B);
  // What a read gives back for Value once written: blanks around it off, then one pair of
  // matching quotes.
  static std::string ReadBack(std::string_view Value);

  const std::string& Bytes() const { return Bytes_; }

  // The value of Key in Section, or "" when either is missing.
  std::string ReadString(std::string_view Section, std::string_view Key) const;
  // The value of Key as the file holds it (outer blanks off, quotes on), or nothing when Section
  // has no such key with a value.
  std::optional<std::string> StoredText(std::string_view Section, std::string_view Key) const;
  // Names of the keys with a value in Section, in file order, as spelt in the file.
  std::vector<std::string> KeyNames(std::string_view Section) const;
  // Names of the sections in file order; "" (the lines above the first header) is not listed.
  std::vector<std::string> SectionNames() const;

  // Whether WriteString takes these arguments (see above): what it refuses changes nothing.
  static bool Accepts(std::string_view Section, std::string_view Key, std::string_view Value);

  // Each returns true when it changed the bytes.
  bool WriteString(std::string_view Section, std::string_view Key, std::string_view Value);
  // Removes the first Key of the first Section.
  bool DeleteKey(std::string_view Section, std::string_view Key);
  // Removes the first Section: its header and its lines up to its last key line. Comments and
  // blank lines after that lead into whatever follows and are kept. Section "" stays.
  bool DeleteSection(std::string_view Section);

 private:
  enum class LineKind { Blank, Comment, Header, Key, Bare };

  struct Line {
    std::size_t Begin = 0;  // first byte of the line
    std::size_t End = 0;    // one past its content, where its line end starts
    std::size_t Next = 0;   // one past its line end (== End for a last line without one)
    LineKind Kind = LineKind::Blank;
    // Header: the name between the brackets. Key, Bare: the name (before "="). All trimmed.
    std::size_t NameBegin = 0;
    std::size_t NameEnd = 0;
    // Key: the value after "=", trimmed (quotes still on).
    std::size_t ValueBegin = 0;
    std::size_t ValueEnd = 0;
  };

  // What one scan found of a section and of a key in it.
  struct Place {
    bool Found = false;         // the section is there ("" always is)
    std::size_t Begin = 0;      // its header's first byte (for "": the first byte of the text)
    std::size_t Tail = 0;       // one past its last key line, or header: where a new key goes
    bool TailOpen = false;      // that line is the last of the file and has no line end
    std::optional<Line> Entry;  // the first line naming the key
  };

  class Scanner;

  static Line Classify(std::string_view Text, std::size_t Begin, std::size_t End);
  std::string_view NameOf(const Line& L) const;
  std::string_view ValueOf(const Line& L) const;
  Place Locate(std::string_view Section, std::string_view Key,
               std::vector<std::string>* Names = nullptr) const;
  std::size_t TextBegin() const;
  std::string LineEnding() const;

  std::string Bytes_;
};

}  // namespace pictrane
