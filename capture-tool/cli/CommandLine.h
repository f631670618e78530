// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The tool's command line, parsed once into one struct: the window with a bitmap to open (and
// its link), --help, --version, the batch conversion (--convert, with --send), and the link
// commands (--send, --screenshot, --to-png), none of which needs a window or a display.

#include <QString>
#include <QStringList>
#include <optional>

#include "batch/BatchConvert.h"
#include "batch/LinkCommands.h"
#include "link/CalcLink.h"

namespace pictrane::capture {

struct CommandLine {
  enum class Action { Window, Help, Version, Convert, Link, BadUsage };
  Action What = Action::Window;
  bool Verbose = false;  // --verbose, anywhere before "--": the libraries' own log is shown
  // Window: the picture to open, or empty, and the link options given before it.
  QString PicturePath;
  std::optional<LinkSettings> WindowLink;
  BatchOptions Batch;  // Convert
  LinkRequest Link;    // Link
  // BadUsage: one line saying what is wrong, and whether the link commands' usage explains it.
  QString Problem;
  bool LinkUsage = false;
};

// Arguments without the program's name. Options come first; "--" ends them. Without options, the
// arguments are the picture to open, joined by blanks (an unquoted path arrives in pieces). A Qt
// option of the window's (-platform, -display...) first means the window: its picture is known
// once Qt has taken its own options, so the rest is parsed again then.
CommandLine ParseCommandLine(const QStringList& Arguments);

// The usage of the tool and of its link commands, for --help and after bad usage.
QString UsageText();
QString LinkUsageText();

}  // namespace pictrane::capture
