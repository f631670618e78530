// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureWindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CalcFile.h"
#include "CalcName.h"
#include "PicLayout.h"
#include "PictureFile.h"
#include "SaveTypes.h"
#include "platform/RaisedError.h"

namespace pictrane::capture {

namespace {

const QString kAppTitle = QStringLiteral("Pictrane Capture");
const QString kDefaultFolder = QStringLiteral("main");
const QString kNameRule = QStringLiteral(
    "A calculator name has 1 to 8 letters, digits or \"_\" and starts with a letter.");

// Steps of the Picture menu's lighter/darker, contrast and threshold commands.
constexpr int kToneStep = 10;
constexpr int kLevelStep = 8;

// The tool's own per-user settings: $XDG_CONFIG_HOME/pictrane-converter/pictrane-capture.conf.
QSettings ToolSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                   QStringLiteral("pictrane-converter"), QStringLiteral("pictrane-capture"));
}

QString Latin(std::string_view Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

QString MethodLabel(ToneMethod Method) {
  switch (Method) {
    case ToneMethod::Threshold:
      return QStringLiteral("&Threshold");
    case ToneMethod::FloydSteinberg:
      return QStringLiteral("&Floyd-Steinberg");
    case ToneMethod::Atkinson:
      return QStringLiteral("&Atkinson");
    case ToneMethod::Bayer4:
      return QStringLiteral("Bayer &4x4");
    case ToneMethod::Bayer8:
      return QStringLiteral("Bayer &8x8");
  }
  return {};
}

std::u32string ToU32(const QString& Text) {
  const QList<uint> Codes = Text.toUcs4();
  return std::u32string(Codes.begin(), Codes.end());
}

QString DescriptionOf(const RaisedError& Error) {
  return QString::fromStdString(Error.Description);
}

// Refuses, as it is typed, every character a calculator name cannot hold at that place.
class CalcNameValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& Input, int& /*Position*/) const override {
    return IsNameSoFar(ToU32(Input)) ? Acceptable : Invalid;
  }
};

// The text of the first failing check of a target folder, or an empty string.
QString FolderProblem(const QString& Folder) {
  const QFileInfo Info(Folder);
  if (!Info.exists()) return QStringLiteral("The folder \"%1\" does not exist.").arg(Folder);
  if (!Info.isDir()) return QStringLiteral("\"%1\" is not a folder.").arg(Folder);
  if (!Info.isWritable())
    return QStringLiteral("The folder \"%1\" cannot be written to.").arg(Folder);
  return {};
}

}  // namespace

// A panel inside the window: Enter and Esc that its fields leave unused come here, and a message
// panel swallows every other key so that the rest of a file's keys change nothing.
class KeyPanel : public QFrame {
 public:
  explicit KeyPanel(QWidget* Parent) : QFrame(Parent) {
    setFrameShape(QFrame::StyledPanel);
    hide();
  }

  std::function<void()> OnEnter;
  std::function<void()> OnEscape;
  bool SwallowKeys = false;

 protected:
  void keyPressEvent(QKeyEvent* Event) override {
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
};

// A list dropped down over the window from its opener, as a child widget rather than a popup
// window: a popup takes the keyboard from the window system, and keys sent just before it opens
// or closes can then be lost or land twice. A child widget gets every key in order.
class DropDown : public QListWidget {
 public:
  explicit DropDown(QWidget* Parent) : QListWidget(Parent) {
    setFrameShape(QFrame::Box);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    hide();
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* Item) { Choose(row(Item)); });
  }

  std::function<void(int)> OnChoose;
  std::function<void()> OnCancel;
  // Per row, the letter that chooses it at once (menus), or nothing.
  std::vector<QChar> Mnemonics;

  // Shows the list with its top-left corner at Corner (in the parent's coordinates), at least
  // Width wide, with Row current, and gives it the focus.
  void DropAt(QPoint Corner, int Width, int Row) {
    const int Frame = 2 * frameWidth();
    const int Height = sizeHintForRow(0) * count() + Frame;
    setGeometry(Corner.x(), Corner.y(), std::max(Width, sizeHintForColumn(0) + Frame + 8), Height);
    setCurrentRow(Row);
    show();
    raise();
    setFocus(Qt::PopupFocusReason);
  }

 protected:
  void keyPressEvent(QKeyEvent* Event) override {
    const bool Unmodified =
        (Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
    const int Key = Event->key();
    if (Unmodified && (Key == Qt::Key_Return || Key == Qt::Key_Enter)) {
      Choose(currentRow());
    } else if (Unmodified && (Key == Qt::Key_Escape || Key == Qt::Key_F4)) {
      if (OnCancel) OnCancel();
    } else if (const int Row = MnemonicRow(Event->text()); Unmodified && Row >= 0) {
      Choose(Row);
    } else {
      QListWidget::keyPressEvent(Event);
    }
    // Nothing typed while the list is down reaches the panel behind it.
    Event->accept();
  }

 private:
  int MnemonicRow(const QString& Text) const {
    if (Text.size() != 1) return -1;
    for (std::size_t i = 0; i < Mnemonics.size(); ++i) {
      if (!Mnemonics[i].isNull() && Mnemonics[i] == Text.at(0).toLower())
        return static_cast<int>(i);
    }
    return -1;
  }

  void Choose(int Row) {
    if (Row >= 0 && Row < count() && OnChoose) OnChoose(Row);
  }
};

