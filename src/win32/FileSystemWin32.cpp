// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/FileSystemWin32.h"

#include <algorithm>
#include <vector>

#include "pictrane/win32/Errors.h"
#include "win32/FileSearch.h"
#include "pictrane/AtomicFile.h"

namespace pictrane::win32 {

namespace {

bool ValidUtf8(const std::string& Bytes) {
  return Bytes.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Bytes.data(),
                                                static_cast<int>(Bytes.size()), nullptr, 0) > 0;
}

std::string AnsiToUtf8(const std::string& Bytes) {
  if (Bytes.empty()) return {};
  const int Size = static_cast<int>(Bytes.size());
  const int Needed = ::MultiByteToWideChar(CP_ACP, 0, Bytes.data(), Size, nullptr, 0);
  std::wstring Wide(static_cast<std::size_t>(Needed), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, Bytes.data(), Size, Wide.data(), Needed);
  return Narrow(Wide);
}

// The whole file is read at once: the list is small, and reading it whole lets the encoding be
// decided for the file rather than line by line.
class TextReader final : public LineReader {
 public:
  explicit TextReader(std::string Text) : Text_(std::move(Text)) {}
  bool AtEnd() override { return Next_ >= Text_.size(); }
  std::string ReadLine() override {
    if (AtEnd()) return {};
    std::size_t End = Text_.find('\n', Next_);
    if (End == std::string::npos) End = Text_.size();
    std::string Line = Text_.substr(Next_, End - Next_);
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    Next_ = End + 1;
    return Line;
  }

 private:
  std::string Text_;
  std::size_t Next_ = 0;
};

}  // namespace

std::string FileSystemWin32::ApplicationFolder() {
  std::wstring Path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD Got = ::GetModuleFileNameW(nullptr, Path.data(), static_cast<DWORD>(Path.size()));
    if (Got == 0) {
      const DWORD Code = ::GetLastError();
      throw RaisedError(ErrorNumber::PathNotFound, kErrorSource,
                        "Cannot find the program's folder (" + SystemMessage(Code) + ")");
    }
    if (Got < Path.size()) {
      Path.resize(Got);
      break;
    }
    Path.assign(Path.size() * 2, L'\0');
  }
  const std::size_t Slash = Path.find_last_of(L"\\/");
  if (Slash == std::wstring::npos) return Narrow(Path);
  // A drive root keeps its backslash ("C:\"); any other folder comes without one.
  const bool Root = Slash == 2 && Path[1] == L':';
  Path.resize(Root ? Slash + 1 : Slash);
  return Narrow(Path);
}

bool FileSystemWin32::Exists(const std::string& Path) {
  return OrdinaryFileExists(Path);
}

void FileSystemWin32::CreateEmptyFile(const std::string& Path) {
  HANDLE Handle = ::CreateFileW(Widen(Path).c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Handle == INVALID_HANDLE_VALUE) {
    const DWORD Code = ::GetLastError();
    throw FileError(ErrorNumber::PathFileAccessError, "Cannot create", Path, Code);
  }
  ::CloseHandle(Handle);
}

void FileSystemWin32::DeleteFile(const std::string& Path) {
  if (!::DeleteFileW(Widen(Path).c_str())) {
    const DWORD Code = ::GetLastError();
    throw FileError(FileErrorNumber(Code), "Cannot delete", Path, Code);
  }
}

