// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace pictrane {

// Writes Path in one step as others see it: Write fills a new temporary file beside Path (a short
// hidden name in the same folder, created exclusively, so the final rename cannot cross file
// systems and no planted name or link is ever followed), which then replaces Path. A reader
// therefore finds either no file or a complete one, never a half-written one. The new file keeps
// the mode of the file it replaces (a new one gets the usual mode for new files). When Write
// throws, or the temporary cannot be made, written or renamed (a full disk included), the
// temporary is removed and a RaisedError from Source describes the failure; Path is left as it
// was.
void WriteAtomically(const std::string& Path, const std::function<void(const std::string&)>& Write,
                     const std::string& Source);

// The same for a file whose whole content is Bytes, written through the handle the temporary was
// created with rather than by opening its name again.
void WriteFileAtomically(const std::string& Path, std::string_view Bytes,
                         const std::string& Source);

// Removes from Folder the temporaries that writes like the ones above left behind when the process
// was killed mid-write: ordinary files of this user named as this file's temporaries are, last
// written more than MinAge ago, so that no running write can still own one. Every other name, a
// link, a folder and a younger temporary stay; what cannot be removed stays too, without a word.
void RemoveStaleTemporaries(const std::string& Folder,
                            std::chrono::seconds MinAge = std::chrono::hours(24));

}  // namespace pictrane
