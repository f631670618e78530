// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/DesktopLinux.h"

#include <QApplication>
#include <QCheckBox>
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
#include <QValidator>
#include <QWidget>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/linux/DesktopBus.h"
#include "platform/linux/X11Session.h"
#include "window/FormRules.h"

namespace pictrane::linux_desktop {

namespace {

QString Q(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
std::string S(const QString& s) {
  return s.toUtf8().toStdString();
}

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
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      click();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

// What typing and pasting may put into a field: never a line break (pasted text loses them), and
// nothing that takes it past its limit. A text the program sets is taken whole, so a stored value
// longer than the limit comes back as it was.
class FieldInput : public QValidator {
 public:
  FieldInput(QLineEdit* edit, int maxLength) : QValidator(edit), Max_(maxLength) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { Before_ = text; });
  }

  void SetByProgram(QLineEdit* edit, const QString& text) {
    ByProgram_ = true;
    edit->setText(text);
    ByProgram_ = false;
  }

  State validate(QString& input, int& pos) const override {
    if (ByProgram_) return Acceptable;
    for (qsizetype i = input.size(); i-- > 0;) {
      if (input[i] != u'\r' && input[i] != u'\n') continue;
      input.remove(i, 1);
      if (i < pos) --pos;
    }
    if (Max_ <= 0 || input.size() <= Max_ || input.size() <= Before_.size()) return Acceptable;
    // Keep what was there and as much of the inserted part as fits, as a limited edit control
    // does with a paste.
    qsizetype head = 0;
    while (head < Before_.size() && head < input.size() && Before_[head] == input[head]) ++head;
    qsizetype tail = 0;
    while (tail < Before_.size() - head && tail < input.size() - head &&
           Before_[Before_.size() - 1 - tail] == input[input.size() - 1 - tail])
      ++tail;
    const qsizetype inserted = input.size() - head - tail;
    qsizetype room = std::clamp<qsizetype>(Max_ - head - tail, 0, inserted);
    if (room > 0 && input[head + room - 1].isHighSurrogate()) --room;  // no half characters
    input = input.left(head) + input.mid(head, room) + input.right(tail);
    pos = static_cast<int>(head + room);
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
  explicit FormWidget(QtForm& form) : Form_(form) {}

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QtForm& Form_;
};

class QtForm : public TableFormView {
 public:
  QtForm(const FormLayout& layout, FormEvents& events, UnhandledErrorFn onUnhandled)
      : TableFormView(layout), Events_(events), OnUnhandled_(std::move(onUnhandled)) {
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
    for (std::size_t i = 0; i < Controls_.size(); ++i) {
      if (Layout().Controls[i].Name == Layout().FocusedControl)
        Controls_[i]->setFocus(Qt::ActiveWindowFocusReason);
    }
  }

  void Unload() override {
    if (!Window_ || Gone()) return;
    if (!AskUnload()) return;
    Closing_ = true;
    Window_->close();
  }

  // The close box: the same handler, which may keep the window.
  void OnClose(QCloseEvent* event) {
    if (Closing_ || AskUnload()) {
      WindowGoing();
      event->accept();
    } else {
      event->ignore();
    }
  }

 protected:
  std::string ReadText(std::size_t i) override {
    if (auto* e = qobject_cast<QLineEdit*>(Controls_[i])) return S(e->text());
    return S(Controls_[i]->property("text").toString());
  }
  void WriteText(std::size_t i, const std::string& text) override {
    if (auto* e = qobject_cast<QLineEdit*>(Controls_[i])) {
      Inputs_[i]->SetByProgram(e, Q(text));
    } else {
      Controls_[i]->setProperty("text", Q(text));
    }
  }
  int ReadValue(std::size_t i) override {
    switch (static_cast<QCheckBox*>(Controls_[i])->checkState()) {
      case Qt::Checked:
        return 1;
      case Qt::PartiallyChecked:
        return 2;
      case Qt::Unchecked:
        break;
    }
    return 0;
  }
  void WriteValue(std::size_t i, int value) override {
    static_cast<QCheckBox*>(Controls_[i])
        ->setCheckState(value == 1   ? Qt::Checked
                        : value == 2 ? Qt::PartiallyChecked
                                     : Qt::Unchecked);
  }

