// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/CalcRead.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

#include "calc/PicLayout.h"
#include "calc/TiLibraries.h"
#include "pictrane/Names.h"
#include "pictrane/RaisedError.h"

namespace pictrane::capture {

namespace {

constexpr const char* kSource = "pictrane-capture";
constexpr const char* kDamaged = "the file is damaged or cut short";

struct ContentDeleter {
  void operator()(FileContent* Content) const { tifiles_content_delete_regular(Content); }
};

using ContentPointer = std::unique_ptr<FileContent, ContentDeleter>;

std::string OtherModel() {
  return "not a " + NameList() + " file";
}

[[noreturn]] void Refuse(const std::string& Path, const std::string& Why) {
  throw RaisedError(ErrorNumber::PathFileAccessError, kSource, EscapedName(Path) + ": " + Why);
}

void EnsureReaderReady() {
  EnsureLibraryReady();
  static std::once_flag Once;
  std::call_once(Once, [] {
    // The library's own complaints about a file it cannot read; the line naming the file says
    // why in plain words.
    g_log_set_handler(
        "tifiles", static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING),
        [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
  });
}

// The first bytes of a calculator file that is cut short: nothing at all, or the start of a
// signature we read.
bool StartsLikeCalcFile(int Fd) {
  std::array<char, 8> Start{};
  ssize_t Got = 0;
  do {
    Got = ::read(Fd, Start.data(), Start.size());
  } while (Got < 0 && errno == EINTR);
  if (Got < 0) return false;
  const std::string_view Read(Start.data(), static_cast<std::size_t>(Got));
  for (const CalcModelInfo& Row : CalcModels()) {
    if (std::string_view(Row.Signature).substr(0, Read.size()) == Read) return true;
  }
  return false;
}

bool ModelOf(CalcModel Model, CalcModelId& Id) {
  const CalcModelInfo* Row = ModelOfLibrary(Model);
  if (Row != nullptr) Id = Row->Id;
  return Row != nullptr;
}

// The whole file at Path as libtifiles reads it, from a calculator we know; Model says which.
ContentPointer ReadContent(const std::string& Path, CalcModelId& Model) {
  EnsureReaderReady();
  const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) Refuse(Path, "no such file");
    Refuse(Path, std::string("the file cannot be read (") + std::strerror(errno) + ")");
  }
  struct stat Status {};
  const bool Regular = ::fstat(Fd, &Status) == 0 && S_ISREG(Status.st_mode);
  const bool LooksCut = Regular && StartsLikeCalcFile(Fd);
  ::close(Fd);
  if (!Regular) Refuse(Path, "not a calculator picture or group file");
  if (tifiles_file_is_regular(Path.c_str()) == 0) {
    Refuse(Path, LooksCut ? kDamaged : "not a calculator picture or group file");
  }
  // The library picks its reader by the file's extension: only the readers of the calculators we
  // know are let run, which free the content themselves when they fail (the 68000 reader as
  // documented; the numbered models' reader does the same).
  if (!ModelOf(tifiles_file_get_model(Path.c_str()), Model)) {
    Refuse(Path, OtherModel());
  }
  ContentPointer Content(tifiles_content_create_regular(CALC_NONE));
  if (!Content) Refuse(Path, "out of memory");
  if (tifiles_file_read_regular(Path.c_str(), Content.get()) != 0) {
    static_cast<void>(Content.release());  // already freed by the library
    Refuse(Path, kDamaged);
  }
  // The colour calculators' files carry the numbered one-bit models' signature and read back as
  // theirs; their extension tells them apart.
  CalcModelId Read{};
  if (!ModelOf(Content->model, Read) ||
      (IsColour(Model) && std::string_view(InfoOf(Read).Signature) != InfoOf(Model).Signature)) {
    Refuse(Path, OtherModel());
  }
  if (!IsColour(Model)) Model = Read;
  // A file whose data no longer sums to what it says was changed after it was written.
  if (Content->checksum != Content->stored_checksum) Refuse(Path, kDamaged);
  return Content;
}

std::string Utf8Name(CalcModel Model, const char* Name, std::uint8_t Type) {
  char* Converted = ticonv_varname_to_utf8(Model, Name, Type);
  if (Converted == nullptr) return Name;
  std::string Result(Converted);
  ticonv_utf8_free(Converted);
  return Result;
}

}  // namespace

void CheckCalcFile(const std::string& Path) {
  CalcModelId Model{};
  ReadContent(Path, Model);
}

std::vector<StoredPicture> ReadCalcPictures(const std::string& Path) {
  CalcModelId Model{};
  const ContentPointer Content = ReadContent(Path, Model);
  const bool Group = tifiles_file_is_group(Path.c_str()) != 0;
  std::vector<StoredPicture> Pictures;
  for (unsigned I = 0; I < Content->num_entries; ++I) {
    const VarEntry* Entry = Content->entries[I];
    const VariableKind* Kind = Entry != nullptr ? KindOfType(Model, Entry->type) : nullptr;
    if (Kind == nullptr || Entry->data == nullptr) continue;
    const std::uint8_t Type = Kind->Type;
    StoredPicture Each;
    Each.Kind = static_cast<int>(Kind - InfoOf(Model).Kinds.data());
    Each.Model = Model;
    Each.Name = Utf8Name(Content->model, Entry->name, Type);
    Each.Folder = IsNumbered(Model) ? std::string() : Utf8Name(Content->model, Entry->folder, Type);
    Each.PicData.assign(Entry->data, Entry->data + Entry->size);
    // A picture whose header says more than its data holds lies about itself.
    if (!Kind->Holds(Each.PicData)) Refuse(Path, kDamaged);
    Each.InGroup = Group;
    Pictures.push_back(std::move(Each));
  }
  if (Pictures.empty()) Refuse(Path, "the file holds no picture");
  return Pictures;
}

MonoPicture DecodePic(const std::vector<std::uint8_t>& PicData, CalcModelId Model) {
  const VariableKind& Kind = KindOf(Model);
  if (Kind.Decode == nullptr || !Kind.Holds(PicData)) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource,
                      "The variable is not a valid one-bit picture.");
  }
  return Kind.Decode(PicData);
}

QImage ShownOf(const StoredPicture& Picture) {
  const VariableKind& Kind = KindOf(Picture.Model, Picture.Kind);
  if (!Kind.Holds(Picture.PicData)) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource,
                      "The variable is not a valid picture.");
  }
  return Kind.Show(Picture.PicData);
}

}  // namespace pictrane::capture
