// SPDX-License-Identifier: GPL-3.0-or-later
// The TI-84 Plus CE's colour pictures of one photo, written as PNG for bench/colour-quality.py:
//
//   ce_colour_dither PICTURE FOLDER
//
// writes into FOLDER: pic-source.png (the photo fitted into the Pic's 265 x 165 shown pixels; the
// results are cut to its size), pic-ours.png (our OKLab error diffusion to the 15 colours, encoded
// as a Pic and decoded again), pic-nearest.png (each pixel's nearest colour, no diffusion),
// image-source.png (fitted into 133 x 83) and image-ours.png (our RGB565 Image, encoded and
// decoded), and prints how long the dither and encoding of each took.
#include <QCoreApplication>
#include <QDir>
#include <chrono>
#include <cstdio>

#include "picture/PictureFile.h"
#include "calc/CePictures.h"

namespace {

using namespace pictrane::capture;

template <typename Work>
double Milliseconds(Work&& Run) {
  const auto Start = std::chrono::steady_clock::now();
  constexpr int kRuns = 5;
  for (int I = 0; I < kRuns; ++I) Run();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start)
             .count() /
         kRuns;
}

// The part of a decoded Pic that holds Source, centred as the encoder centres it.
QImage Placed(const QImage& Decoded, const QImage& Source, PictureSize Area) {
  return Decoded.copy((Area.Width - Source.width()) / 2, (Area.Height - Source.height()) / 2,
                      Source.width(), Source.height());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: ce_colour_dither PICTURE FOLDER\n");
    return 2;
  }
  const QImage Photo = LoadPicture(QString::fromLocal8Bit(argv[1]));
  const QDir Out(QString::fromLocal8Bit(argv[2]));
  const QImage PicSource = FitColour(Photo, kCePicShown);
  const QImage ImageSource = FitColour(Photo, kCeImage);
  std::vector<std::uint8_t> Pic;
  std::vector<std::uint8_t> Image;
  const double PicTime = Milliseconds([&] { Pic = EncodeCePic(DitherToCeColours(PicSource)); });
  const double ImageTime = Milliseconds([&] { Image = EncodeCeImage(ImageSource); });
  const bool Saved =
      PicSource.save(Out.filePath("pic-source.png")) &&
      Placed(DecodeCePic(Pic), PicSource, kCePicShown).save(Out.filePath("pic-ours.png")) &&
      Placed(DecodeCePic(EncodeCePic(NearestCeColours(PicSource))), PicSource, kCePicShown)
          .save(Out.filePath("pic-nearest.png")) &&
      ImageSource.save(Out.filePath("image-source.png")) &&
      Placed(DecodeCeImage(Image), ImageSource, kCeImage).save(Out.filePath("image-ours.png"));
  std::printf("{\"pic_ms\": %.2f, \"image_ms\": %.2f}\n", PicTime, ImageTime);
  return Saved ? 0 : 1;
}
