// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace pictrane {

// The program's name as users see it: window and message-box titles, the source of its errors.
inline constexpr const char* kAppTitle = "Pictrane Converter";

// The one section of settings.ini the program reads and writes.
inline constexpr const char* kSettingsSection = "Settings";

}  // namespace pictrane
