// SPDX-License-Identifier: GPL-3.0-or-later
// The window's saves: Save As (a picture file or a calculator file, whose variable is named next),
// and Ctrl+S, which saves again to the calculator file saved last.
#include <QFileInfo>
#include <QStatusBar>
#include <filesystem>
#include <system_error>

#include "batch/BatchConvert.h"
#include "calc/CalcFile.h"
#include "calc/Models.h"
#include "pictrane/CalcName.h"
#include "pictrane/RaisedError.h"
#include "pictrane/Remarks.h"
#include "picture/PictureFile.h"
#include "window/CaptureWindow.h"
#include "window/KeyPanels.h"
#include "window/PreviewPanel.h"
#include "window/SaveAsPanel.h"
#include "window/SaveTypes.h"
#include "window/VariablePanel.h"

namespace pictrane::capture {

namespace {

const QString kNothingSaved = QStringLiteral(" Nothing was saved.");

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
    // No, the default answer, goes back to Save As to choose another name.
    Ask(
        QStringLiteral("\"%1\" is the picture open in this window. Replace it with the saved "
                       "picture? Y replaces it; N, Enter or Esc keeps it.")
            .arg(Path),
        [this] { SaveTarget(); },
        [this] {
          ShowOnly(SaveAs_);
          SaveAs_->Resume();
        });
    return;
  }
  SaveTarget();
}

void CaptureWindow::SaveTarget() {
  const QString& Path = TargetPath_;
  const SaveType& Type = kSaveTypes[static_cast<std::size_t>(TargetType_)];
  // A calculator picture saved for another model, or as another kind of its variables, chooses
  // them: the view shows that picture (drawn once; the menu's change keeps the kind).
  if (Type.Calculator && (Type.Model != Model() || Type.Kind != ShownKind_)) {
    ShownKind_ = Type.Kind;
    ShownModel_ = Type.Model;
    if (Type.Model != Model()) {
      SetModel(Type.Model);
    } else {
      UpdateView();
    }
  }
  SaveAs_->SetLastType(TargetType_);
  if (Type.Calculator) {
    // The name the batch would give: the file's own, else a fallback, so that every picture
    // has one whatever letters its file's name holds; a numbered picture is Pic1 to Pic0.
    const std::u32string FromFile = NameFromFile(ToU32(QFileInfo(Path).completeBaseName()));
    const bool Numbered = IsNumbered(Type.Model);
    ProposedFallback_ = FromFile.empty() && !Numbered;
    const char* Stem = KindOf(Type.Model, Type.Kind).Stem;
    const std::u32string Name = Numbered ? NumberedPictureName(0, ToU32(QLatin1String(Stem)))
                                : ProposedFallback_ ? FallbackName(NamesSaved_)
                                                    : FromFile;
    Proposed_ = QString::fromUcs4(Name.data(), static_cast<qsizetype>(Name.size()));
    ShowOnly(Variable_);
    Variable_->Start(Proposed_);
    return;
  }
  try {
    SaveImage(ToImage(ToMono(Preview_->Picture(), PreviewArea(), Options())), Path,
              Type.ImageFormat);
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
  if (!WriteCalc(TargetPath_, TargetType_, Variable_->Name(), Variable_->Folder())) return;
  NamesSaved_.insert(LowerName(ToU32(Variable_->Name())));
  DismissPanels();
  QString Saved = SavedText();
  if (ProposedFallback_ && Variable_->Name() == Proposed_) {
    const QString Why = NoNameText(QFileInfo(TargetPath_).completeBaseName());
    Saved += QStringLiteral(" (%1)").arg(Why);
    RemarkOn(TargetPath_, QString::fromLatin1(kNamedRemark) + Variable_->Name().toLower() +
                              QStringLiteral(" (%1)").arg(Why));
  }
  statusBar()->showMessage(Saved);
}

bool CaptureWindow::WriteCalc(const QString& Path, int TypeIndex, const QString& Name,
                              const QString& Folder) {
  const SaveType& Type = kSaveTypes[static_cast<std::size_t>(TypeIndex)];
  try {
    CalcPicture Picture;
    Picture.Model = Type.Model;
    Picture.Name = ToU32(Name);
    Picture.Folder = ToU32(Folder);
    Picture.Kind = Type.Kind;
    Picture.PicData =
        CalcPictureOf(Type.Model, Preview_->Picture(),
                      AreaOf(Type.Model, Options().Area, Type.Kind), Options(), Type.Kind)
            .PicData;
    WriteCalcPicture(BytesOfName(Path), Picture);
  } catch (const RaisedError& Error) {
    ShowMessage(DescriptionOf(Error) + kNothingSaved);
    RemarkOn(Path, DescriptionOf(Error) + kNothingSaved);
    return false;
  }
  LastSaved_ = Place_ = Path;
  Again_ = {PicturePath(), TypeIndex, Name, Folder};
  return true;
}

QString CaptureWindow::SavedText() const {
  if (IsNumbered(kSaveTypes[static_cast<std::size_t>(Again_.Type)].Model))
    return QStringLiteral("Saved %1 as %2").arg(LastSaved_, Again_.Name);
  return QStringLiteral("Saved %1 as %2\\%3")
      .arg(LastSaved_, Again_.Folder.toLower(), Again_.Name.toLower());
}

void CaptureWindow::Save() {
  if (!HasPicture() || LastSaved_.isEmpty() || Again_.Source != PicturePath()) {
    ShowSaveAs();
    return;
  }
  DismissPanels();
  if (WriteCalc(LastSaved_, Again_.Type, Again_.Name, Again_.Folder))
    statusBar()->showMessage(SavedText());
}

}  // namespace pictrane::capture