CaptureWindow::CaptureWindow(QWidget* Parent) : QMainWindow(Parent) {
  auto* Central = new QWidget(this);
  auto* Layout = new QVBoxLayout(Central);
  BuildOpenPanel();
  BuildSaveAsPanel();
  BuildVariablePanel();
  BuildMessagePanel();
  for (KeyPanel* Panel : {OpenPanel_, SaveAsPanel_, VariablePanel_, MessagePanel_}) {
    Panel->setParent(Central);
    Layout->addWidget(Panel);
  }
  // The source beside the result; both labels take the size the layout gives them, never their
  // pixmap's, so the zoom can follow the window.
  auto* Views = new QHBoxLayout;
  SourceView_ = new QLabel(Central);
  View_ = new QLabel(Central);
  for (QLabel* Each : {SourceView_, View_}) {
    Each->setAlignment(Qt::AlignCenter);
    Each->setFrameShape(QFrame::StyledPanel);
    Each->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Views->addWidget(Each, 1);
  }
  View_->setFocusPolicy(Qt::StrongFocus);
  View_->installEventFilter(this);
  SourceView_->installEventFilter(this);
  Layout->addLayout(Views, 1);
  setCentralWidget(Central);
  LoadOptions();
  BuildMenus();
  BuildPictureMenu();
  OptionsText_ = new QLabel(this);
  statusBar()->addPermanentWidget(OptionsText_);

  UpdateView();
  UpdateTitle();
  View_->setFocus();
}

CaptureWindow::~CaptureWindow() = default;

void CaptureWindow::LoadOptions() {
  QSettings Settings = ToolSettings();
  PictureOptions Loaded;
  const auto Text = [&](const char* Key) {
    return Settings.value(QLatin1String(Key)).toString().toStdString();
  };
  Loaded.Method = ParseToneMethod(Text("picture/tone")).value_or(Loaded.Method);
  Loaded.Fit = ParseSizing(Text("picture/sizing")).value_or(Loaded.Fit);
  Loaded.Area = ParseTargetArea(Text("picture/area")).value_or(Loaded.Area);
  Loaded.Level = Settings.value(QStringLiteral("picture/threshold"), Loaded.Level).toInt();
  Loaded.Brightness = Settings.value(QStringLiteral("picture/brightness"), 0).toInt();
  Loaded.Contrast = Settings.value(QStringLiteral("picture/contrast"), 0).toInt();
  Loaded.Invert = Settings.value(QStringLiteral("picture/invert"), false).toBool();
  Options_ = Clamped(Loaded);
  ShowSource_ = Settings.value(QStringLiteral("view/source"), true).toBool();
}

void CaptureWindow::SaveOptions() const {
  QSettings Settings = ToolSettings();
  Settings.setValue(QStringLiteral("picture/tone"), Latin(NameOf(Options_.Method)));
  Settings.setValue(QStringLiteral("picture/sizing"), Latin(NameOf(Options_.Fit)));
  Settings.setValue(QStringLiteral("picture/area"), Latin(NameOf(Options_.Area)));
  Settings.setValue(QStringLiteral("picture/threshold"), Options_.Level);
  Settings.setValue(QStringLiteral("picture/brightness"), Options_.Brightness);
  Settings.setValue(QStringLiteral("picture/contrast"), Options_.Contrast);
  Settings.setValue(QStringLiteral("picture/invert"), Options_.Invert);
  Settings.setValue(QStringLiteral("view/source"), ShowSource_);
}

