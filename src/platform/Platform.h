// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"
#include "platform/CommonControls.h"
#include "platform/FileSystem.h"
#include "platform/FolderDialog.h"
#include "platform/Form.h"
#include "platform/Listing.h"
#include "platform/Processes.h"
#include "platform/Progress.h"
#include "platform/ProfileStore.h"
#include "platform/WindowSystem.h"

namespace pictrane {

// Every operating-system service the program uses, one interface per group.
struct Platform {
  // Each member is named after its type, so the type needs its namespace here.
  pictrane::ProfileStore& ProfileStore;
  pictrane::Clock& Clock;
  pictrane::CommonControls& CommonControls;
  pictrane::FolderDialog& FolderDialog;
  pictrane::WindowSystem& WindowSystem;
  pictrane::Processes& Processes;
  pictrane::FileSystem& FileSystem;
  pictrane::DirectoryListing& DirectoryListing;
  pictrane::FormFactory& FormFactory;
  pictrane::RunProgress& RunProgress;
  pictrane::DesktopNotifier& DesktopNotifier;
};

}  // namespace pictrane
