// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include <optional>
#include <string>

#include "batch/BatchTargets.h"
#include "pictrane/CalcName.h"
#include "picture/PictureOptions.h"

namespace pictrane::capture {

namespace {

QString Latin(std::string_view Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

// The value of the option at Arguments[I]: after its "=", else the next argument (I then moves
// to it); nothing when the option is the last argument.
std::optional<QString> OptionValue(const QStringList& Arguments, qsizetype& I) {
  const QString& Argument = Arguments[I];
  if (const qsizetype Equals = Argument.indexOf(QLatin1Char('=')); Equals >= 0)
    return Argument.mid(Equals + 1);
  if (I + 1 < Arguments.size()) return Arguments[++I];
  return std::nullopt;
}

// --cable, --port and --timeout, as "--cable vti" or "--cable=vti": the link options of the
// link commands, of --convert --send and of the window.
bool IsLinkOption(const QString& Argument) {
  const QString Option = Argument.left(Argument.indexOf(QLatin1Char('=')));
  return Option == QLatin1String("--cable") || Option == QLatin1String("--port") ||
         Option == QLatin1String("--timeout");
}

QString TakeLinkOption(const QStringList& Arguments, qsizetype& I, LinkSettings& Link) {
  const QString& Argument = Arguments[I];
  const QString Option = Argument.left(Argument.indexOf(QLatin1Char('=')));
  const std::optional<QString> Given = OptionValue(Arguments, I);
  if (!Given) return QStringLiteral("%1 needs a value").arg(Option);
  QString Value = *Given;
  bool Ok = false;
  if (Option == QLatin1String("--cable")) {
    Link.Cable = ParseCable(Value.toStdString());
    Ok = Link.Cable.has_value();
    if (!Ok) Value += QStringLiteral("\" is not usb, silverlink, serial or vti");
  } else if (Option == QLatin1String("--port")) {
    Link.Port = Value.toInt(&Ok);
    Ok = Ok && Link.Port >= 1 && Link.Port <= 4;
    if (!Ok) Value += QStringLiteral("\" is not a port from 1 to 4");
  } else {
    const int Tenths = Value.toInt(&Ok);
    Ok = Ok && Tenths >= 1 && Tenths <= 600;
    if (Ok) Link.TimeoutTenths = static_cast<unsigned>(Tenths);
    if (!Ok) Value += QStringLiteral("\" is not a number of tenths of a second from 1 to 600");
  }
  return Ok ? QString() : QStringLiteral("%1: \"%2").arg(Option, Value);
}

// Sets Field to the row of Family that Value names, when Option is the family's; Problem then
// says what is wrong, or is empty. Returns whether Option is the family's.
template <typename Choice>
bool TakeChoice(const OptionFamily<Choice>& Family, Choice Default, const QString& Option,
                const QString& Value, Choice& Field, QString& Problem) {
  if (Option != Latin(Family.Option)) return false;
  for (const OptionRow<Choice>& Row : Family.Rows) {
    if (!Row.Help.empty() && Latin(Row.Name) == Value) {
      Field = Row.Id;
      return true;
    }
  }
  Problem = QStringLiteral("%1: \"%2\" is not %3")
                .arg(Option, Value, Latin(ChoicesText(Family, Default)));
  return true;
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
  const PictureOptions Defaults;
  const auto Bad = [&](const QString& Expected) {
    return QStringLiteral("%1: \"%2\" is not %3").arg(Option, Value, Expected);
  };
  if (Option == QLatin1String("--model")) {
    const CalcModelInfo* Info = ModelByOption(Text);
    if (Info == nullptr) return Bad(QString::fromStdString(OptionList()));
    Batch.Model = Info->Id;
  } else if (QString Problem;
             TakeChoice(DitherFamily(), Defaults.Method, Option, Value, Batch.Picture.Method,
                        Problem) ||
             TakeChoice(ToneFamily(), Defaults.Scale, Option, Value, Batch.Picture.Scale,
                        Problem) ||
             TakeChoice(LevelsFamily(), Defaults.Levels, Option, Value, Batch.Picture.Levels,
                        Problem) ||
             TakeChoice(FitFamily(), Defaults.Fit, Option, Value, Batch.Picture.Fit, Problem) ||
             TakeChoice(AreaFamily(), Defaults.Area, Option, Value, Batch.Picture.Area, Problem)) {
    return Problem;
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
    if (!IsValidName(Value.toStdU32String()))
      return Bad(QStringLiteral("a calculator folder name"));
    Batch.Folder = Value;
  } else if (Option == QLatin1String("--name")) {
    const QString Prefix = Value.endsWith(QLatin1Char('#')) ? Value.chopped(1) : Value;
    if (!IsValidName(Prefix.toStdU32String())) {
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
      QStringLiteral("--model"),    QStringLiteral("--threshold"), QStringLiteral("--brightness"),
      QStringLiteral("--contrast"), QStringLiteral("--group"),     QStringLiteral("--folder"),
      QStringLiteral("--name"),     Latin(DitherFamily().Option),  Latin(ToneFamily().Option),
      Latin(LevelsFamily().Option), Latin(FitFamily().Option),     Latin(AreaFamily().Option)};
  return kWithValue.contains(Option);
}

CommandLine BadUsage(const QString& Problem, bool LinkUsage = false) {
  CommandLine Line;
  Line.What = CommandLine::Action::BadUsage;
  Line.Problem = Problem;
  Line.LinkUsage = LinkUsage;
  return Line;
}

// What is wrong with --name for the files given, or an empty string: one name cannot name
// several pictures, and every number must fit in the name.
QString NameProblem(const BatchOptions& Options) {
  const qsizetype Count = Options.Files.size();
  const QString Stem = QLatin1String(KindOf(Options.Model, Options.Kind).Stem);
  if (IsNumbered(Options.Model) && !Options.Name.isEmpty() &&
      (Numbered(Options) ||
       !IsNumberedPictureName(Options.Name.toStdU32String(), Stem.toStdU32String()))) {
    return QStringLiteral(
               "--name: \"%1\" is not a %2 picture: %3 to %4 (without --name the "
               "pictures take the free ones from %5 on)")
        .arg(Options.Name, QLatin1String(InfoOf(Options.Model).Name), Stem + '0', Stem + '9',
             Stem + '1');
  }
  if (Options.Name.isEmpty() || (!Numbered(Options) && Count == 1)) return {};
  if (!Numbered(Options)) {
    return QStringLiteral(
               "--name: \"%1\" names one picture, but %2 files are given (\"%1#\" numbers them)")
        .arg(Options.Name)
        .arg(Count);
  }
  const QString Last = Options.Name.chopped(1) + QString::number(Count);
  if (!IsValidName(Last.toStdU32String())) {
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
  bool Image = false;  // --image, whichever --model comes after it
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
    if (Argument == QLatin1String("--image")) {
      Image = true;
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
  if (Image) {
    Line.Batch.Kind = KindByOption(Line.Batch.Model, "--image");
    if (Line.Batch.Kind < 0) {
      return BadUsage(QStringLiteral("--image: a %1 has no image variables")
                          .arg(QLatin1String(InfoOf(Line.Batch.Model).Name)));
    }
  }
  if (!Line.Batch.Group.isEmpty() &&
      KindOf(Line.Batch.Model, Line.Batch.Kind).GroupExtension == nullptr) {
    return BadUsage(QStringLiteral("--group: the tool writes no %1 group files")
                        .arg(QLatin1String(InfoOf(Line.Batch.Model).Name)));
  }
  if (const QString Problem = NameProblem(Line.Batch); !Problem.isEmpty()) return BadUsage(Problem);
  // A shell pattern after --group whose name was forgotten makes the first file the group.
  if (!Line.Batch.Group.isEmpty()) {
    if (const QString Problem = GroupProblem(Line.Batch); !Problem.isEmpty()) {
      return BadUsage(QStringLiteral("--group: %1 (is the group's name missing?)").arg(Problem));
    }
  }
  return Line;
}

CommandLine ParseLink(const QStringList& Arguments) {
  CommandLine Line;
  Line.What = CommandLine::Action::Link;
  LinkRequest& Command = Line.Link;
  const QString& Action = Arguments.first();
  Command.What = Action == QLatin1String("--send")         ? LinkRequest::Action::Send
                 : Action == QLatin1String("--screenshot") ? LinkRequest::Action::Screenshot
                                                           : LinkRequest::Action::ToPng;
  const bool Links = Command.What != LinkRequest::Action::ToPng;
  bool OptionsEnded = false;
  for (qsizetype I = 1; I < Arguments.size(); ++I) {
    const QString& Argument = Arguments[I];
    if (OptionsEnded || !Argument.startsWith(QLatin1String("--"))) {
      Command.Files.append(Argument);
      continue;
    }
    if (Argument == QLatin1String("--")) {
      OptionsEnded = true;
      continue;
    }
    if (Argument == QLatin1String("--replace") && Command.What == LinkRequest::Action::Send) {
      Command.Replace = true;
      continue;
    }
    // The model the cable's calculator is, where the cable cannot say (LinkSettings).
    if (Argument.section(QLatin1Char('='), 0, 0) == QLatin1String("--model") && Links) {
      const std::optional<QString> Value = OptionValue(Arguments, I);
      const CalcModelInfo* Info = Value ? ModelByOption(Value->toStdString()) : nullptr;
      if (Info == nullptr) {
        return BadUsage(QStringLiteral("--model: \"%1\" is not %2")
                            .arg(Value.value_or(QString()), QString::fromStdString(OptionList())),
                        true);
      }
      Command.Link.Model = Info->Id;
      continue;
    }
    if (!Links || !IsLinkOption(Argument)) {
      const QString Option = Argument.left(Argument.indexOf(QLatin1Char('=')));
      return BadUsage(QStringLiteral("unknown option \"%1\" for %2").arg(Option, Action), true);
    }
    if (const QString Problem = TakeLinkOption(Arguments, I, Command.Link); !Problem.isEmpty())
      return BadUsage(Problem, true);
  }
  const bool Screenshot = Command.What == LinkRequest::Action::Screenshot;
  if (Command.Files.isEmpty()) {
    return BadUsage(QStringLiteral("%1 needs %2")
                        .arg(Action, Screenshot ? QStringLiteral("the file to save the "
                                                                 "screen in")
                                                : QStringLiteral("files")),
                    true);
  }
  if (Screenshot && Command.Files.size() > 1)
    return BadUsage(QStringLiteral("--screenshot saves one file"), true);
  return Line;
}

// Qt's own options, which the window's application object takes.
bool IsQtOption(const QString& Argument) {
  static const QStringList kQtOptions = {
      QStringLiteral("-platform"),        QStringLiteral("-display"),
      QStringLiteral("-style"),           QStringLiteral("-geometry"),
      QStringLiteral("-qwindowgeometry"), QStringLiteral("-reverse"),
      QStringLiteral("-session"),         QStringLiteral("-stylesheet"),
      QStringLiteral("-plugin"),          QStringLiteral("-qwindowtitle"),
      QStringLiteral("-qwindowicon"),     QStringLiteral("-name")};
  return kQtOptions.contains(Argument.startsWith(QLatin1String("--")) ? Argument.mid(1) : Argument);
}

bool IsLinkCommand(const QString& FirstArgument) {
  return FirstArgument == QLatin1String("--send") ||
         FirstArgument == QLatin1String("--screenshot") ||
         FirstArgument == QLatin1String("--to-png");
}

// The window's picture, --help, --version or --convert, once the link options are taken.
CommandLine ParseOptions(const QStringList& Arguments) {
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

}  // namespace

CommandLine ParseCommandLine(const QStringList& Given) {
  // --verbose may stand anywhere before "--".
  QStringList Arguments;
  bool Verbose = false;
  bool OptionsEnded = false;
  for (const QString& Argument : Given) {
    if (!OptionsEnded && Argument == QLatin1String("--verbose")) {
      Verbose = true;
      continue;
    }
    OptionsEnded = OptionsEnded || Argument == QLatin1String("--");
    Arguments.append(Argument);
  }
  // Link options before the window's picture ("--cable vti photo.bmp") set the window's link.
  std::optional<LinkSettings> WindowLink;
  qsizetype Taken = 0;
  while (Taken < Arguments.size() && IsLinkOption(Arguments[Taken])) {
    if (!WindowLink) WindowLink.emplace();
    if (const QString Problem = TakeLinkOption(Arguments, Taken, *WindowLink); !Problem.isEmpty())
      return BadUsage(Problem, true);
    ++Taken;
  }
  Arguments.remove(0, Taken);
  const QString First = Arguments.isEmpty() ? QString() : Arguments.first();
  const bool Option = First.startsWith(QLatin1Char('-')) && !IsQtOption(First);
  CommandLine Line;
  // Before a command they would be lost without a word: a command takes them after its name.
  if (Taken > 0 && Option && First != QLatin1String("--")) {
    Line = BadUsage(QStringLiteral("the link options go after %1, or before a picture for the "
                                   "window")
                        .arg(First),
                    true);
  } else if (IsLinkCommand(First)) {
    Line = ParseLink(Arguments);
  } else if (Option) {
    Line = ParseOptions(Arguments);
  } else {
    Line.PicturePath = Arguments.join(QLatin1Char(' '));
  }
  Line.Verbose = Verbose;
  if (Line.What == CommandLine::Action::Window) Line.WindowLink = WindowLink;
  return Line;
}

}  // namespace pictrane::capture
