// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileSystem.h"
#include "platform/Listing.h"

namespace pictrane::win32 {

class FileSystemWin32 final : public FileSystem {
 public:
  std::string Separator() override { return "\\"; }
  FolderRules Rules() override { return FolderRules::Windows; }
  std::string ApplicationFolder() override;
  bool Exists(const std::string& Path) override;
  void CreateEmptyFile(const std::string& Path) override;
  void DeleteFile(const std::string& Path) override;
  std::optional<FileStamp> Stat(const std::string& Path) override;
  // Text in UTF-8 (as the listing writes it) or, failing that, in the ANSI code page.
  std::unique_ptr<LineReader> OpenText(const std::string& Path) override;
  void ReplaceContent(const std::string& Path, const std::string& Bytes) override;
  void CreateUserFolder(const std::string& Folder) override;
  bool CanCreateIn(const std::string& Folder) override;
  std::string ReadAll(const std::string& Path) override;
  void RemoveStaleTemporaries(const std::string& Folder, int MinAgeS) override;
};

// The folder read by the program rather than by "cmd.exe /c dir /b": the command interpreter
// writes names in the console's code page, which loses the ones outside it. Names come as UTF-8.
class DirectoryListingWin32 final : public DirectoryListing {
 public:
  std::vector<FolderEntry> Entries(const std::string& Folder) override;
};

}  // namespace pictrane::win32
