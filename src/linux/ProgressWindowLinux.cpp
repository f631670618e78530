// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/ProgressWindowLinux.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "linux/DesktopLinux.h"
#include "linux/X11Progress.h"

namespace pictrane::linux_desktop {

namespace {
constexpr int kNameWidth = 320;  // pixels for the bitmap's name; longer names are elided

QString Q(const std::string& S) {
  return QString::fromUtf8(S.data(), static_cast<qsizetype>(S.size()));
}
}  // namespace

class ProgressWidget : public QWidget {
 public:
  ProgressWidget()
      // A tool window (no taskbar entry), above the others, that refuses the focus: Qt then sets
      // the input hint False and _NET_WM_STATE_ABOVE, and never asks to be activated.
      : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                             Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                             Qt::CustomizeWindowHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11NetWmWindowTypeUtility);
    setWindowIcon(ProgramIcon());
    setFocusPolicy(Qt::NoFocus);

    Count_ = new QLabel(this);
    Count_->setObjectName("count");
    Count_->setTextFormat(Qt::PlainText);
    Name_ = new QLabel(this);
    Name_->setObjectName("name");
    Name_->setFixedWidth(kNameWidth);
    Name_->setTextFormat(Qt::PlainText);
    Bar_ = new QProgressBar(this);
    Bar_->setObjectName("bar");
    Bar_->setTextVisible(false);
    Cancel_ = new QPushButton(this);
    Cancel_->setObjectName("cancel");
    // A click must not move the focus into this window.
    Cancel_->setFocusPolicy(Qt::NoFocus);
    connect(Cancel_, &QPushButton::clicked, this, [this] { RequestCancel(); });

    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(Count_);
    Layout->addWidget(Name_);
    Layout->addWidget(Bar_);
    Layout->addWidget(Cancel_, 0, Qt::AlignRight);
  }

  void Start(const ProgressView& View, QScreen* Screen) {
    Pressed_ = false;
    if (!Sized_) SizeFor(View);
    Draw(View_ = View);
    if (Screen == nullptr) Screen = QGuiApplication::primaryScreen();
    Work_ = Screen != nullptr ? Screen->availableGeometry() : QRect();
    Place();
    // Taskbars skip a utility window only by custom; the state says it outright.
    if (!isVisible() && OnX11_) SkipTaskbar(winId());
    show();
    raise();
  }

  void Show(const ProgressView& View) {
    // A progress bar repaints at once whenever its bar grows: the whole window is painted once
    // below instead.
    Bar_->setUpdatesEnabled(false);
    Draw(View_ = View);
    Bar_->setUpdatesEnabled(true);
    // The frame's size is known only once a window manager has framed the window.
    if (frameGeometry().size() != Placed_) Place();
    // Without a window manager nothing keeps this window above the tool: ask again each file
    // (one request, no reply to wait for).
    if (OnX11_) raise();
    // Painted now, not at the run's next DoEvents, which comes only after this file's keys:
    // the window names the bitmap the tool is working on.
    repaint();
  }

  void Finish() {
    Bar_->setValue(Bar_->maximum());
    hide();
  }

  bool CancelPressed() const { return Pressed_; }
  const ProgressView& View() const { return View_; }

 protected:
  void closeEvent(QCloseEvent* Event) override {
    // The close box cancels; the window stays until the run has stopped.
    RequestCancel();
    Event->ignore();
  }

 private:
  void RequestCancel() {
    if (Pressed_) return;
    Pressed_ = true;
    Draw(View_ = Pressed(View_));
  }

  // Sized once for the longest texts, so that a step never re-lays out or resizes the window.
  // Fixed sizes also spare each new text a round through the layout.
  void SizeFor(const ProgressView& View) {
    Draw(View);
    Count_->setText(Q(View.WidestCounter));
    Count_->setFixedSize(kNameWidth, Count_->sizeHint().height());
    Name_->setText("M");
    Name_->setFixedSize(kNameWidth, Name_->sizeHint().height());
    setFixedSize(sizeHint());
    Sized_ = true;
  }

  void Draw(const ProgressView& View) {
    setWindowTitle(Q(View.Title));  // Qt passes an unchanged text no further
    Count_->setText(Q(View.Counter));
    Name_->setText(Name_->fontMetrics().elidedText(Q(View.Name), Qt::ElideMiddle, kNameWidth));
    Bar_->setRange(0, static_cast<int>(std::min<std::size_t>(View.Total, INT_MAX)));
    Bar_->setValue(static_cast<int>(std::min<std::size_t>(View.Done, INT_MAX)));
    Cancel_->setText(Q(View.CancelCaption));
    Cancel_->setEnabled(View.CanCancel);
  }

  void Place() {
    Placed_ = frameGeometry().size();
    if (Work_.isEmpty()) return;
    const ScreenPoint At = ProgressWindowOrigin(Work_.x(), Work_.y(), Work_.width(), Work_.height(),
                                                Placed_.width(), Placed_.height());
    move(At.X, At.Y);
  }

  const bool OnX11_ = QGuiApplication::platformName() == "xcb";
  QRect Work_;
  QSize Placed_;
  QLabel* Count_;
  QLabel* Name_;
  QProgressBar* Bar_;
  QPushButton* Cancel_;
  ProgressView View_;
  bool Pressed_ = false;
  bool Sized_ = false;
};

ProgressWindowLinux::ProgressWindowLinux(LocateTool Locate, std::unique_ptr<LauncherEntry> Launcher)
    : Locate_(std::move(Locate)), Launcher_(std::move(Launcher)) {}

ProgressWindowLinux::~ProgressWindowLinux() = default;

std::optional<QPoint> ProgressWindowLinux::FocusedWindowCentre() {
  int X = 0, Y = 0;
  if (!FocusedTopLevelCentre(X, Y)) return std::nullopt;
  return QPoint(X, Y);
}

QWidget& ProgressWindowLinux::Widget() {
  if (!Widget_) {
    Widget_ = std::make_unique<ProgressWidget>();
    // The program's window system goes with the application; so must this window, even when
    // this object lives on as a static.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, Widget_.get(),
                     [this] { Widget_.reset(); });
  }
  return *Widget_;
}

void ProgressWindowLinux::Begin(const ProgressView& View) {
  QScreen* Screen = nullptr;
  if (Locate_) {
    if (const std::optional<QPoint> Centre = Locate_()) Screen = QGuiApplication::screenAt(*Centre);
  }
  Widget();
  Widget_->Start(View, Screen);
  if (Launcher_) Launcher_->Show(0.0);
}

void ProgressWindowLinux::Step(const ProgressView& View) {
  if (!Widget_) return;
  Widget_->Show(View);
  if (Launcher_ && View.Total > 0)
    Launcher_->Show(static_cast<double>(View.Done) / static_cast<double>(View.Total));
}

bool ProgressWindowLinux::CancelPressed() {
  return Widget_ && Widget_->CancelPressed();
}

void ProgressWindowLinux::End(bool) {
  if (Widget_) Widget_->Finish();
  // A dock has no "stopped short" state to show, so the entry's progress simply goes.
  if (Launcher_) Launcher_->Hide();
}

}  // namespace pictrane::linux_desktop
