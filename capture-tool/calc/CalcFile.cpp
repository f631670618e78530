// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/CalcFile.h"

#include <sys/stat.h>

#include <cstring>
#include <set>
#include <memory>
#include <mutex>

#include "calc/CePictures.h"
#include "pictrane/CalcName.h"
#include "picture/FileWrite.h"
#include "calc/TiLibraries.h"
#include "pictrane/Names.h"
#include "pictrane/AtomicFile.h"
#include "pictrane/RaisedError.h"
#include "pictrane/Utf8.h"

namespace pictrane::capture {

namespace {

constexpr const char* kSource = "pictrane-capture";

// What a single-variable file holds besides the variable's data: header and entry table
// (0x52 bytes), the 4 zero bytes before the data, and the 2-byte checksum after it.
constexpr std::uint32_t kSingleFileOverhead = 0x52 + 4 + 2;
// A group file: its header, one table entry per folder and per variable, and around each
// variable's data the same 4 zero bytes and checksum.
constexpr std::uint32_t kGroupHeader = 0x42;
constexpr std::uint32_t kEntrySize = 0x10;
constexpr std::uint32_t kDataOverhead = 4 + 2;
// A numbered model's file: its header (0x37 bytes) and checksum, and each variable's entry (0x11).
constexpr std::uint32_t kZ80FileOverhead = 0x37 + 2;
constexpr std::uint32_t kZ80EntrySize = 0x11;

CalcModel ToLibraryModel(CalcModelId Model) {
  return static_cast<CalcModel>(InfoOf(Model).LibraryModel);
}

std::string LibraryErrorText(int Code) {
  char* Message = nullptr;
  std::string Text = "libtifiles error " + std::to_string(Code);
  if (tifiles_error_get(Code, &Message) == 0 && Message != nullptr) {
    Text = Message;
    tifiles_error_free(Message);
  }
  return Text;
}

struct ContentDeleter {
  void operator()(FileContent* Content) const { tifiles_content_delete_regular(Content); }
};

void CopyName(char* Destination, std::size_t Capacity, const std::string& Name) {
  if (Name.size() >= Capacity) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource, "The name is too long.");
  }
  std::memcpy(Destination, Name.c_str(), Name.size() + 1);
}

}  // namespace

void EnsureLibraryReady() {
  static std::once_flag Once;
  std::call_once(Once, [] { tifiles_library_init(); });
}

std::string ToCalcCharset(std::u32string_view Text) {
  const std::string Utf8 = ToUtf8(Text);
  unsigned short* Utf16 = ticonv_utf8_to_utf16(Utf8.c_str());
  if (Utf16 == nullptr) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource, "The name is not valid text.");
  }
  char* Converted = ticonv_charset_utf16_to_ti(CALC_TI89, Utf16);
  ticonv_utf16_free(Utf16);
  if (Converted == nullptr) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource,
                      "The name cannot be written in the calculator's characters.");
  }
  std::string Result(Converted);
  ticonv_ti_free(Converted);
  return Result;
}

namespace {

struct PreparedEntry {
  std::string Name;
  std::string Folder;
  const std::vector<std::uint8_t>* Data;
};

// A numbered picture's name as the calculator stores it: its token (ticonv), no folder.
PreparedEntry PrepareNumbered(const CalcPicture& Picture) {
  const CalcModelInfo& Info = InfoOf(Picture.Model);
  if (!IsNumberedPictureName(Picture.Name)) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource,
                      std::string("A ") + Info.Name + " picture is named Pic1 to Pic9 or Pic0.");
  }
  if (Picture.PicData.empty() || Picture.PicData.size() > 0xFFFFu) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource, "The picture data is not valid.");
  }
  const std::string Shown = "Pic" + std::string(1, static_cast<char>(Picture.Name.back()));
  char* Token = ticonv_varname_tokenize(ToLibraryModel(Picture.Model), Shown.c_str(),
                                        KindOf(Picture.Model).Type);
  if (Token == nullptr) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource, "The name cannot be written.");
  }
  std::string Name(Token);  // Pic1's token ends in the 0 byte that ends the text
  ticonv_varname_free(Token);
  return {Name, std::string(), &Picture.PicData};
}