void CaptureWindow::SetOptions(const PictureOptions& Options) {
  Options_ = Clamped(Options);
  SaveOptions();
  SyncPictureMenu();
  UpdateView();
}

void CaptureWindow::BuildPictureMenu() {
  QMenu* Menu = menuBar()->addMenu(QStringLiteral("&Picture"));
  const auto Change = [this](const std::function<void(PictureOptions&)>& Edit) {
    PictureOptions Next = Options_;
    Edit(Next);
    SetOptions(Next);
  };
  const auto AddRadio = [&](QActionGroup* Group, const QString& Label, const QKeySequence& Key,
                            const std::function<void(PictureOptions&)>& Edit) {
    QAction* Action = Menu->addAction(Label);
    Action->setCheckable(true);
    Action->setShortcut(Key);
    Group->addAction(Action);
    connect(Action, &QAction::triggered, this, [Change, Edit] { Change(Edit); });
  };

  MethodGroup_ = new QActionGroup(this);
  int Digit = 1;
  for (const ToneMethod Method : kToneMethods) {
    AddRadio(MethodGroup_, MethodLabel(Method), QKeySequence(Qt::CTRL | (Qt::Key_0 + Digit++)),
             [Method](PictureOptions& O) { O.Method = Method; });
  }
  Menu->addSeparator();
  const auto AddStep = [&](const QString& Label, const QKeySequence& Key,
                           const std::function<void(PictureOptions&)>& Edit) {
    QAction* Action = Menu->addAction(Label);
    Action->setShortcut(Key);
    connect(Action, &QAction::triggered, this, [Change, Edit] { Change(Edit); });
  };
  AddStep(QStringLiteral("&Lighter"), QKeySequence(Qt::CTRL | Qt::Key_Up),
          [](PictureOptions& O) { O.Brightness += kToneStep; });
  AddStep(QStringLiteral("&Darker"), QKeySequence(Qt::CTRL | Qt::Key_Down),
          [](PictureOptions& O) { O.Brightness -= kToneStep; });
  AddStep(QStringLiteral("More &contrast"), QKeySequence(Qt::CTRL | Qt::Key_Right),
          [](PictureOptions& O) { O.Contrast += kToneStep; });
  AddStep(QStringLiteral("Less c&ontrast"), QKeySequence(Qt::CTRL | Qt::Key_Left),
          [](PictureOptions& O) { O.Contrast -= kToneStep; });
  AddStep(QStringLiteral("&Raise threshold"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Up),
          [](PictureOptions& O) { O.Level += kLevelStep; });
  AddStep(QStringLiteral("Lo&wer threshold"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Down),
          [](PictureOptions& O) { O.Level -= kLevelStep; });
  InvertAction_ = Menu->addAction(QStringLiteral("&Invert"));
  InvertAction_->setCheckable(true);
  InvertAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  connect(InvertAction_, &QAction::triggered, this,
          [Change](bool On) { Change([On](PictureOptions& O) { O.Invert = On; }); });

  Menu->addSeparator();
  FitGroup_ = new QActionGroup(this);
  AddRadio(FitGroup_, QStringLiteral("Fit &inside"), QKeySequence(),
           [](PictureOptions& O) { O.Fit = Sizing::Fit; });
  AddRadio(FitGroup_, QStringLiteral("Fill and cro&p"), QKeySequence(),
           [](PictureOptions& O) { O.Fit = Sizing::Fill; });
  AddRadio(FitGroup_, QStringLiteral("&Stretch"), QKeySequence(),
           [](PictureOptions& O) { O.Fit = Sizing::Stretch; });
  Menu->addSeparator();
  AreaGroup_ = new QActionGroup(this);
  AddRadio(AreaGroup_, QStringLiteral("Whole scr&een"), QKeySequence(),
           [](PictureOptions& O) { O.Area = TargetArea::Screen; });
  AddRadio(AreaGroup_, QStringLiteral("&Graph screen"), QKeySequence(),
           [](PictureOptions& O) { O.Area = TargetArea::Graph; });

  Menu->addSeparator();
  SourceAction_ = Menu->addAction(QStringLiteral("Show so&urce"));
  SourceAction_->setCheckable(true);
  connect(SourceAction_, &QAction::triggered, this, [this](bool On) {
    ShowSource_ = On;
    SaveOptions();
    UpdateView();
  });
  AddStep(QStringLiteral("Rese&t picture options"), QKeySequence(Qt::CTRL | Qt::Key_0),
          [](PictureOptions& O) { O = PictureOptions{}; });
  SyncPictureMenu();
}

