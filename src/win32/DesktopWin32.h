// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Windows desktop's own dialogs and controls: the common controls and the folder dialog.

#include <optional>
#include <string>

#include "platform/CommonControls.h"
#include "platform/FolderDialog.h"

namespace pictrane::win32 {

class CommonControlsWin32 final : public CommonControls {
 public:
  void InitCommonControlsEx(const CommonControlsRecord& Record) override;
};

// The shell's folder dialog in its new style. COM must be initialised on the calling thread
// (single-threaded apartment), as that style needs.
class FolderDialogWin32 final : public FolderDialog {
 public:
  // Starts at the top of the shell's namespace, whatever StartFolder says.
  std::optional<std::string> BrowseForFolder(WindowHandle Owner, const std::string& Prompt,
                                             const std::string& StartFolder) override;
};

}  // namespace pictrane::win32
