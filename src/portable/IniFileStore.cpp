// SPDX-License-Identifier: GPL-3.0-or-later
#include "portable/IniFileStore.h"

#include <cerrno>
#include <fstream>
#include <ios>
#include <string_view>
#include <system_error>
#include <utility>

#include "pictrane/AtomicFile.h"
#include "pictrane/RaisedError.h"
#include "pictrane/Utf8.h"
#include "portable/ExistenceTest.h"

namespace pictrane {

namespace {

namespace fs = std::filesystem;

// Why the file cannot be written, or "" when it can.
std::string WriteRefusal(const fs::path& File, fs::perms Perms) {
  constexpr fs::perms AnyWrite =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if ((Perms & AnyWrite) == fs::perms::none) return "the file is read-only.";
  // Opening for appending writes nothing, but fails where the system would refuse a write.
  errno = 0;
  std::ofstream Probe(File, std::ios::binary | std::ios::app);
  if (Probe.is_open()) return {};
  const int Cause = errno;
  return "the file cannot be opened for writing (" +
         (Cause != 0 ? std::generic_category().message(Cause) : std::string("no reason given")) +
         ").";
}

constexpr std::string_view Utf16Mark = "\xFF\xFE";

// The UTF-16LE text after the byte order mark as UTF-8. An unpaired surrogate keeps its own
// three-byte form, so that it goes back into the file as it came. Bytes has an even size.
std::string FromUtf16(std::string_view Bytes) {
  std::string Text;
  Text.reserve(Bytes.size());
  auto Unit = [&](std::size_t I) {
    return static_cast<char32_t>(static_cast<unsigned char>(Bytes[I]) |
                                 static_cast<unsigned char>(Bytes[I + 1]) << 8);
  };
  for (std::size_t I = 0; I < Bytes.size(); I += 2) {
    char32_t C = Unit(I);
    if (C >= 0xD800 && C < 0xDC00 && I + 3 < Bytes.size()) {
      const char32_t Low = Unit(I + 2);
      if (Low >= 0xDC00 && Low < 0xE000) {
        C = 0x10000 + ((C - 0xD800) << 10) + (Low - 0xDC00);
        I += 2;
      }
    }
    AppendUtf8(Text, C);
  }
  return Text;
}

// The reverse of FromUtf16; nothing when Text is not UTF-8 (a value that UTF-16 cannot carry).
std::optional<std::string> ToUtf16(std::string_view Text) {
  std::string Bytes;
  Bytes.reserve(Text.size() * 2);
  auto Put = [&](char32_t Unit) {
    Bytes += static_cast<char>(Unit & 0xFF);
    Bytes += static_cast<char>(Unit >> 8);
  };
  for (std::size_t I = 0; I < Text.size();) {
    const auto Lead = static_cast<unsigned char>(Text[I]);
    const std::size_t Length = Lead < 0x80 ? 1 : Lead >= 0xF0 ? 4 : Lead >= 0xE0 ? 3 : 2;
    if ((Lead >= 0x80 && Lead < 0xC2) || Lead > 0xF4 || I + Length > Text.size()) {
      return std::nullopt;
    }
    char32_t C = Length == 1 ? Lead : Lead & (0x7F >> Length);
    for (std::size_t K = 1; K < Length; ++K) {
      const auto Follow = static_cast<unsigned char>(Text[I + K]);
      if ((Follow & 0xC0) != 0x80) return std::nullopt;
      C = (C << 6) | (Follow & 0x3F);
    }
    // Overlong forms would not come back as the same bytes.
    if ((Length == 3 && C < 0x800) || (Length == 4 && (C < 0x10000 || C > 0x10FFFF))) {
      return std::nullopt;
    }
    if (C >= 0x10000) {
      Put(0xD800 + ((C - 0x10000) >> 10));
      Put(0xDC00 + ((C - 0x10000) & 0x3FF));
    } else {
      Put(C);
    }
    I += Length;
  }
  return Bytes;
}

// A file's text for the engine and the form it goes back in, or why it has none.
struct Decoded {
  std::string Text;
  bool Utf16 = false;
  std::string Problem;  // not "" when the bytes are no text this store reads
};

Decoded Decode(std::string Bytes) {
  const std::string_view View(Bytes);
  if (View.substr(0, 2) == "\xFE\xFF")
    return {{}, false, "it starts with the UTF-16BE byte order mark (FE FF)."};
  if (View.substr(0, Utf16Mark.size()) != Utf16Mark) return {std::move(Bytes), false, {}};
  if (View.size() % 2 != 0) {
    return {{},
            true,
            "its UTF-16LE text has an odd number of bytes, so its last character is cut short."};
  }
  return {FromUtf16(View.substr(Utf16Mark.size())), true, {}};
}

std::string NotText(const std::string& Problem) {
  return "the file is not UTF-8, UTF-16LE or ANSI text: " + Problem;
}

// The file's bytes, or nothing when there is no ordinary file that can be read.
std::optional<std::string> LoadBytes(const fs::path& File) {
  std::error_code Ec;
  if (!fs::is_regular_file(File, Ec)) return std::nullopt;
  std::ifstream In(File, std::ios::binary);
  if (!In.is_open()) return std::nullopt;
  std::string Bytes;
  const auto Size = fs::file_size(File, Ec);
  if (!Ec) Bytes.reserve(static_cast<std::size_t>(Size));
  char Buffer[16384];
  while (In.read(Buffer, sizeof Buffer) || In.gcount() > 0) {
    Bytes.append(Buffer, static_cast<std::size_t>(In.gcount()));
  }
  if (In.bad()) return std::nullopt;
  return Bytes;
}

}  // namespace

std::optional<std::string> IniFileStore::Load(const fs::path& File) {
  std::optional<std::string> Bytes = LoadBytes(File);
  if (!Bytes) return std::nullopt;
  Decoded Text = Decode(std::move(*Bytes));
  if (!Text.Problem.empty()) return std::nullopt;
  return std::move(Text.Text);
}

WriteResult IniFileStore::Change(const std::string& File,
                                 const std::function<bool(IniEngine&)>& Edit) {
  std::error_code Ec;
  fs::path Target = File;
  // Edit the file a link points to, not the link.
  if (fs::is_symlink(fs::symlink_status(Target, Ec))) {
    fs::path Real = fs::canonical(Target, Ec);
    if (!Ec) Target = std::move(Real);
  }
  const fs::file_status Status = fs::status(Target, Ec);
  Decoded Text;
  if (fs::exists(Status)) {
    if (!fs::is_regular_file(Status)) return WriteResult::Failed("it is not an ordinary file.");
    std::optional<std::string> Old = LoadBytes(Target);
    if (!Old) return WriteResult::Failed("the file cannot be read.");
    Text = Decode(std::move(*Old));
    // A file we cannot read back is not ours to overwrite.
    if (!Text.Problem.empty()) return WriteResult::Failed(NotText(Text.Problem));
  }
  IniEngine Engine(std::move(Text.Text));
  // What the file already says is kept, whether or not it could be written.
  if (!Edit(Engine)) return WriteResult::Unchanged();
  if (fs::exists(Status)) {
    if (std::string Why = WriteRefusal(Target, Status.permissions()); !Why.empty())
      return WriteResult::Failed(std::move(Why));
  }
  std::string Bytes;
  if (Text.Utf16) {
    std::optional<std::string> Wide = ToUtf16(Engine.Bytes());
    if (!Wide) {
      return WriteResult::Failed(
          "the value is not UTF-8 text, which the file's UTF-16 text cannot hold.");
    }
    Bytes.reserve(Utf16Mark.size() + Wide->size());
    Bytes.append(Utf16Mark).append(*Wide);
  }
  try {
    WriteFileAtomically(Target.string(), Text.Utf16 ? Bytes : Engine.Bytes(), ProgramErrorSource);
  } catch (const RaisedError& E) {
    return WriteResult::Failed(E.Description);
  }
  return WriteResult::Written();
}

std::string IniFileStore::TextProblem(const std::string& File) {
  std::optional<std::string> Bytes = LoadBytes(File);
  return Bytes ? Decode(std::move(*Bytes)).Problem : std::string();
}

void IniFileStore::RemoveStaleTemporaries(const std::string& File) {
  const fs::path Folder = fs::path(File).parent_path();
  pictrane::RemoveStaleTemporaries(Folder.empty() ? std::string(".") : Folder.string());
}

void IniFileStore::CreateIfMissing(const std::string& File) {
  if (OrdinaryFileExists(File)) return;
  errno = 0;
  std::ofstream Out(fs::path(File), std::ios::binary | std::ios::app);
  const int Cause = errno;
  if (Out.is_open()) {
    Out.close();
    if (!Out.fail()) return;
  }
  const std::string Reason =
      Cause != 0 ? std::generic_category().message(Cause) : std::string("cannot be opened");
  throw RaisedError(ErrorNumber::PathFileAccessError, ProgramErrorSource,
                    "Path/File access error: cannot create " + File + " (" + Reason + ")");
}

std::string IniFileStore::ReadString(const std::string& File, const std::string& Section,
                                     const std::string& Key) {
  std::optional<std::string> Bytes = Load(File);
  return Bytes ? IniEngine(std::move(*Bytes)).ReadString(Section, Key) : std::string();
}

std::vector<std::string> IniFileStore::KeyNames(const std::string& File,
                                                const std::string& Section) {
  std::optional<std::string> Bytes = Load(File);
  return Bytes ? IniEngine(std::move(*Bytes)).KeyNames(Section) : std::vector<std::string>();
}

std::vector<std::string> IniFileStore::SectionNames(const std::string& File) {
  std::optional<std::string> Bytes = Load(File);
  return Bytes ? IniEngine(std::move(*Bytes)).SectionNames() : std::vector<std::string>();
}

std::optional<std::string> IniFileStore::StoredText(const std::string& File,
                                                    const std::string& Section,
                                                    const std::string& Key) {
  std::optional<std::string> Bytes = Load(File);
  return Bytes ? IniEngine(std::move(*Bytes)).StoredText(Section, Key) : std::nullopt;
}

WriteResult IniFileStore::WriteString(const std::string& File, const std::string& Section,
                                      const std::string& Key, const std::string& Value) {
  if (!IniEngine::Accepts(Section, Key, Value)) {
    return WriteResult::Failed(
        "an INI file cannot hold this name or value: it would read back as something else.");
  }
  return Change(File, [&](IniEngine& E) { return E.WriteString(Section, Key, Value); });
}

WriteResult IniFileStore::DeleteKey(const std::string& File, const std::string& Section,
                                    const std::string& Key) {
  return Change(File, [&](IniEngine& E) { return E.DeleteKey(Section, Key); });
}

WriteResult IniFileStore::DeleteSection(const std::string& File, const std::string& Section) {
  return Change(File, [&](IniEngine& E) { return E.DeleteSection(Section); });
}

}  // namespace pictrane
