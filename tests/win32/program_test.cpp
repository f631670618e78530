// SPDX-License-Identifier: GPL-3.0-or-later
// The built program, started and driven from outside as a user would: what its file carries,
// the message boxes of start-up, and a whole conversion run typing into the key recorder.

#include <algorithm>
#include <cwctype>
#include <map>
#include <memory>
#include <sstream>

#include "Win32TestSupport.h"  // first: it brings <windows.h> as the platform wants it

#include <shellapi.h>
#include <shlobj.h>

#include "pictrane/Product.h"

#include "win32/FileSystemWin32.h"
#include "win32/ProcessesWin32.h"

namespace pictrane::win32::testing {
namespace {

const wchar_t* const kTitle = L"Pictrane Converter";

std::wstring ProgramFile() {
  return PathFromEnvironment("PICTRANE_EXE");
}

// ---- What the file carries -------------------------------------------------------------------

std::wstring VersionString(const std::vector<char>& Info, const std::wstring& Name) {
  wchar_t* Value = nullptr;
  UINT Length = 0;
  const std::wstring Path = L"\\StringFileInfo\\041004B0\\" + Name;
  if (!::VerQueryValueW(Info.data(), Path.c_str(), reinterpret_cast<void**>(&Value), &Length) ||
      Value == nullptr) {
    return L"(missing)";
  }
  return std::wstring(Value, Length > 0 ? Length - 1 : 0);
}

// The attributes of every <assemblyIdentity .../> element, in order.
std::vector<std::map<std::string, std::string>> AssemblyIdentities(const std::string& Xml) {
  std::vector<std::map<std::string, std::string>> Found;
  for (std::size_t At = Xml.find("<assemblyIdentity"); At != std::string::npos;
       At = Xml.find("<assemblyIdentity", At + 1)) {
    const std::size_t End = Xml.find("/>", At);
    std::map<std::string, std::string> Attributes;
    std::size_t Eq = Xml.find('=', At);
    while (Eq != std::string::npos && Eq < End) {
      std::size_t NameBegin = Xml.find_last_of(" \t\r\n", Eq) + 1;
      const std::size_t Open = Eq + 1, Close = Xml.find('"', Open + 1);
      Attributes[Xml.substr(NameBegin, Eq - NameBegin)] = Xml.substr(Open + 1, Close - Open - 1);
      Eq = Xml.find('=', Close);
    }
    Found.push_back(Attributes);
  }
  return Found;
}

TEST(ProgramFile, CarriesItsVersionRecord) {
  const std::wstring Exe = ProgramFile();
  DWORD Ignored = 0;
  const DWORD Size = ::GetFileVersionInfoSizeW(Exe.c_str(), &Ignored);
  ASSERT_GT(Size, 0u) << Narrow(Exe);
  std::vector<char> Info(Size);
  ASSERT_TRUE(::GetFileVersionInfoW(Exe.c_str(), 0, Size, Info.data()));

  VS_FIXEDFILEINFO* Fixed = nullptr;
  UINT Length = 0;
  ASSERT_TRUE(::VerQueryValueW(Info.data(), L"\\", reinterpret_cast<void**>(&Fixed), &Length));
  const DWORD High = (PICTRANE_VERSION_MAJOR << 16) | PICTRANE_VERSION_MINOR;
  const DWORD Low = (PICTRANE_VERSION_PATCH << 16) | PICTRANE_VERSION_TWEAK;
  EXPECT_EQ(Fixed->dwFileVersionMS, High);
  EXPECT_EQ(Fixed->dwFileVersionLS, Low);
  EXPECT_EQ(Fixed->dwProductVersionMS, High);
  EXPECT_EQ(Fixed->dwProductVersionLS, Low);
  EXPECT_EQ(Fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  WORD* Translation = nullptr;
  ASSERT_TRUE(::VerQueryValueW(Info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&Translation), &Length));
  ASSERT_GE(Length, 4u);
  EXPECT_EQ(Translation[0], 0x0410);  // Italian
  EXPECT_EQ(Translation[1], 1200);    // UTF-16

  const std::map<std::wstring, std::wstring> Strings{
      {L"FileVersion", L"1.01"},
      {L"ProductVersion", L"1.01"},
      {L"ProductName", L"Pictrane Converter"},
      {L"InternalName", L"Pictrane Converter"},
      {L"OriginalFilename", L"Pictrane Converter.exe"},
      {L"CompanyName", L"Pictrane developers"},
  };
  for (const auto& [Name, Value] : Strings) {
    EXPECT_EQ(Narrow(VersionString(Info, Name)), Narrow(Value)) << Narrow(Name);
  }
}

TEST(ProgramFile, CarriesItsManifestAndIcon) {
  HMODULE Image = ::LoadLibraryExW(ProgramFile().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(Image, nullptr);
  HRSRC Manifest = ::FindResourceW(Image, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(Manifest, nullptr);
  const std::string Xml(static_cast<const char*>(::LockResource(::LoadResource(Image, Manifest))),
                        ::SizeofResource(Image, Manifest));
  const auto Identities = AssemblyIdentities(Xml);
  ASSERT_EQ(Identities.size(), 2u) << Xml;
  EXPECT_EQ(Identities[0].at("version"), "1.0.0.0");
  EXPECT_EQ(Identities[0].at("type"), "win32");
  EXPECT_EQ(Identities[0].at("processorArchitecture"), "x86");
  EXPECT_FALSE(Identities[0].at("name").empty());
  EXPECT_EQ(Identities[1],
            (std::map<std::string, std::string>{{"type", "win32"},
                                                {"name", "Microsoft.Windows.Common-Controls"},
                                                {"version", "6.0.0.0"},
                                                {"processorArchitecture", "x86"},
                                                {"publicKeyToken", "6595b64144ccf1df"},
                                                {"language", "*"}}));
  EXPECT_NE(Xml.find("<description>A quick fix for those annoying Frame Problems in XP."
                     "</description>"),
            std::string::npos);
  // Never redirected to a VirtualStore, and scaled once by the system dpi as the window is laid
  // out.
  EXPECT_NE(Xml.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
            std::string::npos);
  EXPECT_NE(Xml.find(">true</dpiAware>"), std::string::npos);

  // One icon with the three images 32x32 in 2 colours, 32x32 and 16x16 in 16, then 48x48 and
  // 256x256 (stored as 0) in 32-bit colour.
  HRSRC Group = ::FindResourceW(Image, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
  ASSERT_NE(Group, nullptr);
  const auto* Dir = static_cast<const BYTE*>(::LockResource(::LoadResource(Image, Group)));
  const WORD Count = static_cast<WORD>(Dir[4] | (Dir[5] << 8));
  std::vector<std::string> Images;
  for (WORD I = 0; I < Count; ++I) {
    const BYTE* Entry = Dir + 6 + 14 * I;  // width, height, colours, reserved, planes, bits...
    Images.push_back(std::to_string(Entry[0]) + "x" + std::to_string(Entry[1]) + "/" +
                     std::to_string(Entry[2]) + "/" + std::to_string(Entry[6] | (Entry[7] << 8)));
  }
  EXPECT_EQ(Images, (std::vector<std::string>{"32x32/2/1", "32x32/16/4", "16x16/16/4", "48x48/0/32",
                                              "0x0/0/32"}));
  ::FreeLibrary(Image);
}

// A GUI program that brings no MinGW libraries along: it imports system libraries only.
TEST(ProgramFile, IsAStaticGuiProgram) {
  const std::optional<std::string> Pe = ReadBytes(ProgramFile());
  ASSERT_TRUE(Pe.has_value());
  const auto* Dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Pe->data());
  // The test build for 64-bit Wine checks the 64-bit program; users get the 32-bit one.
  const auto* Nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(Pe->data() + Dos->e_lfanew);
  EXPECT_EQ(Nt->FileHeader.Machine,
            sizeof(void*) == 4 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(Nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);

  const auto* Sections = IMAGE_FIRST_SECTION(Nt);
  auto Offset = [&](DWORD Rva) -> std::size_t {
    for (WORD I = 0; I < Nt->FileHeader.NumberOfSections; ++I) {
      const auto& S = Sections[I];
      if (Rva >= S.VirtualAddress && Rva < S.VirtualAddress + S.Misc.VirtualSize) {
        return Rva - S.VirtualAddress + S.PointerToRawData;
      }
    }
    return 0;
  };
  const DWORD Imports =
      Nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  std::vector<std::string> Libraries;
  for (auto* D = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(Pe->data() + Offset(Imports));
       D->Name != 0; ++D) {
    std::string Name = Pe->data() + Offset(D->Name);
    for (char& C : Name) C = static_cast<char>(::toupper(static_cast<unsigned char>(C)));
    Libraries.push_back(Name);
  }
  const std::vector<std::string> System{"COMCTL32.DLL", "GDI32.DLL",   "KERNEL32.DLL", "MSVCRT.DLL",
                                        "OLE32.DLL",    "SHELL32.DLL", "USER32.DLL",   "WINMM.DLL"};
  ASSERT_FALSE(Libraries.empty());
  for (const std::string& Library : Libraries) {
    EXPECT_NE(std::find(System.begin(), System.end(), Library), System.end()) << Library;
  }
}

// ---- Start-up ---------------------------------------------------------------------------------

struct Box {
  std::string Text;
  std::string Icon;  // "stop", "exclamation", or what else it looked like
};

// Which system icon the box shows, told by its pixels on the screen: the other process's icon
// handle means nothing here, so each candidate is drawn the same size on the same background and
// compared.
std::string IconShown(HWND IconControl) {
  RECT Box;
  ::GetWindowRect(IconControl, &Box);
  const int W = Box.right - Box.left, H = Box.bottom - Box.top;
  if (W <= 0 || H <= 0) return "none";
  HDC Screen = ::GetDC(nullptr);
  HDC Shot = ::CreateCompatibleDC(Screen);
  HBITMAP ShotBits = ::CreateCompatibleBitmap(Screen, W, H);
  ::SelectObject(Shot, ShotBits);
  ::BitBlt(Shot, 0, 0, W, H, Screen, Box.left, Box.top, SRCCOPY);
  const COLORREF Background = ::GetPixel(Shot, 0, 0);

  const struct {
    const wchar_t* Id;
    const char* Name;
  } Candidates[] = {{IDI_HAND, "stop"},
                    {IDI_EXCLAMATION, "exclamation"},
                    {IDI_ASTERISK, "information"},
                    {IDI_QUESTION, "question"}};
  std::string Best = "unknown";
  int BestSame = 0;
  for (const auto& Candidate : Candidates) {
    HDC Drawn = ::CreateCompatibleDC(Screen);
    HBITMAP DrawnBits = ::CreateCompatibleBitmap(Screen, W, H);
    ::SelectObject(Drawn, DrawnBits);
    HBRUSH Fill = ::CreateSolidBrush(Background);
    RECT All{0, 0, W, H};
    ::FillRect(Drawn, &All, Fill);
    ::DeleteObject(Fill);
    ::DrawIconEx(Drawn, 0, 0, ::LoadIconW(nullptr, Candidate.Id), W, H, 0, nullptr, DI_NORMAL);
    int Same = 0;
    for (int Y = 0; Y < H; ++Y) {
      for (int X = 0; X < W; ++X) Same += ::GetPixel(Shot, X, Y) == ::GetPixel(Drawn, X, Y);
    }
    if (Same > BestSame) {
      BestSame = Same;
      Best = Candidate.Name;
    }
    ::DeleteDC(Drawn);
    ::DeleteObject(DrawnBits);
  }
  ::DeleteDC(Shot);
  ::DeleteObject(ShotBits);
  ::ReleaseDC(nullptr, Screen);
  // Nearly every pixel must agree; otherwise say how close the best one came.
  if (BestSame * 100 < W * H * 95) return Best + "?" + std::to_string(BestSame * 100 / (W * H));
  return Best;
}

// Reads the message box the program shows, presses OK and returns what it said.
std::optional<Box> ReadBoxAndPressOk(HWND Dialog) {
  Box Read;
  HWND Ok = nullptr, Icon = nullptr;
  for (HWND Child : ChildrenOf(Dialog)) {
    const std::wstring Class = ClassOf(Child);
    const LONG_PTR Style = ::GetWindowLongPtrW(Child, GWL_STYLE);
    if (_wcsicmp(Class.c_str(), L"Button") == 0) {
      Ok = Child;
    } else if (_wcsicmp(Class.c_str(), L"Static") == 0 && (Style & SS_TYPEMASK) == SS_ICON) {
      Icon = Child;
    } else if (_wcsicmp(Class.c_str(), L"Static") == 0 && !TextOf(Child).empty()) {
      Read.Text = Narrow(TextOf(Child));
    }
  }
  // The box may be on screen before its icon is drawn: looked at again until it is clear.
  Read.Icon = "none";
  for (int Look = 0; Icon != nullptr && Look < 40; ++Look) {
    if (Look > 0) ::Sleep(50);
    Read.Icon = IconShown(Icon);
    if (Read.Icon.find('?') == std::string::npos) break;
  }
  if (Ok == nullptr) return std::nullopt;
  ::PostMessageW(Ok, BM_CLICK, 0, 0);
  return Read;
}

// A box of the program titled as the program is, or nothing after TimeoutMs.
HWND WaitForBox(ChildProcess& Program, DWORD TimeoutMs) {
  if (!Program.Started()) return nullptr;
  const ULONGLONG Deadline = ::GetTickCount64() + TimeoutMs;
  while (::GetTickCount64() < Deadline) {
    for (HWND Dialog : TopWindowsOf(Program.Id(), L"#32770")) {
      if (TextOf(Dialog) == kTitle) return Dialog;
    }
    if (Program.WaitForExit(0)) return nullptr;
    ::Sleep(50);
  }
  return nullptr;
}

// What the box says when no tool path is set: its two fixed lines, then the help.
std::string NoToolPathText(const std::wstring& SettingsFile) {
  return "TI ScreenCapture not found!\r\nCorrect the path in the file settings.ini.\r\n\r\n"
         "settings.ini is here:\r\n  " +
         Narrow(SettingsFile) + "\r\nPath tried: (none set)";
}

// A copy of the program in an application folder of its own.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(::CopyFileW(ProgramFile().c_str(), Exe.c_str(), FALSE)) << Narrow(Exe);
  }
  void TearDown() override {
    // The program started the recorder; a run that failed half-way may have left it behind.
    for (HWND Recorder : TopWindowsOf(0, L"PictraneKeyRecorder")) {
      DWORD Id = 0;
      ::GetWindowThreadProcessId(Recorder, &Id);
      HANDLE Process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, Id);
      if (Process == nullptr) continue;
      ::TerminateProcess(Process, 99);
      ::WaitForSingleObject(Process, 5000);
      ::CloseHandle(Process);
    }
  }
  std::wstring CommandLine() const { return L"\"" + Exe + L"\""; }

  TempFolder App{L"app"};
  const std::wstring Exe = App / L"Pictrane Converter.exe";
};

// An argument the program does not take changes nothing: it starts as usual. A tool path the
// profile functions cannot see gets the two lines that would work.
TEST_F(ProgramTest, WithoutUsableSettingsItStopsForTheMissingToolAndSaysWhy) {
  const struct {
    const char* Settings;  // nullptr: no file
    const wchar_t* Args;
    const char* Why;
  } Cases[] = {
      {nullptr, L"",
       "The file has no [Settings] section. Write these two lines:\r\n  [Settings]\r\n"
       "  ScreenCapturePath=<the capture tool's full path>"},
      {"ScreenCapturePath=C:\\x.exe\r\n[Other]\r\n", L" \"C:\\My Pics\" /S",
       "ScreenCapturePath is above the first section line, where the program does not look for "
       "it. Write these two lines:\r\n  [Settings]\r\n  ScreenCapturePath=C:\\x.exe"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Narrow(Case.Args));
    ::DeleteFileW((App / L"settings.ini").c_str());
    if (Case.Settings) {
      ASSERT_TRUE(WriteBytes(App / L"settings.ini", Case.Settings));
    }
    ChildProcess Program(CommandLine() + Case.Args);
    ASSERT_TRUE(Program.Started());
    HWND Dialog = WaitForBox(Program, 30000);
    ASSERT_NE(Dialog, nullptr) << "no message box";
    const std::optional<Box> Shown = ReadBoxAndPressOk(Dialog);
    ASSERT_TRUE(Shown.has_value());
    EXPECT_EQ(Shown->Text, NoToolPathText(App / L"settings.ini") + "\r\n\r\n" + Case.Why);
    EXPECT_EQ(Shown->Icon, "stop");
    EXPECT_EQ(Program.WaitForExit(10000), std::optional<DWORD>(1));
    EXPECT_EQ(ReadBytes(App / L"settings.ini"),
              std::optional<std::string>(Case.Settings ? Case.Settings : ""));
    EXPECT_TRUE(TopWindowsOf(Program.Id(), L"PictraneForm").empty());
  }
}

TEST_F(ProgramTest, WithTheToolButNoPlaceholderItStopsForDummyBmp) {
  ASSERT_TRUE(WriteBytes(App / L"tool.exe", "MZ"));
  ASSERT_TRUE(WriteBytes(App / L"settings.ini",
                         "[Settings]\r\nScreenCapturePath=" + Narrow(App / L"tool.exe") + "\r\n"));
  ChildProcess Program(CommandLine());
  HWND Dialog = WaitForBox(Program, 30000);
  ASSERT_NE(Dialog, nullptr) << "no message box";
  const std::optional<Box> Shown = ReadBoxAndPressOk(Dialog);
  ASSERT_TRUE(Shown.has_value());
  EXPECT_EQ(Shown->Text, "dummy.bmp not found!\r\n\r\nPaths tried:\r\n  " +
                             Narrow(App / L"dummy.bmp") +
                             "\r\nReinstall the program; its settings file is:\r\n  " +
                             Narrow(App / L"settings.ini"));
  EXPECT_EQ(Shown->Icon, "exclamation");
  EXPECT_EQ(Program.WaitForExit(10000), std::optional<DWORD>(1));
}

TEST_F(ProgramTest, SettingsThatCannotBeCreatedGetAPlainMessage) {
  // A folder where the settings file belongs: it can be neither found nor created.
  ASSERT_TRUE(::CreateDirectoryW((App / L"settings.ini").c_str(), nullptr));
  ChildProcess Program(CommandLine());
  HWND Dialog = WaitForBox(Program, 30000);
  ASSERT_NE(Dialog, nullptr) << "no message box";
  const std::optional<Box> Shown = ReadBoxAndPressOk(Dialog);
  ASSERT_TRUE(Shown.has_value());
  const std::string Start = "The settings file cannot be created or written:\r\n  " +
                            Narrow(App / L"settings.ini") + "\r\n";
  EXPECT_EQ(Shown->Text.substr(0, Start.size()), Start) << Shown->Text;
  EXPECT_EQ(Shown->Text.find("Run-time error"), std::string::npos) << Shown->Text;
  EXPECT_EQ(Shown->Icon, "stop");
  EXPECT_EQ(Program.WaitForExit(10000), std::optional<DWORD>(1));
}

// /?, --help and --version answer in a box and exit, wherever they stand.
TEST_F(ProgramTest, CommandLineOptionsAnswerInABox) {
  const struct {
    const wchar_t* Args;
    std::string Starts;
    const char* Icon;
    DWORD Status;
  } Cases[] = {
      {L"--version", std::string("Pictrane Converter ") + PICTRANE_VERSION, "information", 0},
      {L"/?", "Usage: Pictrane Converter.exe [/? | --help | --version]\r\n\r\n", "information", 0},
      {L"C:\\pics -h", "Usage: Pictrane Converter.exe [/? | --help | --version]", "information", 0},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Narrow(Case.Args));
    ChildProcess Program(CommandLine() + L" " + Case.Args);
    HWND Dialog = WaitForBox(Program, 30000);
    ASSERT_NE(Dialog, nullptr) << "no message box";
    const std::optional<Box> Shown = ReadBoxAndPressOk(Dialog);
    ASSERT_TRUE(Shown.has_value());
    EXPECT_EQ(Shown->Text.substr(0, std::string(Case.Starts).size()), Case.Starts) << Shown->Text;
    EXPECT_EQ(Shown->Icon, Case.Icon);
    EXPECT_EQ(Program.WaitForExit(10000), std::optional<DWORD>(Case.Status));
    // Nothing of a normal start happened.
    EXPECT_FALSE(ReadBytes(App / L"settings.ini").has_value());
  }
}

// Number and meaning of each exit status after Heading in Text: "N: meaning." lines (the help
// box), or a table of "  N  meaning" lines continued on lines indented further (README.txt).
std::map<int, std::string> ExitStatuses(const std::string& Text, const std::string& Heading) {
  std::map<int, std::string> Found;
  int Last = -1;
  std::istringstream Lines(Text.substr(std::min(Text.find(Heading), Text.size())));
  for (std::string Line; std::getline(Lines, Line);) {
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    const std::size_t Lead = std::min(Line.find_first_not_of(' '), Line.size());
    const std::size_t Digits = std::min(Line.find_first_not_of("0123456789", Lead), Line.size());
    if (Digits > Lead && Digits < Line.size() && (Line[Digits] == ':' || Line[Digits] == ' ')) {
      Last = std::stoi(Line.substr(Lead, Digits - Lead));
      Found[Last] = Line.substr(Line.find_first_not_of(": ", Digits));
    } else if (Last >= 0 && Lead > 2 && Lead < Line.size()) {
      Found[Last] += " " + Line.substr(Lead);
    } else if (Last >= 0) {
      break;  // the table ends; the heading and the lines before it are passed over
    }
  }
  for (auto& [Status, Meaning] : Found) {
    if (!Meaning.empty() && Meaning.back() == '.') Meaning.pop_back();
  }
  return Found;
}

// The packaged README.txt tells the exit statuses the program's own help tells.
TEST_F(ProgramTest, ReadmeGivesTheExitStatusesOfTheHelpBox) {
  const std::string Readme = ReadBytes(PathFromEnvironment("PICTRANE_README")).value_or("");
  ChildProcess Program(CommandLine() + L" /?");
  HWND Dialog = WaitForBox(Program, 30000);
  ASSERT_NE(Dialog, nullptr) << "no message box";
  const std::optional<Box> Shown = ReadBoxAndPressOk(Dialog);
  ASSERT_TRUE(Shown.has_value());
  EXPECT_EQ(Program.WaitForExit(10000), std::optional<DWORD>(0));
  const std::map<int, std::string> Told = ExitStatuses(Shown->Text, "Exit status:");
  EXPECT_EQ(Told.size(), 4u) << Shown->Text;
  EXPECT_EQ(ExitStatuses(Readme, "Exit statuses"), Told);
  EXPECT_NE(Shown->Text.find("Any other argument is ignored."), std::string::npos);
  EXPECT_NE(Readme.find("Any other argument is ignored"), std::string::npos);
}

// ---- A conversion run -------------------------------------------------------------------------

std::vector<std::string> Characters(const std::wstring& Text) {
  std::vector<std::string> Keys;
  for (std::size_t I = 0; I < Text.size(); ++I) {
    const bool Pair = Text[I] >= 0xD800 && Text[I] <= 0xDBFF && I + 1 < Text.size();
    Keys.push_back("'" + Narrow(Text.substr(I, Pair ? 2 : 1)) + "'");
    if (Pair) ++I;
  }
  return Keys;
}

// What the recorder must receive for one bitmap: the file script with every path typed as it is.
std::vector<std::string> FileScript(const std::wstring& Folder, const std::wstring& Name,
                                    const std::wstring& DeviceFolder) {
  const std::wstring Source = Folder + L"\\" + Name;
  const std::wstring Target = Source.substr(0, Source.size() - 4) + L".89i";
  const std::wstring Leaf = Target.substr(Target.find_last_of(L'\\') + 1);
  const std::wstring Variable = Leaf.substr(0, Leaf.size() - 4);
  std::vector<std::string> Keys{"Ctrl+F4", "Ctrl+o"};
  auto Add = [&Keys](const std::vector<std::string>& More) {
    Keys.insert(Keys.end(), More.begin(), More.end());
  };
  Add(Characters(Source));
  Add({"Enter", "Alt+f", "'a'"});
  Add(Characters(Target));
  Add({"Alt+v", "F4", "Down", "Down", "Down", "Down", "Down", "Enter", "Enter"});
  Add(Characters(Variable));
  Add({"Alt+a", "Alt+d", "Delete"});
  Add(Characters(DeviceFolder));
  Add({"Enter"});
  return Keys;
}

std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> Out;
  std::size_t Begin = 0;
  while (Begin < Text.size()) {
    std::size_t End = Text.find('\n', Begin);
    if (End == std::string::npos) End = Text.size();
    Out.push_back(Text.substr(Begin, End - Begin));
    Begin = End + 1;
  }
  return Out;
}

