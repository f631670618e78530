// SPDX-License-Identifier: GPL-3.0-or-later
// Uses the core as a parent project would: settings written and read back through the system's
// profile store (the system's part that comes with the core), and a run-time error's text.

#include <cstdio>
#include <string>

#include "pictrane/RaisedError.h"
#include "settings/clsINI.h"
#include "startup/modMain.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: subproject_check FOLDER\n");
    return 2;
  }
  using namespace pictrane;
  clsINI Settings;
  Settings.INIFile(std::string(argv[1]) + "/subproject.ini");
  Settings.WriteValue(kSettingsSection, "LastDir", "/pictures");
  const std::string Read = Settings.ReadValue(kSettingsSection, "LastDir");
  const std::string Text =
      RunTimeErrorText(RaisedError(ErrorNumber::FileNotFound, ProgramErrorSource, "gone"));
  if (Read != "/pictures" || Text != "Run-time error '53':\r\n\r\ngone") {
    std::fprintf(stderr, "subproject_check: the core answered \"%s\"\n", Read.c_str());
    return 1;
  }
  std::printf("pictrane_core works inside another project\n");
  return 0;
}