void CaptureWindow::SyncPictureMenu() {
  MethodGroup_->actions()[static_cast<qsizetype>(Options_.Method)]->setChecked(true);
  FitGroup_->actions()[static_cast<qsizetype>(Options_.Fit)]->setChecked(true);
  AreaGroup_->actions()[static_cast<qsizetype>(Options_.Area)]->setChecked(true);
  InvertAction_->setChecked(Options_.Invert);
  SourceAction_->setChecked(ShowSource_);
}

PictureSize CaptureWindow::PreviewArea() const {
  return AreaOf(kSaveTypes[static_cast<std::size_t>(LastSaveType_)].Model, Options_.Area);
}

void CaptureWindow::BuildMenus() {
  // The menu bar serves the mouse. Its title has no mnemonic: Alt+F drops down our own copy of
  // the menu inside the window (FileDrop_), which cannot lose keys typed while it opens.
  FileMenu_ = menuBar()->addMenu(QStringLiteral("File"));
  connect(FileMenu_->addAction(QStringLiteral("Open...\tCtrl+O")), &QAction::triggered, this,
          [this] { ShowOpenPanel(); });
  connect(FileMenu_->addAction(QStringLiteral("Close\tCtrl+F4")), &QAction::triggered, this,
          [this] { ClosePicture(); });
  connect(FileMenu_->addAction(QStringLiteral("Save As...")), &QAction::triggered, this,
          [this] { ShowSaveAsPanel(); });
  FileMenu_->addSeparator();
  connect(FileMenu_->addAction(QStringLiteral("Exit\tAlt+F4")), &QAction::triggered, this,
          [this] { close(); });

  FileDrop_ = new DropDown(this);
  FileDrop_->addItems({QStringLiteral("Open...  (Ctrl+O)"), QStringLiteral("Close  (Ctrl+F4)"),
                       QStringLiteral("Save As..."), QStringLiteral("Exit  (Alt+F4)")});
  FileDrop_->Mnemonics = {QLatin1Char('o'), QLatin1Char('c'), QLatin1Char('a'), QLatin1Char('x')};
  FileDrop_->OnChoose = [this](int Row) {
    CloseDropDowns();
    switch (Row) {
      case 0:
        ShowOpenPanel();
        break;
      case 1:
        ClosePicture();
        break;
      case 2:
        ShowSaveAsPanel();
        break;
      default:
        close();
        break;
    }
  };
  FileDrop_->OnCancel = [this] { CloseDropDowns(); };

  // Ctrl+F4 and Alt+F4 work whatever has the focus, a dropped-down list included.
  auto* Close = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4), this);
  Close->setContext(Qt::ApplicationShortcut);
  connect(Close, &QShortcut::activated, this, [this] { ClosePicture(); });
  auto* Exit = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F4), this);
  Exit->setContext(Qt::ApplicationShortcut);
  connect(Exit, &QShortcut::activated, this, [this] { close(); });
  OpenShortcut_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
  connect(OpenShortcut_, &QShortcut::activated, this, [this] { ShowOpenPanel(); });
  FileShortcut_ = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F), this);
  connect(FileShortcut_, &QShortcut::activated, this, [this] { DropFileMenu(); });
}

void CaptureWindow::DropFileMenu() {
  CloseDropDowns();
  FocusBeforeDrop_ = QApplication::focusWidget();
  const QRect Title = menuBar()->actionGeometry(FileMenu_->menuAction());
  FileDrop_->DropAt(menuBar()->mapTo(this, Title.bottomLeft()), 0, 0);
}

void CaptureWindow::DropTypeList() {
  CloseDropDowns();
  FocusBeforeDrop_ = SaveType_;
  TypeDrop_->DropAt(SaveType_->mapTo(this, QPoint(0, SaveType_->height())), SaveType_->width(),
                    SaveType_->currentIndex());
}

void CaptureWindow::CloseDropDowns() {
  const bool HadFocus = FileDrop_->hasFocus() || TypeDrop_->hasFocus();
  FileDrop_->hide();
  TypeDrop_->hide();
  if (HadFocus && FocusBeforeDrop_ != nullptr && FocusBeforeDrop_->isVisible()) {
    FocusBeforeDrop_->setFocus(Qt::PopupFocusReason);
  }
}

bool CaptureWindow::HasDropDown() const {
  return !FileDrop_->isHidden() || !TypeDrop_->isHidden();
}

