// SPDX-License-Identifier: GPL-3.0-or-later
// Unit tests of the capture tool's pixel conversion: the tone methods that turn a picture's pixels
// into one bit each.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "picture/PictureFile.h"
#include "picture/PixelConversion.h"

namespace pictrane::capture {
namespace {

constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;

TEST(PixelConversion, DarkIsLuminanceBelowHalfOverWhite) {
  struct Case {
    std::uint32_t Argb;
    bool Dark;
  };
  const std::vector<Case> Cases = {
      {kBlack, true},      {kWhite, false},     {0xFF808080, false},  // luminance 128
      {0xFF7F7F7F, true},  {0xFF80807F, true},  {0xFF808081, false},  // 127.886, 128.114
      {0xFFFF0000, true},  {0xFF00FF00, false}, {0xFF0000FF, true},
      {0x00000000, false},                       // transparent black shows the white below
      {0x80000000, true},  {0x7F000000, false},  // black at 128/255 and 127/255 over white
  };
  for (const Case& C : Cases) EXPECT_EQ(IsDark(C.Argb), C.Dark) << std::hex << C.Argb;
}

std::vector<std::uint32_t> Flat(int Width, int Height, int Grey) {
  return std::vector<std::uint32_t>(static_cast<std::size_t>(Width * Height),
                                    qRgb(Grey, Grey, Grey));
}

double LightShare(const MonoPicture& Mono, int FromX = 0, int ToX = -1) {
  if (ToX < 0) ToX = Mono.Width;
  int Light = 0;
  for (int Y = 0; Y < Mono.Height; ++Y) {
    for (int X = FromX; X < ToX; ++X) Light += Mono.At(X, Y) ? 0 : 1;
  }
  return static_cast<double>(Light) / ((ToX - FromX) * Mono.Height);
}

const std::vector<ToneMethod> kDithers = {ToneMethod::FloydSteinberg, ToneMethod::Atkinson,
                                          ToneMethod::Bayer4, ToneMethod::Bayer8};

// How far a dither's share of light pixels may stray from the light it stands for: a Bayer
// matrix has only side^2 levels; Atkinson passes on only 3/4 of the error, which keeps flat areas
// clean but pushes shades near black and white to them, so it is held to the middle.
double ToleranceOf(ToneMethod Method) {
  switch (Method) {
    case ToneMethod::Bayer4:
      return 0.5 / 16 + 0.002;
    case ToneMethod::Atkinson:
      return 0.09;
    default:
      return 0.012;
  }
}

TEST(PixelConversion, DitherGivesFlatGreyItsShareOnEachScale) {
  // In linear light sRGB 188 is half the light, 128 about a fifth, 230 about four fifths; on the
  // display scale a grey's share of light pixels is its sRGB value.
  for (const ToneScale Scale : {ToneScale::Linear, ToneScale::Display}) {
    for (const int Grey : {188, 128, 230, 60}) {
      const std::vector<std::uint32_t> Pixels = Flat(96, 64, Grey);
      for (const ToneMethod Method : kDithers) {
        PictureOptions Options;
        Options.Method = Method;
        Options.Scale = Scale;
        const MonoPicture Mono = ToMono(Pixels.data(), 96, 64, 96, kTi89Screen, Options);
        const double Expected = Scale == ToneScale::Linear
                                    ? LinearOf(static_cast<std::uint8_t>(Grey))
                                    : (Grey * 1000.0 / 255000.0);
        const bool Middle = std::abs(Expected - 0.5) < 0.05;
        const double Tolerance =
            Method == ToneMethod::Atkinson && Middle ? 0.012 : ToleranceOf(Method);
        if (Method == ToneMethod::Atkinson && !Middle && Scale == ToneScale::Display) continue;
        EXPECT_NEAR(LightShare(Mono), Expected, Tolerance)
            << "grey " << Grey << ", " << NameOf(Method) << ", " << NameOf(Scale);
      }
    }
  }
}

TEST(PixelConversion, AutoThresholdsFewColoursKeepingLinesAndDithersPhotosAsSeen) {
  // A drawing of 1-pixel lines, across, down and slanting, at 1024 x 640: shrunk to 160 x 100,
  // the pixel that holds the middle of each line pixel stays dark.
  constexpr int Width = 1024;
  constexpr int Height = 640;
  std::vector<std::uint32_t> Drawing(static_cast<std::size_t>(Width * Height), kWhite);
  std::vector<std::pair<int, int>> Ink;
  const auto Draw = [&](int X, int Y) {
    Drawing[static_cast<std::size_t>(Y * Width + X)] = kBlack;
    Ink.emplace_back(X, Y);
  };
  for (int Y = 5; Y < Height; Y += 37) {
    for (int X = 0; X < Width; ++X) Draw(X, Y);
  }
  for (int X = 3; X < Width; X += 41) {
    for (int Y = 0; Y < Height; ++Y) Draw(X, Y);
  }
  for (int X = 0; X < Width; ++X) Draw(X, X * 5 / 8);
  const MonoPicture Lines = ToMono(Drawing.data(), Width, Height, Width, kTi89Screen);
  ASSERT_EQ(Lines.Width, 160);
  std::size_t Kept = 0;
  for (const auto& [X, Y] : Ink)
    Kept += Lines.At((2 * X + 1) * 160 / (2 * Width), (2 * Y + 1) * 100 / (2 * Height)) ? 1 : 0;
  EXPECT_GE(static_cast<double>(Kept) / static_cast<double>(Ink.size()), 0.9);

  // Which pictures count as few-coloured, and a photograph's share of light pixels.
  std::uint32_t Seed = 99;
  const auto Noise = [&Seed](int Amplitude) {
    Seed = Seed * 1664525u + 1013904223u;
    return static_cast<int>(Seed >> 16) % (2 * Amplitude + 1) - Amplitude;
  };
  const auto Picture = [&](auto Grey) {
    std::vector<std::uint32_t> Pixels;
    for (int Y = 0; Y < 100; ++Y) {
      for (int X = 0; X < 160; ++X) {
        const int V = std::clamp(static_cast<int>(Grey(X, Y)), 0, 255);
        Pixels.push_back(qRgb(V, V, V));
      }
    }
    return Pixels;
  };
  struct Case {
    const char* Name;
    std::vector<std::uint32_t> Pixels;
    bool Few;
  };
  const std::vector<Case> Cases = {
      {"16 colours", Picture([](int X, int) { return X / 10 * 16; }), true},
      // Paper as flat as a JPEG of a drawing keeps it; the ink as blurred as it likes.
      {"text with blurred edges", Picture([&](int X, int Y) {
         return (X % 9 < 2 && Y % 12 < 8) ? 10 + Noise(8) : 245 + Noise(1);
       }),
       true},
      {"smooth ramp", Picture([](int X, int) { return X * 255 / 159; }), false},
      {"dim photo", Picture([&](int X, int Y) { return 60 + X / 3 + Y / 4 + Noise(20); }), false},
      {"low-contrast photo", Picture([&](int X, int Y) { return 100 + X / 8 + Y / 6 + Noise(6); }),
       false},
      // Photos that two tone clusters once made a threshold of: none may come out blank.
      {"dark indoor photo", Picture([&](int X, int Y) {
         return (X > 60 && X < 90 && Y > 30) ? 45 + Noise(6) : 6 + X / 12 + Y / 10 + Noise(5);
       }),
       false},
      {"foggy pier", Picture([&](int X, int Y) {
         return (Y > 60 && Y < 66) || (X % 30 == 3 && Y > 60) ? 150 + Noise(5)
                                                              : 205 + X / 16 + Noise(4);
       }),
       false},
      {"high-key snow", Picture([&](int X, int Y) { return 228 + (X + Y) / 20 + Noise(5); }),
       false},
      {"normal photo", Picture([&](int X, int Y) { return 30 + X + Y / 2 + Noise(15); }), false},
      {"noisy sensor data", Picture([&](int, int) { return 128 + Noise(90); }), false},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(IsFewColoured(C.Pixels.data(), 160, 100, 160), C.Few) << C.Name;
    if (C.Few) continue;
    double Mean = 0;
    for (const std::uint32_t P : C.Pixels)
      Mean += qGray(P) / 255.0 / static_cast<double>(C.Pixels.size());
    const MonoPicture Mono = ToMono(C.Pixels.data(), 160, 100, 160, kTi89Screen);
    EXPECT_NEAR(LightShare(Mono), std::clamp(Mean, 0.1, 0.9), 0.08) << C.Name;
    EXPECT_GE(LightShare(Mono), 0.05) << C.Name;
    EXPECT_LE(LightShare(Mono), 0.95) << C.Name;
    EXPECT_EQ(SaidOf(Mono), "photo: levels + Floyd-Steinberg") << C.Name;
  }
}

TEST(PixelConversion, DrawingsKeepTheirLinesAndTheirFlatAreas) {
  // Anti-aliased 1-pixel lines in black, colours and greys, and a logo's flat orange disc, on
  // white; the same lines drawn plain in a mask tell where the ink is.
  struct Case {
    PictureSize Source, Bounds;
    bool Disc;
  };
  const std::vector<Case> Cases = {
      {{1024, 768}, kTi89Screen, false},      {{1600, 1000}, kTi89Screen, false},
      {{1024, 768}, kTi83PlusPicture, false}, {{1600, 1000}, kTi83PlusPicture, false},
      {{1024, 768}, kTi89Screen, true},       {{1600, 1000}, kTi83PlusPicture, true},
  };
  const QColor Colours[] = {Qt::black,
                            QColor(200, 0, 0),
                            QColor(0, 90, 200),
                            QColor(128, 128, 128),
                            QColor(190, 190, 190),
                            QColor(0, 150, 0)};
  for (const Case& C : Cases) {
    const int W = C.Source.Width;
    const int H = C.Source.Height;
    QImage Drawing(W, H, QImage::Format_RGB32);
    QImage Mask(W, H, QImage::Format_RGB32);
    Drawing.fill(Qt::white);
    Mask.fill(Qt::white);
    QPainter Paint(&Drawing);
    QPainter Plain(&Mask);
    Paint.setRenderHint(QPainter::Antialiasing);
    const QRectF Round(W * 0.55, H * 0.3, H * 0.5, H * 0.5);
    if (C.Disc) {
      Paint.setPen(Qt::NoPen);
      Paint.setBrush(QColor(255, 140, 0));
      Paint.drawEllipse(Round);
    }
    for (int I = 0; I < 12; ++I) {
      const QLineF Line(W * 0.02 + I * W * 0.04, H * 0.03, W * 0.05 + I * W * 0.017, H * 0.97);
      const QLineF Across(W * 0.01, H * (0.05 + I * 0.073), W * 0.5, H * (0.08 + I * 0.07));
      for (const QLineF& L : {Line, Across}) {
        Paint.setPen(QPen(Colours[I % 6], 1.0));
        Paint.drawLine(L);
        Plain.setPen(QPen(Qt::black, 1.0));
        Plain.drawLine(L);
      }
    }
    Paint.end();
    Plain.end();
    const MonoPicture Mono = ToMono(Drawing, C.Bounds);
    ASSERT_EQ(SaidOf(Mono), "drawing: lines kept + Floyd-Steinberg");
    const int TW = Mono.Width;
    const int TH = Mono.Height;
    std::vector<int> Ink(static_cast<std::size_t>(TW * TH), 0);
    std::vector<int> Marked(Ink.size(), 0);
    std::vector<int> InDisc(Ink.size(), 0);
    for (int Y = 0; Y < H; ++Y) {
      for (int X = 0; X < W; ++X) {
        const std::size_t At = static_cast<std::size_t>(Y * TH / H * TW + X * TW / W);
        Ink[At] += qRed(Mask.pixel(X, Y)) < 128 ? 1 : 0;
        // A target pixel's area reaches into the source pixels on its edges.
        if (Drawing.pixel(X, Y) != qRgb(255, 255, 255)) {
          for (const int Dx : {-1, 1}) {
            for (const int Dy : {-1, 1}) {
              const int Nx = std::clamp(X + Dx, 0, W - 1) * TW / W;
              const int Ny = std::clamp(Y + Dy, 0, H - 1) * TH / H;
              ++Marked[static_cast<std::size_t>(Ny * TW + Nx)];
            }
          }
        }
        InDisc[At] += Round.contains(X, Y) ? 1 : 0;
      }
    }
    const double Scale = static_cast<double>(W) / TW;
    const int Area = (W / TW) * (H / TH);
    int Holding = 0, Kept = 0, OnWhite = 0, Disc = 0, DiscDark = 0;
    for (std::size_t I = 0; I < Ink.size(); ++I) {
      const bool Dark = Mono.Dark[I] != 0;
      if (InDisc[I] >= Area) {
        ++Disc;
        DiscDark += Dark ? 1 : 0;
      } else if (Ink[I] >= 0.5 * Scale) {
        ++Holding;
        Kept += Dark ? 1 : 0;
      }
      OnWhite += Dark && Marked[I] == 0 ? 1 : 0;
    }
    const std::string Name = std::to_string(W) + " to " + std::to_string(TW);
    EXPECT_GE(Kept, 0.85 * Holding) << Name << ": " << Kept << " of " << Holding;
    EXPECT_LE(OnWhite, 0.05 * Holding) << Name << ": " << OnWhite << " of " << Holding;
    if (C.Disc) {
      ASSERT_GT(Disc, 20) << Name;
      EXPECT_GE(DiscDark, 0.2 * Disc) << Name << ": " << DiscDark << " of " << Disc;
      EXPECT_LE(DiscDark, 0.5 * Disc) << Name << ": " << DiscDark << " of " << Disc;
    }
  }
}

TEST(PixelConversion, SmallTextKeepsEveryGlyphsStrokes) {
  // Glyphs of a 5 x 7 font, drawn anti-aliased from their cells at sizes that end as 8 to 12
  // pixels high, between pixels, at 1:1 and shrunk: every cell of a stroke keeps a dark pixel
  // among those whose middles it holds (no lost minus sign, no broken bar of a "b").
  static constexpr const char* kGlyphs[][7] = {
      {"..#..", ".#...", "#....", "#....", "#....", ".#...", "..#.."},  // (
      {".....", ".....", ".....", ".###.", ".....", ".....", "....."},  // -
      {"#....", "#....", "#.##.", "##..#", "#...#", "#...#", "####."},  // b
      {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."},  // +
      {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."},  // 4
      {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"},  // a
      {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"},  // x
      {".....", ".....", "#####", ".....", "#####", ".....", "....."},  // =
      {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"},  // m
  };
  struct Case {
    double Height;  // a glyph's height in the result, in pixels
    int Shrink;     // source pixels per pixel of the result
  };
  const std::vector<Case> Cases = {{8, 1}, {10, 1}, {12, 1}, {8, 4}, {9, 6}, {10, 4}, {12, 6}};
  for (const Case& C : Cases) {
    const double Cell = C.Height / 7;  // in pixels of the result
    QImage Text(160 * C.Shrink, 100 * C.Shrink, QImage::Format_RGB32);
    Text.fill(Qt::white);
    // One path for all the cells, filled once, so neighbouring cells join without a seam.
    QPainterPath Ink;
    Ink.setFillRule(Qt::WindingFill);
    struct Stroke {
      double X, Y;
    };
    std::vector<Stroke> Strokes;  // each cell's corner, in pixels of the result
    int Glyph = 0;
    for (double Top = 1.37; Top + C.Height < 99; Top += 1.5 * C.Height) {
      for (double Left = 1.29; Left + 5 * Cell < 159; Left += 6.3 * Cell, ++Glyph) {
        for (int Row = 0; Row < 7; ++Row) {
          for (int Column = 0; Column < 5; ++Column) {
            if (kGlyphs[Glyph % 9][Row][Column] != '#') continue;
            Strokes.push_back({Left + Column * Cell, Top + Row * Cell});
            const double S = C.Shrink;
            Ink.addRect(Strokes.back().X * S, Strokes.back().Y * S, Cell * S, Cell * S);
          }
        }
      }
    }
    QPainter Paint(&Text);
    Paint.setRenderHint(QPainter::Antialiasing);
    Paint.fillPath(Ink, Qt::black);
    Paint.end();
    const MonoPicture Mono = ToMono(Text, kTi89Screen);
    ASSERT_EQ(Mono.Width, 160);
    int Lost = 0;
    for (const Stroke& S : Strokes) {
      bool Dark = false;
      for (auto Y = static_cast<int>(std::ceil(S.Y - 0.5)); Y + 0.5 < S.Y + Cell; ++Y) {
        for (auto X = static_cast<int>(std::ceil(S.X - 0.5)); X + 0.5 < S.X + Cell; ++X)
          Dark = Dark || Mono.At(X, Y);
      }
      Lost += Dark ? 0 : 1;
    }
    EXPECT_EQ(Lost, 0) << C.Height << " px, shrunk " << C.Shrink << " times: " << SaidOf(Mono);
  }
}

TEST(PixelConversion, DitheredRampFollowsTheRampInLinearLight) {
  // 128 columns whose linear light rises evenly from 0 to 1.
  constexpr int Width = 128;
  constexpr int Height = 48;
  std::vector<std::uint32_t> Pixels;
  std::vector<double> Light;
  for (int X = 0; X < Width; ++X) {
    const auto V = static_cast<int>(
        std::lround(SrgbOf(static_cast<float>(X) / static_cast<float>(Width - 1)) * 255));
    Light.push_back(LinearOf(static_cast<std::uint8_t>(V)));
    Pixels.push_back(qRgb(V, V, V));
  }
  for (int Y = 1; Y < Height; ++Y)
    Pixels.insert(Pixels.end(), Pixels.begin(), Pixels.begin() + Width);
  for (const ToneMethod Method : kDithers) {
    PictureOptions Options;
    Options.Method = Method;
    Options.Scale = ToneScale::Linear;
    const MonoPicture Mono = ToMono(Pixels.data(), Width, Height, Width, kTi89Screen, Options);
    for (int Band = 0; Band < Width; Band += 16) {
      double Expected = 0;
      for (int X = Band; X < Band + 16; ++X) Expected += Light[static_cast<std::size_t>(X)] / 16;
      EXPECT_NEAR(LightShare(Mono, Band, Band + 16), Expected, ToleranceOf(Method) + 0.02)
          << NameOf(Method) << ", columns " << Band << "..";
    }
  }
}

TEST(PixelConversion, ThresholdOfAPictureThatFitsIsTodaysRule) {
  // Random colours and alphas on pictures up to the screen's size: the threshold's picture must
  // be exactly what the plain luminance rule gives, pixel for pixel.
  std::uint32_t Seed = 12345;
  const auto Next = [&Seed] {
    Seed = Seed * 1664525u + 1013904223u;
    return Seed;
  };
  for (const PictureSize Size : {PictureSize{160, 100}, PictureSize{37, 23}, PictureSize{1, 100}}) {
    std::vector<std::uint32_t> Pixels;
    for (int I = 0; I < Size.Width * Size.Height; ++I) {
      // Half the pixels near the threshold, where rounding would show.
      const std::uint32_t Value = Next();
      Pixels.push_back(I % 2 == 0 ? Value : (0xFF000000u | (0x7F7F7Fu + (Value & 0x030303u))));
    }
    PictureOptions Threshold;
    Threshold.Method = ToneMethod::Threshold;
    const MonoPicture Mono = ToMono(Pixels.data(), Size.Width, Size.Height,
                                    static_cast<std::size_t>(Size.Width), kTi89Screen, Threshold);
    ASSERT_EQ(Mono.Width, Size.Width);
    for (std::size_t I = 0; I < Pixels.size(); ++I) {
      ASSERT_EQ(Mono.Dark[I] != 0, IsDark(Pixels[I])) << std::hex << Pixels[I];
    }
  }
}

TEST(PixelConversion, LevelBrightnessContrastAndInvert) {
  struct Case {
    int Grey;
    PictureOptions Options;
    bool Dark;
    bool Saturated;  // so that every dither gives the same
  };
  const auto With = [](auto Edit) {
    PictureOptions Options;
    Edit(Options);
    return Options;
  };
  const std::vector<Case> Cases = {
      {127, {}, true, false},
      {128, {}, false, false},
      {128, With([](auto& O) { O.Level = 129; }), true, false},
      {255, With([](auto& O) { O.Level = 256; }), true, false},
      {0, With([](auto& O) { O.Level = 0; }), false, false},
      {128, With([](auto& O) { O.Invert = true; }), true, false},
      {120, With([](auto& O) { O.Brightness = 10; }), false, false},  // 120 + 12.75
      {100, With([](auto& O) { O.Brightness = 10; }), true, false},
      {160, With([](auto& O) { O.Brightness = -30; }), true, false},
      {250, With([](auto& O) { O.Brightness = -100; }), true, false},
      {120, With([](auto& O) { O.Contrast = -100; }), true, false},  // towards the middle
      {136, With([](auto& O) { O.Contrast = -100; }), false, false},
      {200, With([](auto& O) { O.Contrast = 100; }), false, true},
      {60, With([](auto& O) { O.Contrast = 100; }), true, true},
      {60, With([](auto& O) {
         O.Contrast = 100;
         O.Invert = true;
       }),
       false, true},
  };
  for (std::size_t I = 0; I < Cases.size(); ++I) {
    const std::vector<std::uint32_t> Pixels = Flat(4, 4, Cases[I].Grey);
    for (const ToneMethod Method : kToneMethods) {
      if (Method != ToneMethod::Threshold && !Cases[I].Saturated) continue;
      PictureOptions Options = Cases[I].Options;
      Options.Method = Method;
      const MonoPicture Mono = ToMono(Pixels.data(), 4, 4, 4, kTi89Screen, Options);
      EXPECT_EQ(std::count(Mono.Dark.begin(), Mono.Dark.end(), 1), Cases[I].Dark ? 16 : 0)
          << "case " << I << ", " << NameOf(Method);
    }
  }
}

}  // namespace
}  // namespace pictrane::capture
