// SPDX-License-Identifier: GPL-3.0-or-later
#include "PreviewPanel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <algorithm>

#include "PictureFile.h"

namespace pictrane::capture {

PreviewPanel::PreviewPanel(QWidget* Parent) : QWidget(Parent) {
  // Both labels take the size the layout gives them, never their pixmap's, so the zoom can
  // follow the window.
  auto* Layout = new QHBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Source_ = new QLabel(this);
  Result_ = new QLabel(this);
  for (QLabel* Each : {Source_, Result_}) {
    Each->setAlignment(Qt::AlignCenter);
    Each->setFrameShape(QFrame::StyledPanel);
    Each->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Each->installEventFilter(this);
    Layout->addWidget(Each, 1);
  }
  Result_->setFocusPolicy(Qt::StrongFocus);
  setFocusProxy(Result_);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

void PreviewPanel::SetPicture(const QImage& Picture, const QString& Path) {
  Picture_ = Picture;
  Path_ = Path;
}

void PreviewPanel::Clear() {
  Picture_ = QImage();
  Path_.clear();
}

void PreviewPanel::Update(const PictureOptions& Options, PictureSize Area, bool ShowSource) {
  Source_->setVisible(ShowSource && HasPicture());
  if (!HasPicture()) {
    Shown_ = MonoPicture{};
    Result_->setPixmap(QPixmap());
    Result_->setText(QStringLiteral("No picture. Open one with Ctrl+O."));
    return;
  }
  Shown_ = ToMono(Picture_, Area, Options);
  Scale();
}

bool PreviewPanel::eventFilter(QObject* Watched, QEvent* Event) {
  // The labels get their size from the layout after the window's own resize; zoom then.
  if (Event->type() == QEvent::Resize) Scale();
  return QWidget::eventFilter(Watched, Event);
}

void PreviewPanel::Scale() {
  if (!HasPicture() || Shown_.Width <= 0) return;
  // A whole-number zoom keeps the calculator's pixels sharp squares.
  const QSize Room = Result_->contentsRect().size();
  const int Zoom =
      std::max(1, std::min(Room.width() / Shown_.Width, Room.height() / Shown_.Height));
  const QSize Size(Shown_.Width * Zoom, Shown_.Height * Zoom);
  Result_->setPixmap(QPixmap::fromImage(
      ToImage(Shown_).scaled(Size, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
  if (!Source_->isHidden()) {
    Source_->setPixmap(QPixmap::fromImage(
        Picture_.scaled(Source_->contentsRect().size().boundedTo(Picture_.size() * 4),
                        Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  }
}

}  // namespace pictrane::capture
