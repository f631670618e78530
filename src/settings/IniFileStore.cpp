#include "IniFileStore.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <ios>
#include <random>
#include <system_error>
#include <utility>

#include "../platform/RaisedError.h"
#include "ExistenceTest.h"

namespace pictrane {

namespace {

namespace fs = std::filesystem;

bool MayWrite(const fs::path& File, fs::perms Perms) {
  constexpr fs::perms AnyWrite =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if ((Perms & AnyWrite) == fs::perms::none) return false;
  // Opening for appending writes nothing, but fails where the system would refuse a write.
  std::ofstream Probe(File, std::ios::binary | std::ios::app);
  return Probe.is_open();
}

// A name beside Target that no one else picks: hidden, so the existence test never finds it.
fs::path TemporaryBeside(const fs::path& Target) {
  thread_local std::mt19937_64 Random = [] {
    std::random_device Device;
    const auto Now = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::mt19937_64((static_cast<std::uint64_t>(Device()) << 32) ^
                           static_cast<std::uint64_t>(Now));
  }();
  static const char Digits[] = "0123456789abcdef";
  std::string Name = "." + Target.filename().string() + ".";
  std::uint64_t Bits = Random();
  for (int I = 0; I < 12; ++I, Bits >>= 4) Name += Digits[Bits & 15];
  Name += ".tmp";
  return Target.parent_path() / Name;
}

// Puts Bytes in place of Target in one step. Returns false, leaving Target alone, on failure.
bool Replace(const fs::path& Target, const std::string& Bytes, std::optional<fs::perms> Perms) {
  std::error_code Ec;
  fs::path Temporary = TemporaryBeside(Target);
  for (int Tries = 0; fs::exists(fs::symlink_status(Temporary, Ec)) && Tries < 8; ++Tries) {
    Temporary = TemporaryBeside(Target);
  }
  {
    std::ofstream Out(Temporary, std::ios::binary | std::ios::trunc);
    if (!Out.is_open()) return false;
    Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    Out.close();
    if (Out.fail()) {
      fs::remove(Temporary, Ec);
      return false;
    }
  }
  if (Perms) fs::permissions(Temporary, *Perms, Ec);
  fs::rename(Temporary, Target, Ec);
  if (Ec) {
    fs::remove(Temporary, Ec);
    return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> IniFileStore::Load(const fs::path& File) {
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

void IniFileStore::Change(const std::string& File, const std::function<bool(IniEngine&)>& Edit) {
  std::error_code Ec;
  fs::path Target = File;
  // Edit the file a link points to, not the link.
  if (fs::is_symlink(fs::symlink_status(Target, Ec))) {
    fs::path Real = fs::canonical(Target, Ec);
    if (!Ec) Target = std::move(Real);
  }
  const fs::file_status Status = fs::status(Target, Ec);
  std::optional<fs::perms> Perms;
  std::string Bytes;
  if (fs::exists(Status)) {
    if (!fs::is_regular_file(Status) || !MayWrite(Target, Status.permissions())) return;
    std::optional<std::string> Old = Load(Target);
    if (!Old) return;
    Bytes = std::move(*Old);
    Perms = Status.permissions();
  }
  IniEngine Engine(std::move(Bytes));
  if (!Edit(Engine)) return;
  Replace(Target, Engine.Bytes(), Perms);
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

void IniFileStore::WriteString(const std::string& File, const std::string& Section,
                               const std::string& Key, const std::string& Value) {
  Change(File, [&](IniEngine& E) { return E.WriteString(Section, Key, Value); });
}

void IniFileStore::DeleteKey(const std::string& File, const std::string& Section,
                             const std::string& Key) {
  Change(File, [&](IniEngine& E) { return E.DeleteKey(Section, Key); });
}

void IniFileStore::DeleteSection(const std::string& File, const std::string& Section) {
  Change(File, [&](IniEngine& E) { return E.DeleteSection(Section); });
}

}  // namespace pictrane
