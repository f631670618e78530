// SPDX-License-Identifier: GPL-3.0-or-later
#include "portable/IniEngine.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace pictrane {

namespace {

char FoldCase(char C) {
  return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C;
}

std::string_view Trim(std::string_view S) {
  while (!S.empty() && IniEngine::IsBlank(S.front())) S.remove_prefix(1);
  while (!S.empty() && IniEngine::IsBlank(S.back())) S.remove_suffix(1);
  return S;
}

bool IsLineBreak(char C) {
  return C == '\r' || C == '\n';
}

bool HasLineBreak(std::string_view S) {
  return std::any_of(S.begin(), S.end(), IsLineBreak);
}

bool EqualFolded(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return FoldCase(X) == FoldCase(Y);
         });
}

// What a read returns for a stored (trimmed) value: one pair of matching quotes comes off.
std::string_view Unquoted(std::string_view Value) {
  if (Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') &&
      Value.back() == Value.front()) {
    return Value.substr(1, Value.size() - 2);
  }
  return Value;
}

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

// Walks the lines front to back. The next CR and the next LF are each searched for once and
// remembered until passed: searching for LF again from every line start made a file of CR-only
// lines quadratic.
class IniEngine::Scanner {
 public:
  Scanner(std::string_view Text, std::size_t Pos)
      : Text_(Text), Pos_(Pos), Cr_(Find('\r')), Lf_(Find('\n')) {}

  bool Next(Line& L) {
    if (Pos_ >= Text_.size()) return false;
    if (Cr_ < Pos_) Cr_ = Find('\r');
    if (Lf_ < Pos_) Lf_ = Find('\n');
    const std::size_t End = std::min(Cr_, Lf_);
    std::size_t Next = End;
    if (End < Text_.size()) {
      Next = End + 1;
      if (Text_[End] == '\r' && Next < Text_.size() && Text_[Next] == '\n') ++Next;
    }
    L = Classify(Text_, Pos_, End);
    L.Next = Next;
    Pos_ = Next;
    return true;
  }

 private:
  std::size_t Find(char C) const {
    const void* Hit = std::memchr(Text_.data() + Pos_, C, Text_.size() - Pos_);
    return Hit ? static_cast<std::size_t>(static_cast<const char*>(Hit) - Text_.data())
               : Text_.size();
  }

  std::string_view Text_;
  std::size_t Pos_;
  std::size_t Cr_;
  std::size_t Lf_;
};

IniEngine::IniEngine(std::string Bytes) : Bytes_(std::move(Bytes)) {}

bool IniEngine::IsBlank(char C) {
  return C == ' ' || C == '\t' || C == '\v' || C == '\f' || C == '\x1a';
}

bool IniEngine::SameName(std::string_view A, std::string_view B) {
  return EqualFolded(Trim(A), Trim(B));
}

std::string IniEngine::ReadBack(std::string_view Value) {
  return std::string(Unquoted(Trim(Value)));
}

IniEngine::Line IniEngine::Classify(std::string_view Text, std::size_t Begin, std::size_t End) {
  Line L;
  L.Begin = Begin;
  L.End = End;
  const std::string_view Content = Trim(Text.substr(Begin, End - Begin));
  if (Content.empty()) return L;
  auto Offset = [&](std::string_view Part) {
    return static_cast<std::size_t>(Part.data() - Text.data());
  };
  if (Content.front() == ';') {
    L.Kind = LineKind::Comment;
    return L;
  }
  if (Content.front() == '[') {
    const std::size_t Close = Content.rfind(']');
    if (Close != std::string_view::npos && Close > 0) {
      const std::string_view Name = Trim(Content.substr(1, Close - 1));
      L.Kind = LineKind::Header;
      L.NameBegin = Offset(Name);
      L.NameEnd = L.NameBegin + Name.size();
      return L;
    }
  }
  const std::size_t Equals = Content.find('=');
  if (Equals == std::string_view::npos) {
    // A key without a value: it can be found, deleted and given a value, but reads as "".
    L.Kind = LineKind::Bare;
    L.NameBegin = Offset(Content);
    L.NameEnd = L.NameBegin + Content.size();
    return L;
  }
  const std::string_view Name = Trim(Content.substr(0, Equals));
  const std::string_view Value = Trim(Content.substr(Equals + 1));
  // "=value" names nothing that could be asked for: a key line without a name.
  L.Kind = Name.empty() ? LineKind::Bare : LineKind::Key;
  L.NameBegin = Name.empty() ? Offset(Content) : Offset(Name);
  L.NameEnd = L.NameBegin + Name.size();
  // An empty value starts at the line's end, so a rewrite keeps the blanks after "=".
  L.ValueBegin = Value.empty() ? End : Offset(Value);
  L.ValueEnd = Value.empty() ? End : L.ValueBegin + Value.size();
  return L;
}

std::string_view IniEngine::NameOf(const Line& L) const {
  return std::string_view(Bytes_).substr(L.NameBegin, L.NameEnd - L.NameBegin);
}

std::string_view IniEngine::ValueOf(const Line& L) const {
  return std::string_view(Bytes_).substr(L.ValueBegin, L.ValueEnd - L.ValueBegin);
}

std::size_t IniEngine::TextBegin() const {
  // A byte order mark stays in front of the first line, whatever happens to that line.
  return std::string_view(Bytes_).substr(0, ByteOrderMark.size()) == ByteOrderMark
             ? ByteOrderMark.size()
             : 0;
}

