// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup/modXPThemes.h"

namespace pictrane {

void InitThemes(CommonControls& Controls) {
  // Every group, from list views to the pager.
  Controls.InitCommonControlsEx(CommonControlsRecord{});
}

}  // namespace pictrane