std::wstring ReadSetting(const std::wstring& File, const wchar_t* Key) {
  wchar_t Value[1024] = {};
  ::GetPrivateProfileStringW(L"Settings", Key, L"", Value, 1024, File.c_str());
  return Value;
}

TEST_F(ProgramTest, ConvertTypesTheFileScriptForEveryBitmapIntoTheTool) {
  // The recorder stands in for the capture tool, in a folder with a blank in its name.
  const std::wstring ToolFolder = App / L"Capture Tool";
  ASSERT_TRUE(::CreateDirectoryW(ToolFolder.c_str(), nullptr));
  const std::wstring Tool = ToolFolder + L"\\recorder.exe";
  ASSERT_TRUE(::CopyFileW(PathFromEnvironment("PICTRANE_RECORDER").c_str(), Tool.c_str(), FALSE));
  ASSERT_TRUE(WriteBytes(App / L"dummy.bmp", "BM"));

  TempFolder Work(L"run");
  const std::wstring Pics = Work / L"pics \u00e4 \u03a9";
  ASSERT_TRUE(::CreateDirectoryW(Pics.c_str(), nullptr));
  const std::vector<std::wstring> Bitmaps{L"a b.bmp", L"+^%~(){}[].bmp",
                                          L"\u017elu\u0165ou\u010dk\u00fd k\u016f\u0148.bmp",
                                          L"\u03a9mega.BMP", L"\u65e5\u672c.bmp"};
  for (const std::wstring& Name : Bitmaps) ASSERT_TRUE(WriteBytes(Pics + L"\\" + Name, "BM"));
  ASSERT_TRUE(WriteBytes(Pics + L"\\notes.txt", "n"));
  ASSERT_TRUE(WriteBytes(Pics + L"\\secret.bmp", "BM"));
  ::SetFileAttributesW((Pics + L"\\secret.bmp").c_str(), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(::CreateDirectoryW((Pics + L"\\album.bmp").c_str(), nullptr));
  // Named as our temporaries are and two days old: on Windows it is the user's, and stays.
  const std::wstring Stale = Pics + L"\\~pc0a1b2c.tmp";
  ASSERT_TRUE(WriteBytes(Stale, "t"));
  {
    HANDLE File = ::CreateFileW(Stale.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(File, INVALID_HANDLE_VALUE);
    FILETIME Now{};
    ::GetSystemTimeAsFileTime(&Now);
    ULARGE_INTEGER Old{{Now.dwLowDateTime, Now.dwHighDateTime}};
    Old.QuadPart -= 2ULL * 24 * 3600 * 10'000'000;  // 100-ns units
    const FILETIME Then{Old.LowPart, Old.HighPart};
    EXPECT_TRUE(::SetFileTime(File, &Then, &Then, &Then));
    ::CloseHandle(File);
  }

  // Settings with names outside ASCII: a Unicode profile file.
  const std::wstring Settings = App / L"settings.ini";
  const std::wstring DeviceFolder = L"m\u00e4in";
  ASSERT_TRUE(WriteBytes(
      Settings, Utf16File(L"[Settings]\r\nScreenCapturePath=" + Tool + L"\r\nLastDir=" + Pics +
                          L"\r\nLastDeviceDir=" + DeviceFolder + L"\r\nDeleteBMPs=1\r\n")));

  ChildProcess Program(CommandLine());
  HWND Form = WaitForTopWindow(Program, L"PictraneForm", 30000);
  ASSERT_NE(Form, nullptr) << "the window did not appear";
  HWND Convert = nullptr;
  for (HWND Child : ChildrenOf(Form)) {
    if (TextOf(Child) == L"Convert") Convert = Child;
  }
  ASSERT_NE(Convert, nullptr);
  ::PostMessageW(Convert, BM_CLICK, 0, 0);

  // The run ends the program; any box it shows on the way is a failure worth reading.
  std::optional<DWORD> Status;
  const ULONGLONG Deadline = ::GetTickCount64() + 120000;
  while (!(Status = Program.WaitForExit(100)) && ::GetTickCount64() < Deadline) {
    for (HWND Dialog : TopWindowsOf(Program.Id(), L"#32770")) {
      const std::optional<Box> Shown = ReadBoxAndPressOk(Dialog);
      ADD_FAILURE() << "message box: " << (Shown ? Shown->Text : "(unreadable)");
    }
  }
  ASSERT_EQ(Status, std::optional<DWORD>(0)) << "the program did not end by itself";

  // The names in the order NTFS keeps them: upper-cased, ordinal.
  std::vector<std::wstring> Listed = Bitmaps;
  std::sort(Listed.begin(), Listed.end(), [](const std::wstring& A, const std::wstring& B) {
    return ::CompareStringOrdinal(A.c_str(), -1, B.c_str(), -1, TRUE) == CSTR_LESS_THAN;
  });
  std::vector<std::string> Expected{"args \"" + Narrow(App / L"dummy.bmp") + "\"", "show 3"};
  for (const std::wstring& Name : Listed) {
    const std::vector<std::string> Script = FileScript(Pics, Name, DeviceFolder);
    Expected.insert(Expected.end(), Script.begin(), Script.end());
  }
  Expected.push_back("Alt+F4");

  std::optional<std::string> Log;
  for (int I = 0; I < 100 && !Log; ++I) {  // the recorder writes its last line as it closes
    Log = ReadBytes(ToolFolder + L"\\keys.log");
    if (Log && Log->find("Alt+F4") == std::string::npos) {
      Log.reset();
      ::Sleep(50);
    }
  }
  ASSERT_TRUE(Log.has_value()) << "the recorder got no Alt+F4";
  const std::vector<std::string> Received = Lines(*Log);
  EXPECT_EQ(Received.size(), Expected.size());
  for (std::size_t I = 0; I < std::min(Received.size(), Expected.size()); ++I) {
    ASSERT_EQ(Received[I], Expected[I]) << "key " << I;
  }

  // Every listed bitmap was converted and deleted; nothing else was touched.
  for (const std::wstring& Name : Bitmaps) {
    EXPECT_FALSE(FileExists(Pics + L"\\" + Name)) << Narrow(Name);
    EXPECT_TRUE(FileExists(Pics + L"\\" + Name.substr(0, Name.size() - 4) + L".89i"))
        << Narrow(Name);
  }
  EXPECT_TRUE(FileExists(Pics + L"\\notes.txt"));
  EXPECT_TRUE(FileExists(Pics + L"\\secret.bmp"));
  EXPECT_TRUE(FileExists(Pics + L"\\album.bmp"));
  EXPECT_TRUE(FileExists(Stale));
  EXPECT_FALSE(FileExists(App / L"list.txt"));

  // The window saved its fields on the way out.
  EXPECT_EQ(Narrow(ReadSetting(Settings, L"LastDir")), Narrow(Pics));
  EXPECT_EQ(Narrow(ReadSetting(Settings, L"LastDeviceDir")), Narrow(DeviceFolder));
  EXPECT_EQ(Narrow(ReadSetting(Settings, L"DeleteBMPs")), "1");
  EXPECT_EQ(Narrow(ReadSetting(Settings, L"ScreenCapturePath")), Narrow(Tool));
}

// ---- The primitives behind the folder rules ----------------------------------------------------

TEST(FolderPrimitives, MakeProbeReadAndWriteWhatTheRulesAskFor) {
  FileSystemWin32 Files;
  TempFolder Root{L"folders"};
  const std::string Base = Narrow(Root.Path());
  const std::string Nested = Base + "\\Roaming\\Pictrane Converter";

  Files.CreateUserFolder(Nested);  // parents included; again is no error
  Files.CreateUserFolder(Nested);
  EXPECT_TRUE(Files.CanCreateIn(Nested));
  EXPECT_FALSE(Files.CanCreateIn(Base + "\\missing"));
  EXPECT_TRUE(EntriesOf(Widen(Nested)).empty()) << "the probe was left behind";

  const std::string File = Nested + "\\settings.ini";
  Files.ReplaceContent(File, "[Settings]\r\nScreenCapturePath=\r\n");
  Files.ReplaceContent(File, "replaced");
  EXPECT_EQ(Files.ReadAll(File), "replaced");
  EXPECT_EQ(EntriesOf(Widen(Nested)).size(), 1u) << "a temporary was left behind";
  EXPECT_THROW(Files.ReadAll(Nested + "\\none.ini"), RaisedError);

  ASSERT_TRUE(WriteBytes(Root / L"plain", "x"));
  EXPECT_THROW(Files.CreateUserFolder(Base + "\\plain"), RaisedError);  // a file is in the way

  ASSERT_TRUE(::SetEnvironmentVariableW(L"PICTRANE_FOLDER_TEST", L"C:\\Gr\u00fc\u00dfe"));
  ProcessesWin32 Programs;
  EXPECT_EQ(Programs.Environment("PICTRANE_FOLDER_TEST"),
            "C:\\Gr\xc3\xbc\xc3\x9f"
            "e");
  ::SetEnvironmentVariableW(L"PICTRANE_FOLDER_TEST", nullptr);
  EXPECT_EQ(Programs.Environment("PICTRANE_FOLDER_TEST"), "");
}

// ---- The packages (tests/install/windows-install.sh names them) -----------------------------

std::wstring EnvironmentValue(const wchar_t* Name) {
  wchar_t Value[MAX_PATH] = {};
  const DWORD Got = ::GetEnvironmentVariableW(Name, Value, MAX_PATH);
  return Got > 0 && Got < MAX_PATH ? Value : L"";
}

// Waits for Path to be there (Present) or gone; the uninstaller works on after its own exit.
bool WaitForFile(const std::wstring& Path, bool Present, DWORD TimeoutMs) {
  const ULONGLONG Deadline = ::GetTickCount64() + TimeoutMs;
  while (FileExists(Path) != Present) {
    if (::GetTickCount64() > Deadline) return false;
    ::Sleep(100);
  }
  return true;
}

std::wstring FullPath(const std::wstring& Path) {
  wchar_t Full[MAX_PATH] = {};
  const DWORD Got = ::GetFullPathNameW(Path.c_str(), MAX_PATH, Full, nullptr);
  std::wstring Out = Got > 0 && Got < MAX_PATH ? Full : Path;
  std::transform(Out.begin(), Out.end(), Out.begin(), [](wchar_t C) {
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(C)));
  });
  return Out;
}

