// SPDX-License-Identifier: GPL-3.0-or-later
// The command line parsed once: every option into its struct and bad usage refused, and the
// manual's lists of the picture options' choices as their tables give them.

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "picture/PictureOptions.h"

namespace pictrane::capture {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, TakesThePictureOptionsAndRefusesBadUsage) {
  struct Case {
    QStringList Arguments;
    Action What;
    std::function<bool(const CommandLine&)> Check;
  };
  const auto Any = [](const CommandLine&) { return true; };
  const std::vector<Case> Cases = {
      {{}, Action::Window, [](const CommandLine& L) { return L.PicturePath.isEmpty(); }},
      {{"a", "b.bmp"},
       Action::Window,
       [](const CommandLine& L) { return L.PicturePath == "a b.bmp"; }},
      {{"--", "-x.bmp"},
       Action::Window,
       [](const CommandLine& L) { return L.PicturePath == "-x.bmp"; }},
      {{"--help"}, Action::Help, Any},
      {{"--version"}, Action::Version, Any},
      {{"--convert", "--help"}, Action::Help, Any},
      {{"--convert",     "--model",  "v200",         "--dither=atkinson",
        "--threshold",   "100",      "--brightness", "-20",
        "--contrast=30", "--invert", "--fit",        "fill",
        "--area",        "graph",    "--folder",     "Pics",
        "--group",       "all",      "a.png",        "--",
        "--b.png"},
       Action::Convert,
       [](const CommandLine& L) {
         const BatchOptions& B = L.Batch;
         return B.Model == CalcModelId::Voyage200 && B.Picture.Method == ToneMethod::Atkinson &&
                B.Picture.Level == 100 && B.Picture.Brightness == -20 && B.Picture.Contrast == 30 &&
                B.Picture.Invert && B.Picture.Fit == Sizing::Fill &&
                B.Picture.Area == TargetArea::Graph && B.Folder == "Pics" && B.Group == "all" &&
                B.Files == QStringList{"a.png", "--b.png"};
       }},
      {{"--convert", "a.png"},
       Action::Convert,
       [](const CommandLine& L) {
         return L.Batch.Picture == PictureOptions{} && L.Batch.Folder == "main" &&
                L.Batch.Name.isEmpty() && !L.Batch.Send;
       }},
      {{"--convert", "--dither", "atkinson", "a.png", "--send", "--cable=vti", "--port", "3",
        "b.png"},
       Action::Convert,
       [](const CommandLine& L) {
         return L.Batch.Picture.Method == ToneMethod::Atkinson && L.Batch.Send &&
                L.Batch.Send->Cable == CableKind::Virtual && L.Batch.Send->Port == 3 &&
                L.Batch.Files == QStringList{"a.png", "b.png"};
       }},
      {{"--convert", "--name", "trip#", "a.png", "b.png", "c.png"},
       Action::Convert,
       [](const CommandLine& L) { return L.Batch.Name == "trip#"; }},
      {{"--convert", "--name=trip", "a.png", "b.png"}, Action::BadUsage, Any},
      {{"--convert", "--name", "1st", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--name", "trip#x", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--name", "holidays#", "a.png"}, Action::BadUsage, Any},
      {{"--bogus"}, Action::BadUsage, Any},
      {{"--convert"}, Action::BadUsage, Any},
      {{"--convert", "--model", "83", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--model", "83p", "a.png"},
       Action::Convert,
       [](const CommandLine& L) { return L.Batch.Model == CalcModelId::Ti83Plus; }},
      // --image before or after the colour model; no Image on a one-bit model, no colour groups.
      {{"--convert", "--image", "--model", "84pce", "--name", "Image0", "a.png"},
       Action::Convert,
       [](const CommandLine& L) {
         return L.Batch.Model == CalcModelId::Ti84PlusCe && L.Batch.Kind == 1;
       }},
      {{"--convert", "--model", "84pce", "--image", "--name", "Pic0", "a.png"},
       Action::BadUsage,
       Any},
      {{"--convert", "--image", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--model", "84pce", "--group", "all", "a.png"}, Action::BadUsage, Any},
      {{"--screenshot", "--model", "84pce", "--cable", "vti", "s.png"},
       Action::Link,
       [](const CommandLine& L) { return L.Link.Link.Model == CalcModelId::Ti84PlusCe; }},
      {{"--convert", "--threshold", "257", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--contrast", "-101", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--folder", "1st", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "a.png", "--model"}, Action::BadUsage, Any},
      {{"--convert", "--unknown", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--cable", "vti", "--send", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--send", "--send", "a.png"}, Action::BadUsage, Any},
      {{"--convert", "--send", "--timeout", "0", "a.png"}, Action::BadUsage, Any},
  };
  for (const Case& C : Cases) {
    const CommandLine Line = ParseCommandLine(C.Arguments);
    EXPECT_EQ(Line.What, C.What) << C.Arguments.join(' ').toStdString();
    EXPECT_TRUE(C.Check(Line)) << C.Arguments.join(' ').toStdString();
    EXPECT_EQ(Line.Problem.isEmpty(), C.What != Action::BadUsage)
        << C.Arguments.join(' ').toStdString();
  }
}

// The choices listed under Option's entry of the manual: each ".TP", ".B NAME" and its help up to
// the list's ".RE", as "NAME: HELP" with the roff escapes undone.
QStringList ManualChoices(const QString& Manual, const QString& Option) {
  const QString Escaped = QString(Option).replace(QLatin1String("-"), QLatin1String("\\-"));
  const qsizetype Start = Manual.indexOf(QRegularExpression(
      QLatin1String("^\\.BI? ") + QRegularExpression::escape(Escaped) + QLatin1String("\\b"),
      QRegularExpression::MultilineOption));
  const qsizetype List = Manual.indexOf(QLatin1String("\n.RS\n"), Start);
  const qsizetype End = Manual.indexOf(QLatin1String("\n.RE\n"), List);
  if (Start < 0 || List < 0 || End < 0) return {};
  QStringList Choices;
  for (const QString& Item : Manual.mid(List + 5, End - List - 5).split(QLatin1String(".TP\n"))) {
    QStringList Lines = Item.trimmed().split(QLatin1Char('\n'));
    if (Lines.size() < 2 || !Lines.first().startsWith(QLatin1String(".B "))) continue;
    const QString Name = Lines.takeFirst().mid(3);
    QString Choice = Name + QLatin1String(": ") + Lines.join(QLatin1Char(' '));
    Choices << Choice.replace(QLatin1String("\\-"), QLatin1String("-"));
  }
  return Choices;
}

template <typename Value>
QStringList TableChoices(const OptionFamily<Value>& Family) {
  QStringList Choices;
  for (const OptionRow<Value>& Row : Family.Rows) {
    if (Row.Help.empty()) continue;
    Choices << QString::fromLatin1(Row.Name.data(), static_cast<qsizetype>(Row.Name.size())) +
                   QLatin1String(": ") +
                   QString::fromLatin1(Row.Help.data(), static_cast<qsizetype>(Row.Help.size()))
                       .replace(QLatin1Char('\n'), QLatin1Char(' '));
  }
  return Choices;
}

TEST(CommandLine, ManualListsEveryChoiceOfItsTable) {
  QFile File(QStringLiteral(PICTRANE_MANUAL_PATH));
  ASSERT_TRUE(File.open(QIODevice::ReadOnly));
  const QString Manual = QString::fromUtf8(File.readAll());
  const std::vector<std::pair<QString, QStringList>> Families = {
      {"--dither", TableChoices(DitherFamily())}, {"--tone", TableChoices(ToneFamily())},
      {"--levels", TableChoices(LevelsFamily())}, {"--fit", TableChoices(FitFamily())},
      {"--area", TableChoices(AreaFamily())},
  };
  for (const auto& [Option, Choices] : Families) {
    EXPECT_EQ(ManualChoices(Manual, Option), Choices) << Option.toStdString();
  }
}

}  // namespace
}  // namespace pictrane::capture
