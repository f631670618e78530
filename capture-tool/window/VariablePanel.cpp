// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/VariablePanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QValidator>

#include "pictrane/CalcName.h"

namespace pictrane::capture {

namespace {

const QString kDefaultFolder = QStringLiteral("main");
const QString kNameRule = QStringLiteral(
    "A calculator name has 1 to 8 letters, digits or \"_\" and starts with a letter.");

class CalcNameValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& Input, int& /*Position*/) const override {
    return IsNameSoFar(ToU32(Input)) ? Acceptable : Invalid;
  }
};

QLineEdit* NameField(const QString& Text, QWidget* Parent) {
  auto* Field = new QLineEdit(Text, Parent);
  Field->setValidator(new CalcNameValidator(Field));
  Field->setToolTip(kNameRule);
  return Field;
}

}  // namespace

std::u32string ToU32(const QString& Text) {
  const QList<uint> Codes = Text.toUcs4();
  return std::u32string(Codes.begin(), Codes.end());
}

VariablePanel::VariablePanel(QWidget* Parent) : KeyPanel(Parent) {
  auto* Layout = new QGridLayout(this);
  auto* Title = new QLabel(QStringLiteral("<b>Picture variable</b>"), this);
  auto* NameLabel = new QLabel(QStringLiteral("Variable &name:"), this);
  Name_ = NameField(QString(), this);
  NameLabel->setBuddy(Name_);
  auto* AdvancedButton = new QPushButton(QStringLiteral("&Advanced >>"), this);
  // Alt+A is our own synchronous shortcut below; a button's mnemonic clicks only after an
  // animation, too late for the keys that follow it.
  AdvancedButton->setShortcut(QKeySequence());
  auto* Ok = new QPushButton(QStringLiteral("OK"), this);
  auto* Cancel = new QPushButton(QStringLiteral("Cancel"), this);

  Advanced_ = new QWidget(this);
  auto* AdvancedLayout = new QHBoxLayout(Advanced_);
  AdvancedLayout->setContentsMargins(0, 0, 0, 0);
  auto* FolderLabel = new QLabel(QStringLiteral("&Device folder:"), Advanced_);
  Folder_ = NameField(kDefaultFolder, Advanced_);
  FolderLabel->setBuddy(Folder_);
  AdvancedLayout->addWidget(FolderLabel);
  AdvancedLayout->addWidget(Folder_, 1);
  Advanced_->hide();

  Layout->addWidget(Title, 0, 0, 1, 3);
  Layout->addWidget(NameLabel, 1, 0);
  Layout->addWidget(Name_, 1, 1);
  Layout->addWidget(Ok, 1, 2);
  Layout->addWidget(AdvancedButton, 2, 0);
  Layout->addWidget(Cancel, 2, 2);
  Layout->addWidget(Advanced_, 3, 0, 1, 3);
  Layout->setColumnStretch(1, 1);

  auto* ShowAdvancedKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_A), this);
  connect(ShowAdvancedKey, &QShortcut::activated, this, [this] { Advanced_->show(); });
  connect(AdvancedButton, &QPushButton::clicked, this,
          [this] { Advanced_->setVisible(Advanced_->isHidden()); });
  connect(Ok, &QPushButton::clicked, this, [this] { OnEnter(); });
  connect(Cancel, &QPushButton::clicked, this, [this] { OnEscape(); });
}

void VariablePanel::Start(const QString& Proposed) {
  Name_->setText(Proposed);
  Name_->selectAll();
  Folder_->setText(kDefaultFolder);
  Advanced_->hide();
  show();
  Name_->setFocus(Qt::OtherFocusReason);
}

QString VariablePanel::Name() const {
  return Name_->text();
}

QString VariablePanel::Folder() const {
  return Folder_->text();
}

QString VariablePanel::Problem() const {
  const QString Empty = Name_->text().isEmpty()     ? QStringLiteral("The variable name is empty. ")
                        : Folder_->text().isEmpty() ? QStringLiteral("The device folder is empty. ")
                                                    : QString();
  return Empty.isEmpty() ? Empty : Empty + kNameRule;
}

}  // namespace pictrane::capture
