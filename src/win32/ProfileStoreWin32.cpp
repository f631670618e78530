// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/ProfileStoreWin32.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "pictrane/AtomicFile.h"
#include "platform/Platform.h"
#include "pictrane/win32/Errors.h"
#include "win32/FileSearch.h"
#include "portable/IniEngine.h"

namespace pictrane {

namespace win32 {

namespace {

// Far beyond any real file; only stops a runaway loop on a broken profile function.
constexpr std::size_t kMaxBuffer = std::size_t{1} << 26;

// The profile function into a buffer that grows until the answer fits: a value longer than the
// buffer comes back cut with the length Size - 1, a name list with Size - 2.
std::wstring ReadProfile(const wchar_t* Section, const wchar_t* Key, const std::wstring& File) {
  const bool List = Key == nullptr;
  std::wstring Buffer(256, L'\0');
  for (;;) {
    const DWORD Size = static_cast<DWORD>(Buffer.size());
    const DWORD Got =
        ::GetPrivateProfileStringW(Section, Key, L"", Buffer.data(), Size, File.c_str());
    const DWORD Cut = List ? Size - 2 : Size - 1;
    if (Got < Cut || Buffer.size() >= kMaxBuffer) {
      Buffer.resize(Got);
      return Buffer;
    }
    Buffer.assign(Buffer.size() * 2, L'\0');
  }
}

// A NUL-separated name list; a name that occurs twice in the file is listed twice.
std::vector<std::string> SplitNames(const std::wstring& List) {
  std::vector<std::string> Names;
  std::size_t Begin = 0;
  while (Begin < List.size()) {
    std::size_t End = List.find(L'\0', Begin);
    if (End == std::wstring::npos) End = List.size();
    if (End > Begin) Names.push_back(Narrow(List.substr(Begin, End - Begin)));
    Begin = End + 1;
  }
  return Names;
}

bool FitsAnsiCodePage(const std::wstring& Text) {
  if (Text.empty()) return true;
  BOOL LostSome = FALSE;
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, Text.data(), static_cast<int>(Text.size()),
                        nullptr, 0, nullptr, &LostSome);
  return LostSome == FALSE;
}

// Puts a complete new file in place (AtomicFile.h), so the settings are never left half-written.
// A read-only file refuses the swap and stays as it was.
bool ReplaceWhole(const std::wstring& File, const std::string& Bytes) {
  const DWORD Attributes = ::GetFileAttributesW(File.c_str());
  if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_READONLY)) return false;
  try {
    WriteFileAtomically(Narrow(File), Bytes, kErrorSource);
    return true;
  } catch (const RaisedError&) {
    return false;
  }
}

// An ANSI profile file cannot hold characters outside the code page: the functions would write
// "?" instead. Before such a write the file becomes a Unicode profile file with the same text,
// which the functions then keep. A file that cannot be rewritten is left for the write to fail
// on, as writes fail silently.
void MakeRoomFor(const std::wstring& File, std::initializer_list<const std::wstring*> Texts) {
  bool Fits = true;
  for (const std::wstring* Text : Texts) Fits = Fits && FitsAnsiCodePage(*Text);
  if (Fits) return;
  const std::optional<std::string> Bytes = ReadFileBytes(File);
  std::wstring Text;
  if (Bytes) {
    if (Bytes->size() >= 2 && (*Bytes)[0] == '\xFF' && (*Bytes)[1] == '\xFE') return;
    if (Bytes->size() >= 2 && (*Bytes)[0] == '\xFE' && (*Bytes)[1] == '\xFF') return;
    const bool Utf8 = Bytes->compare(0, 3, "\xEF\xBB\xBF") == 0;
    const std::string Body = Utf8 ? Bytes->substr(3) : *Bytes;
    if (!Body.empty()) {
      const UINT CodePage = Utf8 ? CP_UTF8 : CP_ACP;
      const int Needed = ::MultiByteToWideChar(CodePage, 0, Body.data(),
                                               static_cast<int>(Body.size()), nullptr, 0);
      Text.assign(static_cast<std::size_t>(Needed), L'\0');
      ::MultiByteToWideChar(CodePage, 0, Body.data(), static_cast<int>(Body.size()), Text.data(),
                            Needed);
    }
  }
  std::string Unicode = "\xFF\xFE";
  Unicode.append(reinterpret_cast<const char*>(Text.data()), Text.size() * sizeof(wchar_t));
  ReplaceWhole(File, Unicode);
}

}  // namespace

void ProfileStoreWin32::CreateIfMissing(const std::string& File) {
  if (OrdinaryFileExists(File)) return;
  // Opening for appending leaves an existing file as it is and a missing one empty.
  HANDLE Handle = ::CreateFileW(Widen(File).c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Handle == INVALID_HANDLE_VALUE) {
    const DWORD Code = ::GetLastError();
    throw RaisedError(
        ErrorNumber::PathFileAccessError, kErrorSource,
        "Path/File access error: cannot create " + File + " (" + SystemMessage(Code) + ")");
  }
  ::CloseHandle(Handle);
}

