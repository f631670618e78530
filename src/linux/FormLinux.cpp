// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/FormLinux.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QValidator>
#include <QWidget>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "linux/DesktopLinux.h"
#include "linux/QtText.h"

namespace pictrane::linux_desktop {

namespace {

// A user's click only checks or unchecks; greyed is a state the program sets.
class TwoClickCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override {
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
};

// Enter presses the focused button, as Space does, though no button is the default one (as the
// other toolkit's dialog navigation does it).
class EnterPressesButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* Event) override {
    if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
      click();
      return;
    }
    QPushButton::keyPressEvent(Event);
  }
};

// What typing and pasting may put into a field: never a line break (pasted text loses them), and
// nothing that takes it past its limit. A text the program sets is taken whole, so a stored value
// longer than the limit comes back as it was.
class FieldInput : public QValidator {
 public:
  FieldInput(QLineEdit* Edit, int MaxLength) : QValidator(Edit), Max_(MaxLength) {
    connect(Edit, &QLineEdit::textChanged, this, [this](const QString& Text) { Before_ = Text; });
  }

  void SetByProgram(QLineEdit* Edit, const QString& Text) {
    ByProgram_ = true;
    Edit->setText(Text);
    ByProgram_ = false;
  }

  State validate(QString& Input, int& Pos) const override {
    if (ByProgram_) return Acceptable;
    for (qsizetype I = Input.size(); I-- > 0;) {
      if (Input[I] != u'\r' && Input[I] != u'\n') continue;
      Input.remove(I, 1);
      if (I < Pos) --Pos;
    }
    if (Max_ <= 0 || Input.size() <= Max_ || Input.size() <= Before_.size()) return Acceptable;
    // Keep what was there and as much of the inserted part as fits, as a limited edit control
    // does with a paste.
    qsizetype Head = 0;
    while (Head < Before_.size() && Head < Input.size() && Before_[Head] == Input[Head]) ++Head;
    qsizetype Tail = 0;
    while (Tail < Before_.size() - Head && Tail < Input.size() - Head &&
           Before_[Before_.size() - 1 - Tail] == Input[Input.size() - 1 - Tail])
      ++Tail;
    const qsizetype Inserted = Input.size() - Head - Tail;
    qsizetype Room = std::clamp<qsizetype>(Max_ - Head - Tail, 0, Inserted);
    if (Room > 0 && Input[Head + Room - 1].isHighSurrogate()) --Room;  // no half characters
    Input = Input.left(Head) + Input.mid(Head, Room) + Input.right(Tail);
    Pos = static_cast<int>(Head + Room);
    return Acceptable;
  }

 private:
  int Max_;
  QString Before_;
  bool ByProgram_ = false;
};

class QtForm;

class FormWidget : public QWidget {
 public:
  explicit FormWidget(QtForm& Form) : Form_(Form) {}

 protected:
  void closeEvent(QCloseEvent* Event) override;

 private:
  QtForm& Form_;
};

class QtForm : public FormControls {
 public:
  QtForm(const FormLayout& Layout, FormControlEvents& Events, UnhandledErrorFn OnUnhandled)
      : Layout_(Layout), Events_(Events), OnUnhandled_(std::move(OnUnhandled)) {
    Build();
  }
  ~QtForm() override { delete Window_.data(); }

  WindowHandle Handle() override {
    return Window_ ? static_cast<WindowHandle>(Window_->winId()) : 0;
  }

  void Show() override {
    if (!Window_) return;
    Guard([&] { Events_.Load(); });
    if (!Window_ || Gone()) return;  // Load may unload
    Window_->show();
    Window_->activateWindow();
    for (std::size_t I = 0; I < Controls_.size(); ++I) {
      if (Layout().Controls[I].Name == Layout().FocusedControl)
        Controls_[I]->setFocus(Qt::ActiveWindowFocusReason);
    }
  }

  void Unload() override {
    if (!Window_ || Gone()) return;
    if (!AskUnload()) return;
    Closing_ = true;
    Window_->close();
  }

  // The close box: the same handler, which may keep the window.
  void OnClose(QCloseEvent* Event) {
    if (Closing_ || AskUnload()) {
      Events_.WindowGoing();
      Gone_ = true;
      Event->accept();
    } else {
      Event->ignore();
    }
  }

  std::string ReadText(std::size_t I) override {
    if (auto* E = qobject_cast<QLineEdit*>(Controls_[I])) return S(E->text());
    return S(Controls_[I]->property("text").toString());
  }
  void WriteText(std::size_t I, const std::string& Text) override {
    if (auto* E = qobject_cast<QLineEdit*>(Controls_[I])) {
      Inputs_[I]->SetByProgram(E, Q(Text));
    } else {
      Controls_[I]->setProperty("text", Q(Text));
    }
  }
  int ReadValue(std::size_t I) override {
    switch (static_cast<QCheckBox*>(Controls_[I])->checkState()) {
      case Qt::Checked:
        return 1;
      case Qt::PartiallyChecked:
        return 2;
      case Qt::Unchecked:
        break;
    }
    return 0;
  }
  void WriteValue(std::size_t I, int Value) override {
    static_cast<QCheckBox*>(Controls_[I])
        ->setCheckState(Value == 1   ? Qt::Checked
                        : Value == 2 ? Qt::PartiallyChecked
                                     : Qt::Unchecked);
  }

