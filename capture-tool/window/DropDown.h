// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListWidget>
#include <QPointer>
#include <functional>
#include <vector>

namespace pictrane::capture {

// A list dropped down over the window from its opener, as a child widget rather than a popup
// window: a popup takes the keyboard from the window system, and keys sent just before it opens
// or closes can then be lost or land twice. A child widget gets every key in order.
class DropDown : public QListWidget {
 public:
  explicit DropDown(QWidget* Parent);

  std::function<void(int)> OnChoose;
  std::function<void()> OnCancel;
  // Per row, the letter that chooses it at once (menus), or nothing.
  std::vector<QChar> Mnemonics;
  // The last row the Down key moves to, or -1 for the list's last.
  int LastRowDownReaches = -1;

  // Adds a menu item: Label's letter after "&" is underlined and chooses it at once; Detail (a
  // shortcut's text) is shown on the right.
  void AddMenuItem(const QString& Label, const QString& Detail);

  // Shows the list with its top-left corner at Corner (in the parent's coordinates), at least
  // Width wide, with Row current, and gives it the focus.
  void DropAt(QPoint Corner, int Width, int Row);
  // Hides the list; when it had the focus, the widget that had it before the drop gets it back.
  void Close();

 protected:
  void keyPressEvent(QKeyEvent* Event) override;

 private:
  int MnemonicRow(const QString& Text) const;
  void Choose(int Row);

  QPointer<QWidget> FocusBefore_;
};

}  // namespace pictrane::capture
