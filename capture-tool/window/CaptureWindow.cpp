// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/CaptureWindow.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QInputDialog>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTextStream>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "batch/BatchConvert.h"  // RunBatch, for the files dropped together
#include "calc/CalcFile.h"
#include "pictrane/CalcName.h"
#include "calc/CalcRead.h"
#include "window/CableDialog.h"
#include "window/KeyPanels.h"
#include "window/LinkActions.h"
#include "calc/PicLayout.h"
#include "picture/PictureFile.h"
#include "picture/ToolInfo.h"
#include "window/PictureMenu.h"
#include "window/PreviewPanel.h"
#include "window/SaveAsPanel.h"
#include "window/SaveTypes.h"
#include "window/VariablePanel.h"
#include "window/WindowMenus.h"
#include "pictrane/Remarks.h"
#include "pictrane/RaisedError.h"

namespace pictrane::capture {

namespace {

const QString kAppTitle = QString::fromLatin1(kToolTitle);

// The recent files' list, in the tool's settings file, the latest first.
constexpr qsizetype kMostRecent = 10;
const QString kRecentKey = QStringLiteral("recent/files");

QSettings RecentSettings() {
  return QSettings(ToolSettingsPath(), QSettings::NativeFormat);
}

// Files gone since are left out.
QStringList LoadRecent() {
  QStringList Files = RecentSettings().value(kRecentKey).toStringList();
  Files.removeIf([](const QString& File) { return !QFileInfo(File).isFile(); });
  return Files.mid(0, kMostRecent);
}

// The local files among what is dropped, in the order given.
QStringList DroppedFiles(const QMimeData* Data) {
  QStringList Files;
  if (Data == nullptr) return Files;
  for (const QUrl& Url : Data->urls()) {
    if (Url.isLocalFile() && QFileInfo(Url.toLocalFile()).isFile()) Files << Url.toLocalFile();
  }
  return Files;
}

int SaveTypeOf(CalcModelId Model) {
  for (std::size_t Type = 0; Type < kSaveTypes.size(); ++Type) {
    if (kSaveTypes[Type].Calculator && kSaveTypes[Type].Model == Model)
      return static_cast<int>(Type);
  }
  return kTi89SaveType;
}

bool IsCalcFile(const QString& Path) {
  // The files of the linked models that name pictures freely, and the colour calculators', open
  // through the calculator library; the others go to the picture reader.
  const QString Suffix = QFileInfo(Path).suffix().toLower();
  for (const CalcModelInfo& Row : CalcModels()) {
    if (Row.Link != LinkFamily::Dbus68k && Row.Link != LinkFamily::Dusb) continue;
    for (const VariableKind& Kind : Row.Kinds) {
      if (Suffix == QLatin1String(Kind.Extension) ||
          (Kind.GroupExtension != nullptr && Suffix == QLatin1String(Kind.GroupExtension)))
        return true;
    }
  }
  return false;
}

// The picture of a calculator file as an image; a group asks which of its pictures. A null image:
// the user chose none.
QImage LoadCalcPicture(QWidget* Parent, const QString& Path) {
  const std::vector<StoredPicture> Pictures = ReadCalcPictures(BytesOfName(Path));
  std::size_t Chosen = 0;
  if (Pictures.size() > 1) {
    QStringList Names;
    for (const StoredPicture& Each : Pictures) {
      Names << (Each.Folder.empty() ? QString::fromStdString(Each.Name)
                                    : QString::fromStdString(Each.Folder + "\\" + Each.Name));
    }
    bool Ok = false;
    const QString Name =
        QInputDialog::getItem(Parent, QStringLiteral("Open picture"),
                              QStringLiteral("Picture in %1:").arg(Path), Names, 0, false, &Ok);
    if (!Ok) return {};
    Chosen = static_cast<std::size_t>(Names.indexOf(Name));
  }
  return ShownOf(Pictures[Chosen]);
}

}  // namespace

QString DescriptionOf(const RaisedError& Error) {
  return QString::fromStdString(Error.Description);
}

void RemarkOn(const QString& Path, const QString& Message) {
  const std::string Line = RemarkLine(BytesOfName(Path), Message.toStdString()) + '\n';
  std::fputs(Line.c_str(), stderr);
  std::fflush(stderr);
}

CaptureWindow::CaptureWindow(QWidget* Parent) : CaptureWindow(Parent, LoadLinkChoice()) {}

CaptureWindow::CaptureWindow(QWidget* Parent, LinkSettings Link) : QMainWindow(Parent) {
  // The installed icon (both programs share it), else the one built in.
  QIcon BuiltIn;
  for (const int Size : {16, 32, 48, 256})
    BuiltIn.addFile(QStringLiteral(":/icons/%1.png").arg(Size));
  setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.pictrane.Converter"), BuiltIn));
  auto* Central = new QWidget(this);
  auto* Layout = new QVBoxLayout(Central);
  Open_ = new OpenPanel(Central);
  SaveAs_ = new SaveAsPanel(Central, this);
  Variable_ = new VariablePanel(Central);
  Message_ = new MessagePanel(Central);
  Confirm_ = new ConfirmPanel(Central);
  for (KeyPanel* Panel : Panels()) {
    Layout->addWidget(Panel);
    Panel->OnEscape = [this] { DismissPanels(); };
  }
  Open_->OnEnter = [this] { AcceptOpen(); };
  SaveAs_->OnEnter = [this] { AcceptSaveAs(); };
  Variable_->OnEnter = [this] { AcceptVariable(); };
  Preview_ = new PreviewPanel(Central);
  Layout->addWidget(Preview_, 1);
  setCentralWidget(Central);

  FileCommands Commands;
  Commands.Open = [this] {
    ShowOnly(Open_);
    const QStringList Recent = LoadRecent();
    Open_->Start(Recent.isEmpty() ? QString() : QFileInfo(Recent.first()).absolutePath());
  };
  Commands.OpenRecent = [this](const QString& Path) {
    if (OpenPicture(Path)) DismissPanels();
  };
  Commands.Save = [this] { Save(); };
  Commands.ZoomTo = [this](int Zoom) { Preview_->ZoomTo(Zoom); };
  Commands.ZoomBy = [this](int Step) { Preview_->ZoomBy(Step); };
  Commands.Close = [this] { ClosePicture(); };
  Commands.SaveAs = [this] { ShowSaveAs(); };
  Link_ = new LinkActions(this, Link);
  Commands.Send = [this] { Link_->SendAction()->trigger(); };
  Commands.Screen = [this] { Link_->ScreenAction()->trigger(); };
  Commands.Link = [this] { Link_->ChooseAction()->trigger(); };
  connect(Link_, &LinkActions::FilesWanted, this, [this] {
    Link_->SetCurrentFile(Place_ == LastSaved_ ? LastSaved_ : QFileInfo(Place_).absolutePath());
  });
  connect(Link_, &LinkActions::ScreenTaken, this,
          [this](const QImage& Screen) { ShowScreen(Screen); });
  Commands.Exit = [this] { close(); };
  Commands.CloseLists = [this] { CloseDropDowns(); };
  Menus_ = new WindowMenus(this, std::move(Commands));
  Menus_->Picture().OnChange = [this] {
    // A model chosen in the menu is the type Save As proposes next.
    if (Model() != ShownModel_) {
      SaveAs_->SetLastType(SaveTypeOf(Model()));
      ShownKind_ = 0;
    }
    ShownModel_ = Model();
    UpdateView();
  };
  ShownModel_ = Model();
  SaveAs_->SetLastType(SaveTypeOf(Model()));
  Menus_->SetRecent(LoadRecent());
  setAcceptDrops(true);
  OptionsText_ = new QLabel(this);
  statusBar()->addPermanentWidget(OptionsText_);

  UpdateView();
  UpdateTitle();
  Preview_->setFocus();
}

CaptureWindow::~CaptureWindow() = default;

bool CaptureWindow::HasPicture() const {
  return Preview_->HasPicture();
}

QString CaptureWindow::PicturePath() const {
  return Preview_->Path();
}

const PictureOptions& CaptureWindow::Options() const {
  return Menus_->Picture().Options().Picture;
}

void CaptureWindow::SetOptions(const PictureOptions& Options) {
  Menus_->Picture().SetPicture(Options);
}

CalcModelId CaptureWindow::Model() const {
  return Menus_->Picture().Options().Model;
}

void CaptureWindow::SetModel(CalcModelId Model) {
  Menus_->Picture().SetModel(Model);
}

int CaptureWindow::Zoom() const {
  return Preview_->Zoom();
}

QStringList CaptureWindow::RecentFiles() const {
  return LoadRecent();
}

const MonoPicture& CaptureWindow::Shown() const {
  return Preview_->Shown();
}

bool CaptureWindow::OpenPicture(const QString& Path) {
  QImage Picture;
  QString Note;
  try {
    Picture = IsCalcFile(Path) ? LoadCalcPicture(this, Path) : LoadPicture(Path, &Note);
    if (Picture.isNull()) return false;
  } catch (const RaisedError& Error) {
    ShowMessage(DescriptionOf(Error));
    RemarkOn(Path, DescriptionOf(Error));
    return false;
  }
  Preview_->SetPicture(Picture, QFileInfo(Path).absoluteFilePath());
  Place_ = PicturePath();
  Remember(PicturePath());
  UpdateView();
  UpdateTitle();
  statusBar()->showMessage(QStringLiteral("Opened %1 (%2 x %3)")
                               .arg(PicturePath())
                               .arg(Picture.width())
                               .arg(Picture.height()) +
                           (Note.isEmpty() ? QString() : QStringLiteral("; ") + Note));
  return true;
}

void CaptureWindow::Remember(const QString& Path) {
  QStringList Files = LoadRecent();
  if (!Files.isEmpty() && Files.first() == Path) return;
  Files.removeAll(Path);
  Files.prepend(Path);
  Files = Files.mid(0, kMostRecent);
  // A driven window's files (the converter's bitmaps) are the run's, not the user's.
  if (OptionsAreStored()) RecentSettings().setValue(kRecentKey, Files);
  Menus_->SetRecent(Files);
}

void CaptureWindow::dragEnterEvent(QDragEnterEvent* Event) {
  if (!DroppedFiles(Event->mimeData()).isEmpty()) Event->acceptProposedAction();
}

// The first file opens; several are offered to the batch, with the settings shown.
void CaptureWindow::dropEvent(QDropEvent* Event) {
  const QStringList Files = DroppedFiles(Event->mimeData());
  if (Files.isEmpty()) return;
  Event->acceptProposedAction();
  if (!OpenPicture(Files.first())) return;
  DismissPanels();
  if (Files.size() == 1) return;
  Ask(
      QStringLiteral("Convert all %1 files to %2 pictures with the settings shown, each beside its "
                     "file? Y converts them; N, Enter or Esc keeps only the first open.")
          .arg(Files.size())
          .arg(ModelName(Model())),
      [this, Files] { ConvertAll(Files); }, [this] { DismissPanels(); });
}

void CaptureWindow::ConvertAll(const QStringList& Files) {
  BatchOptions Batch;
  Batch.Model = Model();
  Batch.Picture = Options();
  Batch.Files = Files;
  QString Lines;
  QTextStream Out(&Lines);
  const int Status = RunBatch(Batch, Out);
  Out.flush();
  DismissPanels();
  if (Status != kExitDone) {
    ShowMessage(Lines.trimmed());
    return;
  }
  statusBar()->showMessage(QStringLiteral("Converted %1 files to %2 pictures")
                               .arg(Files.size())
                               .arg(ModelName(Model())));
}

void CaptureWindow::Ask(const QString& Question, std::function<void()> Yes,
                        std::function<void()> No) {
  Confirm_->OnYes = std::move(Yes);
  Confirm_->OnEscape = std::move(No);
  ShowOnly(Confirm_);
  Confirm_->Start(Question);
}

QString CaptureWindow::MessageText() const {
  return Message_->isHidden() ? Confirm_->Text() : Message_->Text();
}

std::array<KeyPanel*, 5> CaptureWindow::Panels() const {
  return {Open_, SaveAs_, Variable_, Message_, Confirm_};
}

bool CaptureWindow::HasDropDown() const {
  return Menus_->HasDropDown() || SaveAs_->HasDropDown();
}

void CaptureWindow::CloseDropDowns() {
  Menus_->CloseDropDown();
  SaveAs_->CloseDropDown();
}

void CaptureWindow::ClosePicture() {
  // A dropped-down list or an open menu goes first, so that the script starts from the window.
  for (int Guard = 0; Guard < 8 && QApplication::activePopupWidget() != nullptr; ++Guard) {
    QApplication::activePopupWidget()->close();
  }
  CloseDropDowns();
  Preview_->Clear();
  DismissPanels();
  UpdateView();
  UpdateTitle();
  statusBar()->clearMessage();
}

void CaptureWindow::ShowSaveAs() {
  if (!HasPicture()) {
    ShowMessage(QStringLiteral("There is no picture to save. Open one first (Ctrl+O)."));
    return;
  }
  ShowOnly(SaveAs_);
  SaveAs_->Start(PicturePath());
}

void CaptureWindow::ShowMessage(const QString& Text) {
  ShowOnly(Message_);
  Message_->Start(Text);
}

void CaptureWindow::DismissPanels() {
  ShowOnly(nullptr);
  Preview_->setFocus(Qt::OtherFocusReason);
}

void CaptureWindow::ShowOnly(KeyPanel* Panel) {
  CloseDropDowns();
  for (KeyPanel* Each : Panels()) {
    if (Each != Panel) Each->hide();
  }
  // The file dialog takes the whole window: the view, left at its size meanwhile, is not drawn
  // again at another zoom for each picture the converter opens.
  Preview_->setVisible(Panel != Open_);
  if (Panel != nullptr) Panel->show();
  Menus_->SetBlocked(Panel == Message_ || Panel == Confirm_);
}

void CaptureWindow::AcceptOpen() {
  const QString Path = Open_->Typed();
  if (Path.isEmpty()) {
    ShowMessage(QStringLiteral("Please enter the name of a picture to open."));
    return;
  }
  if (OpenPicture(Path)) DismissPanels();
}

void CaptureWindow::ShowScreen(const QImage& Screen) {
  // Named as a new file in the home folder, so Save As proposes a name there.
  Preview_->SetPicture(Screen, QDir::home().filePath(QStringLiteral("calculator-screen.png")));
  DismissPanels();
  UpdateView();
  UpdateTitle();
  statusBar()->showMessage(
      QStringLiteral("The calculator's screen (%1 x %2)").arg(Screen.width()).arg(Screen.height()));
}

void CaptureWindow::UpdateTitle() {
  setWindowTitle(HasPicture()
                     ? QFileInfo(PicturePath()).fileName() + QStringLiteral(" - ") + kAppTitle
                     : kAppTitle);
}

PictureSize CaptureWindow::PreviewArea() const {
  return AreaOf(Model(), Options().Area, ShownKind_);
}

void CaptureWindow::UpdateView() {
  const ToolOptions& Tool = Menus_->Picture().Options();
  Preview_->Update(Tool.Picture, PreviewArea(), Tool.ShowSource, Tool.Model, ShownKind_);
  const std::string Said = HasPicture() ? Preview_->Said() : std::string();
  OptionsText_->setText(Menus_->Picture().Summary(PreviewArea()) +
                        (Said.empty() ? QString() : QStringLiteral(" (%1)").arg(Said.c_str())));
}

}  // namespace pictrane::capture
