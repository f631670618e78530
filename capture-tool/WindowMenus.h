// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
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
  // The calculator link: "Send to calculator..." and "Take the calculator's screen".
  std::function<void()> Send;
  std::function<void()> Screen;
  // "Calculator link...": the cable and port both use.
  std::function<void()> Link;
  std::function<void()> Exit;
  // Closes every list dropped down in the window, before the File menu drops.
  std::function<void()> CloseLists;
};

// The window's menu bar and keys: File, Picture (PictureMenu.h) and Help. Alt+F drops down a copy
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

 private:
  void BuildFileMenu();
  void BuildHelpMenu();
  void DropFileMenu();

  QMainWindow* Window_;
  FileCommands Commands_;
  bool Blocked_ = false;
  QMenu* FileMenu_ = nullptr;
  // The File menu's commands, in the menu's order; the dropped-down copy lists the same.
  std::vector<QAction*> FileActions_;
  QAction* OpenAction_ = nullptr;
  DropDown* FileDrop_ = nullptr;
  PictureMenu* Picture_ = nullptr;
};

}  // namespace pictrane::capture