PreparedEntry Prepare(const CalcPicture& Picture) {
  if (IsNumbered(Picture.Model)) return PrepareNumbered(Picture);
  if (!IsValidName(Picture.Name)) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource,
                      "The variable name is empty or not a valid calculator name.");
  }
  if (!IsValidName(Picture.Folder)) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource,
                      "The device folder is empty or not a valid calculator name.");
  }
  if (Picture.PicData.empty() || Picture.PicData.size() > 0xFFFFu + 2) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource, "The picture data is not valid.");
  }
  return {ToCalcCharset(LowerName(Picture.Name)), ToCalcCharset(LowerName(Picture.Folder)),
          &Picture.PicData};
}

// The writing itself, through a temporary file.
void WriteFilled(const std::string& Path, CalcModelId Model,
                 const std::vector<PreparedEntry>& Entries, off_t ExpectedSize) {
  WriteAtomically(
      Path,
      [&](const std::string& Temporary) {
        std::unique_ptr<FileContent, ContentDeleter> Content(
            tifiles_content_create_regular(ToLibraryModel(Model)));
        if (!Content)
          throw RaisedError(ErrorNumber::PathFileAccessError, kSource, "Out of memory.");
        for (const PreparedEntry& Each : Entries) {
          const auto DataSize = static_cast<std::uint32_t>(Each.Data->size());
          VarEntry* Entry = tifiles_ve_create_alloc_data(DataSize);
          if (Entry == nullptr || Entry->data == nullptr) {
            if (Entry != nullptr) tifiles_ve_delete(Entry);
            throw RaisedError(ErrorNumber::PathFileAccessError, kSource, "Out of memory.");
          }
          tifiles_content_add_entry(Content.get(), Entry);  // the content owns the entry from here
          std::memcpy(Entry->data, Each.Data->data(), DataSize);
          Entry->size = DataSize;
          Entry->type = KindOf(Model).Type;
          Entry->attr = ATTRB_NONE;
          CopyName(Entry->name, sizeof(Entry->name), Each.Name);
          CopyName(Entry->folder, sizeof(Entry->folder), Each.Folder);
        }
        std::strncpy(Content->comment, "Pictrane Capture", sizeof(Content->comment) - 1);

        const int Result = tifiles_file_write_regular(Temporary.c_str(), Content.get(), nullptr);
        if (Result != 0) {
          throw RaisedError(
              ErrorNumber::PathFileAccessError, kSource,
              "Cannot write " + EscapedName(Path) + ": " + LibraryErrorText(Result) + ".");
        }
        // The library does not check that its buffered writes reached the disk; a full disk shows
        // as a short file.
        struct stat Written {};
        if (stat(Temporary.c_str(), &Written) != 0 || Written.st_size != ExpectedSize) {
          throw RaisedError(ErrorNumber::PathFileAccessError, kSource,
                            "Cannot write " + EscapedName(Path) + ": the file is incomplete.");
        }
      },
      kSource);
}

// Writes Entries as one file through libtifiles: a single-variable file for one entry, a group
// file for more. ExpectedSize is what a complete file measures.
void WriteEntries(const std::string& Path, CalcModelId Model,
                  const std::vector<PreparedEntry>& Entries, off_t ExpectedSize) {
  RefuseUnreplaceable(Path);
  WriteNamingFullDisk(Path, ExpectedSize, [&] { WriteFilled(Path, Model, Entries, ExpectedSize); });
}

}  // namespace

bool IsCalcFile(const std::string& Path) {
  EnsureLibraryReady();
  struct stat Status {};
  return ::stat(Path.c_str(), &Status) == 0 && S_ISREG(Status.st_mode) &&
         tifiles_file_is_ti(Path.c_str()) != 0;
}

bool HoldsOtherFile(const std::string& Path) {
  struct stat Status {};
  return ::stat(Path.c_str(), &Status) == 0 && !IsCalcFile(Path);
}

