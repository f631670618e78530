// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>

#include "link/CalcLink.h"

class QComboBox;
class QSpinBox;

namespace pictrane::capture {

// The window's link as chosen last, kept in the tool's settings file beside the picture options
// (PictureMenu.h); without a choice, a USB calculator or SilverLink is looked for.
LinkSettings LoadLinkChoice();
// Returns why the choice could not be stored (the settings file cannot be written), or an empty
// string.
QString SaveLinkChoice(const LinkSettings& Link);

// "Calculator link": which cable "Send to calculator..." and "Take the calculator's screen" use
// (USB found automatically, the calculator's own USB cable, SilverLink, serial, the virtual
// cable) and its port. The timeout stays as it was given.
class CableDialog : public QDialog {
 public:
  CableDialog(QWidget* Parent, const LinkSettings& Current);
  LinkSettings Chosen() const;

 private:
  LinkSettings Current_;
  QComboBox* Cable_ = nullptr;
  QSpinBox* Port_ = nullptr;
};

}  // namespace pictrane::capture
