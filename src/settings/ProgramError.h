#pragma once

namespace pictrane {

// The source the program's own (platform-numbered) errors carry, as opposed to a class's errors
// such as clsINI's.
inline constexpr const char* ProgramErrorSource = "Pictrane Converter";

}  // namespace pictrane
