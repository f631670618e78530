// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

namespace pictrane::capture::test {

MonoPicture Centred(const MonoPicture& Picture, PictureSize Size) {
  MonoPicture Whole{Size.Width, Size.Height,
                    std::vector<std::uint8_t>(static_cast<std::size_t>(Size.Width * Size.Height))};
  const int Left = (Size.Width - Picture.Width) / 2;
  const int Top = (Size.Height - Picture.Height) / 2;
  for (int Y = 0; Y < Picture.Height; ++Y) {
    for (int X = 0; X < Picture.Width; ++X) {
      Whole.Dark[static_cast<std::size_t>((Top + Y) * Size.Width + Left + X)] = Picture.At(X, Y);
    }
  }
  return Whole;
}

}  // namespace pictrane::capture::test