bool CaptureWindow::eventFilter(QObject* Watched, QEvent* Event) {
  // The views get their size from the layout after the window's own resize; zoom then.
  if ((Watched == View_ || Watched == SourceView_) && Event->type() == QEvent::Resize) {
    ScaleViews();
    return false;
  }
  // F4 and Alt+Down drop the type list down inside the window instead of as a popup.
  if (Watched == SaveType_ && Event->type() == QEvent::KeyPress) {
    const auto* Key = static_cast<QKeyEvent*>(Event);
    const bool F4 = Key->key() == Qt::Key_F4 && Key->modifiers() == Qt::NoModifier;
    const bool AltDown = Key->key() == Qt::Key_Down && Key->modifiers() == Qt::AltModifier;
    if (F4 || AltDown) {
      DropTypeList();
      return true;
    }
  }
  return QMainWindow::eventFilter(Watched, Event);
}

void CaptureWindow::BuildOpenPanel() {
  OpenPanel_ = new KeyPanel(this);
  auto* Layout = new QHBoxLayout(OpenPanel_);
  auto* Label = new QLabel(QStringLiteral("Open picture, file &name:"), OpenPanel_);
  OpenName_ = new QLineEdit(OpenPanel_);
  Label->setBuddy(OpenName_);
  auto* Open = new QPushButton(QStringLiteral("Open"), OpenPanel_);
  auto* Cancel = new QPushButton(QStringLiteral("Cancel"), OpenPanel_);
  Layout->addWidget(Label);
  Layout->addWidget(OpenName_, 1);
  Layout->addWidget(Open);
  Layout->addWidget(Cancel);
  connect(Open, &QPushButton::clicked, this, [this] { AcceptOpen(); });
  connect(Cancel, &QPushButton::clicked, this, [this] { DismissPanels(); });
  OpenPanel_->OnEnter = [this] { AcceptOpen(); };
  OpenPanel_->OnEscape = [this] { DismissPanels(); };
}

void CaptureWindow::BuildSaveAsPanel() {
  SaveAsPanel_ = new KeyPanel(this);
  auto* Layout = new QGridLayout(SaveAsPanel_);
  auto* Title = new QLabel(QStringLiteral("<b>Save As</b>"), SaveAsPanel_);
  auto* NameLabel = new QLabel(QStringLiteral("File &name:"), SaveAsPanel_);
  SaveName_ = new QLineEdit(SaveAsPanel_);
  NameLabel->setBuddy(SaveName_);
  auto* TypeLabel = new QLabel(QStringLiteral("Sa&ve as type:"), SaveAsPanel_);
  SaveType_ = new QComboBox(SaveAsPanel_);
  for (const SaveType& Type : kSaveTypes) SaveType_->addItem(QString::fromUtf8(Type.Label));
  TypeLabel->setBuddy(SaveType_);
  SaveType_->installEventFilter(this);
  TypeDrop_ = new DropDown(this);
  for (const SaveType& Type : kSaveTypes) TypeDrop_->addItem(QString::fromUtf8(Type.Label));
  TypeDrop_->OnChoose = [this](int Row) {
    SaveType_->setCurrentIndex(Row);
    CloseDropDowns();
  };
  TypeDrop_->OnCancel = [this] { CloseDropDowns(); };
  auto* Save = new QPushButton(QStringLiteral("Save"), SaveAsPanel_);
  auto* Cancel = new QPushButton(QStringLiteral("Cancel"), SaveAsPanel_);
  Layout->addWidget(Title, 0, 0, 1, 3);
  Layout->addWidget(NameLabel, 1, 0);
  Layout->addWidget(SaveName_, 1, 1);
  Layout->addWidget(Save, 1, 2);
  Layout->addWidget(TypeLabel, 2, 0);
  Layout->addWidget(SaveType_, 2, 1);
  Layout->addWidget(Cancel, 2, 2);
  Layout->setColumnStretch(1, 1);
  connect(Save, &QPushButton::clicked, this, [this] { AcceptSaveAs(); });
  connect(Cancel, &QPushButton::clicked, this, [this] { DismissPanels(); });
  SaveAsPanel_->OnEnter = [this] { AcceptSaveAs(); };
  SaveAsPanel_->OnEscape = [this] { DismissPanels(); };
}

