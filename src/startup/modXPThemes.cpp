#include "modXPThemes.h"

namespace pictrane {

void InitThemes(CommonControls& Controls) {
  // Size 8 and every class from list views to the pager.
  Controls.InitCommonControlsEx(CommonControlsRecord{8, 0x1FFF});
}

}  // namespace pictrane
