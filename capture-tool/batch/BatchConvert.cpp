// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/BatchConvert.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <future>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "batch/BatchTargets.h"
#include "pictrane/CalcName.h"
#include "batch/LinkCommands.h"
#include "picture/PhotoMetadata.h"
#include "calc/Models.h"
#include "picture/PictureFile.h"
#include "pictrane/AtomicFile.h"
#include "pictrane/RaisedError.h"

namespace pictrane::capture {

namespace {

constexpr const char* kToolSource = "pictrane-capture";
// The most pictures whose lines wait for one flush to the disk.
constexpr std::size_t kWritesTogether = 64;

std::u32string ToU32(const QString& Text) {
  const QList<uint> Codes = Text.toUcs4();
  return std::u32string(Codes.begin(), Codes.end());
}

QString FromU32(const std::u32string& Text) {
  return QString::fromUcs4(Text.data(), static_cast<qsizetype>(Text.size()));
}

// One file's picture, made ready for writing; Problem says why it cannot be, for the line.
struct Converted {
  CalcPicture Picture;  // named by NameBook
  QString Base;         // the file's name without its extension
  QString Problem;
  QString Note;           // what its line adds about how it was read
  QString Method;         // how it was toned, and a warning when it came out almost one colour
  bool Replaces = false;  // its name is on the calculator, and --replace replaces it
  QString Taken;          // when a photo whose file's name gives no name was taken, or empty
};

Converted Convert(const QString& File, const BatchOptions& Options) {
  Converted Result;
  Result.Base = QFileInfo(File).completeBaseName();
  try {
    const PictureSize Area = AreaOf(Options.Model, Options.Picture.Area, Options.Kind);
    // Toned on the display scale, a one-bit picture needs no colour; in linear light, or on a
    // colour calculator, it does.
    const bool LightnessOnly =
        Options.Picture.Scale == ToneScale::Display && !IsColour(Options.Model);
    const QImage Source =
        LoadPicture(File, &Result.Note, ShrinkTarget{Area, Options.Picture.Fit, LightnessOnly});
    if (NameFromFile(ToU32(Result.Base)).empty()) {
      QFile Head(File);
      if (Head.open(QIODevice::ReadOnly))
        Result.Taken = ReadPhotoMetadata(Head.read(kMetadataHead)).Taken;
    }
    Result.Picture.Model = Options.Model;
    Result.Picture.Kind = Options.Kind;
    Result.Picture.Folder = ToU32(Options.Folder);
    MadePicture Made = CalcPictureOf(Options.Model, Source, Area, Options.Picture, Options.Kind);
    Result.Method = QString::fromStdString(Made.Said);
    Result.Picture.PicData = std::move(Made.PicData);
  } catch (const RaisedError& Error) {
    Result.Problem = QString::fromStdString(Error.Description);
  } catch (const std::exception& Error) {  // out of memory on a huge picture, say
    Result.Problem = QString::fromLocal8Bit(Error.what());
  }
  return Result;
}

// Reading and converting, the expensive part, runs on every core, files taken in order; the
// caller waits for each file's result in order, so writes and lines keep the files' order while
// later files are already being converted. Libtifiles is only ever called from the caller.
class ParallelConversion {
 public:
  // Files whose Refused entry is not empty are not read; that entry is their problem.
  ParallelConversion(const BatchOptions& Options, const std::vector<QString>& Refused)
      : Options_(Options), Refused_(Refused), Results_(Refused.size()) {
    for (std::size_t I = 0; I < Results_.size(); ++I) Done_.push_back(Ready_[I].get_future());
    const unsigned Cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t Count = std::min<std::size_t>(std::min(Cores, 8u), Results_.size());
    for (std::size_t W = 0; W < Count; ++W) Workers_.emplace_back([this] { Work(); });
  }

  Converted& Result(std::size_t Index) {
    Done_[Index].wait();
    return Results_[Index];
  }
  bool Ready(std::size_t Index) const {
    return Done_[Index].wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  }