void CaptureWindow::BuildVariablePanel() {
  VariablePanel_ = new KeyPanel(this);
  auto* Layout = new QGridLayout(VariablePanel_);
  auto* Title = new QLabel(QStringLiteral("<b>Picture variable</b>"), VariablePanel_);
  auto* NameLabel = new QLabel(QStringLiteral("Variable &name:"), VariablePanel_);
  VariableName_ = new QLineEdit(VariablePanel_);
  VariableName_->setValidator(new CalcNameValidator(VariableName_));
  VariableName_->setToolTip(kNameRule);
  NameLabel->setBuddy(VariableName_);
  auto* AdvancedButton = new QPushButton(QStringLiteral("&Advanced >>"), VariablePanel_);
  // Alt+A is our own synchronous shortcut below; a button's mnemonic clicks only after an
  // animation, too late for the keys that follow it.
  AdvancedButton->setShortcut(QKeySequence());
  auto* Ok = new QPushButton(QStringLiteral("OK"), VariablePanel_);
  auto* Cancel = new QPushButton(QStringLiteral("Cancel"), VariablePanel_);

  Advanced_ = new QWidget(VariablePanel_);
  auto* AdvancedLayout = new QHBoxLayout(Advanced_);
  AdvancedLayout->setContentsMargins(0, 0, 0, 0);
  auto* FolderLabel = new QLabel(QStringLiteral("&Device folder:"), Advanced_);
  Folder_ = new QLineEdit(kDefaultFolder, Advanced_);
  Folder_->setValidator(new CalcNameValidator(Folder_));
  Folder_->setToolTip(kNameRule);
  FolderLabel->setBuddy(Folder_);
  AdvancedLayout->addWidget(FolderLabel);
  AdvancedLayout->addWidget(Folder_, 1);
  Advanced_->hide();

  Layout->addWidget(Title, 0, 0, 1, 3);
  Layout->addWidget(NameLabel, 1, 0);
  Layout->addWidget(VariableName_, 1, 1);
  Layout->addWidget(Ok, 1, 2);
  Layout->addWidget(AdvancedButton, 2, 0);
  Layout->addWidget(Cancel, 2, 2);
  Layout->addWidget(Advanced_, 3, 0, 1, 3);
  Layout->setColumnStretch(1, 1);

  auto* ShowAdvancedKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_A), VariablePanel_);
  connect(ShowAdvancedKey, &QShortcut::activated, this, [this] { ShowAdvanced(); });
  connect(AdvancedButton, &QPushButton::clicked, this,
          [this] { Advanced_->setVisible(Advanced_->isHidden()); });
  connect(Ok, &QPushButton::clicked, this, [this] { AcceptVariable(); });
  connect(Cancel, &QPushButton::clicked, this, [this] { DismissPanels(); });
  VariablePanel_->OnEnter = [this] { AcceptVariable(); };
  VariablePanel_->OnEscape = [this] { DismissPanels(); };
}

void CaptureWindow::BuildMessagePanel() {
  MessagePanel_ = new KeyPanel(this);
  MessagePanel_->SwallowKeys = true;
  MessagePanel_->setFocusPolicy(Qt::StrongFocus);
  auto* Layout = new QHBoxLayout(MessagePanel_);
  auto* Icon = new QLabel(MessagePanel_);
  Icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  MessageText_ = new QLabel(MessagePanel_);
  MessageText_->setWordWrap(true);
  MessageText_->setTextFormat(Qt::PlainText);
  auto* Hint = new QLabel(QStringLiteral("Esc or Ctrl+F4 to go on"), MessagePanel_);
  auto* Ok = new QPushButton(QStringLiteral("OK"), MessagePanel_);
  // Keys typed after an error must not press it: only the mouse, Esc and Ctrl+F4 dismiss.
  Ok->setFocusPolicy(Qt::NoFocus);
  Layout->addWidget(Icon);
  Layout->addWidget(MessageText_, 1);
  Layout->addWidget(Hint);
  Layout->addWidget(Ok);
  connect(Ok, &QPushButton::clicked, this, [this] { DismissPanels(); });
  MessagePanel_->OnEscape = [this] { DismissPanels(); };
}

bool CaptureWindow::OpenPicture(const QString& Path) {
  try {
    Picture_ = LoadPicture(Path);
  } catch (const RaisedError& Error) {
    ShowMessage(DescriptionOf(Error));
    return false;
  }
  PicturePath_ = QFileInfo(Path).absoluteFilePath();
  UpdateView();
  UpdateTitle();
  statusBar()->showMessage(QStringLiteral("Opened %1 (%2 x %3)")
                               .arg(PicturePath_)
                               .arg(Picture_.width())
                               .arg(Picture_.height()));
  return true;
}

