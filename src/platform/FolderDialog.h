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
  // Lets the user pick a folder, starting at the top of the namespace, with Prompt as title.
  // Gives its file-system path, or nothing when cancelled or when the choice has no such path.
  virtual std::optional<std::string> BrowseForFolder(WindowHandle Owner,
                                                     const std::string& Prompt) = 0;
};

}  // namespace pictrane
