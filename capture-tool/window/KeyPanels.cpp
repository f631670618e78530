// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/KeyPanels.h"

#include <QAbstractFileIconProvider>
#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "calc/CalcFile.h"

namespace pictrane::capture {

KeyPanel::KeyPanel(QWidget* Parent) : QFrame(Parent) {
  setFrameShape(QFrame::StyledPanel);
  hide();
}

void KeyPanel::keyPressEvent(QKeyEvent* Event) {
  const bool Unmodified =
      (Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
  const bool IsEnter = Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter;
  if (Unmodified && IsEnter && OnEnter) {
    OnEnter();
  } else if (Unmodified && Event->key() == Qt::Key_Escape && OnEscape) {
    OnEscape();
  } else if (!SwallowKeys) {
    QFrame::keyPressEvent(Event);
    return;
  }
  Event->accept();
}

namespace {

// The style's file and folder icons, and the type named by the extension: the providers of Qt
// ask the MIME database about every file listed, work the tool would do for each of hundreds of
// bitmaps in the folder again whenever the converter's pictures change it.
class PlainIcons : public QAbstractFileIconProvider {
 public:
  PlainIcons()
      : File_(QApplication::style()->standardIcon(QStyle::SP_FileIcon)),
        Folder_(QApplication::style()->standardIcon(QStyle::SP_DirIcon)) {}
  QIcon icon(IconType Type) const override { return Type == File ? File_ : Folder_; }
  QIcon icon(const QFileInfo& Info) const override { return Info.isDir() ? Folder_ : File_; }
  QString type(const QFileInfo& Info) const override {
    if (Info.isDir()) return QStringLiteral("Folder");
    return Info.suffix().isEmpty() ? QStringLiteral("File")
                                   : Info.suffix().toUpper() + QStringLiteral(" file");
  }

 private:
  QIcon File_, Folder_;
};

}  // namespace

QStringList PictureNameFilters() {
  QStringList Patterns;
  for (const QByteArray& Format : QImageReader::supportedImageFormats()) {
    Patterns << QStringLiteral("*.") + QString::fromLatin1(Format);
  }
  for (const CalcModelInfo& Row : CalcModels()) {
    for (const VariableKind& Kind : Row.Kinds) {
      Patterns << QStringLiteral("*.") + QString::fromLatin1(Kind.Extension);
      if (Kind.GroupExtension != nullptr)
        Patterns << QStringLiteral("*.") + QString::fromLatin1(Kind.GroupExtension);
    }
  }
  Patterns.removeDuplicates();
  return {QStringLiteral("Pictures (%1)").arg(Patterns.join(QLatin1Char(' '))),
          QStringLiteral("All files (*)")};
}

OpenPanel::OpenPanel(QWidget* Parent) : KeyPanel(Parent), Icons_(std::make_unique<PlainIcons>()) {
  auto* Layout = new QVBoxLayout(this);
  Layout->addWidget(new QLabel(QStringLiteral("<b>Open picture</b>"), this));
  Dialog_ = new QFileDialog(this, QStringLiteral("Open picture"));
  Dialog_->setWindowFlags(Qt::Widget);
  Dialog_->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontUseCustomDirectoryIcons);
  // Any name is handed on, so that a missing file gets the window's own message, not a box.
  Dialog_->setFileMode(QFileDialog::AnyFile);
  Dialog_->setAcceptMode(QFileDialog::AcceptOpen);
  Dialog_->setNameFilters(PictureNameFilters());
  Dialog_->setIconProvider(Icons_.get());
  Dialog_->setLabelText(QFileDialog::FileName, QStringLiteral("File &name:"));
  Layout->addWidget(Dialog_, 1);
  Name_ = Dialog_->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  Name_->setCompleter(nullptr);
  // The dialog would look every character typed up in the file system and select what the
  // text names in its list, drawing the list again for each key of a path typed at speed. The
  // field is the panel's from here: Enter is taken below, the Open button follows the text.
  QObject::disconnect(Name_, nullptr, Dialog_, nullptr);
  if (auto* Buttons = Dialog_->findChild<QDialogButtonBox*>()) {
    if (QPushButton* Open = Buttons->button(QDialogButtonBox::Open)) {
      connect(Name_, &QLineEdit::textChanged, Open,
              [Open](const QString& Text) { Open->setEnabled(!Text.isEmpty()); });
    }
  }
  Name_->installEventFilter(this);
  connect(Dialog_, &QFileDialog::fileSelected, this, [this](const QString& File) {
    Chosen_ = File;
    OnEnter();
  });
  connect(Dialog_, &QFileDialog::rejected, this, [this] { OnEscape(); });
}

// The dialog goes before the icons it uses.
OpenPanel::~OpenPanel() {
  delete Dialog_;
}

void OpenPanel::Start(const QString& Folder) {
  if (!Folder.isEmpty() && QFileInfo(Folder).isDir()) Dialog_->setDirectory(Folder);
  Chosen_.clear();
  show();
  Dialog_->show();
  // The list's selection from the last time would come back as the name: none is kept.
  for (QAbstractItemView* View : Dialog_->findChildren<QAbstractItemView*>()) {
    if (View->selectionModel() != nullptr) View->selectionModel()->clear();
  }
  Name_->clear();
  Name_->setFocus(Qt::OtherFocusReason);
}

QString OpenPanel::Typed() const {
  return Chosen_;
}

// Enter in the file-name field is taken here, at once and whatever the dialog's list holds: a
// folder is entered, anything else is handed on, found or not, so the window can say what is
// wrong with it.
bool OpenPanel::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == Name_ && Event->type() == QEvent::KeyPress) {
    const auto* Key = static_cast<QKeyEvent*>(Event);
    const bool IsEnter = Key->key() == Qt::Key_Return || Key->key() == Qt::Key_Enter;
    if (IsEnter && (Key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      const QString Text = Name_->text();
      if (Text.isEmpty()) return true;
      const QFileInfo Info(QDir(Dialog_->directory()).filePath(Text));
      if (Info.isDir()) {
        Dialog_->setDirectory(Info.absoluteFilePath());
        Name_->clear();
        return true;
      }
      Chosen_ = Info.absoluteFilePath();
      OnEnter();
      return true;
    }
  }
  return KeyPanel::eventFilter(Watched, Event);
}

