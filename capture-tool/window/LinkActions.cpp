// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/LinkActions.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <set>

#include "calc/Models.h"
#include "window/CableDialog.h"
#include "batch/LinkCommands.h"
#include "picture/PictureFile.h"
#include "pictrane/CalcName.h"

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
  // The pictures of every model the link reaches, then their groups.
  QStringList Patterns;
  for (const bool Groups : {false, true}) {
    for (const CalcModelInfo& Row : CalcModels()) {
      if (Row.Link == LinkFamily::None) continue;
      for (const VariableKind& Kind : Row.Kinds) {
        const char* Extension = Groups ? Kind.GroupExtension : Kind.Extension;
        if (Extension != nullptr) Patterns << QStringLiteral("*.") + QLatin1String(Extension);
      }
    }
  }
  auto* Dialog = new QFileDialog(
      Parent_, tr("Send to calculator"), Current_,
      tr("Calculator pictures and groups (%1)").arg(Patterns.join(QLatin1Char(' '))));
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
    if (const QString Problem = SaveLinkChoice(Settings_); !Problem.isEmpty()) {
      auto* Box = new QMessageBox(QMessageBox::Warning, tr("Calculator link"), Problem,
                                  QMessageBox::Ok, Parent_);
      Box->setAttribute(Qt::WA_DeleteOnClose);
      Box->open();
    }
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

LinkActions::Answer LinkActions::Ask(const QString& Held) {
  // The box lives on the UI thread; this worker waits for it, or for Cancel.
  auto Chosen = std::make_shared<std::promise<Answer>>();
  std::future<Answer> Given = Chosen->get_future();
  QMetaObject::invokeMethod(this, [this, Held, Chosen] {
    auto* Box = new QMessageBox(
        QMessageBox::Question, tr("Calculator"),
        tr("The calculator holds %1 already. Replace it, or send this picture under the next "
           "free name?")
            .arg(Held),
        QMessageBox::NoButton, Parent_);
    Box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* Replace = Box->addButton(tr("&Replace"), QMessageBox::DestructiveRole);
    QPushButton* Other = Box->addButton(tr("Send as a &new name"), QMessageBox::AcceptRole);
    Box->addButton(QMessageBox::Cancel);
    Box->setDefaultButton(Other);
    connect(Box, &QMessageBox::finished, Box, [Box, Replace, Other, Chosen] {
      const QAbstractButton* Clicked = Box->clickedButton();
      Chosen->set_value(Clicked == Replace ? Answer::Replace
                        : Clicked == Other ? Answer::NewName
                                           : Answer::Cancel);
    });
    Box->open();
  });
  while (Given.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
    if (Cancel_) return Answer::Cancel;
  }
  return Given.get();
}

void LinkActions::SendFiles(const QStringList& Files) {
  if (Busy() || Files.isEmpty()) return;
  const LinkSettings Settings = ExpectingFileOf(Settings_, BytesOfName(Files.first()));
  Start(
      tr("Looking for the calculator..."), static_cast<int>(Files.size()), [this, Files, Settings] {
        QStringList Lines;
        int Sent = 0;
        try {
          CalcLink Link(Settings, &Cancel_);
          // What the calculator holds, by folder, with what this send adds.
          std::map<QString, std::set<std::u32string>> Held;
          for (const CalcLink::Variable& Each : Link.Variables()) {
            Held[QString::fromStdString(Each.Folder).toLower()].insert(
                LowerName(QString::fromStdString(Each.Name).toStdU32String()));
          }
          for (qsizetype I = 0; I < Files.size(); ++I) {
            const QString Label = tr("Sending %1 (%2 of %3)...")
                                      .arg(QFileInfo(Files[I]).fileName())
                                      .arg(I + 1)
                                      .arg(Files.size());
            QMetaObject::invokeMethod(this, [this, I, Label] { Step(static_cast<int>(I), Label); });
            QStringList Names;
            const auto SendAs = [&](const CalcLink::Variable& Own) {
              const QString Folder = QString::fromStdString(Own.Folder);
              std::set<std::u32string>& Taken = Held[Folder.toLower()];
              const std::u32string Wanted = QString::fromStdString(Own.Name).toStdU32String();
              std::u32string Name = Wanted;
              QString Said = ShownVariable(Folder, Wanted);
              if (Taken.contains(LowerName(Wanted))) {
                const Answer Choice = Ask(Said);
                if (Choice == Answer::Cancel) {
                  throw LinkError(LinkError::Kind::Cancelled, BytesOfName(Files[I]), "cancelled");
                }
                if (Choice == Answer::Replace) {
                  Said += tr(" (replaced the calculator's)");
                } else {
                  Name = FreeName(Wanted, Taken, Link.Z80());
                  if (Name.empty()) {
                    throw LinkError(LinkError::Kind::Refused, BytesOfName(Files[I]),
                                    "the calculator holds all ten pictures");
                  }
                  Said = tr("%1 (%2 is on the calculator already)")
                             .arg(ShownVariable(Folder, Name), ShownVariable(Folder, Wanted));
                }
              }
              Taken.insert(LowerName(Name));
              Names << Said;
              return QString::fromStdU32String(Name).toStdString();
            };
            try {
              Link.SendFile(BytesOfName(Files[I]), nullptr, SendAs);
              Lines << tr("Sent: %1").arg(Names.join(QStringLiteral(", ")));
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
      Screen = Link.TakeScreenImage();
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
