// SPDX-License-Identifier: GPL-3.0-or-later
// The neutral enums reach the system as the numbers it documents for them.

#include "Win32TestSupport.h"

#include "pictrane/win32/Errors.h"
#include "win32/Translations.h"

namespace pictrane::win32::testing {
namespace {

TEST(Translations, WindowStatesAndIconsUseTheSystemsNumbers) {
  // Literal numbers on purpose: a swapped or missing case changes what users see.
  EXPECT_EQ(ShowWindowCommand(WindowState::MinimizedNoFocus), 6);
  EXPECT_EQ(ShowWindowCommand(WindowState::MaximizedFocus), 3);
  const std::pair<MessageIcon, UINT> Icons[] = {{MessageIcon::None, 0},
                                                {MessageIcon::Critical, 16},
                                                {MessageIcon::Question, 32},
                                                {MessageIcon::Exclamation, 48},
                                                {MessageIcon::Information, 64}};
  for (const auto& [Icon, Flags] : Icons) EXPECT_EQ(MessageBoxIcon(Icon), Flags);
}

TEST(Translations, CommonControlsAskForEachGroupAlone) {
  EXPECT_EQ(CommonControlsInit(CommonControlsRecord{}).dwICC, 0x1FFFu);
  EXPECT_EQ(CommonControlsInit(CommonControlsRecord{}).dwSize, 8u);
  const std::pair<bool CommonControlsRecord::*, DWORD> Groups[] = {
      {&CommonControlsRecord::Standard, 0xFF},     {&CommonControlsRecord::Dates, 0x100},
      {&CommonControlsRecord::ComboBoxEx, 0x200},  {&CommonControlsRecord::Rebars, 0x400},
      {&CommonControlsRecord::IpAddresses, 0x800}, {&CommonControlsRecord::Pagers, 0x1000}};
  for (const auto& [Group, Bits] : Groups) {
    CommonControlsRecord Record{false, false, false, false, false, false};
    Record.*Group = true;
    EXPECT_EQ(CommonControlsInit(Record).dwICC, Bits);
  }
}

TEST(Translations, SystemErrorsGetTheNumbersUsersKnow) {
  struct Case {
    DWORD Code;
    int File;
    int Start;
  };
  const Case Cases[] = {
      {ERROR_FILE_NOT_FOUND, ErrorNumber::FileNotFound, ErrorNumber::FileNotFound},
      {ERROR_PATH_NOT_FOUND, ErrorNumber::PathNotFound, ErrorNumber::FileNotFound},
      {ERROR_INVALID_DRIVE, ErrorNumber::PathNotFound, ErrorNumber::InvalidProcedureCall},
      {ERROR_SHARING_VIOLATION, ErrorNumber::PermissionDenied, ErrorNumber::InvalidProcedureCall},
      {ERROR_ACCESS_DENIED, ErrorNumber::PathFileAccessError, ErrorNumber::InvalidProcedureCall},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(FileErrorNumber(C.Code), C.File) << C.Code;
    EXPECT_EQ(StartErrorNumber(C.Code), C.Start) << C.Code;
  }
}

}  // namespace
}  // namespace pictrane::win32::testing
