// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/FileScript.h"

#include "conversion/SendKeys.h"
#include "platform/Utf8.h"

namespace pictrane {

namespace {

std::string DropLast4(const std::string& S) {
  return S.size() >= 4 ? S.substr(0, S.size() - 4) : "";
}

// Letters a calculator name may hold: ASCII, and the Latin-1 and Greek letters of its own
// character set (taken broadly: a name the tool refuses is never written anyway).
bool NameLetter(char32_t C) {
  return (C >= U'a' && C <= U'z') || (C >= U'A' && C <= U'Z') ||
         (C >= 0xC0 && C <= 0xFF && C != 0xD7 && C != 0xF7) || (C >= 0x391 && C <= 0x3C9);
}

char32_t Lower(char32_t C) {
  if ((C >= U'A' && C <= U'Z') || (C >= 0xC0 && C <= 0xDE && C != 0xD7)) return C + 0x20;
  if (C >= 0x391 && C <= 0x3A9) return C + 0x20;
  return C;
}

}  // namespace

std::string PictureName(const std::string& Bitmap) {
  return DropLast4(Bitmap) + ".89i";
}

FileNames DeriveNames(const std::string& Folder, const std::string& Separator,
                      const std::string& Listed) {
  FileNames N;
  N.Source = Folder + Separator + Listed;
  N.Target = PictureName(N.Source);
  const std::size_t Slash = N.Target.rfind(Separator);
  const std::string Leaf =
      Slash == std::string::npos ? N.Target : N.Target.substr(Slash + Separator.size());
  N.Variable = DropLast4(Leaf);
  return N;
}

std::string CalculatorName(const std::string& Variable) {
  constexpr std::size_t kMaxName = 8;
  std::string Name;
  std::size_t Kept = 0;
  for (std::size_t At = 0; At < Variable.size() && Kept < kMaxName;) {
    char32_t C = 0;
    if (!NextUtf8(Variable, At, C)) continue;
    const bool Fits = NameLetter(C) || (Kept > 0 && ((C >= U'0' && C <= U'9') || C == U'_'));
    if (!Fits) continue;
    AppendUtf8(Name, Lower(C));
    ++Kept;
  }
  return Name;
}

std::vector<ScriptStep> FileScript(const FileNames& Names, const std::string& DeviceFolder) {
  const RunTimings& T = kRunTimings;
  return {
      {"^{F4}"},                                         // close the current picture
      {"^o"},                                            // open
      {EscapeKeys(Names.Source)},                        //
      {"{ENTER}"},                                       //
      {"%f"},                                            // File menu
      {"a"},                                             // Save As
      {EscapeKeys(Names.Target), T.TargetExtraPauseMs},  // the panel takes a moment longer
      {"%v"},                                            // "Save as type"
      {"{F4}"},                                          //
      {"{DOWN 5}"},                                      // the TI-89 picture entry
      {"{ENTER}"},                                       //
      {"{ENTER}"},                                       // save: the variable panel opens
      {EscapeKeys(Names.Variable)},                      //
      {"%a"},                                            // Advanced
      {"%d"},                                            // device folder, its text selected
      {"{DEL}"},                                         //
      {EscapeKeys(DeviceFolder)},                        //
      {"{ENTER}", 0, T.FilePauseMs},                     // write the picture
  };
}

}  // namespace pictrane
