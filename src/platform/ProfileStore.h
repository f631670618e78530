// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pictrane {

// What became of one change to a profile file.
enum class WriteOutcome { Written, Unchanged, Failed };

struct WriteResult {
  WriteOutcome Outcome = WriteOutcome::Unchanged;
  std::string Reason;  // Failed: why, as a sentence for the user

  static WriteResult Written() { return {WriteOutcome::Written, {}}; }
  static WriteResult Unchanged() { return {WriteOutcome::Unchanged, {}}; }
  static WriteResult Failed(std::string Why) { return {WriteOutcome::Failed, std::move(Why)}; }
};

// The profile functions: one INI file read and written as the system's documented profile
// functions do it. How names and values are matched, trimmed and unquoted is the settings
// engine's business (settings/IniEngine.h); every call goes to the file.
class ProfileStore {
 public:
  virtual ~ProfileStore() = default;

  // Leaves an empty File when the existence test does not find it, as opening it for appending
  // does. Raises RaisedError naming the file and the reason when it cannot be created.
  virtual void CreateIfMissing(const std::string& File) = 0;

  // Why File's text cannot be read as settings at all (an encoding the store does not read), or
  // "" when it can or when the file is missing.
  virtual std::string TextProblem(const std::string& File) = 0;

  // Removes the temporaries our own writes left beside File when interrupted, once they are old
  // enough that no write of ours can still be using them. Nothing else is touched.
  virtual void RemoveStaleTemporaries(const std::string& File) = 0;

  // The value of Key in Section, whole, or "" when either is missing.
  virtual std::string ReadString(const std::string& File, const std::string& Section,
                                 const std::string& Key) = 0;
  // Names of the keys in Section, and of the sections, in file order: a name that occurs twice
  // is listed twice.
  virtual std::vector<std::string> KeyNames(const std::string& File,
                                            const std::string& Section) = 0;
  virtual std::vector<std::string> SectionNames(const std::string& File) = 0;

  // The value of Key as the file holds it (quotes and the blanks inside them kept), so that it
  // can be written elsewhere unchanged; nothing when Section has no such key with a value.
  virtual std::optional<std::string> StoredText(const std::string& File, const std::string& Section,
                                                const std::string& Key) = 0;

  // Each says what became of the change; a file that refuses it stays as it was.
  virtual WriteResult WriteString(const std::string& File, const std::string& Section,
                                  const std::string& Key, const std::string& Value) = 0;
  virtual WriteResult DeleteKey(const std::string& File, const std::string& Section,
                                const std::string& Key) = 0;
  virtual WriteResult DeleteSection(const std::string& File, const std::string& Section) = 0;
};

}  // namespace pictrane
