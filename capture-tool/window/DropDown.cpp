// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/DropDown.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

namespace pictrane::capture {

namespace {

constexpr int kPadding = 4;
constexpr int kGap = 24;

// Draws a row as a menu does: the label with its mnemonic underlined, the detail on the right.
class MenuRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
             const QModelIndex& Index) const override {
    QStyleOptionViewItem Row(Option);
    initStyleOption(&Row, Index);
    const QString Label = Row.text;
    Row.text.clear();
    const QStyle* Style = Row.widget != nullptr ? Row.widget->style() : QApplication::style();
    Style->drawControl(QStyle::CE_ItemViewItem, &Row, Painter, Row.widget);
    const QRect Room = Row.rect.adjusted(kPadding, 0, -kPadding, 0);
    const auto Role =
        (Row.state & QStyle::State_Selected) != 0 ? QPalette::HighlightedText : QPalette::Text;
    Style->drawItemText(Painter, Room, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                        Row.palette, true, Label, Role);
    Style->drawItemText(Painter, Room, Qt::AlignRight | Qt::AlignVCenter, Row.palette, true,
                        Index.data(Qt::UserRole).toString(), Role);
  }

  QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    QSize Size = QStyledItemDelegate::sizeHint(Option, Index);
    const QString Detail = Index.data(Qt::UserRole).toString();
    if (!Detail.isEmpty()) Size.rwidth() += kGap + Option.fontMetrics.horizontalAdvance(Detail);
    return Size + QSize(2 * kPadding, 0);
  }
};

}  // namespace

DropDown::DropDown(QWidget* Parent) : QListWidget(Parent) {
  setFrameShape(QFrame::Box);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setItemDelegate(new MenuRowDelegate(this));
  hide();
  connect(this, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* Item) { Choose(row(Item)); });
}

void DropDown::AddMenuItem(const QString& Label, const QString& Detail) {
  auto* Item = new QListWidgetItem(Label, this);
  Item->setData(Qt::UserRole, Detail);
  const qsizetype Mark = Label.indexOf(QLatin1Char('&'));
  Mnemonics.resize(static_cast<std::size_t>(count()));
  if (Mark >= 0 && Mark + 1 < Label.size()) Mnemonics.back() = Label.at(Mark + 1).toLower();
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
  } else if (Unmodified && Key == Qt::Key_Down && currentRow() == LastRowDownReaches) {
    // Stays: keys that count on Down ending on that row keep working when rows follow it.
  } else {
    QListWidget::keyPressEvent(Event);
  }
  // Nothing typed while the list is down reaches the panel behind it.
  Event->accept();
}

int DropDown::MnemonicRow(const QString& Text) const {
  if (Text.size() != 1) return -1;
  for (std::size_t Row = 0; Row < Mnemonics.size(); ++Row) {
    if (!Mnemonics[Row].isNull() && Mnemonics[Row] == Text.at(0).toLower())
      return static_cast<int>(Row);
  }
  return -1;
}

void DropDown::Choose(int Row) {
  if (Row >= 0 && Row < count() && OnChoose) OnChoose(Row);
}

}  // namespace pictrane::capture
