// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The command-line options that talk to the calculator or read its pictures back, without a
// window:
//   --send [--cable usb|silverlink|serial|vti] [--port N] [--timeout T] FILE...
//   --screenshot [--cable ...] [--port N] [--timeout T] OUT   (OUT: .png .bmp .89i .9xi .v2i)
//   --to-png FILE...

#include <QStringList>
#include <QTextStream>

#include "CalcLink.h"

namespace pictrane::capture {

// Exit status when no calculator answered at all (the others are BatchConvert.h's).
inline constexpr int kExitNoCalculator = 1;

bool IsLinkCommand(const QString& FirstArgument);

// Runs the command Arguments names (without the program's name): one line per file on Out,
// problems with the command itself and what the link found on Err. Returns the exit status.
int RunLinkCommand(const QStringList& Arguments, QTextStream& Out, QTextStream& Err);

QString LinkUsageText();

// --cable, --port and --timeout, as "--cable vti" or "--cable=vti": the link options of the
// commands above and of the window.
bool IsLinkOption(const QString& Argument);
// Reads the link option at Arguments[I] and its value (the next argument unless given after
// "=", I then moved onto it) into Link. Returns what makes it bad usage, or an empty string.
QString TakeLinkOption(const QStringList& Arguments, qsizetype& I, LinkSettings& Link);

}  // namespace pictrane::capture
