// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ProfileStore.h"
#include "portable/IniEngine.h"

namespace pictrane {

// The profile functions on real files, for systems that have none of their own. Every call reads
// the file afresh. A write puts a complete new file in place (written beside it, then renamed
// over it), so a reader never sees half of one; a file or folder that cannot be written stays as
// it is, and the write says why. A file without any write permission counts as read-only even
// for a user the system would let write it, as a read-only file does for the system's own
// functions. A file that starts with the UTF-16LE byte order mark (as the Windows build writes
// one when a value needs it) is read as such and written back in that form; UTF-16BE and a
// UTF-16 text cut in the middle of a character are neither read nor written.
class IniFileStore : public ProfileStore {
 public:
  void CreateIfMissing(const std::string& File) override;
  std::string TextProblem(const std::string& File) override;
  void RemoveStaleTemporaries(const std::string& File) override;

  std::string ReadString(const std::string& File, const std::string& Section,
                         const std::string& Key) override;
  std::vector<std::string> KeyNames(const std::string& File, const std::string& Section) override;
  std::vector<std::string> SectionNames(const std::string& File) override;
  std::optional<std::string> StoredText(const std::string& File, const std::string& Section,
                                        const std::string& Key) override;

  WriteResult WriteString(const std::string& File, const std::string& Section,
                          const std::string& Key, const std::string& Value) override;
  WriteResult DeleteKey(const std::string& File, const std::string& Section,
                        const std::string& Key) override;
  WriteResult DeleteSection(const std::string& File, const std::string& Section) override;

 private:
  // The file's text (UTF-8), or nothing when there is no ordinary file that can be read.
  static std::optional<std::string> Load(const std::filesystem::path& File);
  // Runs Edit on the file's bytes (none for a missing file) and stores the result when Edit
  // reports a change.
  static WriteResult Change(const std::string& File, const std::function<bool(IniEngine&)>& Edit);
};

}  // namespace pictrane
