// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/Modulo1.h"

namespace pictrane {

std::string BrowseFolder(FolderDialog& Dialog, WindowHandle OwnerWindow, const std::string& Prompt,
                         const std::string& StartFolder) {
  return Dialog.BrowseForFolder(OwnerWindow, Prompt, StartFolder).value_or("");
}

}  // namespace pictrane
