#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pictrane {

// True when A and B name the same section or key: blanks (spaces, tabs) around them are ignored
// and ASCII letters compare without regard to case; every other byte must be equal.
bool SameProfileName(std::string_view A, std::string_view B);

// The bytes of one INI file, read and edited the way the system's profile functions do it.
//
// Reading: a line whose first non-blank byte is ";" is a comment; "[name]" (up to the last "]")
// starts a section; "name=value" is a key; any other line is ignored. Blanks around names and
// values do not count, and a value wrapped in one pair of matching quotes loses them. Of
// duplicate sections or keys the first wins. Lines end in CRLF, LF or a lone CR; the last one may
// have no end at all. A leading UTF-8 byte order mark is skipped.
//
// Writing edits only the lines concerned and keeps every other byte as it was. A new key goes
// right after the last key line of its section (after the header when it has none), so comments
// and blank lines that lead into the next section stay in front of it; a new section goes at the
// end of the file. New lines end the way the file's first line does (CRLF in a file without any).
// A write that could not be read back as written (an empty name, a line break in any argument,
// a key that would read as a comment, a header or another key) changes nothing.
class IniEngine {
 public:
  explicit IniEngine(std::string Bytes = {});

  const std::string& Bytes() const { return Bytes_; }

  // The value of Key in Section, or "" when either is missing.
  std::string ReadString(std::string_view Section, std::string_view Key) const;
  // Key names of Section in file order, as spelt in the file, the first of duplicates only.
  std::vector<std::string> KeyNames(std::string_view Section) const;
  // Section names in file order, the first of duplicates only.
  std::vector<std::string> SectionNames() const;

  // Whether WriteString takes these arguments (see above): what it refuses changes nothing.
  static bool Accepts(std::string_view Section, std::string_view Key, std::string_view Value);

  // Each returns true when it changed the bytes.
  bool WriteString(std::string_view Section, std::string_view Key, std::string_view Value);
  // Removes the first Key of the first Section.
  bool DeleteKey(std::string_view Section, std::string_view Key);
  // Removes the first Section: its header and its lines up to its last key line. Comments and
  // blank lines after that lead into whatever follows and are kept.
  bool DeleteSection(std::string_view Section);

 private:
  enum class LineKind { Blank, Comment, Header, Key, Text };

  struct Line {
    std::size_t Begin = 0;  // first byte of the line
    std::size_t End = 0;    // one past its content, where its line end starts
    std::size_t Next = 0;   // one past its line end (== End for a last line without one)
    LineKind Kind = LineKind::Blank;
    // Header: the name between the brackets. Key: the name before "=". Both trimmed.
    std::size_t NameBegin = 0;
    std::size_t NameEnd = 0;
    // Key: the value after "=", trimmed (quotes still on).
    std::size_t ValueBegin = 0;
    std::size_t ValueEnd = 0;
  };

  // A section's header line and its last key line (the header itself when it has no keys);
  // Stop is the index of the next header or the number of lines.
  struct Span {
    std::size_t Header = 0;
    std::size_t LastKey = 0;
    std::size_t Stop = 0;
  };

  static constexpr std::size_t NotFound = static_cast<std::size_t>(-1);

  void Parse();
  static Line Classify(std::string_view Text, std::size_t Begin, std::size_t End);
  std::string_view NameOf(const Line& L) const;
  std::size_t FindSection(std::string_view Section, Span& Found) const;
  std::size_t FindKey(const Span& In, std::string_view Key) const;
  std::string_view LineEnding() const;
  void Replace(std::size_t Begin, std::size_t End, std::string_view With);

  std::string Bytes_;
  std::vector<Line> Lines_;
};

}  // namespace pictrane