// Opens a shortcut as the desktop does when it is clicked, then takes over the program it
// started: the process showing a box or window titled Title, which must run Exe.
std::unique_ptr<ChildProcess> StartThroughShortcut(const std::wstring& Link,
                                                   const std::wstring& Title,
                                                   const std::wstring& Exe) {
  SHELLEXECUTEINFOW Info{};
  Info.cbSize = sizeof Info;
  Info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  Info.lpFile = Link.c_str();
  Info.nShow = SW_SHOWNORMAL;
  EXPECT_TRUE(::ShellExecuteExW(&Info)) << "error " << ::GetLastError();
  if (Info.hProcess != nullptr) ::CloseHandle(Info.hProcess);  // the shell's, perhaps not ours
  const ULONGLONG Deadline = ::GetTickCount64() + 30000;
  while (::GetTickCount64() < Deadline) {
    for (const wchar_t* Class : {L"#32770", L"PictraneForm"}) {
      for (HWND Window : TopWindowsOf(0, Class)) {
        if (TextOf(Window) != Title) continue;
        DWORD Id = 0;
        ::GetWindowThreadProcessId(Window, &Id);
        HANDLE Process = ::OpenProcess(
            SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, Id);
        wchar_t Image[MAX_PATH] = {};
        DWORD Size = MAX_PATH;
        if (Process != nullptr && ::QueryFullProcessImageNameW(Process, 0, Image, &Size)) {
          EXPECT_EQ(Narrow(FullPath(Image)), Narrow(FullPath(Exe))) << "the shortcut's program";
          return std::make_unique<ChildProcess>(Process);
        }
        if (Process != nullptr) ::CloseHandle(Process);
      }
    }
    ::Sleep(100);
  }
  return nullptr;
}

