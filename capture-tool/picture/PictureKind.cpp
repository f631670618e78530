// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture/PictureKind.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

namespace pictrane::capture {

namespace {

int Luma(std::uint32_t Argb) {
  std::uint32_t R = (Argb >> 16) & 0xFF;
  std::uint32_t G = (Argb >> 8) & 0xFF;
  std::uint32_t B = Argb & 0xFF;
  if (const std::uint32_t A = Argb >> 24; A != 255) {
    const auto Over = [A](std::uint32_t C) { return (C * A + 255 * (255 - A) + 127) / 255; };
    R = Over(R);
    G = Over(G);
    B = Over(B);
  }
  return static_cast<int>((299 * R + 587 * G + 114 * B + 500) / 1000);
}

}  // namespace

Analysis Analyse(const std::uint32_t* Pixels, int Width, int Height, std::size_t Stride) {
  constexpr std::size_t kFewColours = 16;
  constexpr std::int64_t kSamples = 65536;
  std::array<std::uint32_t, kFewColours> Colours{};
  std::size_t Distinct = 0;
  bool Many = false;
  std::array<std::int64_t, 256> Histogram{};
  std::array<std::int64_t, 256> FlatHistogram{};
  std::int64_t Count = 0;
  const std::int64_t Area = static_cast<std::int64_t>(Width) * Height;
  const int Step =
      std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(Area) / kSamples))));
  // Each row's lightness at the columns looked at and their right neighbours, worked out once:
  // on a grid of every pixel a row is also the row below the one before.
  std::vector<int> Here(static_cast<std::size_t>(Width)), Under(static_cast<std::size_t>(Width));
  int UnderRow = -1;
  const auto LumaOf = [&](const std::uint32_t* Row, std::vector<int>& Out, bool Right) {
    for (int X = Step / 2; X < Width; X += Step) {
      Out[static_cast<std::size_t>(X)] = Luma(Row[X]);
      if (Right && Step > 1 && X + 1 < Width)
        Out[static_cast<std::size_t>(X) + 1] = Luma(Row[X + 1]);
    }
  };
  for (int Y = Step / 2; Y < Height; Y += Step) {
    const std::uint32_t* Row = Pixels + static_cast<std::size_t>(Y) * Stride;
    const int BelowY = Y + 1 < Height ? Y + 1 : Y;
    if (UnderRow == Y && Step == 1) {
      std::swap(Here, Under);
    } else {
      LumaOf(Row, Here, true);
    }
    LumaOf(Pixels + static_cast<std::size_t>(BelowY) * Stride, Under, false);
    UnderRow = BelowY;
    for (int X = Step / 2; X < Width; X += Step) {
      const std::uint32_t Argb = Row[X];
      const int L = Here[static_cast<std::size_t>(X)];
      ++Histogram[static_cast<std::size_t>(L)];
      ++Count;
      const int Right = Here[static_cast<std::size_t>(X + 1 < Width ? X + 1 : X)];
      const int Down = Under[static_cast<std::size_t>(X)];
      if (std::abs(Right - L) <= 2 && std::abs(Down - L) <= 2)
        ++FlatHistogram[static_cast<std::size_t>(L)];
      if (Many) continue;
      const auto End = Colours.begin() + static_cast<std::ptrdiff_t>(Distinct);
      if (std::find(Colours.begin(), End, Argb) != End) continue;
      if (Distinct == kFewColours) {
        Many = true;
      } else {
        Colours[Distinct++] = Argb;
      }
    }
  }
  Analysis Result;
  if (!Many) {
    Result.Kind = PictureKind::Exact;
    return Result;
  }
  // The paper: the light tone (with its neighbours, 5 levels wide) that holds the most flat
  // pixels. A drawing is mostly paper; fog, snow or a blown sky are light but never this flat
  // over most of the picture.
  int Paper = -1;
  std::int64_t PaperFlat = 0;
  for (int L = 160; L < 256; ++L) {
    std::int64_t Around = 0;
    for (int D = std::max(0, L - 2); D <= std::min(255, L + 2); ++D) Around += FlatHistogram[D];
    if (Around > PaperFlat) {
      PaperFlat = Around;
      Paper = L;
    }
  }
  if (Paper >= 0 && 2 * PaperFlat >= Count) {
    Result.Kind = PictureKind::Drawing;
    Result.Paper = std::min(255, Paper + 2);
  }
  return Result;
}

}  // namespace pictrane::capture
