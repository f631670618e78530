// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/FileScript.h"

#include "conversion/SendKeys.h"

namespace pictrane {

namespace {

std::string DropLast4(const std::string& S) {
  return S.size() >= 4 ? S.substr(0, S.size() - 4) : "";
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
