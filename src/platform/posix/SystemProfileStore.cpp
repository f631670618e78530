// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Platform.h"
#include "settings/IniFileStore.h"

namespace pictrane {

// Systems without profile functions of their own get the file-based engine.
ProfileStore& SystemProfileStore() {
  static IniFileStore Store;
  return Store;
}

}  // namespace pictrane
