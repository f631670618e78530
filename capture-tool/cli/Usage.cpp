// SPDX-License-Identifier: GPL-3.0-or-later
#include <string_view>

#include "calc/Models.h"
#include "cli/CommandLine.h"
#include "picture/PictureOptions.h"

namespace pictrane::capture {

namespace {

constexpr qsizetype kHelpColumn = 26;
constexpr qsizetype kLinkColumn = 37;
constexpr qsizetype kWidth = 88;

QString Latin(std::string_view Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

// Lead padded to the help's column, then Help, whose later lines start at that column too.
QString Entry(const QString& Lead, std::string_view Help, qsizetype Column = kHelpColumn) {
  const QString Indent(Column, QLatin1Char(' '));
  QString Text = Lead.leftJustified(Column - 1) + QLatin1Char(' ');
  Text += Latin(Help).replace(QLatin1Char('\n'), QLatin1Char('\n') + Indent);
  return Text + QLatin1Char('\n');
}

// Text broken into lines of at most kWidth characters at its spaces, each ending in a newline.
QString Wrapped(const std::string& Text) {
  QString Lines;
  QString Line;
  for (const QString& Word : QString::fromStdString(Text).split(QLatin1Char(' '))) {
    if (!Line.isEmpty() && Line.size() + 1 + Word.size() > kWidth) {
      Lines += Line + QLatin1Char('\n');
      Line.clear();
    }
    Line += (Line.isEmpty() ? QString() : QStringLiteral(" ")) + Word;
  }
  return Lines + Line + QLatin1Char('\n');
}

// A family's option and a line for each name the command line takes.
template <typename Value>
QString FamilyHelp(const OptionFamily<Value>& Family, Value Default) {
  const OptionRow<Value>& Given = RowOf(Family, Default);
  std::string Summary(Family.Summary);
  if (!Given.Help.empty()) Summary += " (default " + std::string(Given.Name) + ")";
  QString Text = Entry(QStringLiteral("  %1 %2").arg(Latin(Family.Option), Latin(Family.Metavar)),
                       Summary + ":");
  for (const OptionRow<Value>& Row : Family.Rows) {
    if (!Row.Help.empty()) Text += Entry(QStringLiteral("      ") + Latin(Row.Name), Row.Help);
  }
  return Text;
}

// --model and what each model's option makes, from the table of models.
QString ModelsHelp() {
  QStringList Options;
  QString Rows;
  for (const auto& [Option, Help] : ModelHelp()) {
    Options << Latin(Option);
    Rows += Entry(QStringLiteral("      ") + Latin(Option), Help);
  }
  const CalcModelInfo& Default = InfoOf(BatchOptions{}.Model);
  return Entry(QStringLiteral("  --model MODEL"), "calculator model, " +
                                                      Options.join(QLatin1Char('|')).toStdString() +
                                                      " (default " + Default.Option + "):") +
         Rows;
}

}  // namespace

QString UsageText() {
  const PictureOptions Defaults;
  return QStringLiteral(
             "Usage: pictrane-capture [PICTURE]\n"
             "       pictrane-capture --convert [OPTIONS] FILE...\n"
             "       pictrane-capture --help | --version\n"
             "\n"
             "Without --convert, opens the window, showing PICTURE if given.\n"
             "With --convert, turns every picture file (BMP, PNG, JPEG, GIF...) into a calculator\n"
             "picture beside it, named after the file (pic1, pic2... when the file's name holds "
             "no\n"
             "letter a calculator name takes), without a window. A phone's time-stamped name "
             "keeps\n"
             "its time of day (IMG_20240612_183015 gives im183015). Names that would be the same "
             "in\n"
             "their 8 characters keep what tells their files apart (astronaut_1024x768 and\n"
             "astronaut_160x100 give ast1024x and ast160x1). Each file's line says the name it "
             "got.\n"
             "A file there that is not a calculator file is never replaced.\n"
             "\n"
             "Options for --convert:\n") +
         ModelsHelp() +
         QStringLiteral(
             "  --image                 the colour calculators' Image variable instead of a Pic\n"
             "                          (numbered models: --name PicN names the one picture)\n") +
         FamilyHelp(DitherFamily(), Defaults.Method) + FamilyHelp(ToneFamily(), Defaults.Scale) +
         FamilyHelp(LevelsFamily(), Defaults.Levels) +
         QStringLiteral(
             "  --threshold N           threshold level, 0 to 256 (default 128)\n"
             "  --brightness N          -100 to 100 (default 0)\n"
             "  --contrast N            -100 to 100 (default 0)\n"
             "  --invert                swap dark and light\n") +
         FamilyHelp(FitFamily(), Defaults.Fit) + FamilyHelp(AreaFamily(), Defaults.Area) +
         QStringLiteral(
             "  --folder NAME           the device folder (default main)\n"
             "  --group FILE            write all pictures into one group file instead\n"
             "  --name NAME             the variable name of the one picture; NAME# numbers "
             "several\n"
             "                          in the files' order (--name trip# gives trip1, trip2...)\n"
             "  --send [--replace] ...  send each picture too (--send --help); a name the "
             "calculator\n"
             "                          holds moves on to the next free one unless --replace\n"
             "\n"
             "Exit status: 0 every picture written, 2 bad usage, 3 some picture not written (a "
             "full\n"
             "disk included: the file there stays as it was).\n");
}

QString LinkUsageText() {
  return QStringLiteral(
             "Usage: pictrane-capture --send [LINK OPTIONS] FILE...\n"
             "       pictrane-capture --screenshot [LINK OPTIONS] OUT\n"
             "       pictrane-capture --to-png FILE...\n"
             "       pictrane-capture --convert [OPTIONS] --send [LINK OPTIONS] FILE...\n"
             "       pictrane-capture [LINK OPTIONS] [PICTURE]\n"
             "\n"
             "--send sends every variable of each calculator file (a group: all its pictures). A\n"
             "name the calculator holds already is never replaced without --replace: the "
             "variable\n"
             "goes under the next free name (numbered pictures: the next free Pic or Image), and "
             "its\n"
             "line says so. The colour calculators' pictures go archived, as they keep them.\n"
             "--convert ... --send names the pictures that way before it writes them.\n"
             "--screenshot saves the calculator's screen (a colour calculator's in colour) as OUT\n"
             "(.png, .bmp, ") +
         Wrapped(LinkedExtensions() + ").") +
         QStringLiteral(
             "--to-png writes FILE.png beside each calculator picture, in its colours (a group:\n"
             "FILE-NAME.png each, FILE-FOLDER-NAME.png for a name the group holds in two "
             "folders).\n"
             "--convert ... --send converts as --convert does and sends each picture written (or "
             "the\n"
             "group), one line per file: \"sent: FILE -> TARGET as NAME\" once the calculator\n"
             "acknowledged it, \"not sent: FILE -> TARGET as NAME: reason\" when it was written "
             "but\n"
             "not sent, \"not written: FILE: reason\".\n"
             "Before PICTURE, the link options set the window's link for that window only; its "
             "File\n"
             "menu's \"Calculator link...\" chooses one and remembers it.\n"
             "\n"
             "Link options:\n") +
         Entry(QStringLiteral("  --cable usb|silverlink|serial|vti"),
               "the cable (default: the first SilverLink cable\nor calculator found on USB:\n" +
                   UsbNameList() + ")",
               kLinkColumn) +
         Entry(QStringLiteral("  --port N"), "the cable's port, 1 to 4 (default 1; vti: 2)",
               kLinkColumn) +
         Entry(QStringLiteral("  --timeout T"),
               "how long to wait for the calculator, in tenths\nof a second (default 20)",
               kLinkColumn) +
         Entry(QStringLiteral("  --model M"),
               "with --send and --screenshot: the model the cable's\ncalculator is, where the "
               "cable cannot say (vti)",
               kLinkColumn) +
         Entry(QStringLiteral("  --verbose"),
               "show the calculator libraries' own log on\nstandard error (anywhere before "
               "\"--\")",
               kLinkColumn) +
         QStringLiteral(
             "\n"
             "Exit status: 0 done, 1 no calculator answered, 2 bad usage, 3 some file not sent or\n"
             "not written. --convert --send: 0 every picture written and sent, 1 no calculator\n"
             "answered at all (the pictures written stay), 2 bad usage, 3 some picture not "
             "written\n"
             "or not sent.\n");
}

}  // namespace pictrane::capture
