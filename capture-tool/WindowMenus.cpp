// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowMenus.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

#include "DropDown.h"
#include "PictureMenu.h"

namespace pictrane::capture {

WindowMenus::WindowMenus(QMainWindow* Window, FileCommands Commands)
    : QObject(Window), Window_(Window), Commands_(std::move(Commands)) {
  BuildFileMenu();
  Picture_ = new PictureMenu(Window_->menuBar(), this);
  BuildShortcuts();
}

void WindowMenus::BuildFileMenu() {
  // The title has no mnemonic: Alt+F is our own shortcut that drops FileDrop_.
  FileMenu_ = Window_->menuBar()->addMenu(QStringLiteral("File"));
  connect(FileMenu_->addAction(QStringLiteral("Open...\tCtrl+O")), &QAction::triggered, this,
          [this] { Commands_.Open(); });
  connect(FileMenu_->addAction(QStringLiteral("Close\tCtrl+F4")), &QAction::triggered, this,
          [this] { Commands_.Close(); });
  connect(FileMenu_->addAction(QStringLiteral("Save As...")), &QAction::triggered, this,
          [this] { Commands_.SaveAs(); });
  FileMenu_->addSeparator();
  connect(FileMenu_->addAction(QStringLiteral("Exit\tAlt+F4")), &QAction::triggered, this,
          [this] { Commands_.Exit(); });

  FileDrop_ = new DropDown(Window_);
  FileDrop_->addItems({QStringLiteral("Open...  (Ctrl+O)"), QStringLiteral("Close  (Ctrl+F4)"),
                       QStringLiteral("Save As..."), QStringLiteral("Exit  (Alt+F4)")});
  FileDrop_->Mnemonics = {QLatin1Char('o'), QLatin1Char('c'), QLatin1Char('a'), QLatin1Char('x')};
  FileDrop_->OnChoose = [this](int Row) {
    CloseDropDown();
    const std::function<void()>* Run[] = {&Commands_.Open, &Commands_.Close, &Commands_.SaveAs,
                                          &Commands_.Exit};
    (*Run[Row])();
  };
  FileDrop_->OnCancel = [this] { CloseDropDown(); };
}

void WindowMenus::BuildShortcuts() {
  // Ctrl+F4 and Alt+F4 work whatever has the focus, a dropped-down list included.
  auto* Close = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4), Window_);
  Close->setContext(Qt::ApplicationShortcut);
  connect(Close, &QShortcut::activated, this, [this] { Commands_.Close(); });
  auto* Exit = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F4), Window_);
  Exit->setContext(Qt::ApplicationShortcut);
  connect(Exit, &QShortcut::activated, this, [this] { Commands_.Exit(); });
  OpenShortcut_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), Window_);
  connect(OpenShortcut_, &QShortcut::activated, this, [this] { Commands_.Open(); });
  FileShortcut_ = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F), Window_);
  connect(FileShortcut_, &QShortcut::activated, this, [this] { DropFileMenu(); });
}

void WindowMenus::SetBlocked(bool Blocked) {
  Window_->menuBar()->setEnabled(!Blocked);
  OpenShortcut_->setEnabled(!Blocked);
  FileShortcut_->setEnabled(!Blocked);
}

bool WindowMenus::HasDropDown() const {
  return !FileDrop_->isHidden();
}

void WindowMenus::CloseDropDown() {
  FileDrop_->Close();
}

void WindowMenus::DropFileMenu() {
  Commands_.CloseLists();
  QMenuBar* Bar = Window_->menuBar();
  const QRect Title = Bar->actionGeometry(FileMenu_->menuAction());
  FileDrop_->DropAt(Bar->mapTo(Window_, Title.bottomLeft()), 0, 0);
}

}  // namespace pictrane::capture
