// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>

#include "window/KeyPanels.h"

class QLineEdit;

namespace pictrane::capture {

// "Picture variable": the variable name (Alt+N) and, under "Advanced" (Alt+A shows it), the
// device folder (Alt+D focuses it with its text selected). Both fields refuse, as they are typed,
// every character a calculator name cannot hold at that place. Enter or OK calls OnEnter, Esc or
// Cancel OnEscape.
class VariablePanel : public KeyPanel {
 public:
  explicit VariablePanel(QWidget* Parent);

  // Shows the panel with Proposed as the name, selected (so that typing replaces it), the default
  // folder and "Advanced" hidden.
  void Start(const QString& Proposed);

  QString Name() const;
  QString Folder() const;
  // Why the fields cannot be written, or an empty string.
  QString Problem() const;

 private:
  QLineEdit* Name_ = nullptr;
  QWidget* Advanced_ = nullptr;
  QLineEdit* Folder_ = nullptr;
};

std::u32string ToU32(const QString& Text);

}  // namespace pictrane::capture
