// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a conversion run tells the user at its end: why it stopped, how many bitmaps were
// converted, and each list of bitmaps left for the user with what to do about them.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "conversion/FileScript.h"
#include "conversion/ToolRemarks.h"
#include "platform/FileSystem.h"
#include "platform/KeyInjector.h"

namespace pictrane {

// One listed bitmap on its way through the run.
struct ListedBitmap {
  enum class State { NotReached, Interrupted, Disturbed, Sent, Converted, NoPicture, Unfinished };
  std::string Listed;
  FileNames Names;
  std::optional<FileStamp> Bitmap;  // the bitmap as it was when its keys were sent
  std::optional<FileStamp> Before;  // the target as it was before this bitmap's keys
  std::optional<FileStamp> Last;    // the target at the previous look, when it looked right
  bool Delete = false;
  bool Changed = false;  // converted, but the bitmap is no longer the file whose keys were sent
  FileRemarks Remarks;   // what the tool said about it, where it can tell us
  State Now = State::NotReached;
};

// How the run ended, as the report's first line tells it.
struct RunEnd {
  bool FocusWasLost = false;
  KeysOutcome LostBy = KeysOutcome::Sent;
  bool ToolEnded = false;
  bool CloseKeysTaken = false;  // the close keys went, undisturbed
  bool WasStopped = false;
  bool WasCancelled = false;
  std::string Failure;
};

// Names one a line, each line begun with a line break, the first twenty and how many more.
std::string NameList(const std::vector<std::string>& Names);

// The box's text, with the bitmaps in the order of the run; nothing when a complete run has
// nothing to add to the desktop notification that says so.
std::optional<std::string> ReportText(const std::vector<ListedBitmap>& Bitmaps,
                                      const std::vector<std::string>& LeftOut,
                                      const std::vector<std::string>& NotDeleted,
                                      std::size_t Converted, const RunEnd& End, bool Complete);

}  // namespace pictrane
