#include "AppFolders.h"

#include "../platform/RaisedError.h"

namespace pictrane {

namespace {

constexpr const char* kSettingsName = "settings.ini";

std::string ParentOf(const std::string& Folder, const std::string& Sep) {
  const std::size_t cut = Folder.rfind(Sep);
  if (cut == std::string::npos || cut == 0) return Sep;
  return Folder.substr(0, cut);
}

// The XDG base-directory rules: a relative value is ignored as if unset.
std::string LinuxConfigHome(FileSystem& Files) {
  const std::string configured = Files.Environment("XDG_CONFIG_HOME");
  if (!configured.empty() && configured[0] == '/') return configured;
  const std::string home = Files.Environment("HOME");
  if (home.empty() || home[0] != '/')
    throw RaisedError(ErrorNumber::PathNotFound, ProgramErrorSource,
                      "Cannot find the user's settings folder: neither XDG_CONFIG_HOME nor HOME "
                      "names an absolute folder");
  return home + "/.config";
}

std::vector<std::string> LinuxConfigDirs(FileSystem& Files) {
  std::string dirs = Files.Environment("XDG_CONFIG_DIRS");
  if (dirs.empty()) dirs = "/etc/xdg";
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = dirs.find(':', start);
    std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
    if (!dir.empty() && dir[0] == '/') out.push_back(std::move(dir));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

std::string UserFolder(FileSystem& Files, FolderRules Rules) {
  if (Rules == FolderRules::Linux) return LinuxConfigHome(Files) + "/" + kUserFolderLinux;
  const std::string appData = Files.Environment("APPDATA");
  if (appData.empty())
    throw RaisedError(ErrorNumber::PathNotFound, ProgramErrorSource,
                      "Cannot find the user's settings folder: APPDATA is not set");
  return appData + "\\" + kUserFolderWindows;
}

}  // namespace

FolderRules RulesFor(FileSystem& Files) {
  return Files.Separator() == "\\" ? FolderRules::Windows : FolderRules::Linux;
}

AppFiles LocateAppFiles(FileSystem& Files, FolderRules Rules) {
  const std::string sep = Files.Separator();
  const std::string app = Files.ApplicationFolder();
  AppFiles out;
  out.Portable = Rules == FolderRules::Linux ? Files.Exists(app + sep + kSettingsName)
                                             : Files.CanCreateIn(app);
  const std::string settingsFolder = out.Portable ? app : UserFolder(Files, Rules);
  out.SettingsFile = settingsFolder + sep + kSettingsName;
  out.ListFile = settingsFolder + sep + "list.txt";

  out.PlaceholderTried.push_back(app + sep + "dummy.bmp");
  // Installed under any prefix, the data sits at ../share relative to the executable.
  if (Rules == FolderRules::Linux)
    out.PlaceholderTried.push_back(ParentOf(app, sep) + "/share/pictrane-converter/dummy.bmp");
  out.Placeholder = out.PlaceholderTried.front();
  for (const std::string& candidate : out.PlaceholderTried) {
    if (Files.Exists(candidate)) {
      out.Placeholder = candidate;
      break;
    }
  }
  return out;
}

void PrepareSettings(FileSystem& Files, FolderRules Rules, const AppFiles& Located) {
  if (Located.Portable || Files.Exists(Located.SettingsFile)) return;

  const std::string sep = Files.Separator();
  const std::string app = Files.ApplicationFolder();
  Files.CreateUserFolder(ParentOf(Located.SettingsFile, sep));

  std::vector<std::string> seeds;
  if (Rules == FolderRules::Linux) {
    for (const std::string& dir : LinuxConfigDirs(Files))
      seeds.push_back(dir + "/" + kUserFolderLinux + "/" + kSettingsName);
  } else {
    // Whatever an administrator left beside the program is where every user starts.
    seeds.push_back(app + sep + kSettingsName);
  }
  for (const std::string& seed : seeds) {
    if (Files.Exists(seed)) {
      Files.ReplaceContent(Located.SettingsFile, Files.ReadAll(seed));
      return;
    }
  }
  if (Rules == FolderRules::Linux) {
    Files.ReplaceContent(Located.SettingsFile,
                   "[Settings]\r\nScreenCapturePath=" + app + "/" + kCaptureToolName + "\r\n");
  }
}

}  // namespace pictrane