std::u32string NumberedPictureName(int Index, std::u32string_view Stem) {
  return std::u32string(Stem) + std::u32string(1, static_cast<char32_t>(U'0' + (Index + 1) % 10));
}

bool IsNumberedPictureName(std::u32string_view Name, std::u32string_view Stem) {
  if (Name.size() != Stem.size() + 1 || Name.back() < U'0' || Name.back() > U'9') return false;
  return LowerName(std::u32string(Name.substr(0, Stem.size()))) == LowerName(std::u32string(Stem));
}

std::u32string StemOf(std::u32string_view Name) {
  if (Name.size() < 2 || Name.back() < U'0' || Name.back() > U'9') return {};
  return std::u32string(Name.substr(0, Name.size() - 1));
}

void WriteCalcPicture(const std::string& Path, const CalcPicture& Picture) {
  EnsureLibraryReady();
  if (IsColour(Picture.Model)) {
    const VariableKind& Kind = KindOf(Picture.Model, Picture.Kind);
    // A numbered name in any case as the calculator spells it: its stem, then the digit (any
    // other name is refused by the writer).
    const std::u32string Stem(Kind.Stem, Kind.Stem + std::strlen(Kind.Stem));
    const std::u32string Name =
        IsNumberedPictureName(Picture.Name, Stem) ? Stem + Picture.Name.back() : Picture.Name;
    WriteCeVariable(Path, {ToUtf8(Name), Kind.Type, Picture.PicData});
    return;
  }
  const PreparedEntry Entry = Prepare(Picture);
  const std::uint32_t Overhead =
      IsNumbered(Picture.Model) ? kZ80FileOverhead + kZ80EntrySize : kSingleFileOverhead;
  WriteEntries(Path, Picture.Model, {Entry}, static_cast<off_t>(Overhead + Picture.PicData.size()));
}

void WriteCalcGroup(const std::string& Path, CalcModelId Model,
                    const std::vector<CalcPicture>& Pictures) {
  if (KindOf(Model).GroupExtension == nullptr) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource,
                      "The tool writes no group files of these pictures.");
  }
  if (Pictures.empty()) {
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource, "The group holds no pictures.");
  }
  EnsureLibraryReady();
  std::vector<PreparedEntry> Entries;
  std::set<std::string> Folders;
  std::set<std::pair<std::string, std::string>> Names;
  off_t Size = kGroupHeader;
  for (const CalcPicture& Picture : Pictures) {
    Entries.push_back(Prepare(Picture));
    if (!Names.insert({Entries.back().Folder, Entries.back().Name}).second) {
      throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource,
                        "Two pictures of the group have the same name.");
    }
    Folders.insert(Entries.back().Folder);
    Size += static_cast<off_t>(kEntrySize + kDataOverhead + Picture.PicData.size());
  }
  Size += static_cast<off_t>(kEntrySize * Folders.size());
  if (IsNumbered(Model)) {
    Size = kZ80FileOverhead;
    for (const CalcPicture& Picture : Pictures)
      Size += static_cast<off_t>(kZ80EntrySize + Picture.PicData.size());
  } else if (Pictures.size() == 1) {
    Size = static_cast<off_t>(kSingleFileOverhead + Pictures[0].PicData.size());
  }
  WriteEntries(Path, Model, Entries, Size);
}

void RefuseUnreplaceable(const std::string& Path) {
  // The replacement would keep the old file's mode and could not be filled through its name.
  struct stat Old {};
  if (::stat(Path.c_str(), &Old) == 0 && S_ISREG(Old.st_mode) && (Old.st_mode & S_IWUSR) == 0) {
    throw RaisedError(
        ErrorNumber::PermissionDenied, kSource,
        "Cannot write " + EscapedName(Path) + ": the existing picture is write-protected.");
  }
  if (HoldsOtherFile(Path)) {
    throw RaisedError(ErrorNumber::PermissionDenied, kSource,
                      "Cannot write " + EscapedName(Path) + ": " + kOtherFileText + ".");
  }
}

}  // namespace pictrane::capture
