// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include <QFile>

#include "calc/TiLibraries.h"

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

QImage Photo() {
  QImage Image(200, 120, QImage::Format_RGB32);
  for (int Y = 0; Y < 120; ++Y) {
    for (int X = 0; X < 200; ++X) {
      const int V = (X + Y) % 256;
      Image.setPixel(X, Y, X == Y ? qRgb(0, 0, 0) : qRgb(V, 255 - V / 2, V / 3));
    }
  }
  return Image;
}

std::vector<GroupEntry> ReadGroup(const QString& Path, int& Model) {
  std::vector<GroupEntry> Entries;
  FileContent* Content = tifiles_content_create_regular(CALC_TI89);
  if (tifiles_file_read_regular(QFile::encodeName(Path).constData(), Content) != 0) return Entries;
  Model = Content->model;
  for (unsigned I = 0; I < Content->num_entries; ++I) {
    const VarEntry* E = Content->entries[I];
    Entries.push_back({E->name, E->folder, std::vector<std::uint8_t>(E->data, E->data + E->size)});
  }
  tifiles_content_delete_regular(Content);
  return Entries;
}

}  // namespace pictrane::capture::test
