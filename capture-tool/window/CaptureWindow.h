// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <set>
#include <string>

#include "calc/CalcFile.h"
#include "link/CalcLink.h"
#include "picture/PixelConversion.h"

class QLabel;

namespace pictrane {
class RaisedError;
}

namespace pictrane::capture {

// The converter that typed our keys can no longer see our window when it reports: every message
// about a file also goes to standard error, one line naming the file (ToolRemarks.h).
void RemarkOn(const QString& Path, const QString& Message);
QString DescriptionOf(const RaisedError& Error);

class ConfirmPanel;
class KeyPanel;
class LinkActions;
class MessagePanel;
class OpenPanel;
class PreviewPanel;
class SaveAsPanel;
class VariablePanel;
class WindowMenus;

// The capture tool's one top-level window. Every panel (open, save as, picture variable,
// message) lives inside it and is shown and focused synchronously while the key that asks for it
// is processed, so keys typed ahead of the screen reach the panel they were meant for. No key
// starts a timer or a nested event loop, so keys are handled strictly in order.
//
// Menus and lists drop down as child widgets, not popup windows, for the same reason.
//
// Keys: Ctrl+O open; Alt+F File menu, A "Save As..."; in Save As, Alt+N the file name, Alt+V the
// "Save as type" list (F4 drops it down), Enter saves; in the picture-variable panel, Alt+N the
// name, Alt+A shows "Advanced", Alt+D the device folder with its text selected, Enter writes;
// Esc cancels a panel or dismisses a message; Ctrl+F4 closes the picture and dismisses any panel,
// list or message; Alt+F4 closes the tool. Saving over the picture that is open asks first, and
// the answer is No unless Y is pressed.
//
// The "Picture" menu (Alt+P, PictureMenu.h) holds the picture options; the view shows the result
// as the calculator will, beside the source, and follows every change. The options are used by
// every save, the keystroke-driven ones included.
//
// Ctrl+S saves the picture again to the calculator file it was saved to last (else it asks as
// Save As does); Ctrl+Z and Ctrl+Shift+Z undo and redo picture settings; Ctrl++ and Ctrl+-
// zoom the view. Files dropped on the window: the first opens, and several are offered to the
// batch conversion with the settings shown. The files opened are remembered (File, "Open
// recent"), and Open starts in the folder of the latest.
//
// The window composes its rooms and carries the flow between them: open, save as, then the
// variable for a calculator picture.
class CaptureWindow : public QMainWindow {
 public:
  // The calculator actions use the link chosen last in this window or an earlier one (by
  // default a USB calculator or SilverLink found).
  explicit CaptureWindow(QWidget* Parent = nullptr);
  // They use Link (the command line's) until another is chosen.
  CaptureWindow(QWidget* Parent, LinkSettings Link);
  ~CaptureWindow() override;

  // Shows the picture at Path (a calculator picture or group file too: a group asks which
  // picture); on failure keeps the current one, shows a message, and returns
  // false.
  bool OpenPicture(const QString& Path);

  bool HasPicture() const;
  QString PicturePath() const;
  // The message or question shown in the window, or an empty string.
  QString MessageText() const;
  // Whether the File menu or the type list is dropped down.
  bool HasDropDown() const;

  const PictureOptions& Options() const;
  // Applies and remembers new picture options, and redraws the result.
  void SetOptions(const PictureOptions& Options);
  // The result as shown: the calculator picture's pixels (empty without a picture).
  const MonoPicture& Shown() const;
  // The model whose picture is shown and proposed in Save As (the Picture menu's).
  CalcModelId Model() const;
  void SetModel(CalcModelId Model);
  int Zoom() const;
  QStringList RecentFiles() const;

 protected:
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;

 private:
  void ClosePicture();
  void ShowSaveAs();
  void ShowMessage(const QString& Text);
  // Asks Question in the window: Y calls Yes; N, Enter and Esc call No.
  void Ask(const QString& Question, std::function<void()> Yes, std::function<void()> No);
  void Remember(const QString& Path);
  void ConvertAll(const QStringList& Files);
  void DismissPanels();
  void ShowOnly(KeyPanel* Panel);
  std::array<KeyPanel*, 5> Panels() const;
  void CloseDropDowns();

  void AcceptOpen();
  void AcceptSaveAs();
  void SaveTarget();
  void AcceptVariable();
  // Writes the picture shown as a calculator file; on failure says why and returns false.
  bool WriteCalc(const QString& Path, int TypeIndex, const QString& Name, const QString& Folder);
  QString SavedText() const;
  void Save();
  void ShowScreen(const QImage& Screen);
  void UpdateTitle();
  void UpdateView();
  PictureSize PreviewArea() const;

  // Where the variable panel's picture goes, chosen in Save As.
  QString TargetPath_;
  int TargetType_ = 0;
  // The name the variable panel proposed: the target's own, or, when its file name gives none,
  // FallbackName's (said when the picture is saved under it).
  QString Proposed_;
  bool ProposedFallback_ = false;
  // Every variable name saved in this window, lower case, so that fallback names stay distinct.
  std::set<std::u32string> NamesSaved_;

  PreviewPanel* Preview_ = nullptr;
  OpenPanel* Open_ = nullptr;
  SaveAsPanel* SaveAs_ = nullptr;
  VariablePanel* Variable_ = nullptr;
  MessagePanel* Message_ = nullptr;
  ConfirmPanel* Confirm_ = nullptr;
  WindowMenus* Menus_ = nullptr;
  LinkActions* Link_ = nullptr;
  // The calculator file saved last, which "Send to calculator..." offers first while no other
  // picture was shown or saved since; else it opens at the folder of the one that was (Place_).
  QString LastSaved_;
  QString Place_;
  // What Ctrl+S writes again: the picture's path when it was saved, and the save's choices.
  struct SavedAs {
    QString Source;
    int Type = 0;
    QString Name, Folder;
  };
  SavedAs Again_;
  CalcModelId ShownModel_ = CalcModelId::Ti89;
  int ShownKind_ = 0;  // the model's kind of picture variable shown: the one saved last
  QLabel* OptionsText_ = nullptr;
};

}  // namespace pictrane::capture
