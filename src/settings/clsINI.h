// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/ProfileStore.h"

namespace pictrane {

// The one section of settings.ini the program reads and writes.
inline constexpr const char* kSettingsSection = "Settings";

using StringArray = std::vector<std::string>;

// An ordered list of items addressed by 1-based position.
class Collection {
 public:
  void Add(std::string Item) { Items_.push_back(std::move(Item)); }
  std::size_t Count() const { return Items_.size(); }
  // Raises error 9 ("Subscript out of range") outside 1 .. Count().
  const std::string& Item(std::size_t Index) const;

 private:
  std::vector<std::string> Items_;
};

// One INI file, read and written through the profile functions. Nothing is cached: every
// operation goes to the file, so two instances bound to one file see each other's writes.
class clsINI {
 public:
  clsINI();  // uses the core's own profile files (IniFileStore)
  explicit clsINI(ProfileStore& Store);

  std::string INIFile() const;
  // Binds to PropValue, creating it empty when absent. Raises when it cannot be created.
  void INIFile(const std::string& PropValue);

  // Says what became of the write; callers that need not know may ignore it.
  WriteResult WriteValue(const std::string& Section, const std::string& Key,
                         const std::string& Value);
  std::string ReadValue(const std::string& Section, const std::string& Key);
  // Name lists: names joined by single NULs, no trailing NUL, "" for none.
  std::string GetKeysInSection(const std::string& Section);
  std::string GetSections();
  void DeleteKey(const std::string& Section, const std::string& Key);
  void DeleteSection(const std::string& Section);

  void RenameKey(const std::string& Section, const std::string& Key, const std::string& NewKeyName);
  void RenameSection(const std::string& Section, const std::string& NewSectionName);
  bool KeyExists(const std::string& Section, const std::string& Key);
  bool SectionExists(const std::string& Section);

  void String2Array(const std::string& SString, StringArray& ResultArray);
  Collection String2Collection(const std::string& SString);
  Collection Array2Collection(const StringArray& InputArray);
  void Collection2Array(const Collection& InputCollection, StringArray& OutputArray);

 private:
  void CheckINIFile() const;

  ProfileStore* Store_;
  std::string File_;
};

}  // namespace pictrane
