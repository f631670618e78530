// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>
#include <functional>
#include <memory>

class QAbstractFileIconProvider;
class QFileDialog;
class QLabel;
class QLineEdit;

namespace pictrane::capture {

// A panel inside the capture window: Enter and Esc that its fields leave unused come here, and a
// panel that swallows keys (a message) lets no other key through, so that the rest of a file's
// keys change nothing.
class KeyPanel : public QFrame {
 public:
  explicit KeyPanel(QWidget* Parent);

  std::function<void()> OnEnter;
  std::function<void()> OnEscape;
  bool SwallowKeys = false;

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
};

// "Open picture": Qt's own file dialog, embedded in the window as a widget (a dialog window of
// its own would lose the keys typed before it maps), listing the pictures the tool reads. A full
// path typed into its file-name field and Enter, or a file chosen with the mouse, calls OnEnter;
// Esc or Cancel OnEscape. Its file-name completion is the list's own selection: a completer's
// popup is a window of its own too.
class OpenPanel : public KeyPanel {
 public:
  explicit OpenPanel(QWidget* Parent);
  ~OpenPanel() override;

  // Shows the panel at Folder (the current one when empty) with an empty file-name field that
  // has the focus.
  void Start(const QString& Folder);
  // The file chosen: what was typed, taken in the folder shown when relative.
  QString Typed() const;
  QFileDialog& Dialog() { return *Dialog_; }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  std::unique_ptr<QAbstractFileIconProvider> Icons_;
  QFileDialog* Dialog_ = nullptr;
  QLineEdit* Name_ = nullptr;
  QString Chosen_;
};

// The file dialog's filter of the pictures the tool reads: Qt's image formats and the calculator
// pictures and groups.
QStringList PictureNameFilters();

// A message with a warning icon. Only Esc, Ctrl+F4 and the mouse dismiss it (OnEscape).
class MessagePanel : public KeyPanel {
 public:
  explicit MessagePanel(QWidget* Parent);

  // Shows Text and takes the focus.
  void Start(const QString& Text);
  // The text shown, or an empty string while hidden.
  QString Text() const;

 private:
  QLabel* Text_ = nullptr;
};

// A yes-or-no question whose answer is No unless Y (or Alt+Y, or the Yes button) is given: Enter,
// Esc and N all answer No (OnEscape); every other key is swallowed.
class ConfirmPanel : public KeyPanel {
 public:
  explicit ConfirmPanel(QWidget* Parent);

  std::function<void()> OnYes;

  // Shows Question and takes the focus.
  void Start(const QString& Question);
  // The question shown, or an empty string while hidden.
  QString Text() const;

 protected:
  void keyPressEvent(QKeyEvent* Event) override;

 private:
  QLabel* Text_ = nullptr;
};

}  // namespace pictrane::capture
