// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/PreviewPanel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <algorithm>
#include <utility>

#include "calc/Models.h"
#include "picture/PictureFile.h"

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

void PreviewPanel::Update(const PictureOptions& Options, PictureSize Area, bool ShowSource,
                          CalcModelId Model, int Kind) {
  Source_->setVisible(ShowSource && HasPicture());
  ResultSize_ = SourceSize_ = QSize();
  if (!HasPicture()) {
    Shown_ = MonoPicture{};
    ShownImage_ = QImage();
    Said_.clear();
    Result_->setPixmap(QPixmap());
    Result_->setText(QStringLiteral("No picture. Open one with Ctrl+O."));
    return;
  }
  // The picture as the calculator will hold it.
  MadePicture Made = CalcPictureOf(Model, Picture_, Area, Options, Kind);
  Shown_ = std::move(Made.Mono);
  ShownImage_ = std::move(Made.Shown);
  Said_ = std::move(Made.Said);
  ScaleResult();
  ScaleSource();
}

bool PreviewPanel::eventFilter(QObject* Watched, QEvent* Event) {
  // The labels get their size from the layout after the window's own resize; zoom then.
  if (Event->type() == QEvent::Resize) {
    if (Watched == Result_) ScaleResult();
    if (Watched == Source_) ScaleSource();
  }
  return QWidget::eventFilter(Watched, Event);
}

// Each panel the converter's keys open or close resizes the labels; a zoom that comes out the
// same as the one shown is not drawn again (scaling and sending a window-sized pixmap is most of
// the tool's work per picture).
void PreviewPanel::ScaleResult() {
  if (!HasPicture() || ShownImage_.isNull()) return;
  // A whole-number zoom keeps the calculator's pixels sharp squares.
  const QSize Room = Result_->contentsRect().size();
  const QSize Own = ShownImage_.size();
  const int Zoom =
      Chosen_ > 0 ? Chosen_
                  : std::max(1, std::min(Room.width() / Own.width(), Room.height() / Own.height()));
  const QSize Size = Own * Zoom;
  if (Size == ResultSize_) return;
  ResultSize_ = Size;
  Result_->setPixmap(
      QPixmap::fromImage(ShownImage_.scaled(Size, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
}

void PreviewPanel::ZoomTo(int Zoom) {
  Chosen_ = std::clamp(Zoom, 0, kMostZoom);
  ScaleResult();
}

void PreviewPanel::ZoomBy(int Step) {
  ZoomTo(std::clamp(Zoom() + Step, 1, kMostZoom));
}

int PreviewPanel::Zoom() const {
  return ResultSize_.isEmpty() || ShownImage_.isNull() ? 1
                                                       : ResultSize_.width() / ShownImage_.width();
}

void PreviewPanel::ScaleSource() {
  if (!HasPicture() || Source_->isHidden()) return;
  const QSize Size = Picture_.size().scaled(
      Source_->contentsRect().size().boundedTo(Picture_.size() * 4), Qt::KeepAspectRatio);
  if (Size == SourceSize_) return;
  SourceSize_ = Size;
  Source_->setPixmap(
      QPixmap::fromImage(Picture_.scaled(Size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

}  // namespace pictrane::capture
