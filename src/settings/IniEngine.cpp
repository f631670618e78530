#include "IniEngine.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

namespace pictrane {

namespace {

bool IsBlank(char C) {
  return C == ' ' || C == '\t';
}

char FoldCase(char C) {
  return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C;
}

std::string_view Trim(std::string_view S) {
  while (!S.empty() && IsBlank(S.front())) S.remove_prefix(1);
  while (!S.empty() && IsBlank(S.back())) S.remove_suffix(1);
  return S;
}

bool IsLineBreak(char C) {
  return C == '\r' || C == '\n';
}

bool HasLineBreak(std::string_view S) {
  return std::any_of(S.begin(), S.end(), IsLineBreak);
}

std::string Folded(std::string_view S) {
  std::string Out(Trim(S));
  std::transform(Out.begin(), Out.end(), Out.begin(), FoldCase);
  return Out;
}

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

namespace {

bool EqualFolded(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return FoldCase(X) == FoldCase(Y);
         });
}

}  // namespace

bool SameProfileName(std::string_view A, std::string_view B) {
  return EqualFolded(Trim(A), Trim(B));
}

IniEngine::IniEngine(std::string Bytes) : Bytes_(std::move(Bytes)) {
  Parse();
}

IniEngine::Line IniEngine::Classify(std::string_view Text, std::size_t Begin, std::size_t End) {
  Line L;
  L.Begin = Begin;
  L.End = End;
  std::size_t P = Begin;
  while (P < End && IsBlank(Text[P])) ++P;
  if (P == End) return L;
  if (Text[P] == ';') {
    L.Kind = LineKind::Comment;
    return L;
  }
  const std::string_view Content = Text.substr(P, End - P);
  if (Content.front() == '[') {
    const std::size_t Close = Content.rfind(']');
    if (Close != std::string_view::npos && Close > 0) {
      const std::string_view Name = Trim(Content.substr(1, Close - 1));
      L.Kind = LineKind::Header;
      L.NameBegin = static_cast<std::size_t>(Name.data() - Text.data());
      L.NameEnd = L.NameBegin + Name.size();
      return L;
    }
  }
  const std::size_t Equals = Content.find('=');
  if (Equals == std::string_view::npos) {
    L.Kind = LineKind::Text;
    return L;
  }
  const std::string_view Name = Trim(Content.substr(0, Equals));
  if (Name.empty()) {
    // "=value" names nothing that could be asked for.
    L.Kind = LineKind::Text;
    return L;
  }
  const std::string_view Value = Trim(Content.substr(Equals + 1));
  L.Kind = LineKind::Key;
  L.NameBegin = static_cast<std::size_t>(Name.data() - Text.data());
  L.NameEnd = L.NameBegin + Name.size();
  // An empty value starts where the blanks after "=" end, so a rewrite keeps them.
  L.ValueBegin = Value.empty() ? End : static_cast<std::size_t>(Value.data() - Text.data());
  L.ValueEnd = Value.empty() ? End : L.ValueBegin + Value.size();
  return L;
}

void IniEngine::Parse() {
  Lines_.clear();
  const std::string_view Text = Bytes_;
  // A byte order mark stays in front of the first line, whatever happens to that line.
  std::size_t Pos =
      Text.substr(0, ByteOrderMark.size()) == ByteOrderMark ? ByteOrderMark.size() : 0;
  while (Pos < Text.size()) {
    // Two single-byte searches run far faster than one search for either byte.
    const std::size_t Lf = std::min(Text.find('\n', Pos), Text.size());
    std::size_t End = std::min(Text.substr(Pos, Lf - Pos).find('\r'), Lf - Pos) + Pos;
    std::size_t Next;
    if (End == Text.size()) {
      Next = End;
    } else {
      Next = End + 1;
      if (Text[End] == '\r' && Next < Text.size() && Text[Next] == '\n') ++Next;
    }
    Line L = Classify(Text, Pos, End);
    L.Next = Next;
    Lines_.push_back(L);
    Pos = Next;
  }
}

std::string_view IniEngine::NameOf(const Line& L) const {
  return std::string_view(Bytes_).substr(L.NameBegin, L.NameEnd - L.NameBegin);
}

std::size_t IniEngine::FindSection(std::string_view Section, Span& Found) const {
  Section = Trim(Section);
  if (Section.empty()) return NotFound;
  for (std::size_t I = 0; I < Lines_.size(); ++I) {
    if (Lines_[I].Kind != LineKind::Header || !EqualFolded(NameOf(Lines_[I]), Section)) continue;
    Found.Header = Found.LastKey = I;
    std::size_t J = I + 1;
    for (; J < Lines_.size() && Lines_[J].Kind != LineKind::Header; ++J) {
      if (Lines_[J].Kind == LineKind::Key) Found.LastKey = J;
    }
    Found.Stop = J;
    return I;
  }
  return NotFound;
}

std::size_t IniEngine::FindKey(const Span& In, std::string_view Key) const {
  Key = Trim(Key);
  if (Key.empty()) return NotFound;
  for (std::size_t I = In.Header + 1; I < In.Stop; ++I) {
    if (Lines_[I].Kind == LineKind::Key && EqualFolded(NameOf(Lines_[I]), Key)) return I;
  }
  return NotFound;
}

