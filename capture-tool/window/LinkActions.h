// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window's calculator actions, "Send to calculator..." and "Take the calculator's screen",
// as one self-contained piece: the link work runs off the UI thread behind a progress dialog
// with Cancel, and the result comes back as a message box and signals.
//
// Hooking it into a window's File menu:
//     auto* Link = new LinkActions(this);
//     FileMenu->addAction(Link->SendAction());
//     FileMenu->addAction(Link->ScreenAction());
//     FileMenu->addAction(Link->ChooseAction());
//     connect(Link, &LinkActions::FilesWanted, this, [=] { Link->SetCurrentFile(SavedPath); });
//     connect(Link, &LinkActions::ScreenTaken, this, &Window::ShowPicture);

#include <QAction>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <memory>

#include "link/CalcLink.h"

namespace pictrane::capture {

class LinkActions : public QObject {
  Q_OBJECT

 public:
  explicit LinkActions(QWidget* Parent, LinkSettings Settings = {});
  ~LinkActions() override;

  QAction* SendAction() const { return Send_; }
  QAction* ScreenAction() const { return Screen_; }
  // "Calculator link...": the cable and port (CableDialog.h), remembered once chosen.
  QAction* ChooseAction() const { return Choose_; }

  // The link the actions use.
  const LinkSettings& Settings() const { return Settings_; }

  // The picture just saved, which "Send to calculator..." offers first, or a folder it opens
  // at; empty: none.
  void SetCurrentFile(const QString& Path) { Current_ = Path; }
  const QString& CurrentFile() const { return Current_; }

  // Sends Files one after the other (what the action does once the files are chosen).
  void SendFiles(const QStringList& Files);
  // Takes the screen (what the screen action does).
  void TakeScreen();
  bool Busy() const { return Worker_ != nullptr; }

 signals:
  // Before the send action asks which files to send: the window may update the current file.
  void FilesWanted();
  // The screen, as a two-colour image of what the user sees, ready to be shown and saved.
  void ScreenTaken(const QImage& Screen);
  // The end of an operation: every file sent (or the screen taken), and the summary shown.
  void Finished(bool AllDone, const QString& Summary);

 private:
  enum class Answer { Replace, NewName, Cancel };
  // Asks, from the worker, what to do with a picture whose name Held the calculator holds.
  Answer Ask(const QString& Held);
  void ChooseAndSend();
  void ChooseLink();
  void Start(const QString& Label, int Steps, std::function<void()> Work);
  void Step(int Done, const QString& Label);
  void End(bool AllDone, const QString& Summary, const QImage& Screen);

  QWidget* Parent_;
  LinkSettings Settings_;
  QAction* Send_;
  QAction* Screen_;
  QAction* Choose_;
  QString Current_;
  QPointer<QProgressDialog> Progress_;
  QThread* Worker_ = nullptr;
  std::atomic<bool> Cancel_{false};
};

}  // namespace pictrane::capture
