// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "window/KeyPanels.h"
#include "window/SaveTypes.h"

class QComboBox;
class QLineEdit;

namespace pictrane::capture {

class DropDown;

// "Save As": a file-name field (Alt+N) and the "Save as type" list (Alt+V; F4 or Alt+Down drops
// it down inside the window). Enter or Save calls OnEnter, Esc or Cancel OnEscape.
class SaveAsPanel : public KeyPanel {
 public:
  // The list drops down over Overlay, the window, so it may reach past the panel.
  SaveAsPanel(QWidget* Parent, QWidget* Overlay);

  // Shows the panel proposing the picture at PicturePath under the type chosen last, the name
  // selected so that a typed one replaces it. The proposed name follows the chosen type.
  void Start(const QString& PicturePath);
  // Shows the panel again as it was left, the name field focused.
  void Resume();

  // What the panel asks for: the absolute path to write (a relative name is taken in the
  // picture's folder, as a save dialog opened there would; the type's extension is added to a
  // name without one) and the index of its type in kSaveTypes.
  struct Target {
    QString Path;
    int Type = 0;
  };
  Target Chosen(const QString& PicturePath) const;
  bool IsEmpty() const;

  // The type of the last save: the list opens at it, and the view shows the picture for its model.
  int LastType() const { return LastType_; }
  void SetLastType(int Type) { LastType_ = Type; }

  bool HasDropDown() const;
  void CloseDropDown();

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  // A name ending in one of the types' extensions takes the extension of the type chosen now.
  void FollowType(int Type);

  QLineEdit* Name_ = nullptr;
  QComboBox* Type_ = nullptr;
  DropDown* TypeDrop_ = nullptr;
  int LastType_ = kTi89SaveType;
};

}  // namespace pictrane::capture
