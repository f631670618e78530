// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

class QMainWindow;
class QMenu;
class QShortcut;

namespace pictrane::capture {

class DropDown;
class PictureMenu;

// What the File menu's commands do; the window supplies them.
struct FileCommands {
  std::function<void()> Open;
  std::function<void()> Close;
  std::function<void()> SaveAs;
  std::function<void()> Exit;
  // Closes every list dropped down in the window, before the File menu drops.
  std::function<void()> CloseLists;
};

// The window's menu bar and keys: File, the Picture menu (PictureMenu.h), and the shortcuts that
// work from anywhere in the window. Alt+F drops down a copy of the File menu inside the window
// (a DropDown), which cannot lose keys typed while it opens; the menu bar serves the mouse.
class WindowMenus : public QObject {
 public:
  WindowMenus(QMainWindow* Window, FileCommands Commands);

  PictureMenu& Picture() { return *Picture_; }
  // While a message is shown only Esc, Ctrl+F4 and Alt+F4 act: a menu dropped by a stray Alt+F
  // would take the following letters as its mnemonics.
  void SetBlocked(bool Blocked);
  bool HasDropDown() const;
  void CloseDropDown();

 private:
  void BuildFileMenu();
  void BuildShortcuts();
  void DropFileMenu();

  QMainWindow* Window_;
  FileCommands Commands_;
  QMenu* FileMenu_ = nullptr;
  DropDown* FileDrop_ = nullptr;
  PictureMenu* Picture_ = nullptr;
  QShortcut* OpenShortcut_ = nullptr;
  QShortcut* FileShortcut_ = nullptr;
};

}  // namespace pictrane::capture
