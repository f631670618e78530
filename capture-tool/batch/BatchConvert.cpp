// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/BatchConvert.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
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
#include "calc/PicLayout.h"
#include "picture/PictureFile.h"
#include "pictrane/RaisedError.h"

namespace pictrane::capture {

namespace {

std::u32string ToU32(const QString& Text) {
  const QList<uint> Codes = Text.toUcs4();
  return std::u32string(Codes.begin(), Codes.end());
}

QString FromU32(const std::u32string& Text) {
  return QString::fromUcs4(Text.data(), static_cast<qsizetype>(Text.size()));
}

std::optional<int> ParseNumber(const QString& Text, int Lowest, int Highest) {
  bool Ok = false;
  const int Value = Text.toInt(&Ok);
  if (!Ok || Value < Lowest || Value > Highest) return std::nullopt;
  return Value;
}

// Applies one option that takes a value; returns what is wrong, or an empty string.
QString ApplyOption(const QString& Option, const QString& Value, BatchOptions& Batch) {
  const std::string Text = Value.toStdString();
  const auto Bad = [&](const QString& Expected) {
    return QStringLiteral("%1: \"%2\" is not %3").arg(Option, Value, Expected);
  };
  if (Option == QLatin1String("--model")) {
    const CalcModelInfo* Info = ModelByOption(Text);
    if (Info == nullptr) return Bad(QStringLiteral("89, 92p, v200 or 83p"));
    Batch.Model = Info->Id;
  } else if (Option == QLatin1String("--dither")) {
    const auto Method = ParseToneMethod(Text);
    if (!Method)
      return Bad(QStringLiteral("auto, threshold, floyd-steinberg, atkinson, bayer4 or bayer8"));
    Batch.Picture.Method = *Method;
  } else if (Option == QLatin1String("--tone")) {
    const auto Scale = ParseToneScale(Text);
    if (!Scale) return Bad(QStringLiteral("display or linear"));
    Batch.Picture.Scale = *Scale;
  } else if (Option == QLatin1String("--levels")) {
    const auto Levels = ParseLevelsMode(Text);
    if (!Levels || *Levels == LevelsMode::Default) return Bad(QStringLiteral("auto or off"));
    Batch.Picture.Levels = *Levels;
  } else if (Option == QLatin1String("--fit")) {
    const auto Fit = ParseSizing(Text);
    if (!Fit) return Bad(QStringLiteral("fit, fill or stretch"));
    Batch.Picture.Fit = *Fit;
  } else if (Option == QLatin1String("--area")) {
    const auto Area = ParseTargetArea(Text);
    if (!Area) return Bad(QStringLiteral("screen or graph"));
    Batch.Picture.Area = *Area;
  } else if (Option == QLatin1String("--threshold")) {
    const auto Level = ParseNumber(Value, 0, 256);
    if (!Level) return Bad(QStringLiteral("a number from 0 to 256"));
    Batch.Picture.Level = *Level;
  } else if (Option == QLatin1String("--brightness") || Option == QLatin1String("--contrast")) {
    const auto Amount = ParseNumber(Value, -100, 100);
    if (!Amount) return Bad(QStringLiteral("a number from -100 to 100"));
    (Option == QLatin1String("--contrast") ? Batch.Picture.Contrast : Batch.Picture.Brightness) =
        *Amount;
  } else if (Option == QLatin1String("--folder")) {
    if (!IsValidName(ToU32(Value))) return Bad(QStringLiteral("a calculator folder name"));
    Batch.Folder = Value;
  } else if (Option == QLatin1String("--name")) {
    const QString Prefix = Value.endsWith(QLatin1Char('#')) ? Value.chopped(1) : Value;
    if (!IsValidName(ToU32(Prefix))) {
      return Bad(QStringLiteral(
          "a calculator name (up to 8 letters, digits or _, a letter first), or such a name and # "
          "to number the pictures"));
    }
    Batch.Name = Value;
  } else {  // --group
    if (Value.isEmpty()) return Bad(QStringLiteral("a file name"));
    Batch.Group = Value;
  }
  return {};
}

bool TakesValue(const QString& Option) {
  static const QStringList kWithValue = {
      QStringLiteral("--model"),      QStringLiteral("--dither"),   QStringLiteral("--threshold"),
      QStringLiteral("--brightness"), QStringLiteral("--contrast"), QStringLiteral("--fit"),
      QStringLiteral("--area"),       QStringLiteral("--group"),    QStringLiteral("--folder"),
      QStringLiteral("--tone"),       QStringLiteral("--levels"),   QStringLiteral("--name")};
  return kWithValue.contains(Option);
}

CommandLine BadUsage(const QString& Problem) {
  CommandLine Line;
  Line.What = CommandLine::Action::BadUsage;
  Line.Problem = Problem;
  return Line;
}

bool Numbered(const BatchOptions& Options) {
  return Options.Name.endsWith(QLatin1Char('#'));
}

// What is wrong with --name for the files given, or an empty string: one name cannot name
// several pictures, and every number must fit in the name.
QString NameProblem(const BatchOptions& Options) {
  const qsizetype Count = Options.Files.size();
  if (Options.Model == CalcModelId::Ti83Plus && !Options.Name.isEmpty() &&
      (Numbered(Options) || !IsTi83PlusPictureName(ToU32(Options.Name)))) {
    return QStringLiteral(
               "--name: \"%1\" is not a TI-83 Plus picture: Pic0 to Pic9 (without --name the "
               "pictures take the free ones from Pic1 on)")
        .arg(Options.Name);
  }
  if (Options.Name.isEmpty() || (!Numbered(Options) && Count == 1)) return {};
  if (!Numbered(Options)) {
    return QStringLiteral(
               "--name: \"%1\" names one picture, but %2 files are given (\"%1#\" numbers them)")
        .arg(Options.Name)
        .arg(Count);
  }
  const QString Last = Options.Name.chopped(1) + QString::number(Count);
  if (!IsValidName(ToU32(Last))) {
    return QStringLiteral(
               "--name: \"%1\" cannot number %2 files: \"%3\" is longer than 8 characters")
        .arg(Options.Name)
        .arg(Count)
        .arg(Last);
  }
  return {};
}

CommandLine ParseConvert(const QStringList& Arguments) {
  CommandLine Line;
  Line.What = CommandLine::Action::Convert;
  bool OptionsEnded = false;
  for (qsizetype I = 0; I < Arguments.size(); ++I) {
    const QString& Argument = Arguments[I];
    if (OptionsEnded || !Argument.startsWith(QLatin1Char('-')) || Argument == QLatin1String("-")) {
      Line.Batch.Files.append(Argument);
      continue;
    }
    if (Argument == QLatin1String("--")) {
      OptionsEnded = true;
      continue;
    }
    if (Argument == QLatin1String("--help") || Argument == QLatin1String("-h")) {
      Line.What = CommandLine::Action::Help;
      return Line;
    }
    if (Argument == QLatin1String("--invert")) {
      Line.Batch.Picture.Invert = true;
      continue;
    }
    if (Argument.startsWith(QLatin1String("--invert="))) {
      return BadUsage(QStringLiteral("--invert takes no value"));
    }
    if (Argument == QLatin1String("--replace")) {
      if (!Line.Batch.Send) return BadUsage(QStringLiteral("--replace comes after --send"));
      Line.Batch.Replace = true;
      continue;
    }
    if (Argument == QLatin1String("--send")) {
      if (Line.Batch.Send) return BadUsage(QStringLiteral("--send is given twice"));
      Line.Batch.Send = LinkSettings{};
      continue;
    }
    const qsizetype Equals = Argument.indexOf(QLatin1Char('='));
    const QString Option = Equals < 0 ? Argument : Argument.left(Equals);
    if (IsLinkOption(Option)) {
      if (!Line.Batch.Send) {
        return BadUsage(QStringLiteral("%1 is a link option: it comes after --send").arg(Option));
      }
      if (const QString Problem = TakeLinkOption(Arguments, I, *Line.Batch.Send);
          !Problem.isEmpty()) {
        return BadUsage(Problem);
      }
      continue;
    }
    if (!TakesValue(Option)) return BadUsage(QStringLiteral("unknown option \"%1\"").arg(Option));
    const std::optional<QString> Value = OptionValue(Arguments, I);
    if (!Value) return BadUsage(QStringLiteral("%1 needs a value").arg(Option));
    if (const QString Problem = ApplyOption(Option, *Value, Line.Batch); !Problem.isEmpty()) {
      return BadUsage(Problem);
    }
  }
  if (Line.Batch.Files.isEmpty())
    return BadUsage(QStringLiteral("--convert needs files to convert"));
  if (const QString Problem = NameProblem(Line.Batch); !Problem.isEmpty()) return BadUsage(Problem);
  // A shell pattern after --group whose name was forgotten makes the first file the group.
  if (!Line.Batch.Group.isEmpty()) {
    if (const QString Problem = GroupProblem(Line.Batch); !Problem.isEmpty()) {
      return BadUsage(QStringLiteral("--group: %1 (is the group's name missing?)").arg(Problem));
    }
  }
  return Line;
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
    const PictureSize Area = AreaOf(Options.Model, Options.Picture.Area);
    const QImage Source = LoadPicture(File, &Result.Note, ShrinkTarget{Area, Options.Picture.Fit});
    if (NameFromFile(ToU32(Result.Base)).empty()) {
      QFile Head(File);
      if (Head.open(QIODevice::ReadOnly))
        Result.Taken = ReadPhotoMetadata(Head.read(kMetadataHead)).Taken;
    }
    Result.Picture.Model = Options.Model;
    Result.Picture.Folder = ToU32(Options.Folder);
    const MonoPicture Mono = ToMono(Source, Area, Options.Picture);
    Result.Method = QString::fromStdString(SaidOf(Mono));
    Result.Picture.PicData = EncodePic(Mono, Options.Model);
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
    const bool Ti83Plus = Options_.Model == CalcModelId::Ti83Plus;
    // Names neither this run nor (without --replace) the calculator holds.
    std::set<std::u32string> Taken = Taken_;
    if (!Options_.Replace) Taken.insert(Held_.begin(), Held_.end());
    const QString Folder = Ti83Plus ? QString() : Options_.Folder;
    // A TI-83 Plus has ten picture variables: --name's, else given in the files' order.
    std::u32string Wanted = Wanted_[Index];
    if (Ti83Plus) {
      Wanted = Options_.Name.isEmpty() ? Ti83PlusPictureName(NextTi83Plus_) : ToU32(Options_.Name);
      Picture.Name = FreeName(Wanted, Taken, true);
      if (Picture.Name.empty()) {
        Each.Problem = QStringLiteral(
                           "a TI-83 Plus has ten pictures, Pic1 to Pic9 and Pic0, and %1 took "
                           "them all")
                           .arg(Held_.empty() || Options_.Replace
                                    ? QStringLiteral("the files before")
                                    : QStringLiteral("the calculator and the files before"));
        return {};
      }
      NextTi83Plus_ = (Picture.Name.back() - U'0' + 10) % 10;
      if (NextTi83Plus_ == 0) NextTi83Plus_ = kTi83PlusPictures;  // after Pic0, none
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

 private:
  const BatchOptions& Options_;
  std::set<std::u32string> Held_;
  std::vector<std::u32string> Wanted_;
  std::set<std::u32string> Taken_;
  std::map<std::u32string, QString> Owner_;
  int NextTi83Plus_ = 0;
};

}  // namespace

QString NoNameText(const QString& Base) {
  return QStringLiteral("\"%1\" holds no letter a calculator name takes").arg(ShownName(Base));
}

std::optional<QString> OptionValue(const QStringList& Arguments, qsizetype& I) {
  const QString& Argument = Arguments[I];
  if (const qsizetype Equals = Argument.indexOf(QLatin1Char('=')); Equals >= 0)
    return Argument.mid(Equals + 1);
  if (I + 1 < Arguments.size()) return Arguments[++I];
  return std::nullopt;
}

CommandLine ParseCommandLine(const QStringList& Arguments) {
  CommandLine Line;
  if (Arguments.isEmpty()) return Line;
  const QString& First = Arguments.first();
  if (First == QLatin1String("--help") || First == QLatin1String("-h")) {
    Line.What = CommandLine::Action::Help;
  } else if (First == QLatin1String("--version")) {
    Line.What = CommandLine::Action::Version;
  } else if (First == QLatin1String("--convert")) {
    return ParseConvert(Arguments.mid(1));
  } else if (First == QLatin1String("--")) {
    Line.PicturePath = Arguments.mid(1).join(QLatin1Char(' '));
  } else if (First.startsWith(QLatin1Char('-')) && First != QLatin1String("-")) {
    return BadUsage(QStringLiteral("unknown option \"%1\"").arg(First));
  } else {
    Line.PicturePath = Arguments.join(QLatin1Char(' '));
  }
  return Line;
}

QString UsageText() {
  return QStringLiteral(
      "Usage: pictrane-capture [PICTURE]\n"
      "       pictrane-capture --convert [OPTIONS] FILE...\n"
      "       pictrane-capture --help | --version\n"
      "\n"
      "Without --convert, opens the window, showing PICTURE if given.\n"
      "With --convert, turns every picture file (BMP, PNG, JPEG, GIF...) into a calculator\n"
      "picture beside it, named after the file (pic1, pic2... when the file's name holds no\n"
      "letter a calculator name takes), without a window. A phone's time-stamped name keeps\n"
      "its time of day (IMG_20240612_183015 gives im183015). Names that would be the same in\n"
      "their 8 characters keep what tells their files apart (astronaut_1024x768 and\n"
      "astronaut_160x100 give ast1024x and ast160x1). Each file's line says the name it got.\n"
      "A file there that is not a calculator file is never replaced.\n"
      "\n"
      "Options for --convert:\n"
      "  --model 89|92p|v200|83p calculator model (default 89; 83p: TI-83 Plus and TI-84 Plus,\n"
      "                          pictures Pic1..Pic9, Pic0 in the files' order, or --name PicN)\n"
      "  --dither METHOD         auto (default: threshold for few-coloured pictures,\n"
      "                          floyd-steinberg for photographs), threshold, floyd-steinberg,\n"
      "                          atkinson, bayer4, bayer8\n"
      "  --tone display|linear   the scale a dither works on (default display: as people see it)\n"
      "  --levels auto|off       stretch the darkest and lightest tones to black and white\n"
      "                          (default: for the photographs of --dither auto)\n"
      "  --threshold N           threshold level, 0 to 256 (default 128)\n"
      "  --brightness N          -100 to 100 (default 0)\n"
      "  --contrast N            -100 to 100 (default 0)\n"
      "  --invert                swap dark and light\n"
      "  --fit fit|fill|stretch  how a larger picture is shrunk (default fit)\n"
      "  --area screen|graph     the whole screen (default) or the graph screen\n"
      "  --folder NAME           the device folder (default main)\n"
      "  --group FILE            write all pictures into one group file instead\n"
      "  --name NAME             the variable name of the one picture; NAME# numbers several\n"
      "                          in the files' order (--name trip# gives trip1, trip2...)\n"
      "  --send [--replace] ...  send each picture too (--send --help); a name the calculator\n"
      "                          holds moves on to the next free one unless --replace\n"
      "\n"
      "Exit status: 0 every picture written, 2 bad usage, 3 some picture not written (a full\n"
      "disk included: the file there stays as it was).\n");
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
    for (std::size_t I = 0; I < Count; ++I) {
      Converted& Each = Results.Result(I);
      QString Variable;
      if (Each.Problem.isEmpty()) Variable = Names.Assign(I, Each);
      if (Each.Problem.isEmpty()) {
        try {
          WriteCalcPicture(BytesOfName(Targets[I]), Each.Picture);
          Names.Take(Each.Picture, FileAt(I));
        } catch (const RaisedError& Error) {
          Each.Problem = QString::fromStdString(Error.Description);
        }
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
