// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/DesktopWin32.h"

#include "pictrane/win32/Win32.h"

#include <commctrl.h>
#include <shlobj.h>

#include "pictrane/win32/Text.h"
#include "win32/Translations.h"

namespace pictrane::win32 {

void CommonControlsWin32::InitCommonControlsEx(const CommonControlsRecord& Record) {
  INITCOMMONCONTROLSEX Controls = CommonControlsInit(Record);
  ::InitCommonControlsEx(&Controls);  // without the newer classes the window still works
}

std::optional<std::string> FolderDialogWin32::BrowseForFolder(WindowHandle Owner,
                                                              const std::string& Prompt,
                                                              const std::string&) {
  const std::wstring Title = Widen(Prompt);
  BROWSEINFOW Info{};
  Info.hwndOwner = reinterpret_cast<HWND>(Owner);
  Info.pidlRoot = nullptr;
  Info.pszDisplayName = nullptr;
  Info.lpszTitle = Title.c_str();
  Info.ulFlags = BIF_NEWDIALOGSTYLE;
  Info.lpfn = nullptr;
  Info.lParam = 0;
  Info.iImage = 0;
  PIDLIST_ABSOLUTE Item = ::SHBrowseForFolderW(&Info);
  if (Item == nullptr) return std::nullopt;
  wchar_t Path[MAX_PATH] = {};
  ::SHGetPathFromIDListW(Item, Path);
  ::CoTaskMemFree(Item);
  if (Path[0] == L'\0') return std::nullopt;  // a virtual folder has no file-system path
  return Narrow(Path);
}

}  // namespace pictrane::win32