std::string ProfileStoreWin32::ReadString(const std::string& File, const std::string& Section,
                                          const std::string& Key) {
  const std::wstring WideSection = Widen(Section), WideKey = Widen(Key);
  return Narrow(ReadProfile(WideSection.c_str(), WideKey.c_str(), Widen(File)));
}

std::vector<std::string> ProfileStoreWin32::KeyNames(const std::string& File,
                                                     const std::string& Section) {
  const std::wstring WideSection = Widen(Section);
  return SplitNames(ReadProfile(WideSection.c_str(), nullptr, Widen(File)));
}

std::vector<std::string> ProfileStoreWin32::SectionNames(const std::string& File) {
  return SplitNames(ReadProfile(nullptr, nullptr, Widen(File)));
}

std::optional<std::string> ProfileStoreWin32::StoredText(const std::string& File,
                                                         const std::string& Section,
                                                         const std::string& Key) {
  // The section's lines come as "name=value" with the values as stored, quotes and all.
  const std::wstring WideFile = Widen(File), WideSection = Widen(Section);
  std::wstring Lines(4096, L'\0');
  for (;;) {
    const DWORD Size = static_cast<DWORD>(Lines.size());
    const DWORD Got =
        ::GetPrivateProfileSectionW(WideSection.c_str(), Lines.data(), Size, WideFile.c_str());
    if (Got < Size - 2 || Lines.size() >= kMaxBuffer) {
      Lines.resize(Got);
      break;
    }
    Lines.assign(Lines.size() * 2, L'\0');
  }
  std::size_t Begin = 0;
  while (Begin < Lines.size()) {
    std::size_t End = Lines.find(L'\0', Begin);
    if (End == std::wstring::npos) End = Lines.size();
    const std::wstring Line = Lines.substr(Begin, End - Begin);
    const std::size_t Equals = Line.find(L'=');
    if (Equals != std::wstring::npos && IniEngine::SameName(Narrow(Line.substr(0, Equals)), Key)) {
      return Narrow(Line.substr(Equals + 1));
    }
    Begin = End + 1;
  }
  return std::nullopt;
}

void ProfileStoreWin32::RemoveStaleTemporaries(const std::string& File) {
  const std::size_t Slash = File.find_last_of("\\/");
  pictrane::RemoveStaleTemporaries(Slash == std::string::npos ? "." : File.substr(0, Slash));
}

WriteResult ProfileStoreWin32::WriteString(const std::string& File, const std::string& Section,
                                           const std::string& Key, const std::string& Value) {
  const std::string Wanted = IniEngine::ReadBack(Value);
  // The conversions to UTF-16 and back replace what they cannot carry (a lone surrogate): a
  // value that reads as the file already does is left alone rather than written in that form.
  if (StoredText(File, Section, Key) && ReadString(File, Section, Key) == Wanted) {
    return WriteResult::Unchanged();
  }
  const std::wstring WideFile = Widen(File), WideSection = Widen(Section), WideKey = Widen(Key),
                     WideValue = Widen(Value);
  MakeRoomFor(WideFile, {&WideSection, &WideKey, &WideValue});
  if (!::WritePrivateProfileStringW(WideSection.c_str(), WideKey.c_str(), WideValue.c_str(),
                                    WideFile.c_str())) {
    return WriteResult::Failed(SystemMessage(::GetLastError()));
  }
  if (ReadString(File, Section, Key) != Wanted)
    return WriteResult::Failed("the value does not read back as it was written.");
  return WriteResult::Written();
}

WriteResult ProfileStoreWin32::DeleteKey(const std::string& File, const std::string& Section,
                                         const std::string& Key) {
  if (!StoredText(File, Section, Key)) {
    bool Listed = false;
    for (const std::string& Name : KeyNames(File, Section))
      Listed = Listed || IniEngine::SameName(Name, Key);
    if (!Listed) return WriteResult::Unchanged();
  }
  if (!::WritePrivateProfileStringW(Widen(Section).c_str(), Widen(Key).c_str(), nullptr,
                                    Widen(File).c_str())) {
    return WriteResult::Failed(SystemMessage(::GetLastError()));
  }
  return WriteResult::Written();
}

WriteResult ProfileStoreWin32::DeleteSection(const std::string& File, const std::string& Section) {
  if (!::WritePrivateProfileStringW(Widen(Section).c_str(), nullptr, nullptr, Widen(File).c_str()))
    return WriteResult::Failed(SystemMessage(::GetLastError()));
  return WriteResult::Written();
}

}  // namespace win32

}  // namespace pictrane
