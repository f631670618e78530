// SPDX-License-Identifier: GPL-3.0-or-later
#include "DropDown.h"

#include <QApplication>
#include <QKeyEvent>
#include <algorithm>

namespace pictrane::capture {

DropDown::DropDown(QWidget* Parent) : QListWidget(Parent) {
  setFrameShape(QFrame::Box);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  hide();
  connect(this, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* Item) { Choose(row(Item)); });
}

void DropDown::DropAt(QPoint Corner, int Width, int Row) {
  FocusBefore_ = QApplication::focusWidget();
  const int Frame = 2 * frameWidth();
  const int Height = sizeHintForRow(0) * count() + Frame;
  setGeometry(Corner.x(), Corner.y(), std::max(Width, sizeHintForColumn(0) + Frame + 8), Height);
  setCurrentRow(Row);
  show();
  raise();
  setFocus(Qt::PopupFocusReason);
}

void DropDown::Close() {
  const bool HadFocus = hasFocus();
  hide();
  if (HadFocus && FocusBefore_ != nullptr && FocusBefore_->isVisible()) {
    FocusBefore_->setFocus(Qt::PopupFocusReason);
  }
}

void DropDown::keyPressEvent(QKeyEvent* Event) {
  const bool Unmodified =
      (Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
  const int Key = Event->key();
  if (Unmodified && (Key == Qt::Key_Return || Key == Qt::Key_Enter)) {
    Choose(currentRow());
  } else if (Unmodified && (Key == Qt::Key_Escape || Key == Qt::Key_F4)) {
    if (OnCancel) OnCancel();
  } else if (const int Row = MnemonicRow(Event->text()); Unmodified && Row >= 0) {
    Choose(Row);
  } else {
    QListWidget::keyPressEvent(Event);
  }
  // Nothing typed while the list is down reaches the panel behind it.
  Event->accept();
}

int DropDown::MnemonicRow(const QString& Text) const {
  if (Text.size() != 1) return -1;
  for (std::size_t i = 0; i < Mnemonics.size(); ++i) {
    if (!Mnemonics[i].isNull() && Mnemonics[i] == Text.at(0).toLower()) return static_cast<int>(i);
  }
  return -1;
}

void DropDown::Choose(int Row) {
  if (Row >= 0 && Row < count() && OnChoose) OnChoose(Row);
}

}  // namespace pictrane::capture
