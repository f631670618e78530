// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pictrane {

// Blanks around names and values do not count: space, tab, VT, FF and ^Z.
inline bool IsProfileBlank(char C) {
  return C == ' ' || C == '\t' || C == '\v' || C == '\f' || C == '\x1a';
}

// True when A and B name the same section or key: blanks around them are ignored and ASCII
// letters compare without regard to case; every other byte must be equal.
inline bool SameProfileName(std::string_view A, std::string_view B) {
  auto Trim = [](std::string_view S) {
    while (!S.empty() && IsProfileBlank(S.front())) S.remove_prefix(1);
    while (!S.empty() && IsProfileBlank(S.back())) S.remove_suffix(1);
    return S;
  };
  auto Fold = [](char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; };
  A = Trim(A);
  B = Trim(B);
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I) {
    if (Fold(A[I]) != Fold(B[I])) return false;
  }
  return true;
}

// The profile functions: one INI file read and written as the system's documented profile
// functions do it. Names compare without regard to case; every call goes to the file.
class ProfileStore {
 public:
  virtual ~ProfileStore() = default;

  // Leaves an empty File when the existence test does not find it, as opening it for appending
  // does. Raises RaisedError naming the file and the reason when it cannot be created.
  virtual void CreateIfMissing(const std::string& File) = 0;

  // The value of Key in Section, whole, or "" when either is missing.
  virtual std::string ReadString(const std::string& File, const std::string& Section,
                                 const std::string& Key) = 0;
  // Names of the keys in Section, and of the sections, in file order: a name that occurs twice
  // is listed twice.
  virtual std::vector<std::string> KeyNames(const std::string& File,
                                            const std::string& Section) = 0;
  virtual std::vector<std::string> SectionNames(const std::string& File) = 0;

  // The value of Key as the file holds it (quotes and the blanks inside them kept), so that it
  // can be written elsewhere unchanged; nothing when Section has no such key with a value. This
  // fallback gives a text that reads back as ReadString does.
  virtual std::optional<std::string> StoredText(const std::string& File, const std::string& Section,
                                                const std::string& Key) {
    bool Listed = false;
    for (const std::string& Name : KeyNames(File, Section))
      Listed = Listed || SameProfileName(Name, Key);
    if (!Listed) return std::nullopt;
    std::string Value = ReadString(File, Section, Key);
    const bool Quoted = Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') &&
                        Value.back() == Value.front();
    const bool Padded =
        !Value.empty() && (IsProfileBlank(Value.front()) || IsProfileBlank(Value.back()));
    return Quoted || Padded ? "\"" + Value + "\"" : Value;
  }

  // Writes never report the profile functions' own failures (a read-only file stays as it is).
  virtual void WriteString(const std::string& File, const std::string& Section,
                           const std::string& Key, const std::string& Value) = 0;
  virtual void DeleteKey(const std::string& File, const std::string& Section,
                         const std::string& Key) = 0;
  virtual void DeleteSection(const std::string& File, const std::string& Section) = 0;
};

}  // namespace pictrane
