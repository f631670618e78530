// SPDX-License-Identifier: GPL-3.0-or-later
#include "PictureFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "BitmapCheck.h"

#include "platform/AtomicFile.h"
#include "platform/RaisedError.h"

namespace pictrane::capture {

namespace {

constexpr const char* kSource = "pictrane-capture";

std::string NativePath(const QString& Path) {
  return QFile::encodeName(Path).toStdString();
}

}  // namespace

QImage LoadPicture(const QString& Path) {
  const QFileInfo Info(Path);
  if (!Info.exists()) {
    throw RaisedError(ErrorNumber::FileNotFound, kSource,
                      QStringLiteral("The file \"%1\" does not exist.").arg(Path).toStdString());
  }
  if (!Info.isFile() || !Info.isReadable()) {
    throw RaisedError(ErrorNumber::PermissionDenied, kSource,
                      QStringLiteral("The file \"%1\" cannot be read.").arg(Path).toStdString());
  }
  QFile File(Path);
  if (!File.open(QIODevice::ReadOnly)) {
    throw RaisedError(ErrorNumber::PermissionDenied, kSource,
                      QStringLiteral("The file \"%1\" cannot be read (%2).")
                          .arg(Path, File.errorString())
                          .toStdString());
  }
  QByteArray Bytes = File.readAll();
  if (LooksLikeBitmap(Bytes)) {
    if (const QString Problem = BitmapProblem(Bytes); !Problem.isEmpty()) {
      throw RaisedError(
          ErrorNumber::PathFileAccessError, kSource,
          QStringLiteral("\"%1\" cannot be converted: %2.").arg(Path, Problem).toStdString());
    }
  }
  QBuffer Buffer(&Bytes);
  Buffer.open(QIODevice::ReadOnly);
  QImageReader Reader(&Buffer);
  Reader.setDecideFormatFromContent(true);
  QImage Picture = Reader.read();
  if (Picture.isNull() || Picture.width() <= 0 || Picture.height() <= 0) {
    throw RaisedError(ErrorNumber::PathFileAccessError, kSource,
                      QStringLiteral("\"%1\" is not a picture that can be read (%2).")
                          .arg(Path, Reader.errorString())
                          .toStdString());
  }
  // 32-bit pixels without alpha are opaque already; anything else is brought to ARGB32 once.
  if (Picture.format() == QImage::Format_RGB32) return Picture;
  return Picture.convertToFormat(QImage::Format_ARGB32);
}

MonoPicture ToMono(const QImage& Picture, PictureSize Bounds, const PictureOptions& Options) {
  const bool Direct =
      Picture.format() == QImage::Format_ARGB32 || Picture.format() == QImage::Format_RGB32;
  const QImage Argb = Direct ? Picture : Picture.convertToFormat(QImage::Format_ARGB32);
  const auto* Pixels = reinterpret_cast<const std::uint32_t*>(Argb.constBits());
  const auto Stride = static_cast<std::size_t>(Argb.bytesPerLine()) / sizeof(std::uint32_t);
  return ToMono(Pixels, Argb.width(), Argb.height(), Stride, Bounds, Options);
}

QImage ToImage(const MonoPicture& Picture) {
  QImage Image(Picture.Width, Picture.Height, QImage::Format_Mono);
  Image.setColorCount(2);
  Image.setColor(0, qRgb(255, 255, 255));
  Image.setColor(1, qRgb(0, 0, 0));
  for (int Y = 0; Y < Picture.Height; ++Y) {
    for (int X = 0; X < Picture.Width; ++X) Image.setPixel(X, Y, Picture.At(X, Y) ? 1 : 0);
  }
  return Image;
}

void SaveImage(const QImage& Picture, const QString& Path, const char* Format) {
  WriteAtomically(
      NativePath(Path),
      [&](const std::string& Temporary) {
        if (!Picture.save(QFile::decodeName(Temporary.c_str()), Format)) {
          throw RaisedError(ErrorNumber::PathFileAccessError, kSource,
                            QStringLiteral("Cannot write \"%1\".").arg(Path).toStdString());
        }
      },
      kSource);
}

}  // namespace pictrane::capture