std::string_view IniEngine::LineEnding() const {
  for (const Line& L : Lines_) {
    if (L.Next != L.End) return std::string_view(Bytes_).substr(L.End, L.Next - L.End);
  }
  return "\r\n";
}

void IniEngine::Replace(std::size_t Begin, std::size_t End, std::string_view With) {
  Bytes_.replace(Begin, End - Begin, With);
  Parse();
}

std::string IniEngine::ReadString(std::string_view Section, std::string_view Key) const {
  Span S;
  if (FindSection(Section, S) == NotFound) return {};
  const std::size_t K = FindKey(S, Key);
  if (K == NotFound) return {};
  std::string_view Value = std::string_view(Bytes_).substr(
      Lines_[K].ValueBegin, Lines_[K].ValueEnd - Lines_[K].ValueBegin);
  if (Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') &&
      Value.back() == Value.front()) {
    Value = Value.substr(1, Value.size() - 2);
  }
  return std::string(Value);
}

std::vector<std::string> IniEngine::KeyNames(std::string_view Section) const {
  std::vector<std::string> Names;
  Span S;
  if (FindSection(Section, S) == NotFound) return Names;
  std::unordered_set<std::string> Seen;
  for (std::size_t I = S.Header + 1; I < S.Stop; ++I) {
    if (Lines_[I].Kind != LineKind::Key) continue;
    if (Seen.insert(Folded(NameOf(Lines_[I]))).second) Names.emplace_back(NameOf(Lines_[I]));
  }
  return Names;
}

std::vector<std::string> IniEngine::SectionNames() const {
  std::vector<std::string> Names;
  std::unordered_set<std::string> Seen;
  for (const Line& L : Lines_) {
    if (L.Kind != LineKind::Header || L.NameBegin == L.NameEnd) continue;
    if (Seen.insert(Folded(NameOf(L))).second) Names.emplace_back(NameOf(L));
  }
  return Names;
}

bool IniEngine::Accepts(std::string_view Section, std::string_view Key, std::string_view Value) {
  Section = Trim(Section);
  Key = Trim(Key);
  if (Section.empty() || Key.empty() || HasLineBreak(Section) || HasLineBreak(Key) ||
      HasLineBreak(Value)) {
    return false;
  }
  // Refuse what would read back as something else: "a=b" as a key, ";x" or "[x]" as a key name.
  const std::string KeyLine = std::string(Key) + "=" + std::string(Value);
  const std::string HeaderLine = "[" + std::string(Section) + "]";
  const Line AsKey = Classify(KeyLine, 0, KeyLine.size());
  const Line AsHeader = Classify(HeaderLine, 0, HeaderLine.size());
  return AsKey.Kind == LineKind::Key && AsKey.NameEnd - AsKey.NameBegin == Key.size() &&
         AsHeader.Kind == LineKind::Header &&
         AsHeader.NameEnd - AsHeader.NameBegin == Section.size();
}

bool IniEngine::WriteString(std::string_view Section, std::string_view Key,
                            std::string_view Value) {
  if (!Accepts(Section, Key, Value)) return false;
  Section = Trim(Section);
  Key = Trim(Key);
  const std::string KeyLine = std::string(Key) + "=" + std::string(Value);
  const std::string HeaderLine = "[" + std::string(Section) + "]";
  const std::string Eol(LineEnding());
  Span S;
  if (FindSection(Section, S) == NotFound) {
    std::string Added;
    if (!Lines_.empty() && Lines_.back().Next == Lines_.back().End) Added += Eol;
    Added.append(HeaderLine).append(Eol).append(KeyLine).append(Eol);
    Replace(Bytes_.size(), Bytes_.size(), Added);
    return true;
  }
  const std::size_t K = FindKey(S, Key);
  if (K != NotFound) {
    const Line& L = Lines_[K];
    // Keep the key as spelt and spaced in the file; only the value (and blanks after it) change.
    if (std::string_view(Bytes_).substr(L.ValueBegin, L.End - L.ValueBegin) == Value) return false;
    Replace(L.ValueBegin, L.End, Value);
    return true;
  }
  const Line& After = Lines_[S.LastKey];
  if (After.Next == After.End) {
    Replace(After.End, After.End, Eol + KeyLine + Eol);
  } else {
    Replace(After.Next, After.Next, KeyLine + Eol);
  }
  return true;
}

bool IniEngine::DeleteKey(std::string_view Section, std::string_view Key) {
  Span S;
  if (FindSection(Section, S) == NotFound) return false;
  const std::size_t K = FindKey(S, Key);
  if (K == NotFound) return false;
  Replace(Lines_[K].Begin, Lines_[K].Next, {});
  return true;
}

bool IniEngine::DeleteSection(std::string_view Section) {
  Span S;
  if (FindSection(Section, S) == NotFound) return false;
  Replace(Lines_[S.Header].Begin, Lines_[S.LastKey].Next, {});
  return true;
}

}  // namespace pictrane