QString CaptureWindow::MessageText() const {
  return MessagePanel_->isHidden() ? QString() : MessageText_->text();
}

void CaptureWindow::ClosePicture() {
  // A dropped-down list or an open menu goes first, so that the script starts from the window.
  for (int Guard = 0; Guard < 8 && QApplication::activePopupWidget() != nullptr; ++Guard) {
    QApplication::activePopupWidget()->close();
  }
  CloseDropDowns();
  Picture_ = QImage();
  PicturePath_.clear();
  DismissPanels();
  UpdateView();
  UpdateTitle();
  statusBar()->clearMessage();
}

void CaptureWindow::ShowOpenPanel() {
  OpenName_->clear();
  ShowOnly(OpenPanel_);
  OpenName_->setFocus(Qt::OtherFocusReason);
}

void CaptureWindow::ShowSaveAsPanel() {
  if (!HasPicture()) {
    ShowMessage(QStringLiteral("There is no picture to save. Open one first (Ctrl+O)."));
    return;
  }
  const QFileInfo Source(PicturePath_);
  const SaveType& Type = kSaveTypes[static_cast<std::size_t>(LastSaveType_)];
  SaveName_->setText(Source.dir().filePath(Source.completeBaseName() + QLatin1Char('.') +
                                           QString::fromUtf8(Type.Extension)));
  SaveType_->setCurrentIndex(LastSaveType_);
  ShowOnly(SaveAsPanel_);
  SaveName_->setFocus(Qt::OtherFocusReason);
  // Selected, so that a typed name replaces the suggestion.
  SaveName_->selectAll();
}

void CaptureWindow::ShowVariablePanel() {
  VariableName_->clear();
  Folder_->setText(kDefaultFolder);
  Advanced_->hide();
  ShowOnly(VariablePanel_);
  VariableName_->setFocus(Qt::OtherFocusReason);
}

void CaptureWindow::ShowAdvanced() {
  Advanced_->show();
}

void CaptureWindow::ShowMessage(const QString& Text) {
  MessageText_->setText(Text);
  ShowOnly(MessagePanel_);
  MessagePanel_->setFocus(Qt::OtherFocusReason);
}

void CaptureWindow::DismissPanels() {
  ShowOnly(nullptr);
  View_->setFocus(Qt::OtherFocusReason);
}

void CaptureWindow::ShowOnly(KeyPanel* Panel) {
  CloseDropDowns();
  for (KeyPanel* Each : {OpenPanel_, SaveAsPanel_, VariablePanel_, MessagePanel_}) {
    if (Each != Panel) Each->hide();
  }
  if (Panel != nullptr) Panel->show();
  // While a message is shown, only Esc, Ctrl+F4 and Alt+F4 act: a menu dropped by a stray Alt+F
  // would take the following letters as its mnemonics.
  const bool Blocked = Panel == MessagePanel_;
  menuBar()->setEnabled(!Blocked);
  OpenShortcut_->setEnabled(!Blocked);
  FileShortcut_->setEnabled(!Blocked);
}

void CaptureWindow::AcceptOpen() {
  const QString Path = OpenName_->text();
  if (Path.isEmpty()) {
    ShowMessage(QStringLiteral("Please enter the name of a picture to open."));
    return;
  }
  if (OpenPicture(Path)) DismissPanels();
}

void CaptureWindow::AcceptSaveAs() {
  const QString Typed = SaveName_->text();
  if (Typed.trimmed().isEmpty()) {
    ShowMessage(QStringLiteral("Please enter a file name to save as."));
    return;
  }
  const int TypeIndex = SaveType_->currentIndex();
  const SaveType& Type = kSaveTypes[static_cast<std::size_t>(TypeIndex)];
  // A relative name is taken in the picture's folder, as a save dialog opened there would.
  QFileInfo Target(Typed);
  if (Target.isRelative()) Target = QFileInfo(QFileInfo(PicturePath_).dir(), Typed);
  QString Path = Target.absoluteFilePath();
  if (Target.suffix().isEmpty()) Path += QLatin1Char('.') + QString::fromUtf8(Type.Extension);

  if (const QString Problem = FolderProblem(QFileInfo(Path).absolutePath()); !Problem.isEmpty()) {
    ShowMessage(Problem + QStringLiteral(" Nothing was saved."));
    return;
  }
  if (QFileInfo(Path).isDir()) {
    ShowMessage(QStringLiteral("\"%1\" is a folder. Nothing was saved.").arg(Path));
    return;
  }
  TargetPath_ = Path;
  TargetType_ = TypeIndex;
  if (LastSaveType_ != TypeIndex) {
    // The view shows the picture for the model chosen last.
    LastSaveType_ = TypeIndex;
    UpdateView();
  }
  if (Type.Calculator) {
    ShowVariablePanel();
    return;
  }
  try {
    SaveImage(ToImage(ToMono(Picture_, AreaOf(Type.Model, Options_.Area), Options_)), Path,
              Type.ImageFormat);
  } catch (const RaisedError& Error) {
    ShowMessage(DescriptionOf(Error) + QStringLiteral(" Nothing was saved."));
    return;
  }
  DismissPanels();
  statusBar()->showMessage(QStringLiteral("Saved %1").arg(Path));
}

