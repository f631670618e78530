// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Files and the bitmap listing on Linux, through POSIX and std::filesystem.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Listing.h"

namespace pictrane::linux_desktop {

class FileSystemLinux : public FileSystem {
 public:
  std::string Separator() override { return "/"; }
  FolderRules Rules() override { return FolderRules::Linux; }
  std::string ApplicationFolder() override;
  bool Exists(const std::string& Path) override;
  void CreateEmptyFile(const std::string& Path) override;
  void DeleteFile(const std::string& Path) override;
  std::optional<FileStamp> Stat(const std::string& Path) override;
  std::unique_ptr<LineReader> OpenText(const std::string& Path) override;
  void ReplaceContent(const std::string& Path, const std::string& Bytes) override;
  void CreateUserFolder(const std::string& Folder) override;
  bool CanCreateIn(const std::string& Folder) override;
  std::string ReadAll(const std::string& Path) override;
  void RemoveStaleTemporaries(const std::string& Folder, int MinAgeS) override;
};

class DirectoryListingLinux : public DirectoryListing {
 public:
  std::vector<FolderEntry> Entries(const std::string& Folder) override;
};

}  // namespace pictrane::linux_desktop
