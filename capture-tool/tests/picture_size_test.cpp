// SPDX-License-Identifier: GPL-3.0-or-later
// Unit tests of the capture tool's picture sizes: fitting and placing a picture on the
// calculator's screen, the area shrink, and a large JPEG decoded at a reduced size.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "FileFixtures.h"
#include "calc/CalcFile.h"
#include "picture/PictureFile.h"
#include "picture/PixelConversion.h"

namespace pictrane::capture {
namespace {

TEST(PixelConversion, FitsLargePicturesKeepingProportions) {
  struct Case {
    PictureSize Source, Bounds, Expected;
  };
  const std::vector<Case> Cases = {
      {{1, 1}, kTi89Screen, {1, 1}},         {{160, 100}, kTi89Screen, {160, 100}},
      {{7, 100}, kTi89Screen, {7, 100}},     {{161, 100}, kTi89Screen, {160, 99}},
      {{320, 200}, kTi89Screen, {160, 100}}, {{640, 480}, kTi89Screen, {133, 100}},
      {{159, 101}, kTi89Screen, {157, 100}}, {{1000, 1}, kTi89Screen, {160, 1}},
      {{1, 1000}, kTi89Screen, {1, 100}},    {{480, 256}, kTi92Screen, {240, 128}},
      {{200, 300}, kTi92Screen, {85, 128}},
  };
  for (const Case& C : Cases) {
    const PictureSize Fitted = FitWithin(C.Source, C.Bounds);
    EXPECT_EQ(Fitted, C.Expected) << C.Source.Width << "x" << C.Source.Height << " -> "
                                  << Fitted.Width << "x" << Fitted.Height;
  }
}

TEST(PixelConversion, ShrinksByAveragingTheAreaEachPixelCovers) {
  const std::uint32_t D = 0xFF000000;  // black
  const std::uint32_t L = 0xFFFFFFFF;  // white
  using Bits = std::vector<std::uint8_t>;
  struct Case {
    std::vector<std::uint32_t> Pixels;
    int Width, Height;
    std::size_t Stride;
    PictureSize Bounds;
    Bits Dark;
  };
  const std::vector<Case> Cases = {
      // 3 to 2: the first target pixel covers 1.5 source pixels, 2/3 of them dark.
      {{D, L, L}, 3, 1, 3, {2, 1}, {1, 0}},
      {{L, D, L}, 3, 1, 3, {2, 1}, {0, 0}},
      {{L, L, D}, 3, 1, 3, {2, 1}, {0, 1}},
      // A one-pixel line survives halving wherever it lies (sampling would drop column 0).
      {{D, L, L, L}, 4, 1, 4, {2, 1}, {1, 0}},
      {{L, L, D, L}, 4, 1, 4, {2, 1}, {0, 1}},
      // Halving 2x2 blocks: three dark of four is dark, one of four is light.
      {{D, D, L, L, D, L, L, D, L, L, D, D, L, L, D, L}, 4, 4, 4, {2, 2}, {1, 0, 0, 1}},
      // Unscaled, the stride's padding pixels are never read.
      {{D, L, D, L, D, D}, 2, 2, 3, kTi89Screen, {1, 0, 0, 1}},
  };
  PictureOptions Threshold;
  Threshold.Method = ToneMethod::Threshold;
  for (std::size_t I = 0; I < Cases.size(); ++I) {
    const Case& C = Cases[I];
    EXPECT_EQ(ToMono(C.Pixels.data(), C.Width, C.Height, C.Stride, C.Bounds, Threshold).Dark,
              C.Dark)
        << "case " << I;
  }
  EXPECT_TRUE(ToMono(nullptr, 0, 0, 0, kTi89Screen).Dark.empty());
}

TEST(PixelConversion, PlacesFitFillAndStretchPerModelAndArea) {
  struct Case {
    PictureSize Source;
    CalcModelId Model;
    TargetArea Area;
    Sizing Fit;
    PictureSize Size;
    double Left, Top, Width, Height;  // the part of the source used
    int Kind = 0;                     // of the model's picture kinds
  };
  const auto S = TargetArea::Screen;
  const auto G = TargetArea::Graph;
  const auto Ti89 = CalcModelId::Ti89;
  const auto V200 = CalcModelId::Voyage200;
  const auto Ti92p = CalcModelId::Ti92Plus;
  const auto Ce = CalcModelId::Ti84PlusCe;
  const std::vector<Case> Cases = {
      {{640, 480}, Ti89, S, Sizing::Fit, {133, 100}, 0, 0, 640, 480},
      {{640, 480}, Ti89, S, Sizing::Fill, {160, 100}, 0, 40, 640, 400},
      {{640, 480}, Ti89, G, Sizing::Fit, {103, 77}, 0, 0, 640, 480},
      {{640, 480}, Ti89, G, Sizing::Fill, {159, 77}, 0, 85.03, 640, 309.94},
      {{640, 480}, V200, S, Sizing::Fit, {171, 128}, 0, 0, 640, 480},
      {{640, 480}, Ti92p, G, Sizing::Fit, {137, 103}, 0, 0, 640, 480},
      {{640, 480}, Ti92p, G, Sizing::Fill, {239, 103}, 0, 102.09, 640, 275.82},
      {{480, 640}, V200, S, Sizing::Fill, {240, 128}, 0, 192, 480, 256},
      // Only the side that overflows shrinks; nothing is enlarged.
      {{200, 50}, Ti89, S, Sizing::Fill, {160, 50}, 20, 0, 160, 50},
      {{200, 50}, Ti89, S, Sizing::Stretch, {160, 50}, 0, 0, 200, 50},
      // A picture that fits is kept 1:1 whatever the sizing.
      {{160, 100}, Ti89, S, Sizing::Fill, {160, 100}, 0, 0, 160, 100},
      {{100, 50}, Ti89, G, Sizing::Stretch, {100, 50}, 0, 0, 100, 50},
      // The colour calculators' Pic and Image are their whole size on either area.
      {{640, 480}, Ce, S, Sizing::Fit, {220, 165}, 0, 0, 640, 480},
      {{640, 480}, Ce, G, Sizing::Fill, {265, 165}, 0, 40.75, 640, 398.49},
      {{640, 480}, Ce, S, Sizing::Fit, {111, 83}, 0, 0, 640, 480, 1},
  };
  for (std::size_t I = 0; I < Cases.size(); ++I) {
    const Case& C = Cases[I];
    const Placement P = PlaceWithin(C.Source, AreaOf(C.Model, C.Area, C.Kind), C.Fit);
    EXPECT_EQ(P.Size, C.Size) << "case " << I << ": " << P.Size.Width << "x" << P.Size.Height;
    EXPECT_NEAR(P.Left, C.Left, 0.01) << "case " << I;
    EXPECT_NEAR(P.Top, C.Top, 0.01) << "case " << I;
    EXPECT_NEAR(P.Width, C.Width, 0.01) << "case " << I;
    EXPECT_NEAR(P.Height, C.Height, 0.01) << "case " << I;
  }
}

TEST(PixelConversion, LargeJpegDecodedSmallGivesThePictureOfTheWholeDecode) {
  // A photo-like picture: a slanted ramp, a dark disc and fine noise, saved as a JPEG, turned as
  // its orientation (in an Exif block) says.
  struct Case {
    PictureSize Stored, Bounds;
    Sizing Fit;
    int Orientation;
    PictureSize Decoded;     // the reduced read's size, upright
    bool Drawing = false;    // pale 1-pixel lines on white instead: read whole
    bool Lightness = false;  // read for a caller that takes its lightness alone
    bool Padded = false;     // 2 MiB of zeros after the picture: mapped, not read whole
  };
  const std::vector<Case> Cases = {
      {{2400, 1800}, kTi89Screen, Sizing::Fit, 1, {300, 225}},
      {{1600, 1200}, kTi89Screen, Sizing::Fit, 1, {200, 150}},
      {{640, 480}, kTi89Screen, Sizing::Fit, 1, {160, 120}},
      {{2400, 1800}, kTi89Screen, Sizing::Fit, 6, {225, 300}},
      {{1800, 2400}, kTi89Screen, Sizing::Fill, 6, {300, 225}},
      {{600, 800}, kTi89Screen, Sizing::Fill, 6, {200, 150}},
      {{2400, 1800}, kTi83PlusPicture, Sizing::Stretch, 1, {300, 225}},
      {{2401, 1799}, kTi83PlusPicture, Sizing::Fit, 8, {225, 301}},
      {{320, 200}, kTi89Screen, Sizing::Fit, 1, {320, 200}},  // too small to gain
      {{2400, 1800}, kTi89Screen, Sizing::Fit, 6, {1800, 2400}, true},
      {{640, 480}, kTi89Screen, Sizing::Fit, 1, {160, 120}, false, true},
      {{640, 480}, kTi89Screen, Sizing::Fit, 1, {160, 120}, false, true, true},
      {{640, 480}, kTi89Screen, Sizing::Fit, 6, {120, 160}, false, false, true},
      {{2401, 1799}, kTi83PlusPicture, Sizing::Fit, 8, {225, 301}, false, true},
      {{2400, 1800}, kTi89Screen, Sizing::Fit, 6, {1800, 2400}, true, true},
  };
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  std::uint32_t Seed = 7;
  for (const Case& C : Cases) {
    QImage Photo(C.Stored.Width, C.Stored.Height, QImage::Format_RGB32);
    for (int Y = 0; Y < Photo.height(); ++Y) {
      auto* Row = reinterpret_cast<QRgb*>(Photo.scanLine(Y));
      for (int X = 0; X < Photo.width(); ++X) {
        Seed = Seed * 1664525u + 1013904223u;
        const int Dx = X - Photo.width() / 3;
        const int Dy = Y - Photo.height() / 2;
        const bool Disc = Dx * Dx + Dy * Dy < Photo.height() * Photo.height() / 16;
        const int V = (Disc ? 40 : 60 + 160 * (X + Y) / (Photo.width() + Photo.height())) +
                      static_cast<int>(Seed >> 28);
        Row[X] = C.Drawing
                     ? (X % 37 == 0 || Y % 41 == 0 ? qRgb(190, 190, 190) : qRgb(255, 255, 255))
                     : qRgb(V, V * 3 / 4 + 40, 255 - V);
      }
    }
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    ASSERT_TRUE(Buffer.open(QIODevice::WriteOnly) && Photo.save(&Buffer, "JPEG", 90));
    const char Tiff[] = {'M',  'M',  0, 42, 0, 0, 0, 8, 0, 1,
                         0x01, 0x12, 0, 3,  0, 0, 0, 1, 0, static_cast<char>(C.Orientation),
                         0,    0,    0, 0,  0, 0};
    const QByteArray Exif = QByteArray("Exif\0\0", 6) + QByteArray(Tiff, sizeof Tiff);
    const QString Path = Folder.filePath(QStringLiteral("photo.jpg"));
    ASSERT_TRUE(test::WriteFile(Path, Bytes.left(2) + QByteArray("\xFF\xE1\0", 3) +
                                          static_cast<char>(Exif.size() + 2) + Exif + Bytes.mid(2) +
                                          QByteArray(C.Padded ? 2 << 20 : 0, '\0')));
    PictureOptions Options;
    Options.Fit = C.Fit;
    const std::string Name = std::to_string(C.Stored.Width) + " " + std::string(NameOf(C.Fit)) +
                             " " + std::to_string(C.Orientation) + (C.Lightness ? " grey" : "") +
                             (C.Padded ? " padded" : "");
    const QImage Small = LoadPicture(Path, nullptr, ShrinkTarget{C.Bounds, C.Fit, C.Lightness});
    EXPECT_EQ(Small.size(), QSize(C.Decoded.Width, C.Decoded.Height)) << Name;
    const MonoPicture Whole = ToMono(LoadPicture(Path), C.Bounds, Options);
    const MonoPicture Reduced = ToMono(Small, C.Bounds, Options);
    ASSERT_EQ(Reduced.Width, Whole.Width) << Name;
    ASSERT_EQ(Reduced.Height, Whole.Height) << Name;
    // The dither's dots fall differently; its light over each 8 x 8 block stays.
    double Worst = 0;
    for (int By = 0; By + 8 <= Whole.Height; By += 8) {
      for (int Bx = 0; Bx + 8 <= Whole.Width; Bx += 8) {
        int Difference = 0;
        for (int Y = By; Y < By + 8; ++Y) {
          for (int X = Bx; X < Bx + 8; ++X) Difference += Whole.At(X, Y) - Reduced.At(X, Y);
        }
        Worst = std::max(Worst, std::abs(Difference) / 64.0);
      }
    }
    EXPECT_LE(Worst, 0.13) << Name;
  }
}

}  // namespace
}  // namespace pictrane::capture
