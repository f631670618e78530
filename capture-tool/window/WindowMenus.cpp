// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/WindowMenus.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcutEvent>
#include <QTabWidget>
#include <QUndoStack>
#include <QVBoxLayout>

#include "calc/Models.h"
#include "picture/ToolInfo.h"
#include "window/DropDown.h"
#include "window/PictureMenu.h"

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
  BuildEditMenu();
  BuildZoomMenu();
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
      {QStringLiteral("Sa&ve"), QKeySequence(QKeySequence::Save), &FileCommands::Save},
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
  // For the mouse: the dropped-down copy, which the converter's keys use, keeps its rows.
  RecentMenu_ = new QMenu(QStringLiteral("Open &recent"), FileMenu_);
  FileMenu_->insertMenu(FileActions_[1], RecentMenu_);
  SetRecent({});
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

void WindowMenus::SetRecent(const QStringList& Files) {
  RecentMenu_->clear();
  int Number = 0;
  for (const QString& File : Files) {
    // Digits as mnemonics, so that no letter of a file's name is taken for one.
    QString Label = QFileInfo(File).fileName().replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (++Number <= 10) Label = QStringLiteral("&%1 ").arg(Number % 10) + Label;
    QAction* Action = RecentMenu_->addAction(Label);
    Action->setToolTip(File);
    Action->setData(File);
    connect(Action, &QAction::triggered, this, [this, File] {
      if (Commands_.OpenRecent) Commands_.OpenRecent(File);
    });
  }
  RecentMenu_->setEnabled(!Files.isEmpty());
}

void WindowMenus::BuildEditMenu() {
  QMenuBar* Bar = Window_->menuBar();
  auto* Edit = new QMenu(QStringLiteral("&Edit"), Bar);
  // Between File and Picture, where people look for it.
  Bar->insertMenu(Bar->actions().at(1), Edit);
  QAction* Undo = Picture_->Undo().createUndoAction(Edit, QStringLiteral("&Undo"));
  Undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  QAction* Redo = Picture_->Undo().createRedoAction(Edit, QStringLiteral("&Redo"));
  Redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  for (QAction* Action : {Undo, Redo}) {
    Edit->addAction(Action);
    Window_->addAction(Action);
  }
}

