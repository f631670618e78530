// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "PixelConversion.h"

class QActionGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QShortcut;

namespace pictrane::capture {

class DropDown;
class KeyPanel;

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
// list or message; Alt+F4 closes the tool.
//
// The "Picture" menu (Alt+P) holds the picture options (PixelConversion.h); the view shows the
// result as the calculator will, beside the source, and follows every change. The options are
// kept in the tool's own per-user settings and used by every save, the keystroke-driven ones
// included. Their shortcuts use Ctrl with digits and arrows, keys the converter never types.
class CaptureWindow : public QMainWindow {
 public:
  explicit CaptureWindow(QWidget* Parent = nullptr);
  ~CaptureWindow() override;

  // Shows the picture at Path; on failure keeps the current one, shows a message, and returns
  // false.
  bool OpenPicture(const QString& Path);

  bool HasPicture() const { return !Picture_.isNull(); }
  QString PicturePath() const { return PicturePath_; }
  // The message shown in the window, or an empty string.
  QString MessageText() const;
  // Whether the File menu or the type list is dropped down.
  bool HasDropDown() const;

  const PictureOptions& Options() const { return Options_; }
  // Applies and remembers new picture options, and redraws the result.
  void SetOptions(const PictureOptions& Options);
  // The result as shown: the calculator picture's pixels (empty without a picture).
  const MonoPicture& Shown() const { return Shown_; }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void ClosePicture();
  void ShowOpenPanel();
  void ShowSaveAsPanel();
  void ShowVariablePanel();
  void ShowAdvanced();
  void ShowMessage(const QString& Text);
  void DismissPanels();
  void ShowOnly(KeyPanel* Panel);
  void DropFileMenu();
  void DropTypeList();
  void CloseDropDowns();

  void AcceptOpen();
  void AcceptSaveAs();
  void AcceptVariable();
  void SaveCalculatorPicture();
  void UpdateTitle();
  void UpdateView();
  void ScaleViews();

  void BuildMenus();
  void BuildPictureMenu();
  void SyncPictureMenu();
  void LoadOptions();
  void SaveOptions() const;
  PictureSize PreviewArea() const;
  void BuildOpenPanel();
  void BuildSaveAsPanel();
  void BuildVariablePanel();
  void BuildMessagePanel();

  QImage Picture_;
  QString PicturePath_;
  QString TargetPath_;
  int TargetType_ = 0;
  int LastSaveType_ = 0;

  PictureOptions Options_;
  MonoPicture Shown_;
  bool ShowSource_ = true;

  QLabel* View_ = nullptr;
  QLabel* SourceView_ = nullptr;
  QLabel* OptionsText_ = nullptr;
  QActionGroup* MethodGroup_ = nullptr;
  QActionGroup* FitGroup_ = nullptr;
  QActionGroup* AreaGroup_ = nullptr;
  QAction* InvertAction_ = nullptr;
  QAction* SourceAction_ = nullptr;
  KeyPanel* OpenPanel_ = nullptr;
  QLineEdit* OpenName_ = nullptr;
  KeyPanel* SaveAsPanel_ = nullptr;
  QLineEdit* SaveName_ = nullptr;
  QComboBox* SaveType_ = nullptr;
  KeyPanel* VariablePanel_ = nullptr;
  QLineEdit* VariableName_ = nullptr;
  QWidget* Advanced_ = nullptr;
  QLineEdit* Folder_ = nullptr;
  KeyPanel* MessagePanel_ = nullptr;
  QLabel* MessageText_ = nullptr;
  QShortcut* OpenShortcut_ = nullptr;
  QShortcut* FileShortcut_ = nullptr;
  QMenu* FileMenu_ = nullptr;
  DropDown* FileDrop_ = nullptr;
  DropDown* TypeDrop_ = nullptr;
  QPointer<QWidget> FocusBeforeDrop_;
};

}  // namespace pictrane::capture
