// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/CommonControls.h"

namespace pictrane {

// Registers the common controls so the window takes the system's visual styles.
void InitThemes(CommonControls& Controls);

}  // namespace pictrane