 private:
  const FormLayout& Layout() const { return Layout_; }
  bool Gone() const { return Gone_; }

  bool AskUnload() {
    bool Cancel = false;
    Guard([&] { Events_.Unload(Cancel); });
    return !Cancel;
  }

  template <typename F>
  void Guard(F&& Handler) {
    // Errors must not cross Qt's event loop: the top level reports them here.
    try {
      Handler();
    } catch (...) {
      if (OnUnhandled_) OnUnhandled_(CurrentError());
      throw;
    }
  }

  void Build() {
    const FormLayout& Table = Layout();
    Window_ = new FormWidget(*this);
    Window_->setObjectName(Q(Table.Name));
    Window_->setWindowTitle(Q(Table.Caption));
    Window_->setWindowIcon(ProgramIcon());
    Window_->setAttribute(Qt::WA_DeleteOnClose);

    // Tahoma where installed; otherwise the nearest sans of similar width.
    QFont Font;
    Font.setFamilies({Q(Table.FontName), "Liberation Sans", "Arial", "DejaVu Sans"});
    Font.setStyleHint(QFont::SansSerif);
    Font.setPointSizeF(Table.FontSize);
    Font.setWeight(static_cast<QFont::Weight>(Table.FontWeight));
    Window_->setFont(Font);

    const double Dpi = Window_->screen() ? Window_->screen()->logicalDotsPerInch() : 96.0;
    auto Px = [Dpi](int Twips) { return TwipsToPixels(Twips, Dpi); };

    Controls_.assign(Table.Controls.size(), nullptr);
    Inputs_.assign(Table.Controls.size(), nullptr);
    for (std::size_t I = 0; I < Table.Controls.size(); ++I) {
      const ControlEntry& C = Table.Controls[I];
      // The table lists a container before what it holds.
      QWidget* Parent =
          C.Container.empty() ? Window_.data() : Controls_[ControlIndex(Table, C.Container)];
      QWidget* W = nullptr;
      switch (C.Kind) {
        case ControlKind::PushButton: {
          auto* B = new EnterPressesButton(Q(C.Caption), Parent);
          B->setAutoDefault(false);  // neither button is the default one
          QObject::connect(B, &QPushButton::clicked, Window_,
                           [this, Name = C.Name] { Click(Name); });
          W = B;
          break;
        }
        case ControlKind::GroupFrame:
          W = new QGroupBox(Q(C.Caption), Parent);
          break;
        case ControlKind::PictureBox:
          W = new QWidget(Parent);
          break;
        case ControlKind::TextField: {
          auto* E = new QLineEdit(Parent);
          Inputs_[I] = new FieldInput(E, C.MaxLength);
          E->setValidator(Inputs_[I]);
          E->setReadOnly(C.ReadOnly);
          if (C.ButtonFaceBackground) {
            QPalette Pal = E->palette();
            Pal.setColor(QPalette::Base, Pal.color(QPalette::Button));
            E->setPalette(Pal);
          }
          W = E;
          break;
        }
        case ControlKind::Label:
          W = new QLabel(Q(C.Caption), Parent);
          break;
        case ControlKind::CheckBox: {
          auto* Box = new TwoClickCheckBox(Q(C.Caption), Parent);
          Box->setTristate(C.TriState);
          W = Box;
          break;
        }
      }
      W->setObjectName(Q(C.Name));
      if (!C.ToolTip.empty()) W->setToolTip(Q(C.ToolTip));
      W->setGeometry(Px(C.Left), Px(C.Top), Px(C.Width), Px(C.Height));
      if (C.SizedToText) W->adjustSize();
      // A wider substitute font must not cut the check box's caption.
      if (C.Kind == ControlKind::CheckBox && W->sizeHint().width() > W->width())
        W->resize(std::min(W->sizeHint().width(), Parent->width() - W->x()), W->height());
      Controls_[I] = W;
    }
    QWidget* Previous = nullptr;
    for (std::size_t I : TabOrder(Table)) {
      if (Controls_[I]->focusPolicy() == Qt::NoFocus) continue;
      if (Previous) QWidget::setTabOrder(Previous, Controls_[I]);
      Previous = Controls_[I];
    }

    Window_->setFixedSize(Px(Table.ClientWidth), Px(Table.ClientHeight));
    if (Table.CentreOnScreen && Window_->screen()) {
      const QRect Area = Window_->screen()->availableGeometry();
      Window_->move(Area.center() - Window_->rect().center());
    }
  }

  void Click(const std::string& Name) {
    try {
      Events_.Click(Name);
    } catch (...) {
      if (OnUnhandled_) OnUnhandled_(CurrentError());
    }
  }

  FormLayout Layout_;
  FormControlEvents& Events_;
  bool Gone_ = false;
  UnhandledErrorFn OnUnhandled_;
  QPointer<FormWidget> Window_;
  std::vector<QWidget*> Controls_;   // in the table's order
  std::vector<FieldInput*> Inputs_;  // text fields' input rules, owned by their fields
  bool Closing_ = false;
};

void FormWidget::closeEvent(QCloseEvent* Event) {
  Form_.OnClose(Event);
}

}  // namespace

std::unique_ptr<FormControls> FormFactoryLinux::Create(const FormLayout& Layout,
                                                       FormControlEvents& Events) {
  return std::make_unique<QtForm>(Layout, Events, OnUnhandled_);
}

}  // namespace pictrane::linux_desktop
