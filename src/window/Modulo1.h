// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "platform/FolderDialog.h"

namespace pictrane {

// The chosen folder's file-system path, or "" when the user cancelled or chose something that
// has no such path. The dialog opens at StartFolder where it can (see FolderDialog).
std::string BrowseFolder(FolderDialog& Dialog, WindowHandle OwnerWindow, const std::string& Prompt,
                         const std::string& StartFolder = "");

}  // namespace pictrane
