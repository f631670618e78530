// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "BatchConvert.h"
#include "CalcFile.h"
#include "pictrane/CalcName.h"
#include "CalcRead.h"
#include "CableDialog.h"
#include "KeyPanels.h"
#include "LinkActions.h"
#include "PicLayout.h"
#include "PictureFile.h"
#include "PictureMenu.h"
#include "PreviewPanel.h"
#include "SaveAsPanel.h"
#include "SaveTypes.h"
#include "VariablePanel.h"
#include "WindowMenus.h"
#include "pictrane/Remarks.h"
#include "pictrane/RaisedError.h"

namespace pictrane::capture {

namespace {

const QString kAppTitle = QString::fromLatin1(kToolTitle);
const QString kNothingSaved = QStringLiteral(" Nothing was saved.");

QString DescriptionOf(const RaisedError& Error) {
  return QString::fromStdString(Error.Description);
}

// The converter that typed our keys can no longer see our window when it reports: every message
// about a file also goes to standard error, one line naming the file (ToolRemarks.h).
void RemarkOn(const QString& Path, const QString& Message) {
  const std::string Line = RemarkLine(BytesOfName(Path), Message.toStdString()) + '\n';
  std::fputs(Line.c_str(), stderr);
  std::fflush(stderr);
}

// The text of the first failing check of a target folder, or an empty string.
QString FolderProblem(const QString& Folder) {
  const QFileInfo Info(Folder);
  if (!Info.exists()) return QStringLiteral("The folder \"%1\" does not exist.").arg(Folder);
  if (!Info.isDir()) return QStringLiteral("\"%1\" is not a folder.").arg(Folder);
  if (!Info.isWritable())
    return QStringLiteral("The folder \"%1\" cannot be written to.").arg(Folder);
  return {};
}

bool IsCalcFile(const QString& Path) {
  static const QStringList Suffixes{QStringLiteral("89i"), QStringLiteral("9xi"),
                                    QStringLiteral("v2i"), QStringLiteral("89g"),
                                    QStringLiteral("9xg"), QStringLiteral("v2g")};
  return Suffixes.contains(QFileInfo(Path).suffix().toLower());
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
  return ToImage(DecodePic(Pictures[Chosen].PicData, Pictures[Chosen].Model));
}

}  // namespace

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
  // No, the default answer, goes back to Save As to choose another name.
  Confirm_->OnEscape = [this] {
    ShowOnly(SaveAs_);
    SaveAs_->Resume();
  };
  Confirm_->OnYes = [this] { SaveTarget(); };
  Open_->OnEnter = [this] { AcceptOpen(); };
  SaveAs_->OnEnter = [this] { AcceptSaveAs(); };
  Variable_->OnEnter = [this] { AcceptVariable(); };
  Preview_ = new PreviewPanel(Central);
  Layout->addWidget(Preview_, 1);
  setCentralWidget(Central);

