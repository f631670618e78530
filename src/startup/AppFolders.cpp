// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup/AppFolders.h"

#include "pictrane/RaisedError.h"

namespace pictrane {

namespace {

constexpr const char* kSettingsName = "settings.ini";

std::string ParentOf(const std::string& Folder, const std::string& Sep) {
  const std::size_t Cut = Folder.rfind(Sep);
  if (Cut == std::string::npos || Cut == 0) return Sep;
  return Folder.substr(0, Cut);
}

// The XDG base-directory rules: a relative value is ignored as if unset.
std::string LinuxConfigHome(Processes& Env) {
  const std::string Configured = Env.Environment("XDG_CONFIG_HOME");
  if (!Configured.empty() && Configured[0] == '/') return Configured;
  const std::string Home = Env.Environment("HOME");
  if (Home.empty() || Home[0] != '/')
    throw RaisedError(ErrorNumber::PathNotFound, ProgramErrorSource,
                      "Cannot find the user's settings folder: neither XDG_CONFIG_HOME nor HOME "
                      "names an absolute folder");
  return Home + "/.config";
}

std::vector<std::string> LinuxConfigDirs(Processes& Env) {
  std::string Dirs = Env.Environment("XDG_CONFIG_DIRS");
  if (Dirs.empty()) Dirs = "/etc/xdg";
  std::vector<std::string> Out;
  std::size_t Start = 0;
  for (;;) {
    const std::size_t End = Dirs.find(':', Start);
    std::string Dir = Dirs.substr(Start, End == std::string::npos ? End : End - Start);
    if (!Dir.empty() && Dir[0] == '/') Out.push_back(std::move(Dir));
    if (End == std::string::npos) break;
    Start = End + 1;
  }
  return Out;
}

std::string UserFolder(Processes& Env, FolderRules Rules) {
  if (Rules == FolderRules::Linux) return LinuxConfigHome(Env) + "/" + kUserFolderLinux;
  const std::string AppData = Env.Environment("APPDATA");
  if (AppData.empty())
    throw RaisedError(ErrorNumber::PathNotFound, ProgramErrorSource,
                      "Cannot find the user's settings folder: APPDATA is not set");
  return AppData + "\\" + kUserFolderWindows;
}

}  // namespace

AppFiles LocateAppFiles(FileSystem& Files, Processes& Env, FolderRules Rules) {
  const std::string Sep = Files.Separator();
  const std::string App = Files.ApplicationFolder();
  AppFiles Out;
  Out.Portable = Rules == FolderRules::Linux ? Files.Exists(App + Sep + kSettingsName)
                                             : Files.CanCreateIn(App);
  const std::string SettingsFolder = Out.Portable ? App : UserFolder(Env, Rules);
  Out.SettingsFile = SettingsFolder + Sep + kSettingsName;
  Out.ListFile = SettingsFolder + Sep + "list.txt";

  Out.PlaceholderTried.push_back(App + Sep + "dummy.bmp");
  // Installed under any prefix, the data sits at ../share relative to the executable.
  if (Rules == FolderRules::Linux)
    Out.PlaceholderTried.push_back(ParentOf(App, Sep) + "/share/pictrane-converter/dummy.bmp");
  Out.Placeholder = Out.PlaceholderTried.front();
  for (const std::string& Candidate : Out.PlaceholderTried) {
    if (Files.Exists(Candidate)) {
      Out.Placeholder = Candidate;
      break;
    }
  }
  return Out;
}

void PrepareSettings(FileSystem& Files, Processes& Env, FolderRules Rules,
                     const AppFiles& Located) {
  if (Located.Portable || Files.Exists(Located.SettingsFile)) return;

  const std::string Sep = Files.Separator();
  const std::string App = Files.ApplicationFolder();
  Files.CreateUserFolder(ParentOf(Located.SettingsFile, Sep));

  std::vector<std::string> Seeds;
  if (Rules == FolderRules::Linux) {
    for (const std::string& Dir : LinuxConfigDirs(Env))
      Seeds.push_back(Dir + "/" + kUserFolderLinux + "/" + kSettingsName);
  } else {
    // Whatever an administrator left beside the program is where every user starts.
    Seeds.push_back(App + Sep + kSettingsName);
  }
  for (const std::string& Seed : Seeds) {
    if (Files.Exists(Seed)) {
      Files.ReplaceContent(Located.SettingsFile, Files.ReadAll(Seed));
      return;
    }
  }
  if (Rules == FolderRules::Linux) {
    Files.ReplaceContent(Located.SettingsFile, "[Settings]\r\nScreenCapturePath=" + App + "/" +
                                                   kCaptureToolName + "\r\n");
  }
}

}  // namespace pictrane