bool KeyExists(HKEY Root, const wchar_t* Path) {
  HKEY Key = nullptr;
  if (::RegOpenKeyExW(Root, Path, 0, KEY_READ, &Key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(Key);
  return true;
}

// Every key the installer makes, under the machine's or the user's root.
const wchar_t* const kInstallerKeys[] = {
    L"Software\\Pictrane developers",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictrane Converter"};

std::vector<std::string> InstallerKeysPresent() {
  std::vector<std::string> Found;
  for (const wchar_t* Path : kInstallerKeys) {
    for (HKEY Root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      if (KeyExists(Root, Path)) Found.push_back(Narrow(Path));
    }
  }
  return Found;
}

void InstallSilently() {
  ChildProcess Setup(L"\"" + PathFromEnvironment("PICTRANE_INSTALLER") + L"\" /S");
  ASSERT_EQ(Setup.WaitForExit(120000), std::optional<DWORD>(0));
}

// The uninstaller copies itself and works on after its own exit.
void UninstallSilently(const std::wstring& Folder) {
  ChildProcess Uninstall(L"\"" + Folder + L"\\Uninstall.exe\" /S");
  ASSERT_EQ(Uninstall.WaitForExit(120000), std::optional<DWORD>(0));
  EXPECT_TRUE(WaitForFile(Folder + L"\\Pictrane Converter.exe", false, 60000))
      << "the program is still installed";
  EXPECT_TRUE(WaitForFile(Folder + L"\\Uninstall.exe", false, 60000));
  EXPECT_FALSE(FileExists(Folder + L"\\dummy.bmp"));
}

// Outside tests/install/windows-install.sh there are no packages to try.
#define PICTRANE_NEEDS_PACKAGES()                   \
  if (std::getenv("PICTRANE_INSTALLER") == nullptr) \
  GTEST_SKIP() << "run by tests/install/windows-install.sh after scripts/package"

TEST(Packages, TheUnpackedZipStartsItsWindow) {
  PICTRANE_NEEDS_PACKAGES();
  const std::wstring Folder = PathFromEnvironment("PICTRANE_ZIP_FOLDER");
  std::vector<std::wstring> Names;
  for (const WIN32_FIND_DATAW& Entry : EntriesOf(Folder)) Names.push_back(Entry.cFileName);
  std::sort(Names.begin(), Names.end());
  EXPECT_EQ(Names, (std::vector<std::wstring>{L"LICENSE.txt", L"Pictrane Converter.exe",
                                              L"README.txt", L"dummy.bmp", L"settings.ini"}));
  // The users' README: plain text with Windows line ends, naming the key to set.
  const std::string Readme = ReadBytes(Folder + L"\\README.txt").value_or("");
  EXPECT_NE(Readme.find("ScreenCapturePath=C:\\"), std::string::npos);
  std::size_t Ends = 0, BareEnds = 0;
  for (std::size_t I = 0; I < Readme.size(); ++I) {
    if (Readme[I] != '\n') continue;
    ++Ends;
    if (I == 0 || Readme[I - 1] != '\r') ++BareEnds;
  }
  EXPECT_GT(Ends, 20u);
  EXPECT_EQ(BareEnds, 0u) << "lines ending without CR";
  EXPECT_EQ(Readme.find("```"), std::string::npos);
  const std::wstring Settings = Folder + L"\\settings.ini";
  const std::string Shipped = ReadBytes(Settings).value_or("");
  EXPECT_NE(Shipped.find("; ScreenCapturePath names the capture tool"), std::string::npos);

  // Any existing file passes the start-up check; the recorder stands in for the tool.
  ASSERT_TRUE(::WritePrivateProfileStringW(L"Settings", L"ScreenCapturePath",
                                           PathFromEnvironment("PICTRANE_RECORDER").c_str(),
                                           Settings.c_str()));
  ChildProcess Program(L"\"" + Folder + L"\\Pictrane Converter.exe\"");
  ASSERT_TRUE(Program.Started());
  const ULONGLONG Deadline = ::GetTickCount64() + 30000;
  std::vector<HWND> Forms;
  while (Forms.empty() && ::GetTickCount64() < Deadline && !Program.WaitForExit(0)) {
    ::Sleep(100);
    Forms = TopWindowsOf(Program.Id(), L"PictraneForm");
  }
  ASSERT_EQ(Forms.size(), 1u) << "the window did not open";
  EXPECT_TRUE(TopWindowsOf(Program.Id(), L"#32770").empty()) << "a box opened";
  ::PostMessageW(Forms.front(), WM_CLOSE, 0, 0);
  EXPECT_EQ(Program.WaitForExit(10000), std::optional<DWORD>(0));
  // The comments stay; the fields were added beside them.
  const std::string Kept = ReadBytes(Settings).value_or("");
  EXPECT_NE(Kept.find("; ScreenCapturePath names the capture tool"), std::string::npos) << Kept;
  EXPECT_NE(Kept.find("LastDir="), std::string::npos) << Kept;
}

TEST(Packages, TheInstallerInstallsAndItsUninstallerKeepsTheSettings) {
  PICTRANE_NEEDS_PACKAGES();
  const std::wstring Folder = EnvironmentValue(L"ProgramFiles") + L"\\Pictrane Converter";
  const std::wstring Exe = Folder + L"\\Pictrane Converter.exe";
  const std::wstring Beside = Folder + L"\\settings.ini";
  const std::wstring Roaming = EnvironmentValue(L"APPDATA") + L"\\Pictrane Converter\\settings.ini";
  RemoveTree(Folder);  // what an earlier run left
  ::DeleteFileW(Roaming.c_str());

  ASSERT_NO_FATAL_FAILURE(InstallSilently());
  ASSERT_TRUE(WaitForFile(Exe, true, 30000)) << Narrow(Exe);
  EXPECT_TRUE(FileExists(Folder + L"\\dummy.bmp"));
  EXPECT_NE(ReadBytes(Beside).value_or("").find("; ScreenCapturePath names the capture tool"),
            std::string::npos)
      << "the installer did not lay the zip's commented settings";
  EXPECT_EQ(InstallerKeysPresent().size(), std::size(kInstallerKeys));
  std::wstring Link;
  for (int Where : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
    wchar_t Programs[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, Where, nullptr, 0, Programs))) continue;
    const std::wstring Candidate =
        std::wstring(Programs) + L"\\Pictrane Converter\\Pictrane Converter.lnk";
    if (Link.empty() && FileExists(Candidate)) Link = Candidate;
  }
  ASSERT_FALSE(Link.empty()) << "no Start-menu shortcut";

  // Started as the Start menu starts it. No capture tool is configured: the program says so and
  // names the settings file the installer laid.
  {
    std::unique_ptr<ChildProcess> Program = StartThroughShortcut(Link, kTitle, Exe);
    ASSERT_NE(Program, nullptr) << "the shortcut started no program";
    HWND Dialog = WaitForBox(*Program, 30000);
    ASSERT_NE(Dialog, nullptr) << "no message box";
    const std::optional<Box> Shown = ReadBoxAndPressOk(Dialog);
    ASSERT_TRUE(Shown.has_value());
    ASSERT_EQ(Program->WaitForExit(10000), std::optional<DWORD>(1));
    EXPECT_EQ(Shown->Text, NoToolPathText(FileExists(Roaming) ? Roaming : Beside));
  }
  const std::wstring Made = FileExists(Roaming) ? Roaming : Beside;
  ASSERT_TRUE(::WritePrivateProfileStringW(L"Settings", L"LastDeviceDir", L"kept", Made.c_str()));

  // Neither the uninstaller nor a second installer touches the user's settings; the uninstaller
  // leaves no key behind.
  ASSERT_NO_FATAL_FAILURE(UninstallSilently(Folder));
  EXPECT_EQ(ReadSetting(Made, L"LastDeviceDir"), L"kept") << "the settings went too";
  EXPECT_EQ(InstallerKeysPresent(), std::vector<std::string>{}) << "keys left behind";
  ASSERT_NO_FATAL_FAILURE(InstallSilently());
  ASSERT_TRUE(WaitForFile(Exe, true, 30000)) << Narrow(Exe);
  EXPECT_EQ(ReadSetting(Made, L"LastDeviceDir"), L"kept") << "the installer replaced the settings";
  ASSERT_NO_FATAL_FAILURE(UninstallSilently(Folder));
  EXPECT_EQ(ReadSetting(Made, L"LastDeviceDir"), L"kept");
  RemoveTree(Folder);
}

// A program folder it may not write (Program Files for a user): the settings go to %APPDATA%,
// seeded from the ones beside the program, and nothing is written beside it.
TEST(Packages, AProtectedProgramFolderKeepsTheSettingsInAppData) {
  if (std::getenv("PICTRANE_PROTECTED_FOLDER") == nullptr)
    GTEST_SKIP() << "run by tests/install/windows-install.sh on a folder it made immutable";
  const std::wstring Folder = PathFromEnvironment("PICTRANE_PROTECTED_FOLDER");
  const std::wstring Exe = Folder + L"\\Pictrane Converter.exe";
  const std::wstring Roaming = EnvironmentValue(L"APPDATA") + L"\\Pictrane Converter";
  const std::wstring Settings = Roaming + L"\\settings.ini";
  RemoveTree(Roaming);
  ::RemoveDirectoryW(Roaming.c_str());
  const auto Before = EntriesOf(Folder).size();
  ASSERT_FALSE(WriteBytes(Folder + L"\\probe", "x")) << "the folder is writable";
  {
    ChildProcess Program(L"\"" + Exe + L"\"");
    HWND Dialog = WaitForBox(Program, 30000);
    ASSERT_NE(Dialog, nullptr) << "no message box";
    const std::optional<Box> Shown = ReadBoxAndPressOk(Dialog);
    ASSERT_TRUE(Shown.has_value());
    EXPECT_EQ(Shown->Text, NoToolPathText(Settings));
    EXPECT_EQ(Program.WaitForExit(10000), std::optional<DWORD>(1));
  }
  EXPECT_EQ(ReadBytes(Settings), ReadBytes(Folder + L"\\settings.ini")) << "not seeded";

  ASSERT_TRUE(::WritePrivateProfileStringW(L"Settings", L"ScreenCapturePath",
                                           PathFromEnvironment("PICTRANE_RECORDER").c_str(),
                                           Settings.c_str()));
  ChildProcess Program(L"\"" + Exe + L"\"");
  HWND Form = WaitForTopWindow(Program, L"PictraneForm", 30000);
  ASSERT_NE(Form, nullptr) << "the window did not open";
  ::PostMessageW(Form, WM_CLOSE, 0, 0);
  EXPECT_EQ(Program.WaitForExit(10000), std::optional<DWORD>(0));
  EXPECT_NE(ReadBytes(Settings).value_or("").find("LastDir="), std::string::npos);
  EXPECT_EQ(EntriesOf(Folder).size(), Before) << "something was written beside the program";
  RemoveTree(Roaming);
}

}  // namespace
}  // namespace pictrane::win32::testing
