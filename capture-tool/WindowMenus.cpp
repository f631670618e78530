// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowMenus.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcutEvent>

#include "BatchConvert.h"
#include "DropDown.h"
#include "PictureMenu.h"

namespace pictrane::capture {

namespace {

// A menu bar whose File mnemonic (Alt+F) asks for the dropped-down copy instead of a popup.
class ToolMenuBar : public QMenuBar {
 public:
  ToolMenuBar(QWidget* Parent, std::function<void()> OnFileKey)
      : QMenuBar(Parent), OnFileKey_(std::move(OnFileKey)) {}

 protected:
  bool event(QEvent* Event) override {
    if (Event->type() == QEvent::Shortcut &&
        static_cast<QShortcutEvent*>(Event)->key() == QKeySequence(Qt::ALT | Qt::Key_F)) {
      OnFileKey_();
      return true;
    }
    return QMenuBar::event(Event);
  }

 private:
  std::function<void()> OnFileKey_;
};

}  // namespace

WindowMenus::WindowMenus(QMainWindow* Window, FileCommands Commands)
    : QObject(Window), Window_(Window), Commands_(std::move(Commands)) {
  Window_->setMenuBar(new ToolMenuBar(Window_, [this] { DropFileMenu(); }));
  BuildFileMenu();
  Picture_ = new PictureMenu(Window_->menuBar(), this);
  BuildHelpMenu();
}

void WindowMenus::BuildFileMenu() {
  struct Entry {
    QString Label;
    QKeySequence Key;
    std::function<void()> FileCommands::*Run;
    bool SeparatorBefore = false;
  };
  const Entry Entries[] = {
      {QStringLiteral("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O), &FileCommands::Open},
      {QStringLiteral("&Close"), QKeySequence(Qt::CTRL | Qt::Key_F4), &FileCommands::Close},
      {QStringLiteral("Save &As..."), QKeySequence(), &FileCommands::SaveAs},
      {QStringLiteral("&Send to calculator..."), QKeySequence(), &FileCommands::Send, true},
      {QStringLiteral("&Take the calculator's screen"), QKeySequence(), &FileCommands::Screen},
      {QStringLiteral("Calculator &link..."), QKeySequence(), &FileCommands::Link},
      {QStringLiteral("E&xit"), QKeySequence(Qt::ALT | Qt::Key_F4), &FileCommands::Exit, true},
  };
  FileMenu_ = Window_->menuBar()->addMenu(QStringLiteral("&File"));
  FileDrop_ = new DropDown(Window_);
  for (const Entry& Each : Entries) {
    if (Each.SeparatorBefore) FileMenu_->addSeparator();
    QAction* Action = FileMenu_->addAction(Each.Label);
    Action->setShortcut(Each.Key);
    // The window holds the actions too, so their keys work while the menu bar is disabled.
    Window_->addAction(Action);
    connect(Action, &QAction::triggered, this, [this, Run = Each.Run] {
      if (Commands_.*Run) (Commands_.*Run)();
    });
    FileActions_.push_back(Action);
    FileDrop_->AddMenuItem(Each.Label, Each.Key.toString(QKeySequence::NativeText));
  }
  OpenAction_ = FileActions_.front();
  // Closing and leaving work whatever has the focus, a dropped-down list included.
  for (QAction* Action : {FileActions_[1], FileActions_.back()}) {
    Action->setShortcutContext(Qt::ApplicationShortcut);
  }
  FileDrop_->OnChoose = [this](int Row) {
    CloseDropDown();
    FileActions_[static_cast<std::size_t>(Row)]->trigger();
  };
  FileDrop_->OnCancel = [this] { CloseDropDown(); };
}

void WindowMenus::BuildHelpMenu() {
  QMenu* Help = Window_->menuBar()->addMenu(QStringLiteral("&Help"));
  connect(Help->addAction(QStringLiteral("&About %1").arg(QLatin1String(kToolTitle))),
          &QAction::triggered, this, [this] { ShowAbout(); });
}

void WindowMenus::ShowAbout() {
  auto* Box = new QMessageBox(Window_);
  Box->setAttribute(Qt::WA_DeleteOnClose);
  Box->setWindowTitle(QStringLiteral("About %1").arg(QLatin1String(kToolTitle)));
  Box->setIconPixmap(Window_->windowIcon().pixmap(64, 64));
  Box->setTextFormat(Qt::PlainText);
  Box->setText(QStringLiteral("%1 %2").arg(QLatin1String(kToolTitle), QLatin1String(kToolVersion)));
  Box->setInformativeText(
      QStringLiteral("Turns bitmaps into calculator picture files, by hand or driven by the "
                     "converter's keys.\n\n"
                     "Licence: GPL-3.0-or-later. It writes the files with libtifiles "
                     "(GPL-2.0-or-later).\n\n"
                     "Settings: %1")
          .arg(ToolSettingsPath()));
  Box->setStandardButtons(QMessageBox::Close);
  Box->open();
}

void WindowMenus::SetBlocked(bool Blocked) {
  Blocked_ = Blocked;
  Window_->menuBar()->setEnabled(!Blocked);
  OpenAction_->setEnabled(!Blocked);
}

bool WindowMenus::HasDropDown() const {
  return !FileDrop_->isHidden();
}

void WindowMenus::CloseDropDown() {
  FileDrop_->Close();
}

void WindowMenus::DropFileMenu() {
  if (Blocked_) return;
  Commands_.CloseLists();
  QMenuBar* Bar = Window_->menuBar();
  const QRect Title = Bar->actionGeometry(FileMenu_->menuAction());
  FileDrop_->DropAt(Bar->mapTo(Window_, Title.bottomLeft()), 0, 0);
}

}  // namespace pictrane::capture
