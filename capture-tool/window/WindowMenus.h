// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;

namespace pictrane::capture {

class DropDown;
class PictureMenu;

// The tool's name as its window and About box show it.
inline constexpr const char* kToolTitle = "Pictrane Capture";

// What the File menu's commands do; the window supplies them.
struct FileCommands {
  std::function<void()> Open;
  std::function<void()> Close;
  std::function<void()> SaveAs;
  // Ctrl+S: saves again to the calculator file saved last, else asks as Save As does.
  std::function<void()> Save;
  // Opens a file of the recent files' list.
  std::function<void(const QString&)> OpenRecent;
  // The view's zoom: 0 fits the window, 1 to 4 are whole-number zooms; ZoomBy steps it.
  std::function<void(int)> ZoomTo;
  std::function<void(int)> ZoomBy;
  // The calculator link: "Send to calculator..." and "Take the calculator's screen".
  std::function<void()> Send;
  std::function<void()> Screen;
  // "Calculator link...": the cable and port both use.
  std::function<void()> Link;
  std::function<void()> Exit;
  // Closes every list dropped down in the window, before the File menu drops.
  std::function<void()> CloseLists;
};

// The window's menu bar and keys: File, Picture (PictureMenu.h), Edit (undo and redo of the
// picture settings), Zoom and Help. Alt+F drops down a copy
// of the File menu inside the window (a DropDown), which cannot lose keys typed while it opens;
// the menu bar's own File menu serves the mouse. Help (Alt+H) is an ordinary menu: the converter
// never types its keys. No menu title takes A, D, N or V, the panels' letters.
class WindowMenus : public QObject {
 public:
  WindowMenus(QMainWindow* Window, FileCommands Commands);

  PictureMenu& Picture() { return *Picture_; }
  // While a message is shown only Esc, Ctrl+F4 and Alt+F4 act: a menu dropped by a stray Alt+F
  // would take the following letters as its mnemonics.
  void SetBlocked(bool Blocked);
  bool HasDropDown() const;
  void CloseDropDown();
  // Shows the About box beside the window, without waiting for it.
  void ShowAbout();
  // Shows how to show a picture on each calculator, beside the window.
  void ShowCalculatorHelp();
  // Lists Files (the latest first) under File, "Open recent".
  void SetRecent(const QStringList& Files);

 private:
  void BuildFileMenu();
  void BuildEditMenu();
  void BuildZoomMenu();
  void BuildHelpMenu();
  void DropFileMenu();

  QMainWindow* Window_;
  FileCommands Commands_;
  bool Blocked_ = false;
  QMenu* FileMenu_ = nullptr;
  // The File menu's commands, in the menu's order; the dropped-down copy lists the same.
  std::vector<QAction*> FileActions_;
  QAction* OpenAction_ = nullptr;
  QMenu* RecentMenu_ = nullptr;
  DropDown* FileDrop_ = nullptr;
  PictureMenu* Picture_ = nullptr;
};

}  // namespace pictrane::capture
