// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>
#include <functional>

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

// "Open picture": one file-name field; Enter or Open calls OnEnter, Esc or Cancel OnEscape.
class OpenPanel : public KeyPanel {
 public:
  explicit OpenPanel(QWidget* Parent);

  // Shows the panel with an empty field that has the focus.
  void Start();
  QString Typed() const;

 private:
  QLineEdit* Name_ = nullptr;
};

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
