#pragma once

#include <functional>
#include <string>

namespace pictrane::capture {

// Writes Path in one step as others see it: Write fills a new temporary file beside Path (a
// hidden name in the same folder, so the final rename cannot cross file systems), which then
// replaces Path. A reader therefore finds either no file or a complete one, never a half-written
// one. When Write throws, or the temporary cannot be made or renamed, the temporary is removed and
// a RaisedError describes the failure; Path is left as it was.
void WriteAtomically(const std::string& Path, const std::function<void(const std::string&)>& Write);

}  // namespace pictrane::capture