 private:
  bool AskUnload() {
    bool cancel = false;
    Guard([&] { Events_.Unload(cancel); });
    return !cancel;
  }

  template <typename F>
  void Guard(F&& f) {
    // Errors must not cross Qt's event loop: the top level reports them here.
    try {
      f();
    } catch (...) {
      if (OnUnhandled_) OnUnhandled_(CurrentError());
      throw;
    }
  }

  void Build() {
    const FormLayout& layout = Layout();
    Window_ = new FormWidget(*this);
    Window_->setObjectName(Q(layout.Name));
    Window_->setWindowTitle(Q(layout.Caption));
    Window_->setWindowIcon(ProgramIcon());
    Window_->setAttribute(Qt::WA_DeleteOnClose);

    // Tahoma where installed; otherwise the nearest sans of similar width.
    QFont font;
    font.setFamilies({Q(layout.FontName), "Liberation Sans", "Arial", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(layout.FontSize);
    font.setWeight(static_cast<QFont::Weight>(layout.FontWeight));
    Window_->setFont(font);

    const double dpi = Window_->screen() ? Window_->screen()->logicalDotsPerInch() : 96.0;
    auto px = [dpi](int twips) { return TwipsToPixels(twips, dpi); };

    Controls_.assign(layout.Controls.size(), nullptr);
    Inputs_.assign(layout.Controls.size(), nullptr);
    for (std::size_t i = 0; i < layout.Controls.size(); ++i) {
      const ControlEntry& c = layout.Controls[i];
      // The table lists a container before what it holds.
      QWidget* parent = c.Container.empty() ? Window_.data() : Controls_[IndexOf(c.Container)];
      QWidget* w = nullptr;
      switch (c.Kind) {
        case ControlKind::PushButton: {
          auto* b = new EnterPressesButton(Q(c.Caption), parent);
          b->setAutoDefault(false);  // neither button is the default one
          QObject::connect(b, &QPushButton::clicked, Window_,
                           [this, name = c.Name] { Click(name); });
          w = b;
          break;
        }
        case ControlKind::GroupFrame:
          w = new QGroupBox(Q(c.Caption), parent);
          break;
        case ControlKind::PictureBox:
          w = new QWidget(parent);
          break;
        case ControlKind::TextField: {
          auto* e = new QLineEdit(parent);
          Inputs_[i] = new FieldInput(e, c.MaxLength);
          e->setValidator(Inputs_[i]);
          e->setReadOnly(c.ReadOnly);
          if (c.ButtonFaceBackground) {
            QPalette pal = e->palette();
            pal.setColor(QPalette::Base, pal.color(QPalette::Button));
            e->setPalette(pal);
          }
          w = e;
          break;
        }
        case ControlKind::Label:
          w = new QLabel(Q(c.Caption), parent);
          break;
        case ControlKind::CheckBox: {
          auto* box = new TwoClickCheckBox(Q(c.Caption), parent);
          box->setTristate(c.TriState);
          w = box;
          break;
        }
      }
      w->setObjectName(Q(c.Name));
      if (!c.ToolTip.empty()) w->setToolTip(Q(c.ToolTip));
      w->setGeometry(px(c.Left), px(c.Top), px(c.Width), px(c.Height));
      if (c.SizedToText) w->adjustSize();
      // A wider substitute font must not cut the check box's caption.
      if (c.Kind == ControlKind::CheckBox && w->sizeHint().width() > w->width())
        w->resize(std::min(w->sizeHint().width(), parent->width() - w->x()), w->height());
      Controls_[i] = w;
    }
    QWidget* previous = nullptr;
    for (std::size_t i : TabOrder(layout)) {
      if (Controls_[i]->focusPolicy() == Qt::NoFocus) continue;
      if (previous) QWidget::setTabOrder(previous, Controls_[i]);
      previous = Controls_[i];
    }

    Window_->setFixedSize(px(layout.ClientWidth), px(layout.ClientHeight));
    if (layout.CentreOnScreen && Window_->screen()) {
      const QRect area = Window_->screen()->availableGeometry();
      Window_->move(area.center() - Window_->rect().center());
    }
  }

  void Click(const std::string& name) {
    try {
      Events_.Click(name);
    } catch (...) {
      if (OnUnhandled_) OnUnhandled_(CurrentError());
    }
  }

  FormEvents& Events_;
  UnhandledErrorFn OnUnhandled_;
  QPointer<FormWidget> Window_;
  std::vector<QWidget*> Controls_;   // in the table's order
  std::vector<FieldInput*> Inputs_;  // text fields' input rules, owned by their fields
  bool Closing_ = false;
};

void FormWidget::closeEvent(QCloseEvent* event) {
  Form_.OnClose(event);
}

}  // namespace

QIcon ProgramIcon() {
  QIcon Built;
  for (int Size : {16, 32, 48, 64, 128, 256})
    Built.addFile(QString(":/icons/%1.png").arg(Size), QSize(Size, Size));
  return QIcon::fromTheme(QString::fromLatin1(kDesktopEntryId), Built);
}

std::optional<std::string> FolderDialogLinux::BrowseForFolder(WindowHandle,
                                                              const std::string& Prompt,
                                                              const std::string& StartFolder) {
  const QString start =
      !StartFolder.empty() && QFileInfo(Q(StartFolder)).isDir() ? Q(StartFolder) : QDir::homePath();
  const QString folder =
      QFileDialog::getExistingDirectory(QApplication::activeWindow(), Q(Prompt), start);
  if (folder.isEmpty()) return std::nullopt;
  return S(folder);
}

WindowSystemLinux::WindowSystemLinux() = default;
WindowSystemLinux::~WindowSystemLinux() = default;

void WindowSystemLinux::MessageBox(const std::string& Text, MessageIcon Icon,
                                   const std::string& Title) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (Icon) {
    case MessageIcon::Critical:
      icon = QMessageBox::Critical;
      break;
    case MessageIcon::Exclamation:
      icon = QMessageBox::Warning;
      break;
    case MessageIcon::Question:
      icon = QMessageBox::Question;
      break;
    case MessageIcon::Information:
      icon = QMessageBox::Information;
      break;
    case MessageIcon::None:
      break;
  }
  QString text = Q(Text);
  text.replace("\r\n", "\n");
  QMessageBox box(icon, Q(Title), text, QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

void WindowSystemLinux::DoEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

X11Session& WindowSystemLinux::X11() {
  if (!X11_) X11_ = X11Session::Open();
  return *X11_;
}

KeysOutcome WindowSystemLinux::SendKeys(const KeyActions& Actions, KeyTarget& Target) {
  return X11().SendKeys(Actions, Target);
}

ProcessId WindowSystemLinux::FocusedProcess() {
  return X11().FocusedProcess();
}

ProcessId WindowSystemLinux::ParentProcess(ProcessId Process) {
  if (Process <= 0) return 0;
  std::ifstream Stat("/proc/" + std::to_string(Process) + "/stat");
  std::string Line;
  if (!std::getline(Stat, Line)) return 0;
  // "pid (command) state ppid ...": the command may hold blanks and parentheses itself.
  const std::size_t Close = Line.rfind(')');
  if (Close == std::string::npos) return 0;
  std::istringstream Rest(Line.substr(Close + 1));
  std::string State;
  ProcessId Parent = 0;
  if (!(Rest >> State >> Parent)) return 0;
  return Parent;
}

std::vector<TopLevelWindow> WindowSystemLinux::TopLevelWindows() {
  return X11().TopLevelWindows();
}

void WindowSystemLinux::CloseWindowsOf(ProcessId Process) {
  X11().CloseWindowsOf(Process);
}

bool WindowSystemLinux::ShowMaximisedWithFocus(ProcessId Process, int TimeoutMs) {
  return X11().ShowMaximisedWithFocus(Process, TimeoutMs);
}

std::unique_ptr<FormView> FormFactoryLinux::Create(const FormLayout& Layout, FormEvents& Events) {
  return std::make_unique<QtForm>(Layout, Events, OnUnhandled_);
}

}  // namespace pictrane::linux_desktop