std::optional<FileStamp> FileSystemWin32::Stat(const std::string& Path) {
  WIN32_FILE_ATTRIBUTE_DATA Data;
  if (!::GetFileAttributesExW(Widen(Path).c_str(), GetFileExInfoStandard, &Data)) {
    return std::nullopt;
  }
  if ((Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  // FILETIME counts 100 ns from 1601; the stamp counts nanoseconds from 1970.
  constexpr std::int64_t kEpochDifference = 116444736000000000LL;
  const std::int64_t Ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(Data.ftLastWriteTime.dwHighDateTime) << 32) |
      Data.ftLastWriteTime.dwLowDateTime);
  FileStamp Stamp{(static_cast<std::uint64_t>(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow,
                  (Ticks - kEpochDifference) * 100};
  // Which file it is: the volume's serial number and the file's index on it. Opened for no
  // access and shared every way, so a writer or a rename over it is never held up.
  HANDLE Handle =
      ::CreateFileW(Widen(Path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (Handle != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION Info;
    if (::GetFileInformationByHandle(Handle, &Info)) {
      Stamp.Device = Info.dwVolumeSerialNumber;
      Stamp.Inode = (static_cast<std::uint64_t>(Info.nFileIndexHigh) << 32) | Info.nFileIndexLow;
    }
    ::CloseHandle(Handle);
  }
  return Stamp;
}

std::unique_ptr<LineReader> FileSystemWin32::OpenText(const std::string& Path) {
  DWORD Code = ERROR_SUCCESS;
  std::optional<std::string> Bytes = ReadFileBytes(Widen(Path), &Code);
  if (!Bytes) throw FileError(FileErrorNumber(Code), "Cannot open", Path, Code);
  if (Bytes->compare(0, 3, "\xEF\xBB\xBF") == 0) Bytes->erase(0, 3);
  return std::make_unique<TextReader>(ValidUtf8(*Bytes) ? std::move(*Bytes) : AnsiToUtf8(*Bytes));
}

void FileSystemWin32::ReplaceContent(const std::string& Path, const std::string& Bytes) {
  WriteFileAtomically(Path, Bytes, kErrorSource);
}

std::vector<FolderEntry> DirectoryListingWin32::Entries(const std::string& Folder) {
  std::wstring Pattern = Widen(Folder);
  if (!Pattern.empty() && Pattern.back() != L'\\' && Pattern.back() != L'/') Pattern += L'\\';
  Pattern += L'*';
  std::vector<FolderEntry> Entries;
  WIN32_FIND_DATAW Found;
  HANDLE Search = ::FindFirstFileW(Pattern.c_str(), &Found);
  if (Search == INVALID_HANDLE_VALUE) {
    const DWORD Code = ::GetLastError();
    // A drive root without a single entry answers "no file"; anything else cannot be read.
    const DWORD Attributes = ::GetFileAttributesW(Widen(Folder).c_str());
    if (Code == ERROR_FILE_NOT_FOUND && Attributes != INVALID_FILE_ATTRIBUTES &&
        (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      return Entries;
    throw FileError(FileErrorNumber(Code), "Cannot list", Folder, Code);
  }
  do {
    const std::wstring Name = Found.cFileName;
    if (Name == L"." || Name == L"..") continue;
    const DWORD A = Found.dwFileAttributes;
    Entries.push_back({Narrow(Name), (A & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0,
                       (A & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0});
  } while (::FindNextFileW(Search, &Found));
  const DWORD Code = ::GetLastError();
  ::FindClose(Search);
  if (Code != ERROR_NO_MORE_FILES)
    throw FileError(FileErrorNumber(Code), "Cannot list", Folder, Code);
  return Entries;
}

}  // namespace pictrane::win32

// Where the program keeps its files.

namespace pictrane::win32 {

void FileSystemWin32::CreateUserFolder(const std::string& Folder) {
  // Folders under the user's profile inherit its access list, which already keeps others out.
  const std::wstring Wide = Widen(Folder);
  for (std::size_t At = Wide.find_first_of(L"\\/", 3);; At = Wide.find_first_of(L"\\/", At + 1)) {
    const std::wstring Part = Wide.substr(0, At);
    if (!::CreateDirectoryW(Part.c_str(), nullptr)) {
      const DWORD Code = ::GetLastError();
      if (Code != ERROR_ALREADY_EXISTS && Code != ERROR_ACCESS_DENIED)
        throw FileError(ErrorNumber::PathNotFound, "Cannot create the folder", Narrow(Part), Code);
    }
    if (At == std::wstring::npos) break;
  }
  const DWORD Attributes = ::GetFileAttributesW(Wide.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES || (Attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    throw FileError(ErrorNumber::PathNotFound, "Cannot create the folder", Folder,
                    Attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : ERROR_FILE_EXISTS);
}

bool FileSystemWin32::CanCreateIn(const std::string& Folder) {
  // The program asks to run as the invoker, so no VirtualStore makes a protected folder look
  // writable; a file that closes itself away is the only reliable answer.
  const std::wstring Probe = Widen(Folder) + L"\\~pictrane-" +
                             std::to_wstring(::GetCurrentProcessId()) + L"-" +
                             std::to_wstring(::GetTickCount()) + L".tmp";
  HANDLE Handle = ::CreateFileW(Probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (Handle == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(Handle);
  return true;
}

std::string FileSystemWin32::ReadAll(const std::string& Path) {
  DWORD Code = 0;
  std::optional<std::string> Bytes = ReadFileBytes(Widen(Path), &Code);
  if (!Bytes) throw FileError(FileErrorNumber(Code), "Cannot read", Path, Code);
  return *Bytes;
}

void FileSystemWin32::RemoveStaleTemporaries(const std::string&, int) {
  // The capture tool here is TI's, which writes no temporaries of ours, and nothing of the
  // program writes in the bitmap folder: a "~pc*.tmp" there is the user's, and stays.
}

}  // namespace pictrane::win32