void CaptureWindow::AcceptVariable() {
  if (VariableName_->text().isEmpty()) {
    ShowMessage(QStringLiteral("The variable name is empty. ") + kNameRule +
                QStringLiteral(" Nothing was saved."));
    return;
  }
  if (Folder_->text().isEmpty()) {
    ShowMessage(QStringLiteral("The device folder is empty. ") + kNameRule +
                QStringLiteral(" Nothing was saved."));
    return;
  }
  SaveCalculatorPicture();
}

void CaptureWindow::SaveCalculatorPicture() {
  const SaveType& Type = kSaveTypes[static_cast<std::size_t>(TargetType_)];
  try {
    CalcPicture Variable;
    Variable.Model = Type.Model;
    Variable.Name = ToU32(VariableName_->text());
    Variable.Folder = ToU32(Folder_->text());
    Variable.PicData = EncodePic(ToMono(Picture_, AreaOf(Type.Model, Options_.Area), Options_));
    WriteCalcPicture(QFile::encodeName(TargetPath_).toStdString(), Variable);
  } catch (const RaisedError& Error) {
    ShowMessage(DescriptionOf(Error) + QStringLiteral(" Nothing was saved."));
    return;
  }
  DismissPanels();
  statusBar()->showMessage(
      QStringLiteral("Saved %1 as %2\\%3")
          .arg(TargetPath_, Folder_->text().toLower(), VariableName_->text().toLower()));
}

void CaptureWindow::UpdateTitle() {
  setWindowTitle(HasPicture()
                     ? QFileInfo(PicturePath_).fileName() + QStringLiteral(" - ") + kAppTitle
                     : kAppTitle);
}

void CaptureWindow::UpdateView() {
  if (OptionsText_ != nullptr) {
    const PictureSize Area = PreviewArea();
    OptionsText_->setText(
        QStringLiteral("%1, threshold %2, brightness %3, contrast %4%5; %6 into %7 %8 x %9")
            .arg(MethodLabel(Options_.Method).remove(QLatin1Char('&')))
            .arg(Options_.Level)
            .arg(Options_.Brightness)
            .arg(Options_.Contrast)
            .arg(Options_.Invert ? QStringLiteral(", inverted") : QString())
            .arg(Latin(NameOf(Options_.Fit)), Options_.Area == TargetArea::Graph
                                                  ? QStringLiteral("graph screen")
                                                  : QStringLiteral("screen"))
            .arg(Area.Width)
            .arg(Area.Height));
  }
  SourceView_->setVisible(ShowSource_ && HasPicture());
  if (!HasPicture()) {
    Shown_ = MonoPicture{};
    View_->setPixmap(QPixmap());
    View_->setText(QStringLiteral("No picture. Open one with Ctrl+O."));
    return;
  }
  Shown_ = ToMono(Picture_, PreviewArea(), Options_);
  ScaleViews();
}

void CaptureWindow::ScaleViews() {
  if (!HasPicture() || Shown_.Width <= 0) return;
  // A whole-number zoom keeps the calculator's pixels sharp squares.
  const QSize Room = View_->contentsRect().size();
  const int Zoom =
      std::max(1, std::min(Room.width() / Shown_.Width, Room.height() / Shown_.Height));
  const QSize Size(Shown_.Width * Zoom, Shown_.Height * Zoom);
  View_->setPixmap(QPixmap::fromImage(
      ToImage(Shown_).scaled(Size, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
  if (!SourceView_->isHidden()) {
    SourceView_->setPixmap(QPixmap::fromImage(
        Picture_.scaled(SourceView_->contentsRect().size().boundedTo(Picture_.size() * 4),
                        Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  }
}

}  // namespace pictrane::capture