void WindowMenus::BuildZoomMenu() {
  QMenu* Zoom = Window_->menuBar()->addMenu(QStringLiteral("&Zoom"));
  const auto Add = [&](const QString& Label, const QList<QKeySequence>& Keys,
                       std::function<void()> Run) {
    QAction* Action = Zoom->addAction(Label);
    Action->setShortcuts(Keys);
    Window_->addAction(Action);
    connect(Action, &QAction::triggered, this, std::move(Run));
  };
  // Ctrl+= too: on most keyboards + is the shifted =.
  Add(QStringLiteral("Zoom &in"),
      {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
      [this] { Commands_.ZoomBy(1); });
  Add(QStringLiteral("Zoom &out"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
      [this] { Commands_.ZoomBy(-1); });
  Zoom->addSeparator();
  Add(QStringLiteral("&Fit the window"), {}, [this] { Commands_.ZoomTo(0); });
  for (int Factor = 1; Factor <= 4; ++Factor) {
    Add(QStringLiteral("&%1 x").arg(Factor), {}, [this, Factor] { Commands_.ZoomTo(Factor); });
  }
}

namespace {

// How a picture sent to the calculator is shown there, a page for each way of naming and showing
// pictures; its title names the models of the table it is for.
struct HelpPage {
  bool (*Which)(const CalcModelInfo& Row);
  const char* Text;
};

constexpr HelpPage kHelpPages[] = {
    {[](const CalcModelInfo& Row) { return Row.Naming == VariableNaming::FreeInFolder; },
     "<p>The picture is a PIC variable in its folder, as the send box names it "
     "(<tt>main\\trip1</tt>). These models all show it the same way.</p>"
     "<p><b>By command:</b> on the Home screen type <tt>RclPic trip1</tt> (or "
     "<tt>RclPic main\\trip1</tt> from another folder) and press ENTER. RclPic is also in the "
     "CATALOG.</p>"
     "<p><b>By menu:</b> in the Graph screen ([&#9830;] [GRAPH]) press F1 Tools, choose "
     "1:Open..., set Type to Picture, pick the folder and the variable, and press ENTER.</p>"
     "<p>The picture is drawn over the graph screen: to see it alone, clear the drawing first "
     "(<tt>ClrDraw</tt>), turn the axes off ([&#9830;] [F] Graph Formats) and deselect the "
     "functions in the Y= editor. A graph-screen picture (Picture menu, Graph screen) fits "
     "without being clipped.</p>"},
    {[](const CalcModelInfo& Row) { return Row.Link == LinkFamily::DbusZ80; },
     "<p>The picture is one of the ten picture variables, <tt>Pic1</tt> to <tt>Pic9</tt> and "
     "<tt>Pic0</tt>, as the send box names it (<tt>Pic3</tt>).</p>"
     "<p><b>By menu:</b> press [2nd] [DRAW], move right to STO, choose 2:RecallPic, then press "
     "[VARS], choose 4:Picture... and the picture (say 3:Pic3), and press ENTER. "
     "<tt>RecallPic 3</tt> typed the same way does the same.</p>"
     "<p>The picture is drawn over the graph screen (96 x 63): to see it alone, clear it first "
     "([2nd] [DRAW] 1:ClrDraw), turn the axes off ([2nd] [FORMAT] AxesOff) and deselect the "
     "functions and plots in the Y= editor.</p>"},
    {[](const CalcModelInfo& Row) { return Row.Link == LinkFamily::Dusb; },
     "<p>A picture is one of the ten Pic variables, <tt>Pic1</tt> to <tt>Pic0</tt>, in the "
     "calculator's 15 colours, or with Save as type's image entry (<tt>--image</tt>) one of "
     "the ten Image variables, <tt>Image1</tt> to <tt>Image0</tt>, in full colour. Both arrive "
     "in the archive, where the calculator keeps them.</p>"
     "<p><b>A Pic:</b> press [2nd] [DRAW], move right to STO, choose RecallPic, then press "
     "[VARS], choose 4:Picture &amp; Background and the picture (say Pic3), and press ENTER: "
     "<tt>RecallPic 3</tt>. It is drawn over the graph screen (265 x 165); its uncoloured "
     "pixels let the graph show through.</p>"
     "<p><b>An Image:</b> it is the graph screen's background, every pixel doubled: press "
     "[2nd] [DRAW], move to BACKGROUND, choose BackgroundOn, then [VARS] 4:Picture &amp; "
     "Background, the Background tab and the image (say Image3), and ENTER, or set Background "
     "in [2nd] [FORMAT].</p>"
     "<p>To see a picture alone, clear the drawing ([2nd] [DRAW] ClrDraw), turn the axes and "
     "the grid off ([2nd] [FORMAT]) and deselect the functions and plots in the Y= editor.</p>"},
};

}  // namespace

void WindowMenus::ShowCalculatorHelp() {
  auto* Box = new QDialog(Window_);
  Box->setAttribute(Qt::WA_DeleteOnClose);
  Box->setObjectName(QStringLiteral("calculatorHelp"));
  Box->setWindowTitle(QStringLiteral("Show a picture on the calculator"));
  auto* Layout = new QVBoxLayout(Box);
  auto* Pages = new QTabWidget(Box);
  for (const HelpPage& Page : kHelpPages) {
    auto* Text = new QLabel(QString::fromLatin1(Page.Text), Pages);
    Text->setTextFormat(Qt::RichText);
    Text->setWordWrap(true);
    Text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    Text->setMargin(8);
    Pages->addTab(Text, QString::fromStdString(NamesWhere(Page.Which, true)));
  }
  Layout->addWidget(Pages);
  auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Close, Box);
  connect(Buttons, &QDialogButtonBox::rejected, Box, &QDialog::close);
  Layout->addWidget(Buttons);
  Box->resize(560, 380);
  Box->show();
}

void WindowMenus::BuildHelpMenu() {
  QMenu* Help = Window_->menuBar()->addMenu(QStringLiteral("&Help"));
  connect(Help->addAction(QStringLiteral("&Show a picture on the calculator")), &QAction::triggered,
          this, [this] { ShowCalculatorHelp(); });
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
