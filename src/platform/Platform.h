#pragma once

#include "Clock.h"
#include "CommonControls.h"
#include "FileSystem.h"
#include "FolderDialog.h"
#include "Form.h"
#include "Listing.h"
#include "Processes.h"
#include "Progress.h"
#include "Profile.h"
#include "WindowSystem.h"

namespace pictrane {

// Every operating-system service the program uses, one interface per group.
struct Platform {
  ProfileStore& Profile;
  Clock& Time;
  CommonControls& Controls;
  FolderDialog& Folders;
  WindowSystem& Windows;
  Processes& Programs;
  FileSystem& Files;
  DirectoryListing& Listing;
  FormFactory& Forms;
  RunProgress& Progress;
  DesktopNotifier& Notices;
};

// The profile functions of the system the program runs on.
ProfileStore& SystemProfileStore();

}  // namespace pictrane