 private:
  void Work() {
    for (std::size_t I = Next_++; I < Results_.size(); I = Next_++) {
      if (Refused_[I].isEmpty()) {
        Results_[I] = Convert(Options_.Files[static_cast<qsizetype>(I)], Options_);
      } else {
        Results_[I].Problem = Refused_[I];
      }
      Ready_[I].set_value();
    }
  }

  const BatchOptions& Options_;
  const std::vector<QString>& Refused_;
  std::vector<Converted> Results_;
  std::vector<std::promise<void>> Ready_{Results_.size()};
  std::vector<std::future<void>> Done_;
  std::atomic<std::size_t> Next_{0};
  std::vector<std::jthread> Workers_;  // last, so that they are joined before the rest goes
};

QString VariableOf(const BatchOptions& Options, const std::u32string& Name) {
  return Options.Folder.toLower() + QLatin1Char('\\') + FromU32(LowerName(Name));
}

// Every picture of a run gets its own variable name, so that none replaces another on the
// calculator: --name's, else the one its file's name gives (NamesTellingApart: pictures whose
// names would collide keep what tells their files apart). A picture renamed says whose name it
// would have had.
class NameBook {
 public:
  // Files whose Refused entry is not empty take no part: their names are left for the others.
  // Held: the names the calculator holds in the folder, which only --replace replaces.
  NameBook(const BatchOptions& Options, const std::vector<QString>& Refused,
           std::set<std::u32string> Held = {})
      : Options_(Options), Held_(std::move(Held)) {
    std::vector<std::u32string> Texts;
    for (qsizetype I = 0; I < Options.Files.size(); ++I) {
      QString Text;
      if (Numbered(Options)) {
        Text = Options.Name.chopped(1) + QString::number(I + 1);
      } else if (!Options.Name.isEmpty()) {
        Text = Options.Name;
      } else if (Refused[static_cast<std::size_t>(I)].isEmpty()) {
        Text = QFileInfo(Options.Files[I]).completeBaseName();
      }
      Texts.push_back(ToU32(Text));
    }
    Wanted_ = NamesTellingApart(Texts);
  }

  // Gives the picture of file Index a name no earlier picture has, FallbackName's when its file's
  // name gives none, and returns what its line says about it.
  QString Assign(std::size_t Index, Converted& Each) {
    CalcPicture& Picture = Each.Picture;
    const bool Numbered = IsNumbered(Options_.Model);
    // Names neither this run nor (without --replace) the calculator holds.
    std::set<std::u32string> Taken = Taken_;
    if (!Options_.Replace) Taken.insert(Held_.begin(), Held_.end());
    const QString Folder = Numbered ? QString() : Options_.Folder;
    // A numbered model has ten picture variables: --name's, else given in the files' order.
    std::u32string Wanted = Wanted_[Index];
    if (Numbered) {
      const QString Stem = QLatin1String(KindOf(Options_.Model, Options_.Kind).Stem);
      Wanted = Options_.Name.isEmpty() ? NumberedPictureName(NextNumber_, ToU32(Stem))
                                       : ToU32(Options_.Name);
      Picture.Name = FreeName(Wanted, Taken, true);
      if (Picture.Name.empty()) {
        Each.Problem =
            QStringLiteral("a %1 has ten pictures, %3 to %4 and %5, and %2 took them all")
                .arg(QLatin1String(InfoOf(Options_.Model).Name),
                     Held_.empty() || Options_.Replace
                         ? QStringLiteral("the files before")
                         : QStringLiteral("the calculator and the files before"),
                     Stem + '1', Stem + '9', Stem + '0');
        return {};
      }
      NextNumber_ = (Picture.Name.back() - U'0' + 10) % 10;
      if (NextNumber_ == 0) NextNumber_ = kNumberedPictures;  // after Pic0, none
    } else if (Wanted.empty() && !TimeStampName(ToU32(Each.Taken)).empty()) {
      // A photo's time tells it apart where its file's name gives nothing.
      Wanted = TimeStampName(ToU32(Each.Taken));
      Picture.Name = DistinctName(Wanted, Taken);
    } else if (Wanted.empty()) {
      Picture.Name = FallbackName(Taken);
      return VariableOf(Options_, Picture.Name) +
             QStringLiteral(" (%1)").arg(NoNameText(Each.Base));
    } else {
      Picture.Name = DistinctName(Wanted, Taken);
    }
    QString Said = ShownVariable(Folder, Picture.Name);
    Each.Replaces = Held_.contains(LowerName(Picture.Name));
    if (LowerName(Picture.Name) == LowerName(Wanted)) return Said;
    if (const auto Owner = Owner_.find(LowerName(Wanted)); Owner != Owner_.end()) {
      Said +=
          QStringLiteral(" (%1 is taken by %2)").arg(ShownVariable(Folder, Wanted), Owner->second);
    } else {
      Said +=
          QStringLiteral(" (%1 is on the calculator already)").arg(ShownVariable(Folder, Wanted));
    }
    return Said;
  }
  void Take(const CalcPicture& Picture, const QString& File) {
    Taken_.insert(LowerName(Picture.Name));
    Owner_[LowerName(Picture.Name)] = ShownName(File);
  }
  // A picture that never reached the disk gives its name back to the files after it.
  void GiveBack(const CalcPicture& Picture) {
    Taken_.erase(LowerName(Picture.Name));
    Owner_.erase(LowerName(Picture.Name));
  }

