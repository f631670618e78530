// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The batch conversion (--convert), which needs no window and no display; the window's "convert
// them all" too.

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <cstddef>
#include <optional>
#include <set>
#include <string>

#include "calc/CalcFile.h"
#include "link/CalcLink.h"
#include "picture/PixelConversion.h"
#include "picture/ToolInfo.h"

namespace pictrane::capture {

struct BatchOptions {
  CalcModelId Model = CalcModelId::Ti89;
  int Kind = 0;  // of the model's picture kinds: --image chooses a colour calculator's Image
  PictureOptions Picture;
  QString Folder = QStringLiteral("main");
  QString Group;  // a group file to write every picture into, or empty
  // --name: the one picture's name, or PREFIX# to number the pictures in the files' order; empty:
  // named after their files.
  QString Name;
  QStringList Files;
  std::optional<LinkSettings> Send;  // --send: every file written is sent over this link too
  bool Replace = false;              // --replace: a name the calculator holds may be replaced
};

// Whether --name numbers the pictures ("trip#").
bool Numbered(const BatchOptions& Options);

// Why a picture has the name FallbackName (CalcName.h) gave it, for its line: the name of its
// file, without the extension, gives none.
QString NoNameText(const QString& Base);

// Where the batch sends what it wrote, with --send (LinkCommands.h: the calculator).
class PictureSender {
 public:
  virtual ~PictureSender() = default;
  // Sends the file at Path; returns why it was not wholly sent, or an empty string. Acknowledged
  // counts its pictures the calculator took, in the file's order.
  virtual QString Send(const QString& Path, std::size_t& Acknowledged) = 0;
  // The names the calculator holds in Folder, as LowerName (CalcName.h) gives them.
  virtual std::set<std::u32string> Held(const QString& Folder) = 0;
};

// Converts every file of Options.Files, writing one line per file to Out; returns kExitDone when
// every picture was written (and, with Sender, sent), kExitNotAllWritten otherwise. With Sender,
// each picture file (or the group) is sent once written, and a line says "sent" only for a
// picture the calculator acknowledged.
int RunBatch(const BatchOptions& Options, QTextStream& Out, PictureSender* Sender = nullptr);

}  // namespace pictrane::capture
