// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Linux desktop's own dialogs and looks: the folder dialog, the program's icon, and the common
// controls Qt has no need to register.

#include <QIcon>
#include <optional>
#include <string>

#include "platform/CommonControls.h"
#include "platform/FolderDialog.h"

namespace pictrane::linux_desktop {

// Qt draws its own controls: there is nothing to register.
class CommonControlsLinux : public CommonControls {
 public:
  void InitCommonControlsEx(const CommonControlsRecord&) override {}
};

class FolderDialogLinux : public FolderDialog {
 public:
  std::optional<std::string> BrowseForFolder(WindowHandle Owner, const std::string& Prompt,
                                             const std::string& StartFolder) override;
};

// The program's icon: the installed theme's, else the one built into the program.
QIcon ProgramIcon();

}  // namespace pictrane::linux_desktop
