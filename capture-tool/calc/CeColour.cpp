// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/CeColour.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pictrane::capture {

namespace {

// The OS colours as RGB565 (red 5, green 6, blue 5 bits), index 1 first.
constexpr std::array<std::uint16_t, kCeColours + 1> kPalette{
    0xFFFF,                          // no colour: the white graph shows through
    0x001F, 0xF800, 0x0000, 0xF81F,  // BLUE, RED, BLACK, MAGENTA
    0x04E0, 0xFC64, 0xB100, 0x000F,  // GREEN, ORANGE, BROWN, NAVY
    0x049F, 0xFFE0, 0xFFFF, 0xE71C,  // LTBLUE, YELLOW, WHITE, LTGRAY
    0xC618, 0x8C51, 0x52AA,          // MEDGRAY, GRAY, DARKGRAY
};

struct Lab {
  float L = 0;
  float A = 0;
  float B = 0;
};

float Linear(std::uint8_t Srgb) {
  static const std::array<float, 256> kTable = [] {
    std::array<float, 256> Table{};
    for (int I = 0; I < 256; ++I) Table[I] = LinearOf(static_cast<std::uint8_t>(I));
    return Table;
  }();
  return kTable[Srgb];
}

// OKLab of a colour given in linear light.
Lab OkLab(float R, float G, float B) {
  const float L = std::cbrt(0.4122214708f * R + 0.5363325363f * G + 0.0514459929f * B);
  const float M = std::cbrt(0.2119034982f * R + 0.6806995451f * G + 0.1073969566f * B);
  const float S = std::cbrt(0.0883024619f * R + 0.2817188376f * G + 0.6299787005f * B);
  return {0.2104542553f * L + 0.7936177850f * M - 0.0040720468f * S,
          1.9779984951f * L - 2.4285922050f * M + 0.4505937099f * S,
          0.0259040371f * L + 0.7827717662f * M - 0.8086757660f * S};
}

// The pixel laid over white, as the calculator's white graph would show it.
std::array<std::uint8_t, 3> OverWhite(QRgb Pixel) {
  const int Alpha = qAlpha(Pixel);
  const auto Mix = [Alpha](int Channel) {
    return static_cast<std::uint8_t>((Channel * Alpha + 255 * (255 - Alpha) + 127) / 255);
  };
  return {Mix(qRed(Pixel)), Mix(qGreen(Pixel)), Mix(qBlue(Pixel))};
}

Lab LabOf(QRgb Pixel) {
  const auto Rgb = OverWhite(Pixel);
  return OkLab(Linear(Rgb[0]), Linear(Rgb[1]), Linear(Rgb[2]));
}

const std::array<Lab, kCeColours + 1>& PaletteLab() {
  static const std::array<Lab, kCeColours + 1> kLab = [] {
    std::array<Lab, kCeColours + 1> Each{};
    for (int I = 1; I <= kCeColours; ++I) Each[I] = LabOf(CeColourArgb(I));
    return Each;
  }();
  return kLab;
}

int Nearest(const Lab& Colour) {
  int Best = 1;
  float BestDistance = std::numeric_limits<float>::max();
  for (int I = 1; I <= kCeColours; ++I) {
    const Lab& P = PaletteLab()[I];
    const float Distance = (Colour.L - P.L) * (Colour.L - P.L) +
                           (Colour.A - P.A) * (Colour.A - P.A) +
                           (Colour.B - P.B) * (Colour.B - P.B);
    if (Distance < BestDistance) {
      BestDistance = Distance;
      Best = I;
    }
  }
  return Best;
}

QImage Opaque(const QImage& Picture) {
  return Picture.convertToFormat(QImage::Format_ARGB32);
}

// The most error a pixel passes on per channel, four times a channel's full light: a colour the
// palette cannot reach then still borrows from its neighbours but cannot run away, while a pastel
// the colours mix to keeps all of its light (a bound of one lost a twentieth of a pink's red).
// Damping the error measured worse on every photo of bench/colour-quality.py.
constexpr float kLimit = 4.0f;

struct Light {
  float R = 0;
  float G = 0;
  float B = 0;
};

Light LightOf(QRgb Pixel) {
  const auto Rgb = OverWhite(Pixel);
  return {Linear(Rgb[0]), Linear(Rgb[1]), Linear(Rgb[2])};
}

// The error is diffused in linear light, where the light of neighbouring pixels adds up as the
// eye sees it at the calculator's pixel size (diffused in OKLab, a dark area would come out too
// light: half black and half dark grey averages to far more light than OKLab's halfway); each
// pixel's colour is chosen by its distance in OKLab, as people tell colours apart.
PalettePicture Palettised(const QImage& Picture, bool Diffuse) {
  static const std::array<Light, kCeColours + 1> kPaletteLight = [] {
    std::array<Light, kCeColours + 1> Each{};
    for (int I = 1; I <= kCeColours; ++I) Each[I] = LightOf(CeColourArgb(I));
    return Each;
  }();
  const QImage Source = Opaque(Picture);
  const int Width = Source.width();
  const int Height = Source.height();
  PalettePicture Result{Width, Height,
                        std::vector<std::uint8_t>(static_cast<std::size_t>(Width) * Height)};
  // The error arriving at this row and the next, with a pixel of margin either side.
  std::vector<Light> Here(static_cast<std::size_t>(Width) + 2);
  std::vector<Light> Below(static_cast<std::size_t>(Width) + 2);
  for (int Y = 0; Y < Height; ++Y) {
    const auto* Row = reinterpret_cast<const QRgb*>(Source.constScanLine(Y));
    const bool Forward = Y % 2 == 0;
    const int Step = Forward ? 1 : -1;
    for (int I = 0; I < Width; ++I) {
      const int X = Forward ? I : Width - 1 - I;
      const std::size_t At = static_cast<std::size_t>(X) + 1;
      Light Wanted = LightOf(Row[X]);
      Wanted.R += Here[At].R;
      Wanted.G += Here[At].G;
      Wanted.B += Here[At].B;
      const int Chosen = Nearest(OkLab(Wanted.R, Wanted.G, Wanted.B));
      Result.Index[static_cast<std::size_t>(Y) * Width + X] = static_cast<std::uint8_t>(Chosen);
      if (!Diffuse) continue;
      const Light& Got = kPaletteLight[Chosen];
      const auto Bounded = [](float Error) { return std::clamp(Error, -kLimit, kLimit); };
      const Light Error{Bounded(Wanted.R - Got.R), Bounded(Wanted.G - Got.G),
                        Bounded(Wanted.B - Got.B)};
      const auto Spread = [&Error](Light& To, float Weight) {
        To.R += Error.R * Weight;
        To.G += Error.G * Weight;
        To.B += Error.B * Weight;
      };
      Spread(Here[At + Step], 7.0f / 16);
      Spread(Below[At - Step], 3.0f / 16);
      Spread(Below[At], 5.0f / 16);
      Spread(Below[At + Step], 1.0f / 16);
    }
    std::swap(Here, Below);
    std::fill(Below.begin(), Below.end(), Light{});
  }
  return Result;
}

// The 8x8 Bayer matrix, 0..63.
int Bayer(int X, int Y) {
  int Value = 0;
  for (int Bit = 0; Bit < 3; ++Bit) {
    const int Xb = (X >> Bit) & 1;
    const int Yb = (Y >> Bit) & 1;
    Value |= ((Xb ^ Yb) << (2 * (2 - Bit) + 1)) | (Yb << (2 * (2 - Bit)));
  }
  return Value;
}

int Quantised(int Channel, int Levels, float Offset) {
  const float Scaled = static_cast<float>(Channel) * static_cast<float>(Levels) / 255.0f + Offset;
  return std::clamp(static_cast<int>(std::lround(Scaled)), 0, Levels);
}

}  // namespace

