// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/WindowSystemLinux.h"

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

#include "linux/DesktopBus.h"
#include "linux/QtText.h"
#include "linux/X11Session.h"

namespace pictrane::linux_desktop {

WindowSystemLinux::WindowSystemLinux() = default;
WindowSystemLinux::~WindowSystemLinux() = default;

void WindowSystemLinux::MessageBox(const std::string& Text, MessageIcon Icon,
                                   const std::string& Title) {
  QMessageBox::Icon Shown = QMessageBox::NoIcon;
  switch (Icon) {
    case MessageIcon::Critical:
      Shown = QMessageBox::Critical;
      break;
    case MessageIcon::Exclamation:
      Shown = QMessageBox::Warning;
      break;
    case MessageIcon::Question:
      Shown = QMessageBox::Question;
      break;
    case MessageIcon::Information:
      Shown = QMessageBox::Information;
      break;
    case MessageIcon::None:
      break;
  }
  QString Lines = Q(Text);
  Lines.replace("\r\n", "\n");
  QMessageBox Box(Shown, Q(Title), Lines, QMessageBox::Ok, QApplication::activeWindow());
  // The text can be selected and copied, a path tried among it; with nothing selected Ctrl+C
  // copies the whole text (the report's list of bitmaps), as a Windows message box does.
  Box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  QShortcut Copy(QKeySequence::Copy, &Box);
  QObject::connect(&Copy, &QShortcut::activated,
                   [&Lines] { QGuiApplication::clipboard()->setText(Lines); });
  Box.exec();
}

void WindowSystemLinux::DoEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

X11Session& WindowSystemLinux::X11() {
  if (!X11_) X11_ = X11Session::Open();
  return *X11_;
}

void WindowSystemLinux::EndX11Session() {
  X11_.reset();
}

KeyInjector& WindowSystemLinux::Keyboard() {
  return X11();
}

ProcessId WindowSystemLinux::FocusedProcess() {
  return X11().FocusedProcess();
}

std::vector<TopLevelWindow> WindowSystemLinux::TopLevelWindows() {
  return X11().TopLevelWindows();
}

bool WindowSystemLinux::CloseWindowsOf(ProcessId Process) {
  return X11().CloseWindowsOf(Process);
}

bool WindowSystemLinux::ShowWindow(ProcessId Process, int TimeoutMs) {
  return X11().ShowMaximisedWithFocus(Process, TimeoutMs);
}

}  // namespace pictrane::linux_desktop
