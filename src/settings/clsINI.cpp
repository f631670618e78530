// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/clsINI.h"

#include <optional>
#include <string_view>

#include "pictrane/RaisedError.h"
#include "portable/IniEngine.h"
#include "portable/IniFileStore.h"

namespace pictrane {

namespace {

ProfileStore& OwnProfileFiles() {
  static IniFileStore Store;
  return Store;
}

constexpr const char* ClassSource = "clsINI";

std::string JoinNames(const std::vector<std::string>& Names) {
  std::string List;
  for (std::size_t I = 0; I < Names.size(); ++I) {
    if (I > 0) List += '\0';
    List += Names[I];
  }
  return List;
}

// A line break written into the file would start a new line there: a new key, or a new section.
void RefuseLineBreak(std::string_view What, std::string_view Text) {
  if (Text.find_first_of("\r\n") == std::string_view::npos) return;
  throw RaisedError(ErrorNumber::InvalidProcedureCall, ClassSource,
                    "Invalid procedure call or argument: the " + std::string(What) +
                        " holds a line break, which the INI file cannot store.");
}

// A rename deletes the old entry, so it must not go on when the new one could not be written.
void RefuseUnwritable(std::string_view What, std::string_view Section, std::string_view Key,
                      std::string_view Value) {
  if (IniEngine::Accepts(Section, Key, Value)) return;
  throw RaisedError(ErrorNumber::InvalidProcedureCall, ClassSource,
                    "Invalid procedure call or argument: the " + std::string(What) +
                        " cannot be stored in an INI file.");
}

bool ListHolds(const std::vector<std::string>& Names, std::string_view Name) {
  if (Name.empty()) return false;
  for (const std::string& Each : Names) {
    if (IniEngine::SameName(Each, Name)) return true;
  }
  return false;
}

}  // namespace

const std::string& Collection::Item(std::size_t Index) const {
  if (Index < 1 || Index > Items_.size()) {
    throw RaisedError(ErrorNumber::SubscriptOutOfRange, ProgramErrorSource,
                      "Subscript out of range");
  }
  return Items_[Index - 1];
}

clsINI::clsINI() : clsINI(OwnProfileFiles()) {}

clsINI::clsINI(ProfileStore& Store) : Store_(&Store) {}

std::string clsINI::INIFile() const {
  return File_;
}

void clsINI::INIFile(const std::string& PropValue) {
  Store_->CreateIfMissing(PropValue);
  File_ = PropValue;
}

void clsINI::CheckINIFile() const {
  if (File_.empty())
    throw RaisedError(ErrorNumber::ApplicationDefined, ClassSource, "File INI non specificato.");
}

WriteResult clsINI::WriteValue(const std::string& Section, const std::string& Key,
                               const std::string& Value) {
  CheckINIFile();
  RefuseLineBreak("section name", Section);
  RefuseLineBreak("key name", Key);
  RefuseLineBreak("value", Value);
  return Store_->WriteString(File_, Section, Key, Value);
}

std::string clsINI::ReadValue(const std::string& Section, const std::string& Key) {
  CheckINIFile();
  return Store_->ReadString(File_, Section, Key);
}

std::string clsINI::GetKeysInSection(const std::string& Section) {
  CheckINIFile();
  return JoinNames(Store_->KeyNames(File_, Section));
}

std::string clsINI::GetSections() {
  CheckINIFile();
  return JoinNames(Store_->SectionNames(File_));
}

void clsINI::DeleteKey(const std::string& Section, const std::string& Key) {
  CheckINIFile();
  RefuseLineBreak("section name", Section);
  RefuseLineBreak("key name", Key);
  Store_->DeleteKey(File_, Section, Key);
}

void clsINI::DeleteSection(const std::string& Section) {
  CheckINIFile();
  RefuseLineBreak("section name", Section);
  Store_->DeleteSection(File_, Section);
}

void clsINI::RenameKey(const std::string& Section, const std::string& Key,
                       const std::string& NewKeyName) {
  CheckINIFile();
  RefuseLineBreak("section name", Section);
  RefuseLineBreak("key name", Key);
  RefuseLineBreak("new key name", NewKeyName);
  // The stored text moves as it is: through a read, quotes and the blanks they keep would be lost.
  const std::optional<std::string> Value = Store_->StoredText(File_, Section, Key);
  RefuseUnwritable("new key", Section, NewKeyName, Value.value_or(""));
  DeleteKey(Section, Key);
  if (Value) {
    WriteValue(Section, NewKeyName, *Value);
  } else if (!Store_->StoredText(File_, Section, NewKeyName)) {
    // A missing key makes the new one with an empty value; one already there keeps its own.
    WriteValue(Section, NewKeyName, "");
  }
}

void clsINI::RenameSection(const std::string& Section, const std::string& NewSectionName) {
  CheckINIFile();
  RefuseLineBreak("section name", Section);
  RefuseLineBreak("new section name", NewSectionName);
  // Copying onto itself and then deleting the old name would delete the section.
  if (IniEngine::SameName(Section, NewSectionName)) return;
  // Keys above the first header are reached as section "", but that is no name to give one.
  if (IniEngine::SameName(NewSectionName, "")) RefuseUnwritable("new section name", "", "", "");
  RefuseUnwritable("new section name", NewSectionName, "Key", "");
  // The names come as a list, not through a name list, so no name can be split apart.
  const std::vector<std::string> Keys = Store_->KeyNames(File_, Section);
  std::vector<std::string> Moved;
  for (const std::string& Key : Keys) {
    // Of duplicate keys only the first can be read; the others go with the old section.
    bool Seen = false;
    for (const std::string& Earlier : Moved) Seen = Seen || IniEngine::SameName(Earlier, Key);
    if (Seen) continue;
    Moved.push_back(Key);
    if (std::optional<std::string> Value = Store_->StoredText(File_, Section, Key)) {
      WriteValue(NewSectionName, Key, *Value);
    }
  }
  DeleteSection(Section);
}

bool clsINI::KeyExists(const std::string& Section, const std::string& Key) {
  CheckINIFile();
  return ListHolds(Store_->KeyNames(File_, Section), Key);
}

bool clsINI::SectionExists(const std::string& Section) {
  CheckINIFile();
  return ListHolds(Store_->SectionNames(File_), Section);
}

void clsINI::String2Array(const std::string& SString, StringArray& ResultArray) {
  StringArray Pieces;
  if (!SString.empty()) {
    std::size_t Start = 0;
    for (;;) {
      const std::size_t Nul = SString.find('\0', Start);
      Pieces.push_back(SString.substr(Start, Nul - Start));
      if (Nul == std::string::npos) break;
      Start = Nul + 1;
    }
  }
  ResultArray = std::move(Pieces);
}

Collection clsINI::String2Collection(const std::string& SString) {
  StringArray Pieces;
  String2Array(SString, Pieces);
  return Array2Collection(Pieces);
}

Collection clsINI::Array2Collection(const StringArray& InputArray) {
  Collection Result;
  for (const std::string& Element : InputArray) Result.Add(Element);
  return Result;
}

void clsINI::Collection2Array(const Collection& InputCollection, StringArray& OutputArray) {
  StringArray Result;
  Result.reserve(InputCollection.Count());
  for (std::size_t I = 1; I <= InputCollection.Count(); ++I)
    Result.push_back(InputCollection.Item(I));
  OutputArray = std::move(Result);
}

}  // namespace pictrane
