// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace pictrane {

// The groups of the system's common controls the window asks to have registered before it is
// built. Each back end knows what, if anything, a group means to it.
struct CommonControlsRecord {
  bool Standard = true;  // list and tree views, bars, tabs, tooltips, progress, hot keys
  bool Dates = true;     // date and time pickers, month calendars
  bool ComboBoxEx = true;
  bool Rebars = true;
  bool IpAddresses = true;
  bool Pagers = true;
};

class CommonControls {
 public:
  virtual ~CommonControls() = default;
  // The result is of no use to the caller: without the newer controls the window still works.
  virtual void InitCommonControlsEx(const CommonControlsRecord& Record) = 0;
};

}  // namespace pictrane
