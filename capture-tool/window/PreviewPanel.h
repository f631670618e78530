// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <string>

#include "calc/CalcFile.h"
#include "picture/PixelConversion.h"

class QLabel;

namespace pictrane::capture {

// The open picture and its view: the source beside the result as the calculator will show it, at
// a whole-number zoom that follows the window or is chosen (1x to 4x). Takes the focus when no
// panel is open.
class PreviewPanel : public QWidget {
 public:
  explicit PreviewPanel(QWidget* Parent);

  bool HasPicture() const { return !Picture_.isNull(); }
  const QImage& Picture() const { return Picture_; }
  // The picture's absolute path, or an empty string.
  const QString& Path() const { return Path_; }
  // The result as shown: a one-bit picture's pixels (empty without a picture and for colour),
  // and how it was made.
  const MonoPicture& Shown() const { return Shown_; }
  const std::string& Said() const { return Said_; }

  void SetPicture(const QImage& Picture, const QString& Path);
  void Clear();
  // Redraws the result for Options fitted into Area, as Model's picture holds it (a numbered
  // model's picture is always its fixed size), in the model's colours, as its Kind of picture
  // variable.
  void Update(const PictureOptions& Options, PictureSize Area, bool ShowSource,
              CalcModelId Model = CalcModelId::Ti89, int Kind = 0);
  // 0: the largest whole-number zoom the window holds; 1 to kMostZoom: that zoom.
  void ZoomTo(int Zoom);
  // One step from the zoom shown, within 1 to kMostZoom.
  void ZoomBy(int Step);
  // The zoom of the result as drawn (1 without a picture).
  int Zoom() const;
  static constexpr int kMostZoom = 4;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void ScaleResult();
  void ScaleSource();

  QImage Picture_;
  QString Path_;
  MonoPicture Shown_;
  QImage ShownImage_;  // in the calculator's colours
  std::string Said_;
  QLabel* Source_ = nullptr;
  QLabel* Result_ = nullptr;
  int Chosen_ = 0;                 // ZoomTo's
  QSize ResultSize_, SourceSize_;  // the zooms shown; empty once the picture changed
};

}  // namespace pictrane::capture
