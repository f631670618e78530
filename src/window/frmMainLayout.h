#pragma once

#include "../platform/Form.h"

namespace pictrane {

// The main window as data: every toolkit builds it from this one table.
const FormLayout& frmMainLayout();

}  // namespace pictrane
