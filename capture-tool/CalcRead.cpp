// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalcRead.h"

#include <QFileInfo>
#include <memory>
#include <mutex>

#include "PicLayout.h"
#include "TiLibraries.h"
#include "platform/RaisedError.h"

namespace pictrane::capture {

namespace {

constexpr const char* kSource = "pictrane-capture";
constexpr std::uint8_t kPictureType = 0x10;

struct ContentDeleter {
  void operator()(FileContent* Content) const { tifiles_content_delete_regular(Content); }
};

[[noreturn]] void Refuse(const std::string& Path, const std::string& Why) {
  throw RaisedError(ErrorNumber::PathFileAccessError, kSource, Path + ": " + Why);
}

bool ModelOf(CalcModel Model, CalcModelId& Id) {
  switch (Model) {
    case CALC_TI89:
    case CALC_TI89T:
    case CALC_TI89T_USB:
      Id = CalcModelId::Ti89;
      return true;
    case CALC_TI92:
      Id = CalcModelId::Ti92;
      return true;
    case CALC_TI92P:
      Id = CalcModelId::Ti92Plus;
      return true;
    case CALC_V200:
      Id = CalcModelId::Voyage200;
      return true;
    default:
      return false;
  }
}

std::string Utf8Name(CalcModel Model, const char* Name) {
  char* Converted = ticonv_varname_to_utf8(Model, Name, kPictureType);
  if (Converted == nullptr) return Name;
  std::string Result(Converted);
  ticonv_utf8_free(Converted);
  return Result;
}

unsigned WordAt(const std::vector<std::uint8_t>& Data, std::size_t At) {
  return (static_cast<unsigned>(Data[At]) << 8) | Data[At + 1];
}

}  // namespace

std::vector<StoredPicture> ReadCalcPictures(const std::string& Path) {
  static std::once_flag Once;
  std::call_once(Once, [] { tifiles_library_init(); });
  if (!QFileInfo(QString::fromStdString(Path)).isFile()) Refuse(Path, "no such file");
  if (tifiles_file_is_regular(Path.c_str()) == 0) {
    Refuse(Path, "not a calculator picture or group file");
  }
  std::unique_ptr<FileContent, ContentDeleter> Content(tifiles_content_create_regular(CALC_NONE));
  if (!Content) Refuse(Path, "out of memory");
  if (tifiles_file_read_regular(Path.c_str(), Content.get()) != 0) {
    Refuse(Path, "the file is damaged or not a calculator file");
  }
  CalcModelId Model{};
  if (!ModelOf(Content->model, Model)) {
    Refuse(Path, "not a TI-89, TI-92, TI-92 Plus or Voyage 200 file");
  }
  const bool Group = tifiles_file_is_group(Path.c_str()) != 0;
  std::vector<StoredPicture> Pictures;
  for (unsigned I = 0; I < Content->num_entries; ++I) {
    const VarEntry* Entry = Content->entries[I];
    if (Entry == nullptr || Entry->type != kPictureType || Entry->data == nullptr) continue;
    StoredPicture Each;
    Each.Model = Model;
    Each.Name = Utf8Name(Content->model, Entry->name);
    Each.Folder = Utf8Name(Content->model, Entry->folder);
    Each.PicData.assign(Entry->data, Entry->data + Entry->size);
    Each.InGroup = Group;
    Pictures.push_back(std::move(Each));
  }
  if (Pictures.empty()) Refuse(Path, "the file holds no picture");
  return Pictures;
}

MonoPicture DecodePic(const std::vector<std::uint8_t>& PicData) {
  const auto Bad = [] {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource,
                      "The variable is not a valid picture.");
  };
  if (PicData.size() < 7) Bad();
  const unsigned Size = WordAt(PicData, 0);
  const unsigned Height = WordAt(PicData, 2);
  const unsigned Width = WordAt(PicData, 4);
  const std::size_t RowBytes = (Width + 7) / 8;
  if (Width == 0 || Height == 0 || Size + 2 > PicData.size() ||
      6 + Height * RowBytes > PicData.size()) {
    Bad();
  }
  MonoPicture Picture;
  Picture.Width = static_cast<int>(Width);
  Picture.Height = static_cast<int>(Height);
  Picture.Dark.resize(static_cast<std::size_t>(Width) * Height);
  for (std::size_t Y = 0; Y < Height; ++Y) {
    for (std::size_t X = 0; X < Width; ++X) {
      const std::uint8_t Byte = PicData[6 + Y * RowBytes + X / 8];
      Picture.Dark[Y * Width + X] = static_cast<std::uint8_t>((Byte >> (7 - X % 8)) & 1u);
    }
  }
  return Picture;
}

}  // namespace pictrane::capture
