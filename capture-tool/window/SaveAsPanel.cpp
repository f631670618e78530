// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/SaveAsPanel.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "window/DropDown.h"
#include "window/SaveTypes.h"

namespace pictrane::capture {

namespace {

QString ExtensionOf(int Type) {
  return ExtensionOf(kSaveTypes[static_cast<std::size_t>(Type)]);
}

}  // namespace

SaveAsPanel::SaveAsPanel(QWidget* Parent, QWidget* Overlay) : KeyPanel(Parent) {
  auto* Layout = new QGridLayout(this);
  auto* Title = new QLabel(QStringLiteral("<b>Save As</b>"), this);
  auto* NameLabel = new QLabel(QStringLiteral("File &name:"), this);
  Name_ = new QLineEdit(this);
  NameLabel->setBuddy(Name_);
  auto* TypeLabel = new QLabel(QStringLiteral("Sa&ve as type:"), this);
  Type_ = new QComboBox(this);
  TypeDrop_ = new DropDown(Overlay);
  TypeDrop_->LastRowDownReaches = kLastRowDownReaches;
  for (const SaveType& Type : kSaveTypes) {
    Type_->addItem(LabelOf(Type));
    TypeDrop_->addItem(LabelOf(Type));
  }
  TypeLabel->setBuddy(Type_);
  connect(Type_, &QComboBox::currentIndexChanged, this, [this](int Type) { FollowType(Type); });
  Type_->installEventFilter(this);
  TypeDrop_->OnChoose = [this](int Row) {
    Type_->setCurrentIndex(Row);
    CloseDropDown();
  };
  TypeDrop_->OnCancel = [this] { CloseDropDown(); };
  auto* Save = new QPushButton(QStringLiteral("Save"), this);
  auto* Cancel = new QPushButton(QStringLiteral("Cancel"), this);
  Layout->addWidget(Title, 0, 0, 1, 3);
  Layout->addWidget(NameLabel, 1, 0);
  Layout->addWidget(Name_, 1, 1);
  Layout->addWidget(Save, 1, 2);
  Layout->addWidget(TypeLabel, 2, 0);
  Layout->addWidget(Type_, 2, 1);
  Layout->addWidget(Cancel, 2, 2);
  Layout->setColumnStretch(1, 1);
  connect(Save, &QPushButton::clicked, this, [this] { OnEnter(); });
  connect(Cancel, &QPushButton::clicked, this, [this] { OnEscape(); });
}

void SaveAsPanel::Start(const QString& PicturePath) {
  const QFileInfo Source(PicturePath);
  Name_->setText(
      Source.dir().filePath(Source.completeBaseName() + QLatin1Char('.') + ExtensionOf(LastType_)));
  Type_->setCurrentIndex(LastType_);
  show();
  Name_->setFocus(Qt::OtherFocusReason);
  Name_->selectAll();
}

void SaveAsPanel::Resume() {
  show();
  Name_->setFocus(Qt::OtherFocusReason);
}

void SaveAsPanel::FollowType(int Type) {
  if (Type < 0) return;
  const QString Name = Name_->text();
  const QString Suffix = QFileInfo(Name).suffix();
  const QString Wanted = ExtensionOf(Type);
  if (Suffix.compare(Wanted, Qt::CaseInsensitive) == 0) return;
  for (const SaveType& Each : kSaveTypes) {
    if (Suffix.compare(ExtensionOf(Each), Qt::CaseInsensitive) == 0) {
      Name_->setText(Name.chopped(Suffix.size()) + Wanted);
      return;
    }
  }
}

bool SaveAsPanel::IsEmpty() const {
  return Name_->text().trimmed().isEmpty();
}

SaveAsPanel::Target SaveAsPanel::Chosen(const QString& PicturePath) const {
  const QString Typed = Name_->text();
  const int Type = Type_->currentIndex();
  QFileInfo Info(Typed);
  if (Info.isRelative()) Info = QFileInfo(QFileInfo(PicturePath).dir(), Typed);
  QString Path = Info.absoluteFilePath();
  if (Info.suffix().isEmpty()) Path += QLatin1Char('.') + ExtensionOf(Type);
  return {Path, Type};
}

bool SaveAsPanel::HasDropDown() const {
  return !TypeDrop_->isHidden();
}

void SaveAsPanel::CloseDropDown() {
  TypeDrop_->Close();
}

bool SaveAsPanel::eventFilter(QObject* Watched, QEvent* Event) {
  // F4 and Alt+Down drop the type list down inside the window instead of as a popup.
  if (Watched == Type_ && Event->type() == QEvent::KeyPress) {
    const auto* Key = static_cast<QKeyEvent*>(Event);
    const bool F4 = Key->key() == Qt::Key_F4 && Key->modifiers() == Qt::NoModifier;
    const bool AltDown = Key->key() == Qt::Key_Down && Key->modifiers() == Qt::AltModifier;
    if (F4 || AltDown) {
      TypeDrop_->DropAt(Type_->mapTo(TypeDrop_->parentWidget(), QPoint(0, Type_->height())),
                        Type_->width(), Type_->currentIndex());
      return true;
    }
  }
  return KeyPanel::eventFilter(Watched, Event);
}

}  // namespace pictrane::capture
