// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The command-line options that talk to the calculator or read its pictures back, without a
// window:
//   --send [--cable usb|silverlink|serial|vti] [--port N] [--timeout T] FILE...
//   --screenshot [--cable ...] [--port N] [--timeout T] OUT   (OUT: .png .bmp .89i .9xi .v2i)
//   --to-png FILE...

#include <QStringList>
#include <QTextStream>
#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/CalcLink.h"
#include "picture/ToolInfo.h"

namespace pictrane::capture {

// A link command as the command line gives it (CommandLine.h).
struct LinkRequest {
  enum class Action { Send, Screenshot, ToPng };
  Action What = Action::Send;
  LinkSettings Link;
  bool Replace = false;  // --send --replace
  QStringList Files;
};

// Files sent one after another over one link, opened at the first file (saying on Err what
// answered). Once no calculator answered, or it stopped answering, or the cable stopped working,
// later files are not tried: each would only wait out the timeout again.
// The name a picture goes under beside the names in Taken (held as LowerName gives them): Wanted
// itself when free; a numbered model's picture the first free of Pic1..Pic9, Pic0 after it (empty
// when all ten are taken), any other DistinctName's (CalcName.h).
std::u32string FreeName(std::u32string_view Wanted, const std::set<std::u32string>& Taken,
                        bool Numbered);

// A name as a line shows it: "main\\trip1", or "Pic3" without a folder.
QString ShownVariable(const QString& Folder, const std::u32string& Name);

class SendSession {
 public:
  // Replace: a variable of the name already on the calculator is replaced; without it, the
  // variable goes under the next free name (FreeName) and the line says so.
  SendSession(const LinkSettings& Settings, QTextStream& Err, bool Replace = false);
  ~SendSession();
  SendSession(const SendSession&) = delete;
  SendSession& operator=(const SendSession&) = delete;

  struct Outcome {
    QString Problem;               // why the file was not wholly sent, or empty
    std::size_t Acknowledged = 0;  // its variables the calculator acknowledged, in order
    QStringList Names;  // what its line adds for each variable renamed or replacing another
  };
  Outcome Send(const QString& File);
  // The names the calculator holds in Folder (every one on a numbered model), as LowerName gives
  // them, with those sent in this session; empty when no calculator answers. Opens the link.
  std::set<std::u32string> Held(const QString& Folder);
  // Whether the link never opened because there was no cable or no calculator answered.
  bool NobodyAnswered() const;

 private:
  LinkSettings Settings_;
  QTextStream& Err_;
  bool Open();
  std::unique_ptr<CalcLink> Link_;
  bool Replace_ = false;
  std::optional<std::vector<CalcLink::Variable>> Listed_;  // with those sent since
  std::optional<QString> Stop_;                            // why later files are not tried
  bool NobodyAnswered_ = false;
};

// Runs the command: one line per file on Out, what the link found on Err. Returns the exit
// status.
int RunLinkCommand(const LinkRequest& Command, QTextStream& Out, QTextStream& Err);

// --convert ... --send ...: converts as RunBatch does and sends every picture written, one line
// per file. Returns kExitNoCalculator when no calculator answered at all, else RunBatch's status.
struct BatchOptions;
int RunConvertAndSend(const BatchOptions& Options, QTextStream& Out, QTextStream& Err);

}  // namespace pictrane::capture
