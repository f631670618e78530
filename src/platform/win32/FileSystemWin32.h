#pragma once

#include "../FileSystem.h"
#include "../Listing.h"

namespace pictrane::win32 {

class FileSystemWin32 final : public FileSystem {
 public:
  std::string Separator() override { return "\\"; }
  std::string ApplicationFolder() override;
  bool Exists(const std::string& Path) override;
  void CreateEmptyFile(const std::string& Path) override;
  void DeleteFile(const std::string& Path) override;
  std::optional<FileStamp> Stat(const std::string& Path) override;
  // Text in UTF-8 (as the listing writes it) or, failing that, in the ANSI code page.
  std::unique_ptr<LineReader> OpenText(const std::string& Path) override;
  std::string Environment(const std::string& Name) override;
  void CreateUserFolder(const std::string& Folder) override;
  bool CanCreateIn(const std::string& Folder) override;
  std::string WriteProblem(const std::string& Path) override;
  std::string ReadAll(const std::string& Path) override;
  void WriteAll(const std::string& Path, const std::string& Bytes) override;
};

// The listing done in the program rather than by "cmd.exe /c dir /b": the command interpreter
// writes names in the console's code page, which loses the ones outside it. The list file is
// UTF-8 without a byte order mark, names in the order NTFS keeps them (upper-cased, ordinal).
class DirectoryListingWin32 final : public DirectoryListing {
 public:
  void ListBitmaps(const std::string& Folder, const std::string& ListFile) override;
};

// Ordinal comparison without regard to case, as NTFS orders a folder's names.
bool NtfsNameLess(const std::wstring& A, const std::wstring& B);

}  // namespace pictrane::win32