  FileCommands Commands;
  Commands.Open = [this] {
    ShowOnly(Open_);
    Open_->Start();
  };
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
  Menus_->Picture().OnChange = [this] { UpdateView(); };
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
  UpdateView();
  UpdateTitle();
  statusBar()->showMessage(QStringLiteral("Opened %1 (%2 x %3)")
                               .arg(PicturePath())
                               .arg(Picture.width())
                               .arg(Picture.height()) +
                           (Note.isEmpty() ? QString() : QStringLiteral("; ") + Note));
  return true;
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

void CaptureWindow::AcceptSaveAs() {
  if (SaveAs_->IsEmpty()) {
    ShowMessage(QStringLiteral("Please enter a file name to save as."));
    return;
  }
  const SaveAsPanel::Target Target = SaveAs_->Chosen(PicturePath());
  const QString& Path = Target.Path;
  if (const QString Problem = FolderProblem(QFileInfo(Path).absolutePath()); !Problem.isEmpty()) {
    ShowMessage(Problem + kNothingSaved);
    RemarkOn(Path, Problem + kNothingSaved);
    return;
  }
  if (QFileInfo(Path).isDir()) {
    const QString Problem = QStringLiteral("\"%1\" is a folder.").arg(Path) + kNothingSaved;
    ShowMessage(Problem);
    RemarkOn(Path, Problem);
    return;
  }
  TargetPath_ = Path;
  TargetType_ = Target.Type;
  std::error_code Failed;
  if (std::filesystem::equivalent(BytesOfName(Path), BytesOfName(PicturePath()), Failed)) {
    ShowOnly(Confirm_);
    Confirm_->Start(QStringLiteral("\"%1\" is the picture open in this window. Replace it with "
                                   "the saved picture? Y replaces it; N, Enter or Esc keeps it.")
                        .arg(Path));
    return;
  }
  SaveTarget();
}

void CaptureWindow::SaveTarget() {
  const QString& Path = TargetPath_;
  if (SaveAs_->LastType() != TargetType_) {
    // The view shows the picture for the model chosen last.
    SaveAs_->SetLastType(TargetType_);
    UpdateView();
  }
  const SaveType& Type = kSaveTypes[static_cast<std::size_t>(TargetType_)];
  if (Type.Calculator) {
    // The name the batch would give: the file's own, else a fallback, so that every picture
    // has one whatever letters its file's name holds; a TI-83 Plus picture is Pic1 to Pic0.
    const std::u32string FromFile = NameFromFile(ToU32(QFileInfo(Path).completeBaseName()));
    const bool Ti83Plus = Type.Model == CalcModelId::Ti83Plus;
    ProposedFallback_ = FromFile.empty() && !Ti83Plus;
    const std::u32string Name = Ti83Plus            ? Ti83PlusPictureName(0)
                                : ProposedFallback_ ? FallbackName(NamesSaved_)
                                                    : FromFile;
    Proposed_ = QString::fromUcs4(Name.data(), static_cast<qsizetype>(Name.size()));
    ShowOnly(Variable_);
    Variable_->Start(Proposed_);
    return;
  }
  try {
    SaveImage(ToImage(ToMono(Preview_->Picture(), AreaOf(Type.Model, Options().Area), Options())),
              Path, Type.ImageFormat);
  } catch (const RaisedError& Error) {
    ShowMessage(DescriptionOf(Error) + kNothingSaved);
    RemarkOn(Path, DescriptionOf(Error) + kNothingSaved);
    return;
  }
  Place_ = Path;
  DismissPanels();
  statusBar()->showMessage(QStringLiteral("Saved %1").arg(Path));
}

void CaptureWindow::AcceptVariable() {
  if (const QString Problem = Variable_->Problem(); !Problem.isEmpty()) {
    ShowMessage(Problem + kNothingSaved);
    return;
  }
  const SaveType& Type = kSaveTypes[static_cast<std::size_t>(TargetType_)];
  try {
    CalcPicture Picture;
    Picture.Model = Type.Model;
    Picture.Name = ToU32(Variable_->Name());
    Picture.Folder = ToU32(Variable_->Folder());
    Picture.PicData = EncodePic(
        ToMono(Preview_->Picture(), AreaOf(Type.Model, Options().Area), Options()), Type.Model);
    WriteCalcPicture(BytesOfName(TargetPath_), Picture);
  } catch (const RaisedError& Error) {
    ShowMessage(DescriptionOf(Error) + kNothingSaved);
    RemarkOn(TargetPath_, DescriptionOf(Error) + kNothingSaved);
    return;
  }
  LastSaved_ = Place_ = TargetPath_;
  NamesSaved_.insert(LowerName(ToU32(Variable_->Name())));
  DismissPanels();
  QString Saved = QStringLiteral("Saved %1 as %2\\%3")
                      .arg(TargetPath_, Variable_->Folder().toLower(), Variable_->Name().toLower());
  if (Type.Model == CalcModelId::Ti83Plus) {
    Saved = QStringLiteral("Saved %1 as %2").arg(TargetPath_, Variable_->Name());
  }
  if (ProposedFallback_ && Variable_->Name() == Proposed_) {
    const QString Why = NoNameText(QFileInfo(TargetPath_).completeBaseName());
    Saved += QStringLiteral(" (%1)").arg(Why);
    RemarkOn(TargetPath_, QString::fromLatin1(kNamedRemark) + Variable_->Name().toLower() +
                              QStringLiteral(" (%1)").arg(Why));
  }
  statusBar()->showMessage(Saved);
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
  return AreaOf(kSaveTypes[static_cast<std::size_t>(SaveAs_->LastType())].Model, Options().Area);
}

void CaptureWindow::UpdateView() {
  const ToolOptions& Tool = Menus_->Picture().Options();
  Preview_->Update(Tool.Picture, PreviewArea(), Tool.ShowSource);
  const std::string Said = HasPicture() ? SaidOf(Preview_->Shown()) : std::string();
  OptionsText_->setText(Menus_->Picture().Summary(PreviewArea()) +
                        (Said.empty() ? QString() : QStringLiteral(" (%1)").arg(Said.c_str())));
}

}  // namespace pictrane::capture
