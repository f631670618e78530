// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictrane/Remarks.h"

#include "pictrane/Names.h"

namespace pictrane {

std::string RemarkLine(const std::string& Path, const std::string& Message) {
  std::string Line = EscapedName(Path) + ": ";
  for (const char C : Message) Line += C == '\r' || C == '\n' ? ' ' : C;
  return Line;
}

}  // namespace pictrane