IniEngine::Place IniEngine::Locate(std::string_view Section, std::string_view Key,
                                   std::vector<std::string>* Names) const {
  Section = Trim(Section);
  Key = Trim(Key);
  Place P;
  P.Begin = P.Tail = TextBegin();
  // The lines above the first header are the section "".
  bool Inside = P.Found = Section.empty();
  Scanner Lines(Bytes_, P.Begin);
  Line L;
  while (Lines.Next(L)) {
    if (L.Kind == LineKind::Header) {
      if (Inside) break;
      if (Section.empty() || !EqualFolded(NameOf(L), Section)) continue;
      Inside = P.Found = true;
      P.Begin = L.Begin;
    } else if (!Inside || (L.Kind != LineKind::Key && L.Kind != LineKind::Bare)) {
      continue;
    } else {
      if (!P.Entry && !Key.empty() && EqualFolded(NameOf(L), Key)) P.Entry = L;
      if (Names && L.Kind == LineKind::Key) Names->emplace_back(NameOf(L));
    }
    P.Tail = L.Next;
    P.TailOpen = L.Next == L.End;
  }
  return P;
}

std::string IniEngine::LineEnding() const {
  Scanner Lines(Bytes_, TextBegin());
  Line L;
  if (Lines.Next(L) && L.Next != L.End) return Bytes_.substr(L.End, L.Next - L.End);
  return "\r\n";
}

std::string IniEngine::ReadString(std::string_view Section, std::string_view Key) const {
  const Place P = Locate(Section, Key);
  if (!P.Entry || P.Entry->Kind != LineKind::Key) return {};
  return std::string(Unquoted(ValueOf(*P.Entry)));
}

std::optional<std::string> IniEngine::StoredText(std::string_view Section,
                                                 std::string_view Key) const {
  const Place P = Locate(Section, Key);
  if (!P.Entry || P.Entry->Kind != LineKind::Key) return std::nullopt;
  return std::string(ValueOf(*P.Entry));
}

std::vector<std::string> IniEngine::KeyNames(std::string_view Section) const {
  std::vector<std::string> Names;
  Locate(Section, {}, &Names);
  return Names;
}

std::vector<std::string> IniEngine::SectionNames() const {
  std::vector<std::string> Names;
  Scanner Lines(Bytes_, TextBegin());
  Line L;
  while (Lines.Next(L)) {
    if (L.Kind == LineKind::Header && L.NameBegin != L.NameEnd) Names.emplace_back(NameOf(L));
  }
  return Names;
}

bool IniEngine::Accepts(std::string_view Section, std::string_view Key, std::string_view Value) {
  Section = Trim(Section);
  Key = Trim(Key);
  if (Key.empty() || Key.front() == '[' || HasLineBreak(Section) || HasLineBreak(Key) ||
      HasLineBreak(Value)) {
    return false;
  }
  // As the file's first line, such a key would lose its first bytes to the byte order mark.
  if (Key.substr(0, ByteOrderMark.size()) == ByteOrderMark) return false;
  // Refuse what would read back as something else: "a=b" as a key, ";x" or "[x]" as a key name.
  const std::string KeyLine = std::string(Key) + "=" + std::string(Value);
  const Line AsKey = Classify(KeyLine, 0, KeyLine.size());
  if (AsKey.Kind != LineKind::Key || AsKey.NameEnd - AsKey.NameBegin != Key.size()) return false;
  if (Section.empty()) return true;  // the lines above the first header need no header
  const std::string HeaderLine = "[" + std::string(Section) + "]";
  const Line AsHeader = Classify(HeaderLine, 0, HeaderLine.size());
  return AsHeader.Kind == LineKind::Header &&
         AsHeader.NameEnd - AsHeader.NameBegin == Section.size();
}

bool IniEngine::WriteString(std::string_view Section, std::string_view Key,
                            std::string_view Value) {
  if (!Accepts(Section, Key, Value)) return false;
  Section = Trim(Section);
  Key = Trim(Key);
  const std::string KeyLine = std::string(Key) + "=" + std::string(Value);
  const Place P = Locate(Section, Key);
  const std::string Eol = LineEnding();
  if (!P.Found) {
    std::string Added;
    if (Bytes_.size() > TextBegin() && !IsLineBreak(Bytes_.back())) Added += Eol;
    Added.append("[").append(Section).append("]").append(Eol).append(KeyLine).append(Eol);
    Bytes_ += Added;
    return true;
  }
  if (P.Entry && P.Entry->Kind == LineKind::Key) {
    const Line& L = *P.Entry;
    // Rewriting what reads the same would only move blanks or quotes about.
    if (Unquoted(ValueOf(L)) == ReadBack(Value)) return false;
    // Keep the key as spelt and spaced in the file; only the value (and blanks after it) change.
    Bytes_.replace(L.ValueBegin, L.End - L.ValueBegin, Value);
    return true;
  }
  if (P.Entry) {
    const Line& L = *P.Entry;
    Bytes_.replace(L.NameEnd, L.End - L.NameEnd, "=" + std::string(Value));
    return true;
  }
  Bytes_.insert(P.Tail, P.TailOpen ? Eol + KeyLine + Eol : KeyLine + Eol);
  return true;
}

bool IniEngine::DeleteKey(std::string_view Section, std::string_view Key) {
  const Place P = Locate(Section, Key);
  if (!P.Entry) return false;
  Bytes_.erase(P.Entry->Begin, P.Entry->Next - P.Entry->Begin);
  return true;
}

bool IniEngine::DeleteSection(std::string_view Section) {
  if (Trim(Section).empty()) return false;
  const Place P = Locate(Section, {});
  if (!P.Found) return false;
  Bytes_.erase(P.Begin, P.Tail - P.Begin);
  return true;
}

}  // namespace pictrane
