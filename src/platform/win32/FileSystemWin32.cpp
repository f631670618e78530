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

// Where the program keeps its files.

namespace pictrane::win32 {

std::string FileSystemWin32::Environment(const std::string& Name) {
  const std::wstring Wide = Widen(Name);
  const DWORD Needed = ::GetEnvironmentVariableW(Wide.c_str(), nullptr, 0);
  if (Needed == 0) return {};
  std::wstring Value(Needed, L'\0');
  const DWORD Got = ::GetEnvironmentVariableW(Wide.c_str(), Value.data(), Needed);
  Value.resize(Got < Needed ? Got : 0);
  return Narrow(Value);
}

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

std::string FileSystemWin32::WriteProblem(const std::string& Path) {
  HANDLE Handle = ::CreateFileW(Widen(Path).c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Handle == INVALID_HANDLE_VALUE) return SystemMessage(::GetLastError());
  ::CloseHandle(Handle);
  return {};
}

std::string FileSystemWin32::ReadAll(const std::string& Path) {
  DWORD Code = 0;
  std::optional<std::string> Bytes = ReadFileBytes(Widen(Path), &Code);
  if (!Bytes) throw FileError(FileErrorNumber(Code), "Cannot read", Path, Code);
  return *Bytes;
}

void FileSystemWin32::WriteAll(const std::string& Path, const std::string& Bytes) {
  const std::wstring Target = Widen(Path);
  const std::wstring Temp = Target + L"." + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
  HANDLE Out = ::CreateFileW(Temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Out == INVALID_HANDLE_VALUE) {
    const DWORD Code = ::GetLastError();
    throw FileError(ErrorNumber::PathFileAccessError, "Cannot write", Path, Code);
  }
  DWORD Written = 0;
  const BOOL Ok =
      ::WriteFile(Out, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr) &&
      Written == Bytes.size();
  DWORD Code = Ok ? 0 : ::GetLastError();
  ::CloseHandle(Out);
  if (Ok && ::MoveFileExW(Temp.c_str(), Target.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
  if (Ok) Code = ::GetLastError();
  ::DeleteFileW(Temp.c_str());
  throw FileError(ErrorNumber::PathFileAccessError, "Cannot write", Path, Code);
}

}  // namespace pictrane::win32