MessagePanel::MessagePanel(QWidget* Parent) : KeyPanel(Parent) {
  SwallowKeys = true;
  setFocusPolicy(Qt::StrongFocus);
  auto* Layout = new QHBoxLayout(this);
  auto* Icon = new QLabel(this);
  Icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  Text_ = new QLabel(this);
  Text_->setWordWrap(true);
  Text_->setTextFormat(Qt::PlainText);
  auto* Hint = new QLabel(QStringLiteral("Esc or Ctrl+F4 to go on"), this);
  auto* Ok = new QPushButton(QStringLiteral("OK"), this);
  // Keys typed after an error must not press it: only the mouse, Esc and Ctrl+F4 dismiss.
  Ok->setFocusPolicy(Qt::NoFocus);
  Layout->addWidget(Icon);
  Layout->addWidget(Text_, 1);
  Layout->addWidget(Hint);
  Layout->addWidget(Ok);
  connect(Ok, &QPushButton::clicked, this, [this] { OnEscape(); });
}

void MessagePanel::Start(const QString& Text) {
  Text_->setText(Text);
  show();
  setFocus(Qt::OtherFocusReason);
}

QString MessagePanel::Text() const {
  return isHidden() ? QString() : Text_->text();
}

ConfirmPanel::ConfirmPanel(QWidget* Parent) : KeyPanel(Parent) {
  SwallowKeys = true;
  setFocusPolicy(Qt::StrongFocus);
  auto* Layout = new QHBoxLayout(this);
  auto* Icon = new QLabel(this);
  Icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  Text_ = new QLabel(this);
  Text_->setWordWrap(true);
  Text_->setTextFormat(Qt::PlainText);
  auto* Yes = new QPushButton(QStringLiteral("&Yes"), this);
  auto* No = new QPushButton(QStringLiteral("&No"), this);
  No->setDefault(true);
  // The letters are ours (keyPressEvent): a button's mnemonic clicks only after an animation, and
  // neither button may take the focus, so that Enter never answers Yes.
  for (QPushButton* Button : {Yes, No}) {
    Button->setShortcut(QKeySequence());
    Button->setFocusPolicy(Qt::NoFocus);
  }
  Layout->addWidget(Icon);
  Layout->addWidget(Text_, 1);
  Layout->addWidget(Yes);
  Layout->addWidget(No);
  connect(Yes, &QPushButton::clicked, this, [this] { OnYes(); });
  connect(No, &QPushButton::clicked, this, [this] { OnEscape(); });
  OnEnter = [this] { OnEscape(); };
}

void ConfirmPanel::Start(const QString& Question) {
  Text_->setText(Question);
  show();
  setFocus(Qt::OtherFocusReason);
}

QString ConfirmPanel::Text() const {
  return isHidden() ? QString() : Text_->text();
}

void ConfirmPanel::keyPressEvent(QKeyEvent* Event) {
  const Qt::KeyboardModifiers Modifiers =
      Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (Modifiers == Qt::NoModifier || Modifiers == Qt::AltModifier) {
    if (Event->key() == Qt::Key_Y) {
      Event->accept();
      OnYes();
      return;
    }
    if (Event->key() == Qt::Key_N) {
      Event->accept();
      OnEscape();
      return;
    }
  }
  KeyPanel::keyPressEvent(Event);
}

}  // namespace pictrane::capture
