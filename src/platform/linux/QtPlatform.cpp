#include "QtPlatform.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <map>

#include "X11Session.h"

namespace pictrane {

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

class QtForm;

class FormWidget : public QWidget {
 public:
  explicit FormWidget(QtForm& form) : Form_(form) {}

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QtForm& Form_;
};

class QtForm : public FormView {
 public:
  QtForm(const FormLayout& layout, FormEvents& events, UnhandledErrorFn onUnhandled)
      : Events_(events), OnUnhandled_(std::move(onUnhandled)) {
    Build(layout);
  }
  ~QtForm() override { delete Window_.data(); }

  std::string Text(const std::string& Control) override {
    if (auto* e = qobject_cast<QLineEdit*>(Find(Control))) return S(e->text());
    return S(Find(Control)->property("text").toString());
  }
  void SetText(const std::string& Control, const std::string& Text) override {
    if (auto* e = qobject_cast<QLineEdit*>(Find(Control))) {
      e->setText(Q(Text));  // a field's length limit applies here too
    } else {
      Find(Control)->setProperty("text", Q(Text));
    }
  }
  int Value(const std::string& Control) override {
    switch (qobject_cast<QCheckBox*>(Find(Control))->checkState()) {
      case Qt::Checked:
        return 1;
      case Qt::PartiallyChecked:
        return 2;
      case Qt::Unchecked:
        break;
    }
    return 0;
  }
  void SetValue(const std::string& Control, int Value) override {
    auto* box = qobject_cast<QCheckBox*>(Find(Control));
    box->setCheckState(Value == 1   ? Qt::Checked
                       : Value == 2 ? Qt::PartiallyChecked
                                    : Qt::Unchecked);
  }
  WindowHandle Handle() override {
    return Window_ ? static_cast<WindowHandle>(Window_->winId()) : 0;
  }

  void Show() override {
    Guard([&] { Events_.Load(); });
    Window_->show();
    Window_->activateWindow();
    if (QWidget* focus = Controls_[FocusedControl_]) focus->setFocus(Qt::ActiveWindowFocusReason);
  }

  void Unload() override {
    if (!Window_) return;
    if (!AskUnload()) return;
    Closing_ = true;
    Window_->close();
  }

  // The close box: the same handler, which may keep the window.
  void OnClose(QCloseEvent* event) {
    if (Closing_) {
      event->accept();
      return;
    }
    if (AskUnload()) {
      event->accept();
    } else {
      event->ignore();
    }
  }

  QWidget* Find(const std::string& name) const {
    const auto it = Controls_.find(name);
    if (it == Controls_.end())
      throw RaisedError(ErrorNumber::InvalidProcedureCall, "frmMain", "No control " + name);
    return it->second;
  }

  QWidget* Window() const { return Window_; }

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

  void Build(const FormLayout& layout) {
    Window_ = new FormWidget(*this);
    Window_->setObjectName(Q(layout.Name));
    Window_->setWindowTitle(Q(layout.Caption));
    Window_->setWindowIcon(QIcon(":/pictrane.png"));
    Window_->setAttribute(Qt::WA_DeleteOnClose);
    FocusedControl_ = layout.FocusedControl;

    // Tahoma where installed; otherwise the nearest sans of similar width.
    QFont font;
    font.setFamilies({Q(layout.FontName), "Liberation Sans", "Arial", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(layout.FontSize);
    font.setWeight(static_cast<QFont::Weight>(layout.FontWeight));
    Window_->setFont(font);

    const double dpi = Window_->screen() ? Window_->screen()->logicalDotsPerInch() : 96.0;
    auto px = [dpi](int twips) { return TwipsToPixels(twips, dpi); };

    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const ControlEntry& c : layout.Controls) {
      QWidget* parent = c.Container.empty() ? Window_.data() : Controls_.at(c.Container);
      QWidget* w = nullptr;
      switch (c.Kind) {
        case ControlKind::PushButton: {
          auto* b = new QPushButton(Q(c.Caption), parent);
          b->setAutoDefault(false);  // neither button answers Enter or Escape
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
          if (c.MaxLength > 0) e->setMaxLength(c.MaxLength);
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
      w->setGeometry(px(c.Left), px(c.Top), px(c.Width), px(c.Height));
      if (c.SizedToText) w->adjustSize();
      // A wider substitute font must not cut the check box's caption.
      if (c.Kind == ControlKind::CheckBox && w->sizeHint().width() > w->width())
        w->resize(std::min(w->sizeHint().width(), parent->width() - w->x()), w->height());
      if (w->focusPolicy() != Qt::NoFocus) tabOrder.emplace_back(c.TabIndex, w);
      Controls_[c.Name] = w;
    }
    std::sort(tabOrder.begin(), tabOrder.end(), [](auto& a, auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
      QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);

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
  std::map<std::string, QWidget*> Controls_;
  std::string FocusedControl_;
  bool Closing_ = false;
};

void FormWidget::closeEvent(QCloseEvent* event) {
  Form_.OnClose(event);
}

}  // namespace

int TwipsToPixels(int Twips, double Dpi) {
  return static_cast<int>(std::lround(Twips / 15.0 * Dpi / 96.0));
}

std::optional<std::string> QtFolderDialog::BrowseForFolder(WindowHandle,
                                                           const std::string& Prompt) {
  const QString folder =
      QFileDialog::getExistingDirectory(QApplication::activeWindow(), Q(Prompt), "/");
  if (folder.isEmpty()) return std::nullopt;
  return S(folder);
}

QtWindowSystem::QtWindowSystem() = default;
QtWindowSystem::~QtWindowSystem() = default;

void QtWindowSystem::MessageBox(const std::string& Text, MessageIcon Icon,
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

void QtWindowSystem::DoEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

X11Session& QtWindowSystem::X11() {
  if (!X11_) X11_ = X11Session::Open();
  return *X11_;
}

bool QtWindowSystem::SendKeys(const KeyActions& Actions, ProcessId Target) {
  return X11().SendKeys(Actions, Target);
}

bool QtWindowSystem::FocusBelongsTo(ProcessId Process) {
  return X11().FocusBelongsTo(Process);
}

void QtWindowSystem::CloseWindowsOf(ProcessId Process) {
  X11().CloseWindowsOf(Process);
}

bool QtWindowSystem::ShowMaximisedWithFocus(ProcessId Process, int TimeoutMs) {
  return X11().ShowMaximisedWithFocus(Process, TimeoutMs);
}

std::unique_ptr<FormView> QtFormFactory::Create(const FormLayout& Layout, FormEvents& Events) {
  return std::make_unique<QtForm>(Layout, Events, OnUnhandled_);
}

}  // namespace pictrane
