// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/BatchTargets.h"

#include <sys/stat.h>

#include <QFileInfo>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "calc/CalcFile.h"
#include "picture/PictureFile.h"

namespace pictrane::capture {

namespace {

// A file as the system knows it: its identity when it exists, and its canonical path (for a file
// that does not exist yet, its folder's canonical path and its name), so that two spellings of one
// file, links included, compare equal.
struct FileKey {
  std::optional<std::pair<dev_t, ino_t>> Identity;
  std::string Canonical;
};

std::string CanonicalPath(const std::string& Path) {
  std::unique_ptr<char, decltype(&std::free)> Real(::realpath(Path.c_str(), nullptr), &std::free);
  return Real ? std::string(Real.get()) : std::string();
}

FileKey KeyOf(const QString& Path) {
  const std::string Native = BytesOfName(Path);
  FileKey Key;
  struct stat Status {};
  if (::stat(Native.c_str(), &Status) == 0) Key.Identity = {Status.st_dev, Status.st_ino};
  Key.Canonical = CanonicalPath(Native);
  if (Key.Canonical.empty()) {
    const auto Slash = Native.find_last_of('/');
    const std::string Folder = CanonicalPath(
        Slash == std::string::npos ? "." : (Slash == 0 ? "/" : Native.substr(0, Slash)));
    const std::string Name = Slash == std::string::npos ? Native : Native.substr(Slash + 1);
    Key.Canonical = Folder.empty() ? Native : Folder + '/' + Name;
  }
  return Key;
}

bool Same(const FileKey& A, const FileKey& B) {
  return (A.Identity && B.Identity && *A.Identity == *B.Identity) || A.Canonical == B.Canonical;
}

std::optional<std::size_t> Find(const FileKey& Key, const std::vector<FileKey>& Keys) {
  for (std::size_t I = 0; I < Keys.size(); ++I) {
    if (Same(Key, Keys[I])) return I;
  }
  return std::nullopt;
}

std::vector<FileKey> InputKeys(const BatchOptions& Options) {
  std::vector<FileKey> Keys;
  for (const QString& File : Options.Files) Keys.push_back(KeyOf(File));
  return Keys;
}

QString GroupProblem(const BatchOptions& Options, const std::vector<FileKey>& Inputs) {
  const QString Group = GroupPath(Options);
  const FileKey Key = KeyOf(Group);
  if (const auto J = Find(Key, Inputs)) {
    return QStringLiteral("the group %1 would replace %2, one of the files to convert")
        .arg(ShownName(Group), ShownName(Options.Files[static_cast<qsizetype>(*J)]));
  }
  if (HoldsOtherFile(BytesOfName(Group))) {
    return QStringLiteral("the group %1 would replace a file that is not a group file")
        .arg(ShownName(Group));
  }
  return {};
}

}  // namespace

QString GroupPath(const BatchOptions& Options) {
  if (!QFileInfo(Options.Group).suffix().isEmpty()) return Options.Group;
  return Options.Group + QLatin1Char('.') +
         QLatin1String(KindOf(Options.Model, Options.Kind).GroupExtension);
}

QString PicturePath(const BatchOptions& Options, const QString& File) {
  const QFileInfo Info(File);
  const QString Name = Info.completeBaseName() + QLatin1Char('.') +
                       QLatin1String(KindOf(Options.Model, Options.Kind).Extension);
  return File.contains(QLatin1Char('/')) ? Info.path() + QLatin1Char('/') + Name : Name;
}

QString GroupProblem(const BatchOptions& Options) {
  return GroupProblem(Options, InputKeys(Options));
}

std::vector<QString> RefusedOutputs(const BatchOptions& Options,
                                    const std::vector<QString>& Targets) {
  const auto Count = static_cast<std::size_t>(Options.Files.size());
  const auto FileAt = [&](std::size_t I) -> const QString& {
    return Options.Files[static_cast<qsizetype>(I)];
  };
  const std::vector<FileKey> Inputs = InputKeys(Options);
  if (!Options.Group.isEmpty()) return std::vector<QString>(Count, GroupProblem(Options, Inputs));
  std::vector<QString> Refused(Count);
  std::vector<FileKey> TargetKeys;
  for (std::size_t I = 0; I < Count; ++I) {
    TargetKeys.push_back(KeyOf(Targets[I]));
    const QString Shown = ShownName(Targets[I]);
    if (const auto J = Find(TargetKeys[I], Inputs)) {
      Refused[I] = QStringLiteral("its picture %1 would replace %2, one of the files to convert")
                       .arg(Shown, ShownName(FileAt(*J)));
      continue;
    }
    if (HoldsOtherFile(BytesOfName(Targets[I]))) {
      Refused[I] = QStringLiteral(
                       "its picture %1 would replace a file that is not a calculator "
                       "file, which is left as it is")
                       .arg(Shown);
      continue;
    }
    for (std::size_t K = 0; K < I; ++K) {
      if (Refused[K].isEmpty() && Same(TargetKeys[I], TargetKeys[K])) {
        Refused[I] =
            QStringLiteral("its picture %1 is already %2's").arg(Shown, ShownName(FileAt(K)));
        break;
      }
    }
  }
  return Refused;
}

}  // namespace pictrane::capture
