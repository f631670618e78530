// SPDX-License-Identifier: GPL-3.0-or-later
// The capture tool's calculator-file reader on arbitrary bytes, as a cut or lying picture or group
// file of any model holds them: reading one gives pictures that show (and, one-bit, decode) or
// refuses with a message that names the file, never a signal or a sanitizer report (the library's
// content is freed once, by whoever owns it).

#include <unistd.h>

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "calc/CalcRead.h"
#include "calc/Models.h"
#include "pictrane/Names.h"
#include "pictrane/RaisedError.h"

namespace {

void Check(bool Condition) {
  if (!Condition) std::abort();
}

// A folder of this process's own for the file the library reads by name.
const std::string& Folder() {
  static const std::string Made = [] {
    const char* Base = std::getenv("TMPDIR");
    std::string Template = std::string(Base != nullptr ? Base : "/tmp") + "/fuzz-calc-XXXXXX";
    Check(::mkdtemp(Template.data()) != nullptr);
    return Template;
  }();
  return Made;
}

void CheckRefusal(const pictrane::RaisedError& Error, const std::string& Path) {
  const std::string Named = pictrane::EscapedName(Path) + ": ";
  Check(Error.Description.compare(0, Named.size(), Named) == 0);
  Check(Error.Description.size() > Named.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  // The first byte picks the extension, which picks the library's reader: a picture or a group
  // of each model.
  static const char* const kExtensions[] = {"89i", "89g", "9xi", "9xg", "v2i", "v2g",
                                            "92i", "92g", "8xi", "8ci", "8ca"};
  if (Size == 0) return 0;
  const std::string Path = Folder() + "/file." + kExtensions[Data[0] % std::size(kExtensions)];
  {
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Data + 1), static_cast<std::streamsize>(Size - 1));
    Check(Out.good());
  }
  try {
    pictrane::capture::CheckCalcFile(Path);
  } catch (const pictrane::RaisedError& Error) {
    CheckRefusal(Error, Path);
  }
  try {
    for (const pictrane::capture::StoredPicture& Each : pictrane::capture::ReadCalcPictures(Path)) {
      // Every picture returned shows, in colour or not: one whose data lies about itself refuses
      // the file.
      const QImage Shown = pictrane::capture::ShownOf(Each);
      Check(!Shown.isNull() && Shown.width() > 0 && Shown.height() > 0);
      if (pictrane::capture::IsColour(Each.Model)) continue;
      const pictrane::capture::MonoPicture Picture =
          pictrane::capture::DecodePic(Each.PicData, Each.Model);
      Check(Picture.Width > 0 && Picture.Height > 0 &&
            Picture.Dark.size() == static_cast<std::size_t>(Picture.Width) * Picture.Height);
    }
  } catch (const pictrane::RaisedError& Error) {
    CheckRefusal(Error, Path);
  }
  return 0;
}
