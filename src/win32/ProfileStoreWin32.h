// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ProfileStore.h"

namespace pictrane::win32 {

// The system's own profile functions, in their wide forms: names and values are UTF-8 inside
// the program and UTF-16 at the call. A file holds them in the encoding the functions give it:
// the ANSI code page as long as that can carry every character written, a Unicode (UTF-16)
// profile file from the first write that it cannot.
class ProfileStoreWin32 final : public ProfileStore {
 public:
  void CreateIfMissing(const std::string& File) override;
  // The system's functions read whatever they read: nothing to tell.
  std::string TextProblem(const std::string&) override { return {}; }
  void RemoveStaleTemporaries(const std::string& File) override;
  std::string ReadString(const std::string& File, const std::string& Section,
                         const std::string& Key) override;
  std::vector<std::string> KeyNames(const std::string& File, const std::string& Section) override;
  std::vector<std::string> SectionNames(const std::string& File) override;
  std::optional<std::string> StoredText(const std::string& File, const std::string& Section,
                                        const std::string& Key) override;
  // A write says what became of it from the function's result and a read-back under the settings
  // engine's rules; one that would read back as the file already reads is not made.
  WriteResult WriteString(const std::string& File, const std::string& Section,
                          const std::string& Key, const std::string& Value) override;
  WriteResult DeleteKey(const std::string& File, const std::string& Section,
                        const std::string& Key) override;
  WriteResult DeleteSection(const std::string& File, const std::string& Section) override;
};

}  // namespace pictrane::win32