 private:
  const BatchOptions& Options_;
  std::set<std::u32string> Held_;
  std::vector<std::u32string> Wanted_;
  std::set<std::u32string> Taken_;
  std::map<std::u32string, QString> Owner_;
  int NextNumber_ = 0;
};

}  // namespace

bool Numbered(const BatchOptions& Options) {
  return Options.Name.endsWith(QLatin1Char('#'));
}

QString NoNameText(const QString& Base) {
  return QStringLiteral("\"%1\" holds no letter a calculator name takes").arg(ShownName(Base));
}

int RunBatch(const BatchOptions& Options, QTextStream& Out, PictureSender* Sender) {
  const auto Count = static_cast<std::size_t>(Options.Files.size());
  const auto FileAt = [&](std::size_t I) -> const QString& {
    return Options.Files[static_cast<qsizetype>(I)];
  };
  // Before anything is read or written: no output may replace an input, another output of the
  // run or a file that is not a calculator file.
  const QString Group = Options.Group.isEmpty() ? QString() : GroupPath(Options);
  std::vector<QString> Targets(Count);
  if (Group.isEmpty()) {
    for (std::size_t I = 0; I < Count; ++I) Targets[I] = PicturePath(Options, FileAt(I));
  }
  const std::vector<QString> Refused = RefusedOutputs(Options, Targets);

  ParallelConversion Results(Options, Refused);
  NameBook Names(Options, Refused,
                 Sender != nullptr ? Sender->Held(Options.Folder) : std::set<std::u32string>{});
  bool AllWritten = true;
  // NotSent is why a picture written was not sent (with Sender), or empty.
  const auto Say = [&](std::size_t I, const QString& Target, const QString& Variable,
                       const QString& Problem, const QString& NotSent = {}) {
    const QString& Note = Results.Result(I).Note;
    const QString& Method = Results.Result(I).Method;
    // What happened to the name comes before how the picture was made.
    const QString Replaced = Sender != nullptr && Results.Result(I).Replaces
                                 ? QStringLiteral(" (it replaced the calculator's)")
                                 : QString();
    const QString Written =
        ShownName(FileAt(I)) + " -> " + ShownName(Target) + " as " + Variable + Replaced +
        QStringLiteral(" (%1)").arg(Note.isEmpty() ? Method : Method + "; " + Note);
    if (!Problem.isEmpty()) {
      AllWritten = false;
      Out << "not written: " << ShownName(FileAt(I)) << ": " << Problem << '\n';
    } else if (Sender == nullptr) {
      Out << "written: " << Written << '\n';
    } else if (NotSent.isEmpty()) {
      Out << "sent: " << Written << '\n';
    } else {
      AllWritten = false;
      Out << "not sent: " << Written << ": " << NotSent << '\n';
    }
  };
  if (Group.isEmpty()) {
    // Without --send, the pictures written while the next file is still being converted are put
    // on the disk together; their lines follow, in order, once they are there to stay.
    std::optional<WriteGroup> Durable;
    if (Sender == nullptr) Durable.emplace(kToolSource);
    std::vector<std::pair<std::size_t, QString>> Unsaid;  // each file's variable, or empty
    std::vector<bool> Staged;
    for (std::size_t I = 0; I < Count; ++I) {
      Converted& Each = Results.Result(I);
      QString Variable;
      if (Each.Problem.isEmpty()) Variable = Names.Assign(I, Each);
      const std::size_t Before = Durable ? Durable->Pending() : 0;
      if (Each.Problem.isEmpty()) {
        try {
          WriteCalcPicture(BytesOfName(Targets[I]), Each.Picture);
          Names.Take(Each.Picture, FileAt(I));
        } catch (const RaisedError& Error) {
          Each.Problem = QString::fromStdString(Error.Description);
        }
      }
      if (Durable) {
        Unsaid.emplace_back(I, Variable);
        Staged.push_back(Durable->Pending() > Before);
        if (I + 1 < Count && Results.Ready(I + 1) && Unsaid.size() < kWritesTogether) continue;
        auto Failed = Durable->Commit();
        for (std::size_t K = 0, Write = 0; K < Unsaid.size(); ++K) {
          const std::size_t File = Unsaid[K].first;
          if (Staged[K] && Failed[Write++]) {
            Results.Result(File).Problem = QString::fromStdString(Failed[Write - 1]->Description);
            Names.GiveBack(Results.Result(File).Picture);
          }
          Say(File, Targets[File], Unsaid[K].second, Results.Result(File).Problem);
        }
        Out.flush();
        Unsaid.clear();
        Staged.clear();
        continue;
      }
      QString NotSent;
      if (Each.Problem.isEmpty() && Sender != nullptr) {
        std::size_t Acknowledged = 0;
        NotSent = Sender->Send(Targets[I], Acknowledged);
      }
      Say(I, Targets[I], Variable, Each.Problem, NotSent);
      Out.flush();
    }
    return AllWritten ? kExitDone : kExitNotAllWritten;
  }

  std::vector<CalcPicture> Members;
  std::vector<QString> Variables(Count);
  for (std::size_t I = 0; I < Count; ++I) {
    Converted& Each = Results.Result(I);
    if (!Each.Problem.isEmpty()) continue;
    Variables[I] = Names.Assign(I, Each);
    if (!Each.Problem.isEmpty()) continue;
    Names.Take(Each.Picture, FileAt(I));
    Members.push_back(Each.Picture);
  }
  QString WriteProblem;
  if (Members.empty()) {
    WriteProblem = QStringLiteral("no picture to put into %1").arg(ShownName(Group));
  } else {
    try {
      WriteCalcGroup(BytesOfName(Group), Options.Model, Members);
    } catch (const RaisedError& Error) {
      WriteProblem = QString::fromStdString(Error.Description);
    }
  }
  // The group's pictures go in its order, which is the files' order: the first ones the
  // calculator acknowledged are sent, the rest not.
  QString NotSent;
  std::size_t Acknowledged = 0;
  if (WriteProblem.isEmpty() && Sender != nullptr) NotSent = Sender->Send(Group, Acknowledged);
  std::size_t Member = 0;
  for (std::size_t I = 0; I < Count; ++I) {
    const Converted& Each = Results.Result(I);
    const bool Arrived = Each.Problem.isEmpty() && Member++ < Acknowledged;
    Say(I, Group, Variables[I], Each.Problem.isEmpty() ? WriteProblem : Each.Problem,
        Arrived ? QString() : NotSent);
  }
  Out.flush();
  return AllWritten ? kExitDone : kExitNotAllWritten;
}

}  // namespace pictrane::capture
