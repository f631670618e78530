// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkActions.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <functional>

#include "CableDialog.h"
#include "PictureFile.h"

namespace pictrane::capture {

LinkActions::LinkActions(QWidget* Parent, LinkSettings Settings)
    : QObject(Parent),
      Parent_(Parent),
      Settings_(Settings),
      Send_(new QAction(tr("Send to calculator..."), this)),
      Screen_(new QAction(tr("Take the calculator's screen"), this)),
      Choose_(new QAction(tr("Calculator link..."), this)) {
  connect(Send_, &QAction::triggered, this, &LinkActions::ChooseAndSend);
  connect(Screen_, &QAction::triggered, this, &LinkActions::TakeScreen);
  connect(Choose_, &QAction::triggered, this, &LinkActions::ChooseLink);
}

LinkActions::~LinkActions() {
  if (Worker_ != nullptr) {
    Cancel_ = true;
    Worker_->wait();
  }
}

// Both dialogs are opened, not run: the window goes on painting, and they are found as children.
void LinkActions::ChooseAndSend() {
  emit FilesWanted();
  auto* Dialog = new QFileDialog(
      Parent_, tr("Send to calculator"), Current_,
      tr("Calculator pictures and groups (*.89i *.9xi *.v2i *.8xi *.89g *.9xg *.v2g *.8xg)"));
  Dialog->setAttribute(Qt::WA_DeleteOnClose);
  Dialog->setFileMode(QFileDialog::ExistingFiles);
  connect(Dialog, &QFileDialog::filesSelected, this, &LinkActions::SendFiles);
  Dialog->open();
}

void LinkActions::ChooseLink() {
  auto* Dialog = new CableDialog(Parent_, Settings_);
  Dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(Dialog, &QDialog::accepted, this, [this, Dialog] {
    Settings_ = Dialog->Chosen();
    SaveLinkChoice(Settings_);
  });
  Dialog->open();
}

void LinkActions::Start(const QString& Label, int Steps, std::function<void()> Work) {
  Cancel_ = false;
  Send_->setEnabled(false);
  Screen_->setEnabled(false);
  Progress_ = new QProgressDialog(Label, tr("Cancel"), 0, Steps, Parent_);
  Progress_->setWindowTitle(tr("Calculator"));
  Progress_->setAttribute(Qt::WA_DeleteOnClose);
  Progress_->setMinimumDuration(0);
  Progress_->setAutoClose(false);
  Progress_->setAutoReset(false);
  Progress_->setWindowModality(Qt::WindowModal);
  connect(Progress_, &QProgressDialog::canceled, this, [this] {
    Cancel_ = true;
    if (Progress_) Progress_->setLabelText(tr("Cancelling..."));
  });
  Progress_->show();
  Worker_ = QThread::create(std::move(Work));
  Worker_->start();
}

void LinkActions::Step(int Done, const QString& Label) {
  if (!Progress_) return;
  Progress_->setValue(Done);
  if (!Cancel_) Progress_->setLabelText(Label);
}

void LinkActions::End(bool AllDone, const QString& Summary, const QImage& Screen) {
  Worker_->wait();
  delete Worker_;
  Worker_ = nullptr;
  if (Progress_) Progress_->close();
  Send_->setEnabled(true);
  Screen_->setEnabled(true);
  if (!Screen.isNull()) emit ScreenTaken(Screen);
  auto* Box = new QMessageBox(AllDone ? QMessageBox::Information : QMessageBox::Warning,
                              tr("Calculator"), Summary, QMessageBox::Ok, Parent_);
  Box->setAttribute(Qt::WA_DeleteOnClose);
  Box->open();
  emit Finished(AllDone, Summary);
}

void LinkActions::SendFiles(const QStringList& Files) {
  if (Busy() || Files.isEmpty()) return;
  const LinkSettings Settings = Settings_;
  Start(
      tr("Looking for the calculator..."), static_cast<int>(Files.size()), [this, Files, Settings] {
        QStringList Lines;
        int Sent = 0;
        try {
          CalcLink Link(Settings, &Cancel_);
          for (qsizetype I = 0; I < Files.size(); ++I) {
            const QString Label = tr("Sending %1 (%2 of %3)...")
                                      .arg(QFileInfo(Files[I]).fileName())
                                      .arg(I + 1)
                                      .arg(Files.size());
            QMetaObject::invokeMethod(this, [this, I, Label] { Step(static_cast<int>(I), Label); });
            try {
              Link.SendFile(BytesOfName(Files[I]));
              Lines << tr("Sent: %1").arg(Files[I]);
              ++Sent;
            } catch (const LinkError& Error) {
              Lines << tr("Not sent: %1").arg(QString::fromLocal8Bit(Error.what()));
              if (Error.What() == LinkError::Kind::Cancelled ||
                  Error.What() == LinkError::Kind::NoAnswer) {
                break;
              }
            }
          }
        } catch (const LinkError& Error) {
          Lines << tr("Nothing sent: %1").arg(QString::fromLocal8Bit(Error.what()));
        }
        const bool All = Sent == Files.size();
        QMetaObject::invokeMethod(
            this, [this, All, Summary = Lines.join('\n')] { End(All, Summary, {}); });
      });
}

void LinkActions::TakeScreen() {
  if (Busy()) return;
  const LinkSettings Settings = Settings_;
  Start(tr("Taking the calculator's screen..."), 0, [this, Settings] {
    QImage Screen;
    QString Summary;
    try {
      CalcLink Link(Settings, &Cancel_);
      Screen = ToImage(Link.TakeScreen());
      Summary = tr("The calculator's screen, %1 x %2, is in the preview.")
                    .arg(Screen.width())
                    .arg(Screen.height());
    } catch (const LinkError& Error) {
      Summary = tr("No screen: %1").arg(QString::fromLocal8Bit(Error.what()));
    }
    QMetaObject::invokeMethod(this,
                              [this, Screen, Summary] { End(!Screen.isNull(), Summary, Screen); });
  });
}

}  // namespace pictrane::capture
