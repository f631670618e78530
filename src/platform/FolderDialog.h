// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pictrane {

using WindowHandle = std::uintptr_t;

class FolderDialog {
 public:
  virtual ~FolderDialog() = default;
  // Lets the user pick a folder, with Prompt as title. Gives its file-system path, or nothing
  // when cancelled or when the choice has no such path. A dialog that browses folders by path
  // opens at StartFolder, or at the user's home folder when StartFolder is empty or no folder;
  // the shell's namespace dialog starts at its top.
  virtual std::optional<std::string> BrowseForFolder(WindowHandle Owner, const std::string& Prompt,
                                                     const std::string& StartFolder) = 0;
};

}  // namespace pictrane
