#include "FileSystemWin32.h"

#include <algorithm>
#include <vector>

#include "Errors.h"
#include "FileSearch.h"

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

bool EndsWithBmp(const std::wstring& Name) {
  if (Name.size() <= 4) return false;
  return ::CompareStringOrdinal(Name.data() + Name.size() - 4, 4, L".bmp", 4, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool NtfsNameLess(const std::wstring& A, const std::wstring& B) {
  const int Order = ::CompareStringOrdinal(A.data(), static_cast<int>(A.size()), B.data(),
                                           static_cast<int>(B.size()), TRUE);
  if (Order != CSTR_EQUAL) return Order == CSTR_LESS_THAN;
  return A < B;
}

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
  return FileStamp{(static_cast<std::uint64_t>(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow,
                   (Ticks - kEpochDifference) * 100};
}

std::unique_ptr<LineReader> FileSystemWin32::OpenText(const std::string& Path) {
  DWORD Code = ERROR_SUCCESS;
  std::optional<std::string> Bytes = ReadFileBytes(Widen(Path), &Code);
  if (!Bytes) throw FileError(FileErrorNumber(Code), "Cannot open", Path, Code);
  if (Bytes->compare(0, 3, "\xEF\xBB\xBF") == 0) Bytes->erase(0, 3);
  return std::make_unique<TextReader>(ValidUtf8(*Bytes) ? std::move(*Bytes) : AnsiToUtf8(*Bytes));
}

void DirectoryListingWin32::ListBitmaps(const std::string& Folder, const std::string& ListFile) {
  // What "dir /b" would list: ordinary files, neither hidden nor system, ending in ".bmp".
  std::vector<std::wstring> Names;
  const std::wstring Pattern = Widen(Folder) + L"\\*";
  WIN32_FIND_DATAW Found;
  HANDLE Search = ::FindFirstFileW(Pattern.c_str(), &Found);
  if (Search != INVALID_HANDLE_VALUE) {
    constexpr DWORD NotListed =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
      std::wstring Name = Found.cFileName;
      if ((Found.dwFileAttributes & NotListed) == 0 && EndsWithBmp(Name)) {
        Names.push_back(std::move(Name));
      }
    } while (::FindNextFileW(Search, &Found));
    ::FindClose(Search);
  }
  // A folder without bitmaps, or none at all, gives an empty list, as the command does.
  std::sort(Names.begin(), Names.end(), NtfsNameLess);

  std::string Text;
  for (const std::wstring& Name : Names) Text += Narrow(Name) + "\r\n";

  const std::wstring Target = Widen(ListFile);
  HANDLE Out = ::CreateFileW(Target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Out == INVALID_HANDLE_VALUE) {
    const DWORD Code = ::GetLastError();
    throw FileError(FileErrorNumber(Code), "Cannot write", ListFile, Code);
  }
  DWORD Put = 0;
  const bool Written =
      ::WriteFile(Out, Text.data(), static_cast<DWORD>(Text.size()), &Put, nullptr) != FALSE &&
      Put == Text.size();
  const DWORD Code = ::GetLastError();
  ::CloseHandle(Out);
  if (!Written) throw FileError(ErrorNumber::PathFileAccessError, "Cannot write", ListFile, Code);
}

}  // namespace pictrane::win32