std::uint16_t CeColour565(int Index) {
  return kPalette[static_cast<std::size_t>(std::clamp(Index, 0, kCeColours))];
}

std::uint32_t ArgbOf565(std::uint16_t Word) {
  const unsigned R = Word >> 11;
  const unsigned G = (Word >> 5) & 0x3Fu;
  const unsigned B = Word & 0x1Fu;
  return 0xFF000000u | (((R << 3) | (R >> 2)) << 16) | (((G << 2) | (G >> 4)) << 8) |
         ((B << 3) | (B >> 2));
}

std::uint32_t CeColourArgb(int Index) {
  return Index == 0 ? 0x00FFFFFFu : ArgbOf565(CeColour565(Index));
}

PalettePicture DitherToCeColours(const QImage& Picture) {
  return Palettised(Picture, true);
}

PalettePicture NearestCeColours(const QImage& Picture) {
  return Palettised(Picture, false);
}

std::vector<std::uint16_t> DitherToRgb565(const QImage& Picture) {
  const QImage Source = Opaque(Picture);
  std::vector<std::uint16_t> Words;
  Words.reserve(static_cast<std::size_t>(Source.width()) * Source.height());
  for (int Y = 0; Y < Source.height(); ++Y) {
    const auto* Row = reinterpret_cast<const QRgb*>(Source.constScanLine(Y));
    for (int X = 0; X < Source.width(); ++X) {
      // Strictly inside (-0.5, 0.5): a colour that RGB565 holds comes back as itself.
      const float Offset = (static_cast<float>(Bayer(X % 8, Y % 8)) + 0.5f) / 64.0f - 0.5f;
      const auto Rgb = OverWhite(Row[X]);
      const int R = Quantised(Rgb[0], 31, Offset);
      const int G = Quantised(Rgb[1], 63, Offset);
      const int B = Quantised(Rgb[2], 31, Offset);
      Words.push_back(static_cast<std::uint16_t>((R << 11) | (G << 5) | B));
    }
  }
  return Words;
}

QImage FitColour(const QImage& Picture, PictureSize Bounds, Sizing Fit) {
  const Placement Place = PlaceWithin({Picture.width(), Picture.height()}, Bounds, Fit);
  QImage Flat(Picture.size(), QImage::Format_RGB32);
  Flat.fill(Qt::white);
  {
    QImage Source = Opaque(Picture);
    for (int Y = 0; Y < Source.height(); ++Y) {
      const auto* From = reinterpret_cast<const QRgb*>(Source.constScanLine(Y));
      auto* To = reinterpret_cast<QRgb*>(Flat.scanLine(Y));
      for (int X = 0; X < Source.width(); ++X) {
        const auto Rgb = OverWhite(From[X]);
        To[X] = qRgb(Rgb[0], Rgb[1], Rgb[2]);
      }
    }
  }
  const QRect Kept(static_cast<int>(std::lround(Place.Left)),
                   static_cast<int>(std::lround(Place.Top)),
                   std::max(1, static_cast<int>(std::lround(Place.Width))),
                   std::max(1, static_cast<int>(std::lround(Place.Height))));
  const QImage Cut = Flat.copy(Kept);
  if (Cut.size() == QSize(Place.Size.Width, Place.Size.Height)) return Cut;
  return Cut.scaled(Place.Size.Width, Place.Size.Height, Qt::IgnoreAspectRatio,
                    Qt::SmoothTransformation);
}

}  // namespace pictrane::capture
